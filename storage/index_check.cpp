// CheckIndexFile: the structural check of an index against its table. It
// reads the tree through the index's own page access, reports every
// violation on a line of its own, and reads damaged files without raising:
// a subtree it cannot trust is skipped and said.
#include "storage/index_check.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "storage/errors.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/ndx_format.h"
#include "storage/table_file.h"

namespace kalbor {

namespace {

constexpr size_t kMaxLevels = 64;
constexpr uint8_t kDeletedRow = '*';

using TImage = std::array<uint8_t, kNdxPageSize>;

void CheckHeader(const TIndexFile& index, std::vector<std::string>& faults) {
  const uint8_t* image = index.HeaderImage();
  const TNdxHeader h = TNdxHeader::DecodeFrom(image);
  if (index.HeaderRepaired())
    faults.push_back(Format("header: its sizes overflow a page; they are read as key length %u, "
                            "entry length %u and %u keys per page",
                            index.KeyLength(), index.EntryLength(), index.MaxKeys()));
  if (h.key_letter != 'C' && h.key_letter != 'N')
    faults.push_back(Format("header: key type letter 0x%02X is neither C nor N", h.key_letter));
  if (((h.key_flags & kNdxFlagCharacter) != 0) != (h.key_letter == 'C'))
    faults.push_back(Format("header: key flags 0x%02X disagree with key type letter 0x%02X",
                            h.key_flags, h.key_letter));
  const uint8_t known =
      kNdxFlagDescending | kNdxFlagCharacter | kNdxFlagDistinct | kNdxFlagUnique;
  if (h.key_flags & ~known)
    faults.push_back(Format("header: key flags 0x%02X have bits that mean nothing", h.key_flags));
  if ((h.key_flags & kNdxFlagDistinct) && !(h.key_flags & kNdxFlagUnique))
    faults.push_back(
        Format("header: key flags 0x%02X mark a primary index without the unique bit", h.key_flags));
  const uint8_t marker = (h.key_flags & kNdxFlagDistinct) ? kNdxMarkerPrimary
                         : (h.key_flags & kNdxFlagUnique) ? kNdxMarkerUnique
                                                          : kNdxMarkerNone;
  if (h.unique_marker != marker)
    faults.push_back(Format("header: unique marker 0x%02X disagrees with key flags 0x%02X (0x%02X)",
                            h.unique_marker, h.key_flags, marker));
  const uint16_t code = h.key_letter == 'C' ? 0 : 1;
  if (h.key_type_code != code)
    faults.push_back(Format("header: key type code %u disagrees with key type letter 0x%02X",
                            h.key_type_code, h.key_letter));
  const uint16_t entry_length = NdxEntryLength(h.key_length);
  if (h.entry_length != entry_length)
    faults.push_back(Format("header: entry length %u is not the %u that key length %u gives",
                            h.entry_length, entry_length, h.key_length));
  const uint16_t max_keys = NdxMaxKeys(h.entry_length);
  if (h.max_keys != max_keys)
    faults.push_back(Format("header: %u keys per page are not the %u that entry length %u gives",
                            h.max_keys, max_keys, h.entry_length));
  struct Fixed {
    unsigned offset;
    uint32_t value;
    uint32_t expected;
  };
  const Fixed fixed[] = {
      {10, h.marker, 0x5800},   {20, h.version, 2},     {22, h.reserved22, 0},
      {244, h.reserved244, 0},  {245, h.for_exists, 0}, {246, h.key_exists, 1},
      {247, image[247], 0},     {248, h.first_node, 0}, {252, h.last_node, 0},
  };
  for (const Fixed& f : fixed)
    if (f.value != f.expected)
      faults.push_back(Format("header: offset %u holds %u, not %u", f.offset, f.value, f.expected));
  if (std::any_of(image + 256, image + kNdxPageSize, [](uint8_t b) { return b != 0; }))
    faults.push_back("header: bytes 256 to 511 are not all zero");
}

class TTreeCheck {
 public:
  TTreeCheck(TIndexFile& index, uint32_t record_count, uint16_t record_length,
             const std::function<void(uint32_t, uint8_t*)>& read_record,
             std::vector<std::string>& faults)
      : index_(index),
        record_count_(record_count),
        read_record_(read_record),
        faults_(faults),
        key_length_(index.KeyLength()),
        entry_length_(index.EntryLength()),
        max_keys_(index.MaxKeys()),
        page_count_(index.PageCount()),
        record_(record_length),
        visited_(page_count_, false),
        pages_(kMaxLevels),
        greatest_(kMaxLevels) {
    const TKeySource& source = index.KeySource();
    records_ = index.KeyBound() && read_record_ != nullptr;
    if (!records_) {
      faults_.push_back(
          "records: the key is not bound to a field; entries are not compared with records");
    } else if (static_cast<size_t>(source.offset) + source.length > record_length) {
      faults_.push_back(Format("records: the key field (offset %u, length %u) lies outside the "
                               "record of %u bytes",
                               source.offset, source.length, record_length));
      records_ = false;
    }
    if (records_) entries_of_.assign(static_cast<size_t>(record_count) + 1, 0);
    distinct_ = index.UniqueMode() != TUniqueMode::None;
  }

