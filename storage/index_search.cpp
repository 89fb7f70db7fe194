// Searches and walks of an index file: the descent by key, First and Last,
// Next and Prior across leaves, and the position estimate.
#include <algorithm>
#include <cstring>

#include "storage/errors.h"
#include "storage/index_tree.h"

namespace kalbor {

namespace {

int FirstEntry(size_t, const TNodePage& page) { return page.IsInner() ? 0 : -1; }
int LastEntry(size_t, const TNodePage& page) { return page.KeyCount(); }

}  // namespace

// --- Impl -----------------------------------------------------------------------

void TIndexFile::Impl::Refresh() {
  if (shared && HasKey()) ReadHeader();
}

// First entry of `page` (among its first `count`) whose key is not less
// than `key`; `count` when there is none.
int TIndexFile::Impl::LowerBound(const TPage& page, int count, const uint8_t* key) const {
  int low = 0, high = count;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (Compare(page.KeyOfEntry(mid), key) < 0) low = mid + 1;
    else high = mid;
  }
  return low;
}

// First entry whose key is greater than `key`.
int TIndexFile::Impl::UpperBound(const TPage& page, int count, const uint8_t* key) const {
  int low = 0, high = count;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (Compare(page.KeyOfEntry(mid), key) <= 0) low = mid + 1;
    else high = mid;
  }
  return low;
}

// From the root to a leaf: on an inner page the bound over its keyed
// entries picks the child (the trailing entry when none qualifies); on the
// leaf it is the position.
void TIndexFile::Impl::DescendBound(const uint8_t* key, bool upper) {
  Descend(0, 0, shared, [&](size_t, const TPage& page) {
    const int count = page.KeyCount();
    return upper ? UpperBound(page, count, key) : LowerBound(page, count, key);
  });
}

bool TIndexFile::Impl::FindKey(const uint8_t* key, TFindMode mode, uint32_t recno) {
  Refresh();
  walk_direction = 0;
  leaves_walked = 0;
  DescendBound(key, mode == TFindMode::InsertPoint);
  const TPage& leaf = Leaf();
  const int count = leaf.KeyCount();
  const int at = leaf.EntryNo();
  if (mode == TFindMode::InsertPoint) {
    // The entry before the position: on this leaf, or else the greatest key
    // of the subtree before it, which the nearest ancestor not on its first
    // entry holds.
    if (at > 0) return Compare(key, leaf.KeyOfEntry(at - 1)) == 0;
    for (size_t i = Depth() - 1; i-- > 0;) {
      const TPage& page = *levels[i];
      if (page.EntryNo() > 0) return Compare(key, page.KeyOfEntry(page.EntryNo() - 1)) == 0;
    }
    return false;
  }
  // A position past the last entry of a leaf never counts as equal.
  if (at >= count || Compare(key, leaf.KeyOfEntry(at)) != 0) return false;
  if (mode == TFindMode::Exact) return true;
  // The entry of one record among the equal keys, which may run on into
  // the following leaves.
  for (;;) {
    if (Leaf().RecNo() == recno) return true;
    if (!StepForward()) return false;
    if (Compare(key, Leaf().Key()) != 0) return false;
  }
}

void TIndexFile::Impl::GoFirst() {
  Refresh();
  walk_direction = 0;
  leaves_walked = 0;
  Descend(0, 0, shared, FirstEntry);
}

void TIndexFile::Impl::GoLast() {
  Refresh();
  walk_direction = 0;
  leaves_walked = 0;
  Descend(0, 0, shared, LastEntry);
}

// A walk in one direction passes every leaf at most once; passing more
// leaves than the file has pages means the child pointers lead back to
// leaves already passed.
void TIndexFile::Impl::CountLeaf(int direction) {
  if (walk_direction != direction) {
    walk_direction = direction;
    leaves_walked = 0;
  }
  if (++leaves_walked > page_count)
    Damaged(Format("the leaves form a loop: a walk passed more than %u leaves.", page_count));
}

