// The state behind a TIndexFile, shared by its units: the file and its
// header (index_file.cpp), the page chain with its loading, checking and
// writing (index_pages.cpp), searches and walks (index_search.cpp), and
// insertion and deletion (index_modify.cpp).
//
// The chain holds one page object per tree level, root first; each level's
// current entry leads to the page of the level below, and the leaf's
// current entry is the index position. A descent loads the pages it needs
// into spare page objects and only swaps them into the chain once the whole
// path down to the leaf has been read and checked, so a damaged page or a
// failed read leaves the chain as it was.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "storage/index_file.h"
#include "storage/ndx_format.h"
#include "storage/node_page.h"
#include "storage/page_file.h"

namespace kalbor {

// No sound file comes near this depth (it would need more pages than a file
// can have); a descent that goes deeper is following damaged pointers.
constexpr size_t kIndexMaxDepth = 64;
// Inner pages kept in memory in the exclusive modes: 512 pages, 256 KiB,
// enough for every inner page of a numeric index over 100,000 rows built in
// key order (its pages half full), the largest the system keeps.
constexpr size_t kInnerCacheCapacity = 512;
// Largest page count a header may state (32-bit values are never negative).
constexpr uint32_t kIndexMaxPageCount = 0x7FFFFFFF;
constexpr uint32_t kPositionAfterLast = 2147483647;
constexpr uint32_t kPositionCap = 2147483646;

struct TIndexFile::Impl {
  using TPage = TNodePage;
  using TImage = std::array<uint8_t, kNdxPageSize>;

  // --- file and header (index_file.cpp) ---
  TPageFile file;
  bool open = false;
  bool shared = false;
  TImage header{};            // the header page as it will be written
  bool header_dirty = false;  // root or page count changed since last written
  bool header_repaired = false;
  uint32_t root_page = 0;
  uint32_t page_count = 0;
  bool character = true;
  bool descending = false;
  TUniqueMode unique = TUniqueMode::None;
  std::string expression;
  TNodeLayout layout;  // key_length 0 until a key is set
  TKeySource source;
  bool bound = false;
  TIndexStats stats;

  [[noreturn]] void Damaged(const std::string& what) const;
  void RequireOpen() const;
  void RequireWritable() const;
  bool HasKey() const { return layout.key_length > 0; }
  // Reads and checks the header page, taking the key properties from it.
  void ReadHeader();
  void TakeKey(const TNdxHeader& h, uint16_t key_length, uint16_t entry_length,
               uint16_t max_keys);
  void WriteHeader();
  // The header changed: written now in the shared modes, else when flushed.
  void HeaderChanged();
  void Reset();

  // Keys (index_file.cpp). `dst` holds KeyLength() bytes.
  void KeyInto(const uint8_t* record, uint8_t* dst) const;
  void PadKey(const uint8_t* key, size_t length, uint8_t* dst) const;
  int Compare(const uint8_t* a, const uint8_t* b) const;
  std::string KeyText(const uint8_t* key) const;

  // --- the chain (index_pages.cpp) ---
  std::vector<std::unique_ptr<TPage>> levels;  // root first; size() == depth
  std::vector<std::unique_ptr<TPage>> pool;    // spare page objects
  std::unordered_map<uint32_t, TImage> inner_cache;
  // Scratch keys. A key is shorter than a page, so these never move or
  // overflow, whatever a header read again in the shared modes says.
  TImage search_key{};
  TImage other_key{};
  TImage saved_key{};

  size_t Depth() const { return levels.size(); }
  TPage& Leaf() { return *levels.back(); }
  const TPage& Leaf() const { return *levels.back(); }
  std::unique_ptr<TPage> TakePage();
  void GivePage(std::unique_ptr<TPage> page);
  // Reads page `page_no` into `page` from the cache, else from the file
  // (then true, and its key count checked).
  bool Load(TPage& page, uint32_t page_no);
  void CheckKeyCount(const TPage& page) const;
  void CheckChildren(const TPage& page) const;
  void CheckLevel(const TPage& page, size_t level, size_t depth) const;
  // The child of `entry` on `page`, checked against the file and against
  // the pages above it (`above`, `count` of them).
  uint32_t ChildOf(const TPage& page, int entry, const uint32_t* above, size_t count) const;
  void WritePage(TPage& page);
  void WriteModified();
  void DiscardChain();
  uint32_t Allocate();
  // Starts a fresh tree: one empty root leaf, written at once.
  void ResetTree();