  void Run() {
    const uint32_t root = index_.RootPage();
    if (root == 0 || root >= page_count_) {
      faults_.push_back(Format("header: root page %u lies outside the file", root));
    } else {
      visited_[root] = true;
      Walk(root, 0);
    }
    if (records_) MissingRecords();
  }

 private:
  const uint8_t* Entry(const TImage& page, int i) const {
    return page.data() + TNdxNodeHeader::kSize + static_cast<size_t>(i) * entry_length_;
  }
  static const uint8_t* KeyOf(const uint8_t* entry) { return entry + TNdxEntryHeader::kKeyOffset; }

  // Walks the subtree of `page_no`; true when it holds a key, which is then
  // its greatest in greatest_[level].
  bool Walk(uint32_t page_no, size_t level) {
    if (level >= kMaxLevels) {
      faults_.push_back(Format("page %u: the tree is more than 64 levels deep here", page_no));
      return false;
    }
    TImage& page = pages_[level];
    if (!index_.ReadNodePage(page_no, page.data())) {
      faults_.push_back(Format("page %u lies past the end of the file", page_no));
      return false;
    }
    const int32_t count = TNdxNodeHeader::DecodeFrom(page.data()).key_count;
    const bool inner = TNdxEntryHeader::DecodeFrom(Entry(page, 0)).child_page != 0;
    const int32_t most = inner ? max_keys_ - 1 : max_keys_;
    if (count < 0 || count > most) {
      faults_.push_back(
          Format("page %u: key count %d outside 0 to %d; its entries are not read", page_no, count,
                 most));
      return false;
    }
    return inner ? WalkInner(page, page_no, count, level) : WalkLeaf(page, page_no, count, level);
  }

  bool WalkInner(const TImage& page, uint32_t page_no, int count, size_t level) {
    bool any = false;
    for (int i = 0; i <= count; ++i) {
      const uint8_t* entry = Entry(page, i);
      const uint32_t child = TNdxEntryHeader::DecodeFrom(entry).child_page;
      if (child == 0) {
        faults_.push_back(Format("page %u entry %d: child page 0", page_no, i));
        continue;
      }
      if (child >= page_count_) {
        faults_.push_back(
            Format("page %u entry %d: child page %u lies past the end of the file", page_no, i,
                   child));
        continue;
      }
      if (visited_[child]) {
        faults_.push_back(
            Format("page %u entry %d: child page %u is reached more than once", page_no, i, child));
        continue;
      }
      visited_[child] = true;
      if (!Walk(child, level + 1)) continue;
      // The trailing entry's key is never compared; keyed entries hold the
      // greatest key of their subtree.
      if (i < count && index_.CompareKeys(KeyOf(entry), greatest_[level + 1].data()) != 0)
        faults_.push_back(
            Format("page %u entry %d: key is not the greatest key of its subtree", page_no, i));
      greatest_[level] = greatest_[level + 1];
      any = true;
    }
    return any;
  }

  bool WalkLeaf(const TImage& page, uint32_t page_no, int count, size_t level) {
    if (leaf_level_ < 0) {
      leaf_level_ = static_cast<int>(level);
    } else if (leaf_level_ != static_cast<int>(level)) {
      faults_.push_back(Format("page %u: a leaf at level %zu, while the first leaf is at level %d",
                               page_no, level, leaf_level_));
    }
    for (int i = 0; i < count; ++i) {
      const uint8_t* entry = Entry(page, i);
      const uint8_t* key = KeyOf(entry);
      const int order = have_previous_ ? index_.CompareKeys(key, previous_.data()) : 1;
      if (order < 0)
        faults_.push_back(Format("page %u entry %d: key out of order", page_no, i));
      else if (order == 0 && distinct_)
        faults_.push_back(Format("page %u entry %d: key repeats the entry before it in a unique index",
                                 page_no, i));
      std::memcpy(previous_.data(), key, key_length_);
      have_previous_ = true;
      if (records_) CheckRecord(page_no, i, TNdxEntryHeader::DecodeFrom(entry).record_number, key);
    }
    if (count == 0) return false;
    std::memcpy(greatest_[level].data(), KeyOf(Entry(page, count - 1)), key_length_);
    return true;
  }

