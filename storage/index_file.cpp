// TIndexFile: the .NDX B-tree.
//
// The index keeps a chain of page objects, one per tree level from the root
// (levels[0]) down to the leaf (levels.back()); each holds one node page and
// its current entry. Only the chain is in memory, never the keys of the whole
// file. A page object writes its page (when modified) before it loads another
// one, at Flush and at Close; pages made by a split are written at once.
//
// Inner-page bookkeeping when a pointer is removed (an emptied leaf being
// unlinked, a choice of this layer): the pointer's entry is
// removed and the entries after it, the trailing entry included, move down
// one slot, so an inner page with key count k keeps k keyed entries and one
// trailing entry. Removing the trailing pointer makes the last keyed entry
// the trailing one and copies its key upward (as a deletion of a last key
// does). An inner page that would lose its only pointer is itself unlinked
// from its parent the same way and left in the file, unreferenced; when the
// root would lose its only pointer the whole index is empty, and the root
// page becomes an empty leaf again (key count 0, depth 1), so an emptied
// index behaves like a new one (CountEstimate 0). Pages are never freed.
//
// Damage: every page number is checked against the header's page count and
// the file's size before it is read, every loaded page's key count against
// what the page holds and its kind (leaf or inner) against its level, and a
// page may not appear twice on the path from the root, nor twice among the
// children of one inner page; the tree may be at most kMaxDepth levels deep.
#include "storage/index_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "storage/coding.h"
#include "storage/errors.h"
#include "storage/field_codec.h"
#include "storage/files.h"
#include "storage/ndx_format.h"
#include "storage/node_page.h"

