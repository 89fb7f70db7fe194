// The page chain of an index file: getting node pages (from the inner-page
// cache or the file), checking each page as it comes in, writing changed
// pages, and allocating new ones.
#include <algorithm>
#include <cstring>

#include "storage/errors.h"
#include "storage/index_tree.h"

namespace kalbor {

std::unique_ptr<TNodePage> TIndexFile::Impl::TakePage() {
  if (pool.empty()) return std::make_unique<TNdxNodePage>(&layout);
  std::unique_ptr<TPage> page = std::move(pool.back());
  pool.pop_back();
  return page;
}

void TIndexFile::Impl::GivePage(std::unique_ptr<TPage> page) {
  page->ClearModified();
  pool.push_back(std::move(page));
}

// In the exclusive modes nobody else writes the file, so an inner page once
// read (or written) stays valid in memory; searches then read only their
// leaf. The cache is bounded: once full, further pages are read each time.
// It holds pages as they are in the file; a page a chain level holds and
// has changed is newer, but a descent always uses the chain's copy of a page
// at its own level first.
bool TIndexFile::Impl::Load(TPage& page, uint32_t page_no) {
  page.SetPageNo(page_no);
  page.ClearModified();
  page.SetEntryNo(0);
  if (!shared) {
    auto hit = inner_cache.find(page_no);
    if (hit != inner_cache.end()) {
      std::memcpy(page.Data(), hit->second.data(), kNdxPageSize);
      return false;
    }
  }
  ++stats.page_reads;
  if (!file.ReadPage(page_no, page.Data()))
    Damaged(Format("page %u lies past the end of the file.", page_no));
  CheckKeyCount(page);
  if (!shared && page.IsInner() && inner_cache.size() < kInnerCacheCapacity)
    std::memcpy(inner_cache[page_no].data(), page.Data(), kNdxPageSize);
  return true;
}

// What a page read from the file says about itself: a key count it can
// hold, and (CheckChildren) child pointers that do not repeat. Pages in the
// cache passed these checks when they were read, or were written here.
void TIndexFile::Impl::CheckKeyCount(const TPage& page) const {
  const int32_t count = page.KeyCount();
  const int32_t most = page.IsInner() ? layout.max_keys - 1 : layout.max_keys;
  if (count < 0 || count > most)
    Damaged(Format("page %u has key count %d; a page holds 0 to %d.", page.PageNo(), count, most));
}

void TIndexFile::Impl::CheckChildren(const TPage& page) const {
  if (!page.IsInner()) return;
  const int count = page.KeyCount();
  for (int i = 1; i <= count; ++i) {
    const uint32_t child = page.ChildOfEntry(i);
    for (int j = 0; j < i; ++j)
      if (page.ChildOfEntry(j) == child)
        Damaged(Format("page %u points to child page %u more than once.", page.PageNo(), child));
  }
}

// Every leaf lies at the same depth: the chain's.
void TIndexFile::Impl::CheckLevel(const TPage& page, size_t level, size_t depth) const {
  const bool leaf_level = level + 1 >= depth;
  if (leaf_level && page.IsInner())
    Damaged(Format("page %u is an inner page at the leaf level (level %zu).", page.PageNo(), level));
  if (!leaf_level && !page.IsInner())
    Damaged(Format("page %u is a leaf above the leaf level (level %zu of %zu).", page.PageNo(),
                   level, depth));
}

uint32_t TIndexFile::Impl::ChildOf(const TPage& page, int entry, const uint32_t* above,
                                   size_t count) const {
  const uint32_t child = page.ChildOfEntry(entry);
  if (child == 0) Damaged(Format("page %u refers to child page 0.", page.PageNo()));
  if (child >= page_count)
    Damaged(Format("page %u refers to child page %u past the end of the file.", page.PageNo(),
                   child));
  for (size_t i = 0; i < count; ++i)
    if (above[i] == child) Damaged(Format("child page pointers form a loop at page %u.", child));
  return child;
}

void TIndexFile::Impl::WritePage(TPage& page) {
  file.WritePage(page.PageNo(), page.Data());
  ++stats.page_writes;
  page.ClearModified();
  if (shared) return;
  if (page.IsInner()) {
    auto hit = inner_cache.find(page.PageNo());
    if (hit != inner_cache.end() || inner_cache.size() < kInnerCacheCapacity)
      std::memcpy(inner_cache[page.PageNo()].data(), page.Data(), kNdxPageSize);
  } else {
    inner_cache.erase(page.PageNo());
  }
}

// Pages first, header last: a header never names pages the file lacks.
void TIndexFile::Impl::WriteModified() {
  for (auto& page : levels)
    if (page->Modified()) WritePage(*page);
  if (header_dirty) WriteHeader();
}

// Forgets the chain without writing it (its pages belong to a tree that is
// being replaced).
void TIndexFile::Impl::DiscardChain() {
  while (!levels.empty()) {
    GivePage(std::move(levels.back()));
    levels.pop_back();
  }
}

uint32_t TIndexFile::Impl::Allocate() {
  if (page_count >= kIndexMaxPageCount)
    throw ETableError(Format("Index file %s is full.", file.Path().c_str()));
  header_dirty = true;
  return page_count++;
}

void TIndexFile::Impl::ResetTree() {
  DiscardChain();
  inner_cache.clear();
  page_count = 1;
  std::unique_ptr<TPage> root = TakePage();
  root->Clear();
  root->SetPageNo(Allocate());
  root->SetEntryNo(0);
  root_page = root->PageNo();
  levels.push_back(std::move(root));
  WritePage(*levels.back());
  HeaderChanged();
}

}  // namespace kalbor