  // Loads the path below level start - 1 (whose entry becomes
  // `parent_entry`), or from the root when start is 0, choosing each
  // level's entry with choose(level, page). With `discover` the path ends
  // at the first leaf and sets the depth; otherwise the leaf must lie at
  // the chain's depth.
  template <typename Choose>
  void Descend(size_t start, int parent_entry, bool discover, Choose choose);

  // --- searches and walks (index_search.cpp) ---
  int walk_direction = 0;  // +1 Next, -1 Prior, 0 since the last positioning
  uint32_t leaves_walked = 0;

  // Shared modes: the header again before a search (the tree may have
  // been changed by another writer).
  void Refresh();
  bool FindKey(const uint8_t* key, TFindMode mode, uint32_t recno);
  void DescendBound(const uint8_t* key, bool upper);
  int LowerBound(const TPage& page, int count, const uint8_t* key) const;
  int UpperBound(const TPage& page, int count, const uint8_t* key) const;
  void GoFirst();
  void GoLast();
  // One entry on, or back, without skipping; false at the end.
  bool StepForward();
  bool StepBack();
  void CountLeaf(int direction);
  bool Move(int direction);
  void Resync(int direction);
  uint64_t Weight(size_t level) const;

  // --- changes (index_modify.cpp) ---
  void Insert(const uint8_t* key, uint32_t recno);
  // After a lower-bound descent: raises the key violation when the entry at
  // the position holds `key` for another record than `recno`.
  void RefuseHeldKey(const uint8_t* key, uint32_t recno) const;
  bool Delete(const uint8_t* key, uint32_t recno);
  void SplitFullPages();
  void NewRoot();
  void Split(size_t level);
  void CopyKeyUp(size_t level, const uint8_t* key);
  void RemoveFromLeaf();
  void Unlink(size_t level);
  void EndChange();
};

template <typename Choose>
void TIndexFile::Impl::Descend(size_t start, int parent_entry, bool discover, Choose choose) {
  // Pages read for the new path wait in `fresh` until the path is complete;
  // if it never is, they go back to the pool and the chain stays as it was.
  struct TFresh {
    Impl& m;
    std::array<std::unique_ptr<TPage>, kIndexMaxDepth> pages;
    size_t end = 0;
    ~TFresh() {
      for (size_t i = 0; i < end; ++i)
        if (pages[i]) m.GivePage(std::move(pages[i]));
    }
  } fresh{*this, {}, 0};
  std::array<int, kIndexMaxDepth> entries;
  std::array<uint32_t, kIndexMaxDepth> numbers;
  for (size_t i = 0; i < start; ++i) numbers[i] = levels[i]->PageNo();
  const size_t depth = Depth();
  uint32_t page_no = start == 0 ? root_page
                                : ChildOf(*levels[start - 1], parent_entry, numbers.data(), start);
  size_t leaf = start;
  for (size_t i = start;; ++i) {
    if (i >= kIndexMaxDepth) Damaged("the tree is more than 64 levels deep.");
    TPage* page;
    bool read = false;
    // A page the chain already holds at this level is used as it is: in the
    // exclusive modes it is the file's present content; in the shared modes
    // only a page changed by this very operation is, others are read again.
    if (i < depth && levels[i]->PageNo() == page_no && (!shared || levels[i]->Modified())) {
      page = levels[i].get();
    } else {
      fresh.pages[i] = TakePage();
      fresh.end = i + 1;
      read = Load(*fresh.pages[i], page_no);
      page = fresh.pages[i].get();
    }
    if (!discover) CheckLevel(*page, i, depth);
    if (read) CheckChildren(*page);
    numbers[i] = page_no;
    entries[i] = choose(i, static_cast<const TPage&>(*page));
    if (!page->IsInner()) {
      leaf = i;
      break;
    }
    page_no = ChildOf(*page, entries[i], numbers.data(), i + 1);
  }
  // The whole path is sound: pages it replaces are written if changed,
  // then it takes their place.
  for (size_t i = start; i < depth; ++i)
    if ((i > leaf || (i < fresh.end && fresh.pages[i])) && levels[i]->Modified())
      WritePage(*levels[i]);
  if (start > 0) levels[start - 1]->SetEntryNo(parent_entry);
  for (size_t i = start; i <= leaf; ++i) {
    if (i < fresh.end && fresh.pages[i]) {
      if (i < levels.size()) {
        GivePage(std::move(levels[i]));
        levels[i] = std::move(fresh.pages[i]);
      } else {
        levels.push_back(std::move(fresh.pages[i]));
      }
    }
    levels[i]->SetEntryNo(entries[i]);
  }
  while (levels.size() > leaf + 1) {
    GivePage(std::move(levels.back()));
    levels.pop_back();
  }
}

}  // namespace kalbor