bool TIndexFile::Impl::StepForward() {
  {
    TPage& leaf = Leaf();
    const int next = std::max(leaf.EntryNo(), -1) + 1;
    if (next < leaf.KeyCount()) {
      leaf.SetEntryNo(next);
      return true;
    }
  }
  // On to the next leaf: the nearest ancestor that is not on its last
  // entry moves on, the levels below it go to their first entries. An empty
  // leaf (only a damaged file has one below the root) is passed over.
  for (;;) {
    size_t level = Depth() - 1;
    bool found = false;
    while (level > 0) {
      --level;
      if (levels[level]->EntryNo() < levels[level]->KeyCount()) {
        found = true;
        break;
      }
    }
    if (!found) {
      Leaf().SetEntryNo(Leaf().KeyCount());
      return false;
    }
    CountLeaf(+1);
    Descend(level + 1, levels[level]->EntryNo() + 1, false,
            [](size_t, const TPage&) { return 0; });
    if (Leaf().KeyCount() > 0) return true;
  }
}

bool TIndexFile::Impl::StepBack() {
  {
    TPage& leaf = Leaf();
    const int prior = std::min(leaf.EntryNo(), static_cast<int>(leaf.KeyCount())) - 1;
    if (prior >= 0) {
      leaf.SetEntryNo(prior);
      return true;
    }
  }
  for (;;) {
    size_t level = Depth() - 1;
    bool found = false;
    while (level > 0) {
      --level;
      if (levels[level]->EntryNo() > 0) {
        found = true;
        break;
      }
    }
    if (!found) {
      Leaf().SetEntryNo(-1);
      return false;
    }
    CountLeaf(-1);
    Descend(level + 1, levels[level]->EntryNo() - 1, false, [](size_t, const TPage& page) {
      return page.IsInner() ? page.KeyCount() : page.KeyCount() - 1;
    });
    if (Leaf().KeyCount() > 0) return true;
  }
}

// Shared modes: the path is read again before a step in `direction`. If the
// current entry is no longer where it was, it is searched by key and record
// number; if another writer removed it, the step goes on from where its key
// stands, so that no entry is passed over (one with the same key may be
// met again).
void TIndexFile::Impl::Resync(int direction) {
  const TPage& leaf = Leaf();
  const int at = leaf.EntryNo();
  const bool on_entry = at >= 0 && at < leaf.KeyCount();
  const bool before = at < 0;
  uint32_t recno = 0;
  if (on_entry) {
    recno = leaf.RecNo();
    std::memcpy(saved_key.data(), leaf.Key(), layout.key_length);
  }
  std::array<uint32_t, kIndexMaxDepth> pages{};
  std::array<int, kIndexMaxDepth> entries{};
  const size_t depth = Depth();
  for (size_t i = 0; i < depth; ++i) {
    pages[i] = levels[i]->PageNo();
    entries[i] = levels[i]->EntryNo();
  }
  Refresh();
  bool same = root_page == pages[0];
  if (same) {
    Descend(0, 0, true, [&](size_t i, const TPage& page) {
      const int count = page.KeyCount();
      if (i >= depth) return 0;
      return page.IsInner() ? std::clamp(entries[i], 0, count) : std::clamp(entries[i], -1, count);
    });
    same = Depth() == depth;
    for (size_t i = 0; same && i < depth; ++i) same = levels[i]->PageNo() == pages[i];
    if (same && on_entry) {
      const TPage& now = Leaf();
      const int e = now.EntryNo();
      same = e >= 0 && e < now.KeyCount() && now.RecNo() == recno &&
             Compare(now.Key(), saved_key.data()) == 0;
    }
  }
  if (same) return;
  if (on_entry) {
    if (FindKey(saved_key.data(), TFindMode::RecordEntry, recno)) return;
    if (direction > 0) {
      FindKey(saved_key.data(), TFindMode::Exact, 0);
      Leaf().SetEntryNo(Leaf().EntryNo() - 1);  // the step lands on the lower bound
    } else {
      FindKey(saved_key.data(), TFindMode::InsertPoint, 0);
    }
  } else if (before) {
    GoFirst();
  } else {
    GoLast();
  }
}

bool TIndexFile::Impl::Move(int direction) {
  if (shared) Resync(direction);
  const TPage& leaf = Leaf();
  const int at = leaf.EntryNo();
  const uint32_t start = at >= 0 && at < leaf.KeyCount() ? leaf.RecNo() : 0;
  for (;;) {
    if (!(direction > 0 ? StepForward() : StepBack())) return false;
    // Entries of the row the step started from are passed over.
    if (start == 0 || Leaf().RecNo() != start) return true;
  }
}