  void CheckRecord(uint32_t page_no, int i, uint32_t recno, const uint8_t* key) {
    if (recno < 1 || recno > record_count_) {
      faults_.push_back(Format("page %u entry %d: record number %u outside 1 to %u", page_no, i,
                               recno, record_count_));
      return;
    }
    if (entries_of_[recno]++ > 0) faults_.push_back(Format("record %u has more than one entry", recno));
    read_record_(recno, record_.data());
    if (index_.CompareKeys(index_.KeyFromRecord(record_.data()).data(), key) != 0)
      faults_.push_back(
          Format("page %u entry %d: key differs from the field of record %u", page_no, i, recno));
    if (index_.UniqueMode() == TUniqueMode::Primary && record_[0] == kDeletedRow)
      faults_.push_back(Format("page %u entry %d: deleted record %u has an entry in a primary index",
                               page_no, i, recno));
  }

  // Every record has an entry, except rows marked deleted in a primary
  // index. A unique index gives no entry to a row whose key another row
  // held when it was stored, and that row may have taken another key
  // since: there a row without an entry is no fault.
  void MissingRecords() {
    if (index_.UniqueMode() == TUniqueMode::Unique) return;
    for (uint32_t recno = 1; recno <= record_count_; ++recno) {
      if (entries_of_[recno] > 0) continue;
      read_record_(recno, record_.data());
      if (index_.UniqueMode() == TUniqueMode::Primary && record_[0] == kDeletedRow) continue;
      faults_.push_back(Format("record %u has no entry", recno));
    }
  }

  TIndexFile& index_;
  const uint32_t record_count_;
  const std::function<void(uint32_t, uint8_t*)>& read_record_;
  std::vector<std::string>& faults_;
  const size_t key_length_;
  const size_t entry_length_;
  const int32_t max_keys_;
  const uint32_t page_count_;
  std::vector<uint8_t> record_;
  std::vector<bool> visited_;
  std::vector<TImage> pages_;
  std::vector<TImage> greatest_;
  TImage previous_{};
  bool have_previous_ = false;
  int leaf_level_ = -1;
  bool records_ = false;
  bool distinct_ = false;
  std::vector<uint32_t> entries_of_;
};

}  // namespace

std::vector<std::string> CheckIndexFile(
    TIndexFile& index, uint32_t record_count, uint16_t record_length,
    const std::function<void(uint32_t, uint8_t*)>& read_record) {
  std::vector<std::string> faults;
  if (!index.IsOpen()) {
    faults.push_back("the index is not open");
    return faults;
  }
  CheckHeader(index, faults);
  TTreeCheck check(index, record_count, record_length, read_record, faults);
  check.Run();
  return faults;
}

std::vector<std::string> CheckIndexOfTable(TTableFile& table, const std::string& index_path) {
  TIndexFile index;
  index.Open(index_path, TOpenMode::ReadOnly);
  const std::string& expression = index.Expression();
  const TIndexKey key = IndexKeyOf(table.FieldDefs(), expression);
  std::vector<std::string> faults;
  if (key.field == TIndexKey::kNoField) {
    faults.push_back(Format("its key \"%s\" is not a field of the table", expression.c_str()));
  } else {
    const TTableField& field = table.Fields()[key.field];
    if (!key.refusal.empty())
      faults.push_back(Format("its key field %s (type %c) cannot be indexed", field.name.c_str(),
                              field.letter));
    else if (index.CharacterKey() != key.character)
      faults.push_back(Format("its key is %s, but field %s is %s",
                              index.CharacterKey() ? "character" : "numeric", field.name.c_str(),
                              key.character ? "character" : "numeric"));
    else if (index.KeyLength() != key.length)
      faults.push_back(Format("its key length %u differs from the %u of field %s",
                              index.KeyLength(), key.length, field.name.c_str()));
  }
  if (faults.empty()) {
    index.BindKeySource(KeySourceIn(table, key));
    const uint16_t record_length = table.RecordLength();
    // A record that cannot be read is compared as blanks, and so named.
    faults = CheckIndexFile(index, table.RecordCount(), record_length,
                            [&](uint32_t recno, uint8_t* buffer) {
                              if (!table.ReadRecord(recno, buffer))
                                std::fill(buffer, buffer + record_length, ' ');
                            });
  }
  index.Close();
  return faults;
}

}  // namespace kalbor
