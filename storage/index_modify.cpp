// Changes to an index file's tree: inserting an entry (with the splits made
// on the way down and the growth of the root) and deleting one (with the
// unlinking of emptied pages).
#include <cstring>

#include "storage/errors.h"
#include "storage/index_tree.h"

namespace kalbor {

// Shared modes: everything a change touched goes to the file at its end,
// the pages before the header.
void TIndexFile::Impl::EndChange() {
  if (shared) WriteModified();
}

void TIndexFile::Impl::Insert(const uint8_t* key, uint32_t recno) {
  Refresh();
  walk_direction = 0;
  leaves_walked = 0;
  // Equal keys go after the ones present (upper bound); a unique index
  // looks for the first equal key instead (lower bound).
  const bool distinct = unique != TUniqueMode::None;
  DescendBound(key, !distinct);
  // A primary index refuses before a page is split: the file stays as it was.
  if (unique == TUniqueMode::Primary) RefuseHeldKey(key, recno);
  SplitFullPages();
  TPage& leaf = Leaf();
  const int at = leaf.EntryNo();
  const int count = leaf.KeyCount();
  if (distinct && at < count && Compare(key, leaf.KeyOfEntry(at)) == 0) {
    // A unique index keeps the entry present; the splits made on the way
    // down stay. A key that the same record already holds is no violation:
    // the entry is there (an undo that puts an entry back relies on this).
    EndChange();
    return;
  }
  const size_t entry_length = layout.entry_length;
  std::memmove(leaf.EntryAddress(at + 1), leaf.EntryAddress(at),
               static_cast<size_t>(count - at) * entry_length);
  leaf.SetRecNoAndChildOfEntry(at, recno, 0);
  uint8_t* slot = leaf.MutableKeyOfEntry(at);
  std::memcpy(slot, key, layout.key_length);
  std::memset(slot + layout.key_length, 0,
              entry_length - TNdxEntryHeader::kSize - layout.key_length);
  leaf.SetKeyCount(count + 1);
  leaf.MarkModified();
  leaf.SetEntryNo(at);
  if (at == count) CopyKeyUp(Depth() - 1, leaf.KeyOfEntry(at));
  EndChange();
}

void TIndexFile::Impl::RefuseHeldKey(const uint8_t* key, uint32_t recno) const {
  const TPage& leaf = Leaf();
  const int at = leaf.EntryNo();
  if (at >= leaf.KeyCount() || Compare(key, leaf.KeyOfEntry(at)) != 0) return;
  const uint32_t holder = leaf.RecNoOfEntry(at);
  if (holder == recno) return;
  throw ETableError(
      Format("Key violation. (Key already present in file).\r\nIndex: %s\r\nRecord=%u Key='%s'.",
             file.Path().c_str(), holder, KeyText(key).c_str()));
}

// Every full page on the path is split before the insertion reaches the
// leaf, so that each split finds room in its parent. A full root first gets
// a new root above it.
void TIndexFile::Impl::SplitFullPages() {
  for (size_t level = 0; level < Depth(); ++level) {
    const TPage& page = *levels[level];
    const int most = page.IsInner() ? layout.max_keys - 1 : layout.max_keys;
    if (page.KeyCount() < most) continue;
    const bool grows = level == 0;
    if (grows) {
      NewRoot();
      level = 1;
    }
    Split(level);
    if (grows) {
      // The new root and the header naming it go to the file at once.
      WritePage(*levels[0]);
      WriteHeader();
    }
  }
}

// The new root: one trailing entry that points to the old root (its key a
// copy of the old root's first key). The chain gains a level above.
void TIndexFile::Impl::NewRoot() {
  if (Depth() >= kIndexMaxDepth) Damaged("the tree is more than 64 levels deep.");
  const TPage& old_root = *levels[0];
  std::unique_ptr<TPage> root = TakePage();
  root->Clear();
  root->SetPageNo(Allocate());
  root->SetKeyCount(0);
  root->SetRecNoAndChildOfEntry(0, 0, old_root.PageNo());
  std::memcpy(root->MutableKeyOfEntry(0), old_root.KeyOfEntry(0), layout.key_length);
  root->SetEntryNo(0);
  root->MarkModified();
  root_page = root->PageNo();
  levels.insert(levels.begin(), std::move(root));
}

// Splits the full page at `level` around the pending insertion point (its
// current entry). The left half keeps the page number; the right half is a
// new page at the end of the file, written at once.
void TIndexFile::Impl::Split(size_t level) {
  TPage& parent = *levels[level - 1];
  TPage& page = *levels[level];
  const bool inner = page.IsInner();
  const int n = page.KeyCount();
  const int pending = page.EntryNo();
  const size_t entry_length = layout.entry_length;
  int left = n / 2;
  if (inner && n % 2 != 0) ++left;
  int right = n - left;
  // The half that takes the insertion starts one entry shorter.
  if (right > left && pending > left) {
    ++left;
    --right;
  } else if (right < left && pending < left) {
    --left;
    ++right;
  }

  std::unique_ptr<TPage> half = TakePage();
  half->Clear();
  half->SetPageNo(Allocate());
  // An inner page's trailing entry moves with the entries after the split.
  const int moved = inner ? right + 1 : right;
  std::memcpy(half->EntryAddress(0), page.EntryAddress(left),
              static_cast<size_t>(moved) * entry_length);
  half->SetKeyCount(right);
  if (inner) {
    // Entry left - 1 becomes the old page's trailing entry.
    page.SetKeyCount(left - 1);
  } else {
    page.SetKeyCount(left);
    page.SetRecNoAndChildOfEntry(left, 0, 0);
  }
  page.MarkModified();
  WritePage(*half);

  // In the parent a new entry for the left half (its greatest key) goes
  // before the entry that pointed to the page, which now points to the
  // right half and keeps its key, the greatest of the right half.
  const int at = parent.EntryNo();
  const int parent_count = parent.KeyCount();
  std::memmove(parent.EntryAddress(at + 1), parent.EntryAddress(at),
               static_cast<size_t>(parent_count - at + 1) * entry_length);
  parent.SetRecNoAndChildOfEntry(at, 0, page.PageNo());
  std::memcpy(parent.MutableKeyOfEntry(at), page.KeyOfEntry(left - 1), layout.key_length);
  parent.SetRecNoAndChildOfEntry(at + 1, 0, half->PageNo());
  parent.SetKeyCount(parent_count + 1);
  parent.MarkModified();

  if (pending < left) {
    page.SetEntryNo(pending);
    parent.SetEntryNo(at);
    GivePage(std::move(half));
  } else {
    // The insertion goes on in the right half: the page object leaves the
    // left half, which is written now.
    WritePage(page);
    half->SetEntryNo(pending - left);
    parent.SetEntryNo(at + 1);
    GivePage(std::move(levels[level]));
    levels[level] = std::move(half);
  }
}

// The page at `level` has a new last key: the parent entry that points to
// it takes a copy, and so on up while that entry is the parent's last.
void TIndexFile::Impl::CopyKeyUp(size_t level, const uint8_t* key) {
  for (size_t i = level; i > 0; --i) {
    TPage& parent = *levels[i - 1];
    std::memcpy(parent.MutableKeyOfEntry(parent.EntryNo()), key, layout.key_length);
    parent.MarkModified();
    if (parent.EntryNo() != parent.KeyCount()) break;
  }
}

bool TIndexFile::Impl::Delete(const uint8_t* key, uint32_t recno) {
  // The current entry is taken when it is the one (the table deletes the
  // row it stands on), checked by key as well as by record number, since a
  // row may have entries under other keys. The shared modes always search,
  // as the file may have changed since.
  bool here = false;
  if (!shared) {
    const TPage& leaf = Leaf();
    const int at = leaf.EntryNo();
    here = at >= 0 && at < leaf.KeyCount() && leaf.RecNo() == recno &&
           Compare(key, leaf.Key()) == 0;
  }
  if (!here && !FindKey(key, TFindMode::RecordEntry, recno)) return false;
  walk_direction = 0;
  leaves_walked = 0;
  RemoveFromLeaf();
  EndChange();
  return true;
}

// Removes the leaf's current entry; the position is then on the entry that
// followed it (or after the last entry of the leaf).
void TIndexFile::Impl::RemoveFromLeaf() {
  TPage& leaf = Leaf();
  const int at = leaf.EntryNo();
  const int count = leaf.KeyCount();
  std::memmove(leaf.EntryAddress(at), leaf.EntryAddress(at + 1),
               static_cast<size_t>(count - at - 1) * layout.entry_length);
  leaf.SetKeyCount(count - 1);
  leaf.MarkModified();
  leaf.SetEntryNo(at);
  const size_t depth = Depth();
  if (depth == 1) return;
  if (count == 1) return Unlink(depth - 1);
  if (at == count - 1) CopyKeyUp(depth - 1, leaf.KeyOfEntry(count - 2));
}

// The page at `level` has lost its last entry or pointer. Its pointer is
// removed from the parent; a parent left without pointers goes the same
// way, and a root left without pointers becomes an empty leaf. Removed
// pages stay in the file, unreferenced, as they are (their changes are not
// written). When the parent loses its trailing pointer, the entry before
// becomes the trailing one, and the page's new greatest key is copied up.
// The position goes to the first entry of the subtree that followed the
// removed pointer, or, when it was the last, after the last entry of the
// subtree before it.
void TIndexFile::Impl::Unlink(size_t level) {
  size_t top = level;
  while (top > 0 && levels[top - 1]->KeyCount() == 0) --top;
  for (size_t i = top; i < Depth(); ++i) levels[i]->ClearModified();
  if (top == 0) {
    TPage& root = *levels[0];
    root.SetKeyCount(0);
    root.SetRecNoAndChildOfEntry(0, 0, 0);
    root.SetEntryNo(0);
    root.MarkModified();
    while (levels.size() > 1) {
      GivePage(std::move(levels.back()));
      levels.pop_back();
    }
    return;
  }
  TPage& parent = *levels[top - 1];
  const int at = parent.EntryNo();
  const int count = parent.KeyCount();
  std::memmove(parent.EntryAddress(at), parent.EntryAddress(at + 1),
               static_cast<size_t>(count - at) * layout.entry_length);
  parent.SetKeyCount(count - 1);
  parent.MarkModified();
  if (at == count && top - 1 > 0) CopyKeyUp(top - 1, parent.KeyOfEntry(count - 1));
  if (at <= count - 1) {
    Descend(top, at, false, [](size_t, const TPage&) { return 0; });
  } else {
    Descend(top, count - 1, false, [](size_t, const TPage& page) { return page.KeyCount(); });
  }
}

}  // namespace kalbor