// Level weights: the leaf 1, each level above the one below times the
// maximum keys; held at 2^40 so that sums cannot overflow.
uint64_t TIndexFile::Impl::Weight(size_t level) const {
  constexpr uint64_t kWeightCap = 0x10000000000;  // 2^40
  uint64_t weight = 1;
  for (size_t i = level + 1; i < Depth(); ++i) {
    weight *= layout.max_keys;
    if (weight > kWeightCap) return kWeightCap;
  }
  return weight;
}

// --- TIndexFile: searches and traversal -------------------------------------------

bool TIndexFile::Find(const std::vector<uint8_t>& key, TFindMode mode, uint32_t recno) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (!m.HasKey()) return false;
  m.PadKey(key.data(), key.size(), m.search_key.data());
  return m.FindKey(m.search_key.data(), mode, recno);
}

void TIndexFile::First() {
  impl_->RequireOpen();
  impl_->GoFirst();
}

void TIndexFile::Last() {
  impl_->RequireOpen();
  impl_->GoLast();
}

bool TIndexFile::Next() {
  impl_->RequireOpen();
  return impl_->Move(+1);
}

bool TIndexFile::Prior() {
  impl_->RequireOpen();
  return impl_->Move(-1);
}

uint32_t TIndexFile::CurrentRecNo() const {
  const Impl& m = *impl_;
  if (!m.open || m.levels.empty()) return 0;
  const TNodePage& leaf = m.Leaf();
  const int at = leaf.EntryNo();
  return at >= 0 && at < leaf.KeyCount() ? leaf.RecNo() : 0;
}

bool TIndexFile::BeforeFirst() const {
  const Impl& m = *impl_;
  return m.open && !m.levels.empty() && m.Leaf().EntryNo() < 0;
}

bool TIndexFile::AfterLast() const {
  const Impl& m = *impl_;
  return m.open && !m.levels.empty() && m.Leaf().EntryNo() >= m.Leaf().KeyCount();
}

uint32_t TIndexFile::PositionEstimate() const {
  const Impl& m = *impl_;
  if (BeforeFirst() || !m.open || m.levels.empty()) return 0;
  if (AfterLast()) return kPositionAfterLast;
  uint64_t sum = 1;
  for (size_t i = 0; i < m.Depth(); ++i)
    sum += static_cast<uint64_t>(m.levels[i]->EntryNo()) * m.Weight(i);
  return static_cast<uint32_t>(std::min<uint64_t>(sum, kPositionCap));
}

// From the root down, each level's entry is the quotient by its weight and
// the remainder passes on. An entry past the end of its page goes to the
// first entry of the next page of that level; past the last page, to the
// last entry of the index.
void TIndexFile::SetPositionEstimate(uint32_t position) {
  Impl& m = *impl_;
  m.RequireOpen();
  if (position == 0) return m.GoFirst();
  if (position >= kPositionAfterLast) return m.GoLast();
  // The depth decides the weights: in the shared modes it is found anew.
  if (m.shared) m.GoFirst();
  m.walk_direction = 0;
  m.leaves_walked = 0;
  uint64_t rest = position - 1;
  bool past = false;
  m.Descend(0, 0, false, [&](size_t level, const TNodePage& page) {
    const int count = page.KeyCount();
    const int last = page.IsInner() ? count : count - 1;
    if (past) return std::max(last, 0);
    const uint64_t weight = m.Weight(level);
    const uint64_t entry = rest / weight;
    rest %= weight;
    if (entry > static_cast<uint64_t>(std::max(last, 0)) || last < 0) {
      past = true;
      return std::max(last, 0);
    }
    return static_cast<int>(entry);
  });
  if (past && !m.StepForward()) {
    const int count = m.Leaf().KeyCount();
    m.Leaf().SetEntryNo(count > 0 ? count - 1 : 0);
  }
}

uint32_t TIndexFile::CountEstimate() const {
  const Impl& m = *impl_;
  if (!m.open || m.levels.empty() || !m.HasKey()) return 0;
  const TNodePage& root = *m.levels[0];
  const uint64_t pointers = root.IsInner() ? root.KeyCount() + 1 : root.KeyCount();
  return static_cast<uint32_t>(std::min<uint64_t>(m.Weight(0) * pointers, kPositionCap));
}

}  // namespace kalbor