namespace kalbor {

namespace {

constexpr uint32_t kPositionAfterLast = 2147483647u;
constexpr uint64_t kPositionCap = 2147483646u;
constexpr uint32_t kMaxPageCount = 0x7FFFFFFFu;  // page numbers are signed 32-bit
// A tree grows one level per root split, and a root split needs the root
// full, so depth d needs far more than 2^(d-1) insertions: 64 levels is never
// reached by a sound file.
constexpr size_t kMaxDepth = 64;
// Layout of a created file before SetupKey: no key, but entry addresses stay
// inside the page.
constexpr TNodeLayout kNoKeyLayout{0, 8, 63};

uint64_t SaturatingMul(uint64_t a, uint64_t b) {
  if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
  return a * b;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// %g-style, the shortest of 15, 16 and 17 significant digits that reads back
// as the same number.
std::string FormatKeyNumber(double value) {
  char text[64];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

struct TIndexFile::Impl {
  TPageFile file;
  std::array<uint8_t, kNdxPageSize> header{};
  bool header_dirty = false;
  bool header_repaired = false;
  uint32_t root_page = 0;
  uint32_t page_count = 0;
  uint32_t disk_pages = 0;  // pages the file holds, as last seen

  TNodeLayout layout = kNoKeyLayout;
  bool has_key = false;
  bool character = true;
  bool descending = false;
  TUniqueMode unique = TUniqueMode::None;
  uint8_t flags = 0;
  std::string expression;
  TKeySource source;
  bool bound = false;

  std::vector<std::unique_ptr<TNodePage>> levels;  // root first, leaf last
  TIndexStats stats;

  // ---- state and errors ------------------------------------------------

  bool Shared() const { return file.Shared(); }
  size_t Depth() const { return levels.size(); }
  bool IsLeafLevel(size_t level) const { return level + 1 == levels.size(); }
  TNodePage& Leaf() { return *levels.back(); }
  const TNodePage& Leaf() const { return *levels.back(); }

  [[noreturn]] void Damaged(const std::string& what) const {
    throw ETableError("Index file " + file.Path() + " is damaged: " + what);
  }

  void RequireOpen() const {
    if (!file.IsOpen()) throw ETableError("Index file is not open.");
  }

  void RequireWritable() const {
    RequireOpen();
    if (!file.Writable()) throw ETableError("Cannot modify a read-only dataset");
  }

  std::unique_ptr<TNodePage> NewPageObject() { return std::make_unique<TNdxNodePage>(&layout); }

  // Index of the last entry of a page on `level`: the trailing entry of an
  // inner page, the last keyed entry of a leaf.
  int LastEntry(size_t level) const {
    int k = levels[level]->KeyCount();
    return IsLeafLevel(level) ? k - 1 : k;
  }

  // ---- keys -----------------------------------------------------------

  int Compare(const uint8_t* a, const uint8_t* b) const {
    int r = 0;
    if (character) {
      for (size_t i = 0; i < layout.key_length; ++i) {
        if (a[i] != b[i]) {
          r = a[i] < b[i] ? -1 : 1;
          break;
        }
        if (a[i] == 0) break;
      }
    } else {
      double x = DecodeDouble(a), y = DecodeDouble(b);
      r = x > y ? 1 : (x < y ? -1 : 0);
    }
    return descending ? -r : r;
  }

  std::vector<uint8_t> TextKey(const uint8_t* bytes, size_t length) const {
    std::vector<uint8_t> key(layout.key_length, ' ');
    const size_t n = std::min<size_t>(length, key.size());
    if (n > 0) std::memcpy(key.data(), bytes, n);
    return key;
  }

  std::vector<uint8_t> NumberKey(double value) const {
    std::vector<uint8_t> key(layout.key_length, 0);
    if (key.size() >= 8) EncodeDouble(key.data(), value);
    return key;
  }

  std::vector<uint8_t> KeyFromRecord(const uint8_t* record) const {
    RequireOpen();
    if (!bound) throw ETableError("Index file " + file.Path() + " has no key field bound.");
    const uint8_t* field = record + source.offset;
    if (character) return TextKey(field, source.length);
    return NumberKey(DecodeNumeric(field, source.length).value_or(0.0));
  }

  std::vector<uint8_t> NormalizeKey(const std::vector<uint8_t>& key) const {
    if (key.size() == layout.key_length) return key;
    std::vector<uint8_t> out(layout.key_length, character ? ' ' : 0);
    const size_t n = std::min(key.size(), out.size());
    if (n > 0) std::memcpy(out.data(), key.data(), n);
    return out;
  }

  // ---- file traffic ---------------------------------------------------

  void NoteWritten(uint32_t n) {
    if (n >= disk_pages) disk_pages = n + 1;
  }

  uint32_t DiskPagesFor(uint32_t n) {
    if (n >= disk_pages) disk_pages = file.PageCountOnDisk();
    return disk_pages;
  }

  void WriteBuffer(uint32_t n, const uint8_t* data) {
    file.WritePage(n, data);
    ++stats.page_writes;
    NoteWritten(n);
  }

  void WriteNode(TNodePage& page) {
    WriteBuffer(page.PageNo(), page.Data());
    page.ClearModified();
  }

  void WriteIfModified(TNodePage& page) {
    if (page.Modified() && page.PageNo() != 0) WriteNode(page);
  }

  void WriteHeader() {
    TNdxHeader::EncodeRoot(header.data(), root_page, page_count);
    file.WritePage(0, header.data());
    ++stats.header_writes;
    NoteWritten(0);
    header_dirty = false;
  }

  void MarkHeader() {
    TNdxHeader::EncodeRoot(header.data(), root_page, page_count);
    header_dirty = true;
  }

  // Writes every modified page of the chain, then the header if it changed.
  void FlushAll() {
    for (auto& page : levels) WriteIfModified(*page);
    if (header_dirty) WriteHeader();
  }

  // Allocation takes the page count and adds one.
  uint32_t AllocatePage() {
    if (page_count >= kMaxPageCount)
      throw ETableError("Index file " + file.Path() + " is full.");
    uint32_t n = page_count++;
    MarkHeader();
    return n;
  }

  // ---- loading and validating pages -----------------------------------

  void CheckKeyCount(const TNodePage& page) const {
    int32_t k = page.KeyCount();
    int capacity = page.IsInner() ? layout.max_keys - 1 : layout.max_keys;
    if (k < 0 || k > capacity)
      Damaged(Format("page %u has key count %d; a page holds 0 to %d.", page.PageNo(), k,
                     capacity));
  }

  void CheckKind(const TNodePage& page, size_t level) const {
    bool inner = page.IsInner();
    if (inner && IsLeafLevel(level))
      Damaged(Format("page %u is an inner page at the leaf level (level %zu).", page.PageNo(),
                     level));
    if (!inner && !IsLeafLevel(level))
      Damaged(Format("page %u is a leaf above the leaf level (level %zu of %zu).", page.PageNo(),
                     level, Depth()));
  }

  // The children of one inner page are distinct pages, none of them the page.
  void CheckChildren(const TNodePage& page) const {
    if (!page.IsInner()) return;
    int k = page.KeyCount();
    for (int i = 0; i <= k; ++i) {
      uint32_t child = page.ChildOfEntry(i);
      if (child == page.PageNo())
        Damaged(Format("child page pointers form a loop at page %u.", child));
      for (int j = 0; j < i; ++j)
        if (page.ChildOfEntry(j) == child)
          Damaged(Format("page %u points to child page %u more than once.", page.PageNo(), child));
    }
  }

  void CheckChildNumber(uint32_t child, uint32_t parent) {
    if (child == 0) Damaged(Format("page %u refers to child page 0.", parent));
    if (child >= page_count || child >= DiskPagesFor(child))
      Damaged(Format("page %u refers to child page %u past the end of the file.", parent, child));
  }

  // Makes the page object of `level` hold page `n` (reached from page
  // `from`). An exclusive file keeps a page that is already loaded; a shared
  // one reads it again. `check_kind` is false while the depth is still being
  // discovered.
  void LoadLevel(size_t level, uint32_t n, uint32_t from, bool check_kind = true) {
    TNodePage& page = *levels[level];
    if (level > 0) {
      CheckChildNumber(n, from);
      for (size_t l = 0; l < level; ++l)
        if (levels[l]->PageNo() == n)
          Damaged(Format("child page pointers form a loop at page %u.", n));
    }
    if (page.PageNo() == n && !Shared()) return;
    WriteIfModified(page);
    file.ReadPage(n, page.Data());
    ++stats.page_reads;
    page.SetPageNo(n);
    page.ClearModified();
    page.SetEntryNo(0);
    try {
      CheckKeyCount(page);
      if (check_kind) CheckKind(page, level);
      CheckChildren(page);
    } catch (...) {
      // A page object only ever holds a page that passed these checks.
      page.Clear();
      page.SetPageNo(0);
      throw;
    }
  }

  // Rebuilds the chain from the root along the first entries, which fixes
  // the tree's depth.
  void EstablishChain() {
    for (auto& page : levels) WriteIfModified(*page);
    levels.clear();
    levels.push_back(NewPageObject());
    levels[0]->SetPageNo(0);
    LoadLevel(0, root_page, 0, false);
    while (levels.back()->IsInner()) {
      if (levels.size() >= kMaxDepth)
        Damaged(Format("the tree is more than %zu levels deep.", kMaxDepth));
      TNodePage& parent = *levels.back();
      parent.SetEntryNo(0);
      levels.push_back(NewPageObject());
      LoadLevel(levels.size() - 1, parent.ChildOfEntry(0), parent.PageNo(), false);
    }
    Leaf().SetEntryNo(0);
  }

  void CheckRootNumbers(uint32_t root, uint32_t count) {
    if (count < 2 || count > kMaxPageCount) Damaged(Format("page count %u is invalid.", count));
    uint32_t on_disk = file.PageCountOnDisk();
    disk_pages = on_disk;
    if (count > on_disk)
      Damaged(Format("page count %u exceeds the %u pages of the file.", count, on_disk));
    if (root == 0) Damaged("the root page number is 0.");
    if (root >= count) Damaged(Format("root page %u lies past the end of the file.", root));
  }

  // Shared modes: the header and the root are read again before every search.
  void ResyncRoot() {
    if (!Shared() || !has_key) return;
    std::array<uint8_t, kNdxPageSize> fresh{};
    size_t got = file.ReadAt(0, fresh.data(), fresh.size());
    ++stats.header_reads;
    if (got < fresh.size())
      Damaged(Format("the header page is incomplete (%zu of 512 bytes).", got));
    TNdxHeader h = TNdxHeader::DecodeFrom(fresh.data());
    CheckRootNumbers(h.root_page, h.page_count);
    page_count = h.page_count;
    TNdxHeader::EncodeRoot(header.data(), h.root_page, page_count);
    if (h.root_page != root_page || levels.empty()) {
      root_page = h.root_page;
      EstablishChain();
      return;
    }
    LoadLevel(0, root_page, 0, false);
    if (levels[0]->IsInner() != (Depth() > 1)) EstablishChain();
  }

  // ---- descent --------------------------------------------------------

  // Binary search over the keyed entries: the first entry not less than the
  // key (lower bound) or greater than it (upper bound).
  int Search(const TNodePage& page, const uint8_t* key, bool upper) const {
    int lo = 0, hi = page.KeyCount();
    while (lo < hi) {
      int mid = lo + (hi - lo) / 2;
      int c = Compare(key, page.KeyOfEntry(mid));
      if (c < 0 || (!upper && c == 0))
        hi = mid;
      else
        lo = mid + 1;
    }
    return hi;
  }

  bool IsFull(size_t level) const {
    int k = levels[level]->KeyCount();
    return IsLeafLevel(level) ? k >= layout.max_keys : k >= layout.max_keys - 1;
  }

  // Descends from the root to a leaf; with `split` every full page on the
  // way is split before the descent goes on.
  void Descend(const uint8_t* key, bool upper, bool split) {
    for (size_t level = 0;; ++level) {
      TNodePage* page = levels[level].get();
      page->SetEntryNo(Search(*page, key, upper));
      if (split && IsFull(level)) {
        level = Split(level);
        page = levels[level].get();
      }
      if (IsLeafLevel(level)) return;
      LoadLevel(level + 1, page->ChildPage(), page->PageNo());
    }
  }

  // Levels below `level` go to the first entries of the subtree of the
  // current entry of `level`.
  void DescendFirst(size_t level) {
    for (size_t l = level; l + 1 < Depth(); ++l) {
      LoadLevel(l + 1, levels[l]->ChildPage(), levels[l]->PageNo());
      levels[l + 1]->SetEntryNo(0);
    }
  }

  // Levels below `level` go to their last entries; the leaf after its last.
  void DescendLast(size_t level) {
    for (size_t l = level; l + 1 < Depth(); ++l) {
      LoadLevel(l + 1, levels[l]->ChildPage(), levels[l]->PageNo());
      levels[l + 1]->SetEntryNo(levels[l + 1]->KeyCount());
    }
  }

  // The nearest ancestor of `level` not at its last entry moves to its next
  // entry, and every level below it to its first entry.
  bool NextPageOf(size_t level) {
    for (size_t l = level; l-- > 0;) {
      TNodePage& page = *levels[l];
      if (page.EntryNo() < page.KeyCount()) {
        page.SetEntryNo(page.EntryNo() + 1);
        DescendFirst(l);
        return true;
      }
    }
    return false;
  }

  bool PriorPageOf(size_t level) {
    for (size_t l = level; l-- > 0;) {
      TNodePage& page = *levels[l];
      if (page.EntryNo() > 0) {
        page.SetEntryNo(std::min(page.EntryNo(), static_cast<int>(page.KeyCount())) - 1);
        DescendLast(l);
        return true;
      }
    }
    return false;
  }

  // ---- page edits -----------------------------------------------------

  // Writes key, record number and child into the current entry of `level`.
  // When that entry is the last of its page, the key first goes into the
  // parent's entry for the page, and on upward while that entry is in turn
  // its page's last.
  void SetEntry(size_t level, uint32_t recno, const uint8_t* key, uint32_t child) {
    size_t top = level;
    while (top > 0 && levels[top]->EntryNo() == LastEntry(top)) --top;
    for (size_t l = top; l < level; ++l) {
      TNodePage& up = *levels[l];
      std::memmove(up.MutableKeyOfEntry(up.EntryNo()), key, layout.key_length);
      up.SetRecNoAndChild(0, levels[l + 1]->PageNo());
      up.MarkModified();
    }
    TNodePage& page = *levels[level];
    std::memmove(page.MutableKeyOfEntry(page.EntryNo()), key, layout.key_length);
    page.SetRecNoAndChild(recno, child);
    page.MarkModified();
  }

  // Inserts an entry at the current entry of `level`: the entries from there
  // on move up one slot (for an inner page with its trailing entry's child
  // and record number; for a leaf with room to spare also the child and
  // record number of the slot after the last), then the entry is set.
  void LocalInsert(size_t level, uint32_t recno, const uint8_t* key, uint32_t child) {
    TNodePage& page = *levels[level];
    bool inner = !IsLeafLevel(level);
    int k = page.KeyCount();
    int avail = layout.max_keys - k - (inner ? 1 : 0);
    if (avail <= 0)
      throw ETableError("Index file " + file.Path() + ": no free entry for an insertion.");
    int p = page.EntryNo();
    size_t size = static_cast<size_t>(k - p) * layout.entry_length;
    if (inner || avail > 1) size += TNdxEntryHeader::kSize;
    if (size > 0) {
      uint8_t* base = page.Data() + TNdxNodeHeader::kSize;
      std::memmove(base + static_cast<size_t>(p + 1) * layout.entry_length,
                   base + static_cast<size_t>(p) * layout.entry_length, size);
    }
    page.IncKeyCount();
    SetEntry(level, recno, key, child);
  }

  // A new root above the old one: key count 0, its trailing entry pointing to
  // the old root (key bytes a copy of the old root's first key).
  void AddNewLevel() {
    uint32_t n = AllocatePage();
    auto root = NewPageObject();
    TNodePage& old_root = *levels[0];
    root->SetPageNo(n);
    root->SetKeyCount(0);
    root->SetEntryNo(0);
    std::memcpy(root->MutableKeyOfEntry(0), old_root.KeyOfEntry(0), layout.key_length);
    root->SetRecNoAndChildOfEntry(0, 0, old_root.PageNo());
    root->MarkModified();
    levels.insert(levels.begin(), std::move(root));
    root_page = n;
    MarkHeader();
  }

  // Splits the full page of `level` around its pending insertion point (its
  // current entry). Returns the level the page is on afterwards (one lower
  // when a new root was made); its page object then holds the half that
  // takes the insertion, positioned at the insertion point, and the parent is
  // positioned on the entry pointing to it.
  size_t Split(size_t level) {
    bool new_root = level == 0;
    if (new_root) {
      AddNewLevel();
      level = 1;
    }
    TNodePage& page = *levels[level];
    TNodePage& parent = *levels[level - 1];
    const bool inner = !IsLeafLevel(level);
    const int n = page.KeyCount();
    const int p = page.EntryNo();
    int b = n / 2;
    if (inner && n % 2 == 1) ++b;
    int c = n - b;
    if (c > b && p > b) {
      ++b;
      --c;
    } else if (c < b && p < b) {
      --b;
      ++c;
    }
    const uint32_t right_no = AllocatePage();
    TNdxNodePage right(&layout);
    right.SetPageNo(right_no);
    size_t size = static_cast<size_t>(c) * layout.entry_length;
    if (inner) size += TNdxEntryHeader::kSize;  // the trailing entry's child and record number
    std::memcpy(right.EntryAddress(0), page.EntryAddress(b), size);
    if (!inner) page.SetRecNoAndChildOfEntry(b, 0, 0);
    right.SetKeyCount(c);
    page.SetKeyCount(inner ? b - 1 : b);
    page.MarkModified();

    const int pos = parent.EntryNo();
    LocalInsert(level - 1, 0, page.KeyOfEntry(b - 1), page.PageNo());
    parent.SetRecNoAndChildOfEntry(pos + 1, 0, right_no);
    parent.MarkModified();

    WriteBuffer(right_no, right.Data());
    if (new_root) WriteNode(parent);
    if (new_root || Shared()) WriteHeader();

    if (p >= b) {
      parent.SetEntryNo(pos + 1);
      WriteIfModified(page);
      std::memcpy(page.Data(), right.Data(), kNdxPageSize);
      page.SetPageNo(right_no);
      page.ClearModified();
      page.SetEntryNo(p - b);
    } else {
      page.SetEntryNo(p);
    }
    return level;
  }

  // The index holds nothing any more: the root becomes an empty leaf.
  void CollapseRoot() {
    for (size_t l = 1; l < Depth(); ++l) WriteIfModified(*levels[l]);
    levels.resize(1);
    TNodePage& root = *levels[0];
    root.SetKeyCount(0);
    root.SetRecNoAndChildOfEntry(0, 0, 0);
    root.MarkModified();
    root.SetEntryNo(0);
  }

  // Removes the current entry of `level` (see the file comment for the
  // bookkeeping of inner pages) and leaves the position on the entry that
  // followed it.
  void DeleteAt(size_t level) {
    for (;;) {
      TNodePage& page = *levels[level];
      const bool inner = !IsLeafLevel(level);
      const int k = page.KeyCount();
      const int high = inner ? k : k - 1;
      const int e = page.EntryNo();
      if (high == 0) {  // the page's only entry
        if (level == 0 && inner) {
          CollapseRoot();
          return;
        }
        if (!inner) {
          page.SetKeyCount(0);
          page.SetRecNoAndChildOfEntry(0, 0, 0);
          page.MarkModified();
          page.SetEntryNo(0);
        }
        if (level == 0) return;
        --level;  // unlink the page: remove the parent's entry for it
        continue;
      }
      if (e < high) {
        uint8_t* base = page.Data() + TNdxNodeHeader::kSize;
        std::memmove(base + static_cast<size_t>(e) * layout.entry_length,
                     base + static_cast<size_t>(e + 1) * layout.entry_length,
                     static_cast<size_t>(high - e) * layout.entry_length);
      } else if (level > 0) {
        // The last entry goes: the new last key goes into the parent.
        page.SetEntryNo(high - 1);
        const uint8_t* key = page.KeyOfEntry(high - 1);
        SetEntry(level - 1, 0, key, page.PageNo());
      }
      page.SetKeyCount(k - 1);
      page.SetRecNoAndChildOfEntry(high, 0, 0);
      page.MarkModified();
      if (!inner) {
        page.SetEntryNo(e);
      } else if (e <= high - 1) {
        page.SetEntryNo(e);
        DescendFirst(level);
      } else {
        page.SetEntryNo(high - 1);
        DescendLast(level);
      }
      return;
    }
  }

  // ---- operations -----------------------------------------------------

  // Initialise: page count 1, the root takes page 1, an empty leaf written
  // at once; the header is marked for writing.
  void ResetTree() {
    levels.clear();  // discarded unwritten: the file's pages no longer matter
    page_count = 1;
    root_page = AllocatePage();
    auto root = NewPageObject();
    root->SetPageNo(root_page);
    root->SetEntryNo(0);
    WriteNode(*root);
    levels.push_back(std::move(root));
    MarkHeader();
  }

  void ApplyHeader(const TNdxHeader& h) {
    flags = h.key_flags;
    character = h.key_letter == 'C';
    descending = (flags & kNdxFlagDescending) != 0;
    unique = TUniqueMode::None;
    if (flags & kNdxFlagUnique) unique = TUniqueMode::Unique;
    if (flags & kNdxFlagDistinct) unique = TUniqueMode::Primary;
    layout = TNodeLayout{h.key_length, h.entry_length, h.max_keys};
    expression = h.expression;
    has_key = true;
  }

  void Initialise() {
    header.fill(0);
    header_repaired = false;
    has_key = false;
    layout = kNoKeyLayout;
    flags = 0;
    character = true;
    descending = false;
    unique = TUniqueMode::None;
    expression.clear();
    ResetTree();
    if (Shared()) WriteHeader();
  }

  void ReadExisting() {
    size_t got = file.ReadAt(0, header.data(), header.size());
    ++stats.header_reads;
    if (got < header.size())
      Damaged(Format("the header page is incomplete (%zu of 512 bytes).", got));
    TNdxHeader h = TNdxHeader::DecodeFrom(header.data());
    if (h.key_length == 0) Damaged("the key length is 0.");
    if (static_cast<uint32_t>(h.max_keys) * h.entry_length > kNdxPageSize) {
      // Clamp repair, in memory only until the header is next written.
      if (h.key_length > kNdxMaxKeyLength) h.key_length = kNdxMaxKeyLength;
      h.entry_length = NdxEntryLength(h.key_length);
      h.max_keys = NdxMaxKeys(h.entry_length);
      TNdxHeader::EncodeSizes(header.data(), h.key_length, h.entry_length, h.max_keys);
      header_repaired = true;
    }
    if (h.key_letter != 'C' && h.key_length != kNdxNumericKeyLength)
      Damaged(Format("numeric key length %u is not 8.", h.key_length));
    if (h.entry_length < static_cast<uint32_t>(h.key_length) + TNdxEntryHeader::kSize ||
        h.max_keys < 3 ||
        TNdxNodeHeader::kSize + static_cast<uint32_t>(h.max_keys) * h.entry_length > kNdxPageSize)
      Damaged(Format("entry length %u and %u keys per page do not fit key length %u in a page.",
                     h.entry_length, h.max_keys, h.key_length));
    CheckRootNumbers(h.root_page, h.page_count);
    root_page = h.root_page;
    page_count = h.page_count;
    ApplyHeader(h);
    EstablishChain();
  }

  void SetupKey(const std::string& expr, bool character_key, uint16_t key_length, int options) {
    RequireWritable();
    if (character_key && key_length == 0)
      throw ETableError("Index file " + file.Path() + ": the key length is 0.");
    if (character_key && key_length > kNdxMaxKeyLength)
      throw ETableError(Format("Index result for \"%s\" too long, >100 characters (%d).",
                               expr.c_str(), static_cast<int>(key_length)));
    TNdxHeader h = TNdxHeader::ForKey(expr, character_key, key_length, options);
    header_repaired = false;
    ApplyHeader(h);
    ResetTree();
    h.root_page = root_page;
    h.page_count = page_count;
    h.EncodeTo(header.data());
    header_dirty = true;
    if (Shared()) WriteHeader();
  }

  [[noreturn]] void KeyViolation(uint32_t holder, const uint8_t* key) const {
    std::string shown;
    if (character) {
      shown.assign(reinterpret_cast<const char*>(key), layout.key_length);
      while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    } else {
      shown = FormatKeyNumber(DecodeDouble(key));
    }
    throw ETableError(Format("Key violation. (Key already present in file).\r\nIndex: %s\r\n"
                             "Record=%d Key='",
                             file.Path().c_str(), static_cast<int>(holder)) +
                      shown + "'.");
  }

  void InsertEntry(const uint8_t* key, uint32_t recno) {
    ResyncRoot();
    const bool unique_mode = unique != TUniqueMode::None;
    Descend(key, /*upper=*/!unique_mode, /*split=*/true);
    TNodePage& leaf = Leaf();
    const int p = leaf.EntryNo();
    if (unique_mode && p < leaf.KeyCount() && Compare(key, leaf.KeyOfEntry(p)) == 0) {
      const uint32_t holder = leaf.RecNoOfEntry(p);
      if (Shared()) FlushAll();
      if (unique == TUniqueMode::Primary) KeyViolation(holder, key);
      return;
    }
    LocalInsert(Depth() - 1, recno, key, 0);
    if (Shared()) FlushAll();
  }

  // Returns whether the entry was found (and removed).
  bool DeleteEntry(const uint8_t* key, uint32_t recno) {
    TNodePage& leaf = Leaf();
    bool found = !Shared() && leaf.EntryNo() >= 0 && leaf.EntryNo() < leaf.KeyCount() &&
                 leaf.RecNo() == recno;
    if (!found) found = FindKey(key, TFindMode::RecordEntry, recno);
    if (!found) return false;
    DeleteAt(Depth() - 1);
    if (Shared()) FlushAll();
    return true;
  }

  // Whether the entry just before the position holds a key equal to `key`:
  // the leaf's previous entry, or the greatest key of the subtree before the
  // position (the keyed entry before the nearest ancestor's current one).
  bool PrecedingKeyEquals(const uint8_t* key) const {
    const TNodePage& leaf = Leaf();
    if (leaf.EntryNo() > 0) return Compare(key, leaf.KeyOfEntry(leaf.EntryNo() - 1)) == 0;
    for (size_t l = Depth() - 1; l-- > 0;) {
      const TNodePage& page = *levels[l];
      if (page.EntryNo() > 0) return Compare(key, page.KeyOfEntry(page.EntryNo() - 1)) == 0;
    }
    return false;
  }

  bool FindKey(const uint8_t* key, TFindMode mode, uint32_t recno) {
    ResyncRoot();
    if (!has_key) {
      Leaf().SetEntryNo(Leaf().KeyCount());
      return false;
    }
    Descend(key, mode == TFindMode::InsertPoint, false);
    TNodePage* leaf = &Leaf();
    switch (mode) {
      case TFindMode::Exact:
        return leaf->EntryNo() < leaf->KeyCount() &&
               Compare(key, leaf->KeyOfEntry(leaf->EntryNo())) == 0;
      case TFindMode::InsertPoint:
        return PrecedingKeyEquals(key);
      case TFindMode::RecordEntry:
        break;
    }
    // Walk forward over the equal keys, into the following leaves.
    for (uint32_t leaves = 0;; ++leaves) {
      const int k = leaf->KeyCount();
      for (int e = leaf->EntryNo(); e < k; ++e) {
        if (Compare(key, leaf->KeyOfEntry(e)) != 0) {
          leaf->SetEntryNo(e);
          return false;
        }
        if (leaf->RecNoOfEntry(e) == recno) {
          leaf->SetEntryNo(e);
          return true;
        }
      }
      leaf->SetEntryNo(k);
      if (leaves >= page_count) Damaged("the leaves form a loop.");
      if (!NextPageOf(Depth() - 1)) return false;
      leaf = &Leaf();
      leaf->SetEntryNo(0);
    }
  }

  // One step in index order; false (and the leaf after its last entry) at the end.
  bool StepNext() {
    TNodePage& leaf = Leaf();
    const int k = leaf.KeyCount();
    const int e = leaf.EntryNo();
    if (e + 1 < k) {
      leaf.SetEntryNo(std::max(e + 1, 0));
      return true;
    }
    leaf.SetEntryNo(k);
    for (uint32_t skipped = 0;; ++skipped) {
      if (!NextPageOf(Depth() - 1)) {
        Leaf().SetEntryNo(Leaf().KeyCount());
        return false;
      }
      if (Leaf().KeyCount() > 0) {
        Leaf().SetEntryNo(0);
        return true;
      }
      if (skipped >= page_count) Damaged("the leaves form a loop.");
    }
  }

  bool StepPrior() {
    TNodePage& leaf = Leaf();
    const int k = leaf.KeyCount();
    const int e = std::min(leaf.EntryNo(), k);
    if (e - 1 >= 0) {
      leaf.SetEntryNo(e - 1);
      return true;
    }
    leaf.SetEntryNo(-1);
    for (uint32_t skipped = 0;; ++skipped) {
      if (!PriorPageOf(Depth() - 1)) {
        Leaf().SetEntryNo(-1);
        return false;
      }
      if (Leaf().KeyCount() > 0) {
        Leaf().SetEntryNo(Leaf().KeyCount() - 1);
        return true;
      }
      if (skipped >= page_count) Damaged("the leaves form a loop.");
    }
  }

  void FirstInternal() {
    levels[0]->SetEntryNo(0);
    DescendFirst(0);
    Leaf().SetEntryNo(-1);
  }

  void LastInternal() {
    levels[0]->SetEntryNo(levels[0]->KeyCount());
    DescendLast(0);
    Leaf().SetEntryNo(Leaf().KeyCount());
  }

  // Shared modes: before Next or Prior the current entry is found anew. The
  // header, the root and the pages of the current path are read again; when
  // the path still leads to an entry with the same key and record number at
  // the same place the position stays, else the entry is searched by key and
  // record number. (Checking the place first also keeps a walk over a file
  // whose keys are out of order from searching its way back.)
  void ResyncTree() {
    if (!Shared() || !has_key) return;
    const size_t depth = Depth();
    std::vector<uint32_t> pages(depth);
    std::vector<int> entries(depth);
    for (size_t l = 0; l < depth; ++l) {
      pages[l] = levels[l]->PageNo();
      entries[l] = levels[l]->EntryNo();
    }
    TNodePage& leaf = Leaf();
    const bool before = leaf.EntryNo() < 0;
    const bool after = leaf.EntryNo() >= leaf.KeyCount();
    std::vector<uint8_t> key;
    uint32_t recno = 0;
    if (!before && !after) {
      key.assign(leaf.Key(), leaf.Key() + layout.key_length);
      recno = leaf.RecNo();
    }
    ResyncRoot();
    if (before) return FirstInternal();
    if (after) return LastInternal();
    if (StillInPlace(pages, entries, key.data(), recno)) return;
    FindKey(key.data(), TFindMode::RecordEntry, recno);
  }

  bool StillInPlace(const std::vector<uint32_t>& pages, const std::vector<int>& entries,
                    const uint8_t* key, uint32_t recno) {
    if (Depth() != pages.size() || levels[0]->PageNo() != pages[0]) return false;
    for (size_t l = 0; l < pages.size(); ++l) {
      if (l > 0) {
        if (levels[l - 1]->ChildPage() != pages[l]) return false;
        LoadLevel(l, pages[l], pages[l - 1]);
      }
      const int last = LastEntry(l);
      if (entries[l] < 0 || entries[l] > last) return false;
      levels[l]->SetEntryNo(entries[l]);
    }
    const TNodePage& leaf = Leaf();
    return leaf.RecNo() == recno && std::memcmp(leaf.Key(), key, layout.key_length) == 0;
  }

  uint32_t CurrentRecNo() const {
    if (levels.empty()) return 0;
    const TNodePage& leaf = Leaf();
    if (leaf.EntryNo() < 0 || leaf.EntryNo() >= leaf.KeyCount()) return 0;
    return leaf.RecNo();
  }

  uint64_t WeightOf(size_t level) const {
    uint64_t w = 1;
    for (size_t l = level + 1; l < Depth(); ++l) w = SaturatingMul(w, layout.max_keys);
    return w;
  }

  uint32_t PositionEstimate() const {
    if (levels.empty()) return 0;
    const TNodePage& leaf = Leaf();
    if (leaf.EntryNo() < 0) return 0;
    if (leaf.EntryNo() >= leaf.KeyCount()) return kPositionAfterLast;
    uint64_t pos = 1;
    for (size_t l = 0; l < Depth(); ++l)
      pos = SaturatingAdd(pos, SaturatingMul(static_cast<uint64_t>(levels[l]->EntryNo()), WeightOf(l)));
    return static_cast<uint32_t>(std::min(pos, kPositionCap));
  }

  void SetPositionEstimate(uint32_t position) {
    if (position == 0) {
      ResyncRoot();
      FirstInternal();
      return;
    }
    if (position >= kPositionAfterLast) {
      ResyncRoot();
      LastInternal();
      return;
    }
    ResyncRoot();
    uint64_t r = position - 1;
    for (size_t l = 0; l < Depth(); ++l) {
      TNodePage& page = *levels[l];
      const uint64_t weight = WeightOf(l);
      const uint64_t target = r / weight;
      r %= weight;
      const int last = LastEntry(l);
      if (last < 0 || target > static_cast<uint64_t>(last)) {
        if (NextPageOf(l)) {
          r = 0;  // this level and those below are at their first entries
          continue;
        }
        // No next page: every level goes to its last entry.
        page.SetEntryNo(std::max(last, 0));
        DescendLast(l);
        Leaf().SetEntryNo(Leaf().KeyCount() - 1);
        return;
      }
      page.SetEntryNo(static_cast<int>(target));
      if (!IsLeafLevel(l)) LoadLevel(l + 1, page.ChildPage(), page.PageNo());
    }
  }

  uint32_t CountEstimate() const {
    if (levels.empty()) return 0;
    const TNodePage& root = *levels[0];
    uint64_t pointers = static_cast<uint64_t>(root.KeyCount()) + (Depth() > 1 ? 1 : 0);
    return static_cast<uint32_t>(std::min(SaturatingMul(WeightOf(0), pointers), kPositionCap));
  }

  void Reset() {
    levels.clear();
    header.fill(0);
    header_dirty = false;
    header_repaired = false;
    root_page = page_count = disk_pages = 0;
    layout = kNoKeyLayout;
    has_key = false;
    character = true;
    descending = false;
    unique = TUniqueMode::None;
    flags = 0;
    expression.clear();
    source = TKeySource{};
    bound = false;
  }
};

// ---- TIndexFile ---------------------------------------------------------

TIndexFile::TIndexFile() : impl_(std::make_unique<Impl>()) {}

TIndexFile::~TIndexFile() {
  try {
    Close();
  } catch (...) {
  }
}

void TIndexFile::Open(const std::string& path, TOpenMode mode) {
  Close();
  Impl& d = *impl_;
  d.stats = TIndexStats{};
  d.file.SetPageSize(kNdxPageSize);
  d.file.Open(path, mode);
  try {
    d.disk_pages = d.file.PageCountOnDisk();
    if (IsCreateMode(mode))
      d.Initialise();
    else
      d.ReadExisting();
  } catch (...) {
    // A file this call created or emptied and could not make an index of
    // is removed: no half-made index is left for anyone to open.
    const std::string made = d.file.Path();
    d.file.Close();
    d.Reset();
    if (IsCreateMode(mode)) DeleteFile(made);
    throw;
  }
}

void TIndexFile::Close() {
  Impl& d = *impl_;
  if (!d.file.IsOpen()) return;
  try {
    if (d.file.Writable()) d.FlushAll();
  } catch (...) {
    d.file.Close();
    d.Reset();
    throw;
  }
  d.file.Close();
  d.Reset();
}

void TIndexFile::Flush() {
  Impl& d = *impl_;
  if (!d.file.IsOpen() || !d.file.Writable()) return;
  d.FlushAll();
  d.file.FlushPages();
}

void TIndexFile::SetWriteBehind(bool on) {
  if (impl_->file.IsOpen()) impl_->file.SetWriteBehind(on);
}

bool TIndexFile::IsOpen() const { return impl_->file.IsOpen(); }
const std::string& TIndexFile::Path() const { return impl_->file.Path(); }

void TIndexFile::SetupKey(const std::string& expression, bool character_key, uint16_t key_length,
                          int options) {
  impl_->SetupKey(expression, character_key, key_length, options);
}

void TIndexFile::BindKeySource(const TKeySource& source) {
  Impl& d = *impl_;
  d.RequireOpen();
  if (d.has_key && source.character != d.character)
    throw ETableError("Index file " + d.file.Path() + ": the key field does not match the " +
                      (d.character ? "character" : "numeric") + " key.");
  d.source = source;
  d.bound = true;
}

const std::string& TIndexFile::Expression() const { return impl_->expression; }
bool TIndexFile::CharacterKey() const { return impl_->character; }
uint16_t TIndexFile::KeyLength() const { return impl_->layout.key_length; }
bool TIndexFile::Descending() const { return impl_->descending; }
TUniqueMode TIndexFile::UniqueMode() const { return impl_->unique; }

int TIndexFile::Options() const {
  const Impl& d = *impl_;
  int options = 0;
  if (d.descending) options |= ixDescending;
  if (d.unique == TUniqueMode::Primary) options |= ixPrimary;
  if (d.unique == TUniqueMode::Unique) options |= ixUnique;
  return options;
}

std::vector<uint8_t> TIndexFile::KeyFromRecord(const uint8_t* record) const {
  return impl_->KeyFromRecord(record);
}

std::vector<uint8_t> TIndexFile::KeyFromNumber(double value) const {
  const Impl& d = *impl_;
  if (d.character) return KeyFromText(FormatKeyNumber(value));
  return d.NumberKey(value);
}

std::vector<uint8_t> TIndexFile::KeyFromText(const std::string& bytes) const {
  const Impl& d = *impl_;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (d.character) return d.TextKey(p, bytes.size());
  return d.NumberKey(DecodeNumeric(p, bytes.size()).value_or(0.0));
}

void TIndexFile::InsertKey(uint32_t recno, const uint8_t* record) {
  Impl& d = *impl_;
  d.RequireWritable();
  if (!d.has_key) return;
  if (d.unique == TUniqueMode::Primary && record[0] == '*') return;
  std::vector<uint8_t> key = d.KeyFromRecord(record);
  d.InsertEntry(key.data(), recno);
}

void TIndexFile::DeleteKey(uint32_t recno, const uint8_t* record) {
  Impl& d = *impl_;
  d.RequireWritable();
  if (!d.has_key) return;
  std::vector<uint8_t> key = d.KeyFromRecord(record);
  d.DeleteEntry(key.data(), recno);
}

void TIndexFile::UpdateKey(uint32_t recno, const uint8_t* old_record,
                           const uint8_t* new_record) {
  Impl& d = *impl_;
  d.RequireWritable();
  if (!d.has_key) return;
  std::vector<uint8_t> old_key = d.KeyFromRecord(old_record);
  std::vector<uint8_t> new_key = d.KeyFromRecord(new_record);
  if (d.Compare(old_key.data(), new_key.data()) == 0) return;
  bool removed = d.DeleteEntry(old_key.data(), recno);
  try {
    if (!(d.unique == TUniqueMode::Primary && new_record[0] == '*'))
      d.InsertEntry(new_key.data(), recno);
  } catch (const ETableError&) {
    if (removed) {
      try {
        d.InsertEntry(old_key.data(), recno);
      } catch (const ETableError&) {
      }
    }
    throw;
  }
}

bool TIndexFile::Find(const std::vector<uint8_t>& key, TFindMode mode, uint32_t recno) {
  Impl& d = *impl_;
  d.RequireOpen();
  std::vector<uint8_t> k = d.NormalizeKey(key);
  return d.FindKey(k.data(), mode, recno);
}

void TIndexFile::First() {
  Impl& d = *impl_;
  d.RequireOpen();
  d.ResyncRoot();
  d.FirstInternal();
}

void TIndexFile::Last() {
  Impl& d = *impl_;
  d.RequireOpen();
  d.ResyncRoot();
  d.LastInternal();
}

bool TIndexFile::Next() {
  Impl& d = *impl_;
  d.RequireOpen();
  d.ResyncTree();
  const uint32_t start = d.CurrentRecNo();
  for (;;) {
    if (!d.StepNext()) return false;
    if (d.CurrentRecNo() != start) return true;
  }
}

bool TIndexFile::Prior() {
  Impl& d = *impl_;
  d.RequireOpen();
  d.ResyncTree();
  const uint32_t start = d.CurrentRecNo();
  for (;;) {
    if (!d.StepPrior()) return false;
    if (d.CurrentRecNo() != start) return true;
  }
}

uint32_t TIndexFile::CurrentRecNo() const { return impl_->CurrentRecNo(); }


bool TIndexFile::BeforeFirst() const {
  const Impl& d = *impl_;
  return !d.levels.empty() && d.Leaf().EntryNo() < 0;
}

bool TIndexFile::AfterLast() const {
  const Impl& d = *impl_;
  return !d.levels.empty() && d.Leaf().EntryNo() >= d.Leaf().KeyCount();
}

uint32_t TIndexFile::PositionEstimate() const { return impl_->PositionEstimate(); }

void TIndexFile::SetPositionEstimate(uint32_t position) {
  impl_->RequireOpen();
  impl_->SetPositionEstimate(position);
}

uint32_t TIndexFile::CountEstimate() const { return impl_->CountEstimate(); }

uint32_t TIndexFile::RootPage() const { return impl_->root_page; }
uint32_t TIndexFile::PageCount() const { return impl_->page_count; }
uint16_t TIndexFile::EntryLength() const {
  return impl_->has_key ? impl_->layout.entry_length : 0;
}
uint16_t TIndexFile::MaxKeys() const { return impl_->has_key ? impl_->layout.max_keys : 0; }
bool TIndexFile::HeaderRepaired() const { return impl_->header_repaired; }
const uint8_t* TIndexFile::HeaderImage() const { return impl_->header.data(); }
size_t TIndexFile::Depth() const { return impl_->levels.size(); }

uint32_t TIndexFile::PagesOnDisk() {
  impl_->RequireOpen();
  return impl_->file.PageCountOnDisk();
}

bool TIndexFile::ReadNodePage(uint32_t n, uint8_t* buffer) {
  Impl& d = *impl_;
  d.RequireOpen();
  for (auto& page : d.levels) {
    if (page->PageNo() == n) {
      std::memcpy(buffer, page->Data(), kNdxPageSize);
      return true;
    }
  }
  return d.file.ReadPage(n, buffer);
}

int TIndexFile::CompareKeys(const uint8_t* a, const uint8_t* b) const {
  return impl_->Compare(a, b);
}

bool TIndexFile::KeyBound() const { return impl_->bound; }
const TKeySource& TIndexFile::KeySource() const { return impl_->source; }
const TIndexStats& TIndexFile::Stats() const { return impl_->stats; }
void TIndexFile::ResetStats() { impl_->stats = TIndexStats{}; }

}  // namespace kalbor
