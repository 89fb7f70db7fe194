// CheckIndexFile: a structural check of an index file against its table.
//
// It reads the header as the index holds it and every node page reachable
// from the root (the copy a page object holds, else the file's bytes) and
// never changes the file. Checked: the header's fields agree with each other
// and with the file; every page number lies inside the file and is reached
// once; key counts fit their pages; all leaves lie at one depth; inner keys
// are the greatest keys of their subtrees; leaf keys are in order (reversed
// when descending, which CompareKeys already applies) and distinct in a
// unique or primary index; each record has one entry (rows marked deleted
// have none in a primary index; in a unique index a record whose key another
// record holds has none); each entry's key equals its record's field.
#include <algorithm>
#include <cstring>
#include <memory>

#include "storage/errors.h"
#include "storage/index_file.h"
#include "storage/ndx_format.h"
#include "storage/node_page.h"

namespace kalbor {

namespace {

constexpr int kMaxCheckDepth = 64;

struct TFrame {
  std::unique_ptr<TNdxNodePage> page;
  int depth = 0;
  int next = 0;               // next child to visit (inner pages)
  uint64_t keys_before = 0;   // leaf keys seen before the current child
};

}  // namespace

std::vector<std::string> CheckIndexFile(
    TIndexFile& index, uint32_t record_count, uint16_t record_length,
    const std::function<void(uint32_t, uint8_t*)>& read_record) {
  std::vector<std::string> out;
  if (!index.IsOpen()) {
    out.push_back("index: the file is not open");
    return out;
  }
  if (index.KeyLength() == 0) {
    out.push_back("header: no key is set up (key length 0)");
    return out;
  }

  // ---- header ----
  const TNdxHeader h = TNdxHeader::DecodeFrom(index.HeaderImage());
  const bool character = h.key_letter == 'C';
  const uint32_t on_disk = index.PagesOnDisk();
  if (h.key_letter != 'C' && h.key_letter != 'N')
    out.push_back(Format("header: key type letter 0x%02X is neither C nor N", h.key_letter));
  if (character != ((h.key_flags & kNdxFlagCharacter) != 0))
    out.push_back(Format("header: key flags 0x%02X disagree with key type letter 0x%02X",
                         h.key_flags, h.key_letter));
  if (h.key_flags & ~(kNdxFlagDescending | kNdxFlagCharacter | kNdxFlagDistinct | kNdxFlagUnique))
    out.push_back(Format("header: key flags 0x%02X have unknown bits set", h.key_flags));
  if ((h.key_flags & kNdxFlagDistinct) && !(h.key_flags & kNdxFlagUnique))
    out.push_back(Format("header: key flags 0x%02X mark a primary index without the unique bit",
                         h.key_flags));
  uint8_t marker = kNdxMarkerNone;
  if (h.key_flags & kNdxFlagDistinct)
    marker = kNdxMarkerPrimary;
  else if (h.key_flags & kNdxFlagUnique)
    marker = kNdxMarkerUnique;
  if (h.unique_marker != marker)
    out.push_back(Format("header: unique marker 0x%02X disagrees with key flags 0x%02X (0x%02X)",
                         h.unique_marker, h.key_flags, marker));
  if (h.marker != 0x5800) out.push_back(Format("header: offset 10 holds 0x%04X, not 0x5800", h.marker));
  if (h.key_type_code != (character ? 0 : 1))
    out.push_back(Format("header: key type code %u does not match key type letter 0x%02X",
                         h.key_type_code, h.key_letter));
  if (h.version != 2) out.push_back(Format("header: offset 20 holds %u, not 2", h.version));
  if (h.key_exists != 1) out.push_back(Format("header: offset 246 holds %u, not 1", h.key_exists));
  if (character ? (h.key_length < 1 || h.key_length > kNdxMaxKeyLength)
                : h.key_length != kNdxNumericKeyLength)
    out.push_back(Format("header: key length %u is not valid for a %s key", h.key_length,
                         character ? "character" : "numeric"));
  if (h.entry_length != NdxEntryLength(h.key_length))
    out.push_back(Format("header: entry length %u, expected %u for key length %u",
                         h.entry_length, NdxEntryLength(h.key_length), h.key_length));
  if (h.max_keys != NdxMaxKeys(h.entry_length))
    out.push_back(Format("header: maximum keys %u, expected %u for entry length %u", h.max_keys,
                         NdxMaxKeys(h.entry_length), h.entry_length));
  if (index.HeaderRepaired())
    out.push_back("header: the file's entry length and maximum keys did not fit a page and "
                  "were repaired on open");
  if (h.expression.empty()) out.push_back("header: the key expression is empty");
  if (h.page_count < 2 || h.page_count > on_disk)
    out.push_back(Format("header: page count %u, the file holds %u pages", h.page_count, on_disk));
  if (h.root_page == 0 || h.root_page >= h.page_count)
    out.push_back(Format("header: root page %u lies outside pages 1 to %u", h.root_page,
                         h.page_count > 0 ? h.page_count - 1 : 0));

  // ---- tree ----
  const TNodeLayout layout{index.KeyLength(), index.EntryLength(), index.MaxKeys()};
  const uint32_t page_limit = std::min(h.page_count, on_disk);
  const TUniqueMode unique = index.UniqueMode();
  const bool can_read = index.KeyBound() && static_cast<bool>(read_record);
  if (!index.KeyBound()) {
    out.push_back("records: the key is not bound to a field; entries are not compared with records");
  } else if (static_cast<uint32_t>(index.KeySource().offset) + index.KeySource().length >
             record_length) {
    out.push_back("records: the key field lies outside the record");
  }
  const bool compare_records =
      can_read && static_cast<uint32_t>(index.KeySource().offset) + index.KeySource().length <=
                      record_length;

  std::vector<uint8_t> visited(page_limit, 0);
  std::vector<uint8_t> counts(static_cast<size_t>(record_count) + 1, 0);
  std::vector<uint8_t> record(record_length > 0 ? record_length : 1, 0);
  std::vector<uint8_t> last_key(layout.key_length, 0);
  uint64_t keys_seen = 0;
  int leaf_depth = -1;
  bool structure_ok = true;

  auto load = [&](uint32_t n, uint32_t from, int entry, int depth) -> std::unique_ptr<TNdxNodePage> {
    if (n == 0) {
      out.push_back(Format("page %u entry %d: child page 0", from, entry));
      structure_ok = false;
      return nullptr;
    }
    if (n >= page_limit) {
      if (from == 0)
        out.push_back(Format("root page %u lies past the end of the file", n));
      else
        out.push_back(Format("page %u entry %d: child page %u lies past the end of the file",
                             from, entry, n));
      structure_ok = false;
      return nullptr;
    }
    if (visited[n]) {
      out.push_back(Format("page %u entry %d: page %u is reached more than once", from, entry, n));
      structure_ok = false;
      return nullptr;
    }
    visited[n] = 1;
    if (depth > kMaxCheckDepth) {
      out.push_back(Format("page %u: the tree is more than %d levels deep", n, kMaxCheckDepth));
      structure_ok = false;
      return nullptr;
    }
    auto page = std::make_unique<TNdxNodePage>(&layout);
    index.ReadNodePage(n, page->Data());
    page->SetPageNo(n);
    const int32_t k = page->KeyCount();
    const bool inner = page->IsInner();
    const int capacity = inner ? layout.max_keys - 1 : layout.max_keys;
    if (k < 0 || k > capacity) {
      out.push_back(Format("page %u: key count %d, more than the %d that fit", n, k, capacity));
      structure_ok = false;
      return nullptr;
    }
    if (!inner) {
      if (leaf_depth < 0) {
        leaf_depth = depth;
      } else if (leaf_depth != depth) {
        out.push_back(Format("page %u: leaf at depth %d, other leaves at depth %d", n, depth,
                             leaf_depth));
        structure_ok = false;
      }
      if (k == 0 && depth > 0) {
        out.push_back(Format("page %u: empty leaf below the root", n));
        structure_ok = false;
      }
    }
    return page;
  };

  auto check_entry = [&](const TNdxNodePage& page, int e) {
    const uint8_t* key = page.KeyOfEntry(e);
    const uint32_t recno = page.RecNoOfEntry(e);
    if (keys_seen > 0) {
      int c = index.CompareKeys(last_key.data(), key);
      if (c > 0) {
        out.push_back(Format("page %u entry %d: key out of order", page.PageNo(), e));
        structure_ok = false;
      } else if (c == 0 && unique != TUniqueMode::None) {
        out.push_back(Format("page %u entry %d: key repeats in a %s index", page.PageNo(), e,
                             unique == TUniqueMode::Primary ? "primary" : "unique"));
      }
    }
    std::memcpy(last_key.data(), key, layout.key_length);
    ++keys_seen;
    if (recno == 0 || recno > record_count) {
      out.push_back(Format("page %u entry %d: record number %u outside 1 to %u", page.PageNo(), e,
                           recno, record_count));
      return;
    }
    if (++counts[recno] == 2)
      out.push_back(Format("record %u has more than one entry", recno));
    if (counts[recno] > 2) counts[recno] = 2;
    if (!compare_records) return;
    try {
      read_record(recno, record.data());
    } catch (const std::exception& ex) {
      out.push_back(Format("record %u cannot be read: %s", recno, ex.what()));
      return;
    }
    if (unique == TUniqueMode::Primary && record[0] == '*')
      out.push_back(Format("page %u entry %d: deleted record %u has an entry in a primary index",
                           page.PageNo(), e, recno));
    std::vector<uint8_t> field_key = index.KeyFromRecord(record.data());
    bool same = index.CharacterKey()
                    ? std::memcmp(field_key.data(), key, layout.key_length) == 0
                    : index.CompareKeys(field_key.data(), key) == 0;
    if (!same)
      out.push_back(Format("page %u entry %d: key differs from the field of record %u",
                           page.PageNo(), e, recno));
  };

  std::vector<TFrame> stack;
  if (h.root_page != 0 && h.root_page < h.page_count) {
    if (auto root = load(h.root_page, 0, 0, 0)) stack.push_back(TFrame{std::move(root), 0, 0, 0});
  } else {
    structure_ok = false;
  }
  while (!stack.empty()) {
    TFrame& f = stack.back();
    TNdxNodePage& page = *f.page;
    const int k = page.KeyCount();
    if (!page.IsInner()) {
      for (int e = 0; e < k; ++e) check_entry(page, e);
      stack.pop_back();
      continue;
    }
    if (f.next > 0) {  // the subtree of child f.next - 1 is done
      const int i = f.next - 1;
      if (i < k && keys_seen > f.keys_before &&
          index.CompareKeys(page.KeyOfEntry(i), last_key.data()) != 0) {
        out.push_back(Format("page %u entry %d: key is not the greatest key of its subtree",
                             page.PageNo(), i));
        structure_ok = false;
      }
    }
    if (f.next > k) {
      stack.pop_back();
      continue;
    }
    const int i = f.next++;
    f.keys_before = keys_seen;
    const uint32_t pageno = page.PageNo();
    const int depth = f.depth;
    auto child = load(page.ChildOfEntry(i), pageno, i, depth + 1);
    if (child) stack.push_back(TFrame{std::move(child), depth + 1, 0, 0});
  }

  // ---- records without an entry ----
  for (uint32_t r = 1; r <= record_count; ++r) {
    if (counts[r] != 0) continue;
    bool deleted = false;
    std::vector<uint8_t> key;
    if (compare_records) {
      try {
        read_record(r, record.data());
        deleted = record[0] == '*';
        key = index.KeyFromRecord(record.data());
      } catch (const std::exception& ex) {
        out.push_back(Format("record %u cannot be read: %s", r, ex.what()));
        continue;
      }
    }
    if (unique == TUniqueMode::Primary && deleted) continue;
    if (unique == TUniqueMode::Unique && structure_ok && !key.empty()) {
      try {
        if (index.Find(key, TFindMode::Exact)) continue;  // another record holds the key
      } catch (const ETableError& ex) {
        out.push_back(Format("record %u: the search for its key failed: %s", r, ex.what()));
        structure_ok = false;
        continue;
      }
    }
    out.push_back(Format("record %u has no entry", r));
  }
  if (unique == TUniqueMode::Unique && structure_ok) {
    try {
      index.First();
    } catch (const ETableError&) {
    }
  }
  return out;
}

}  // namespace kalbor
