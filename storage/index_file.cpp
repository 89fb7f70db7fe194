// TIndexFile: opening, creating and closing an index file, its header page,
// and the keys it orders by.
#include "storage/index_file.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "storage/coding.h"
#include "storage/errors.h"
#include "storage/field_codec.h"
#include "storage/files.h"
#include "storage/index_tree.h"

namespace kalbor {

namespace {

constexpr uint8_t kDeletedRow = '*';

}  // namespace

// --- Impl: header and keys ----------------------------------------------------

void TIndexFile::Impl::Damaged(const std::string& what) const {
  throw ETableError("Index file " + file.Path() + " is damaged: " + what);
}

void TIndexFile::Impl::RequireOpen() const {
  if (!open) throw ETableError("Index file is not open.");
}

void TIndexFile::Impl::RequireWritable() const {
  if (!file.Writable()) throw ETableError("Cannot modify a read-only dataset");
}

void TIndexFile::Impl::Reset() {
  open = false;
  shared = false;
  header.fill(0);
  header_dirty = false;
  header_repaired = false;
  root_page = page_count = 0;
  character = true;
  descending = false;
  unique = TUniqueMode::None;
  expression.clear();
  layout = TNodeLayout{};
  source = TKeySource{};
  bound = false;
  stats = TIndexStats{};
  DiscardChain();
  inner_cache.clear();
  walk_direction = 0;
  leaves_walked = 0;
}

// The key properties an index takes from its header: the letter alone
// tells character from numeric keys, the flags give order and uniqueness.
void TIndexFile::Impl::TakeKey(const TNdxHeader& h, uint16_t key_length, uint16_t entry_length,
                               uint16_t max_keys) {
  character = h.key_letter == 'C';
  descending = (h.key_flags & kNdxFlagDescending) != 0;
  unique = (h.key_flags & kNdxFlagDistinct) ? TUniqueMode::Primary
           : (h.key_flags & kNdxFlagUnique) ? TUniqueMode::Unique
                                             : TUniqueMode::None;
  expression = h.expression;
  layout = TNodeLayout{key_length, entry_length, max_keys};
}

// Every header field the index relies on is checked before it is used, so
// that no page access can fall outside a page.
void TIndexFile::Impl::ReadHeader() {
  TImage image;
  const size_t got = file.ReadAt(0, image.data(), kNdxPageSize);
  ++stats.header_reads;
  if (got < kNdxPageSize)
    Damaged(Format("the header page is incomplete (%zu of %u bytes).", got, kNdxPageSize));
  const TNdxHeader h = TNdxHeader::DecodeFrom(image.data());
  uint16_t key_length = h.key_length;
  uint16_t entry_length = h.entry_length;
  uint16_t max_keys = h.max_keys;
  if (key_length == 0) Damaged("the key length is 0.");
  // Sizes that overflow the page are read as the longest key allowed (a
  // shorter key keeps its length); the repair stays in memory until the
  // header is next written.
  bool repaired = false;
  if (static_cast<uint32_t>(max_keys) * entry_length > kNdxPageSize) {
    key_length = std::min(key_length, kNdxMaxKeyLength);
    entry_length = NdxEntryLength(key_length);
    max_keys = NdxMaxKeys(entry_length);
    TNdxHeader::EncodeSizes(image.data(), key_length, entry_length, max_keys);
    repaired = true;
  }
  if (h.key_letter != 'C' && key_length != kNdxNumericKeyLength)
    Damaged(Format("numeric key length %u is not 8.", key_length));
  if (max_keys == 0 || entry_length < key_length + TNdxEntryHeader::kSize ||
      TNdxNodeHeader::kSize + static_cast<uint32_t>(max_keys) * entry_length > kNdxPageSize)
    Damaged(Format("entry length %u and %u keys per page do not fit key length %u in a page.",
                   entry_length, max_keys, key_length));
  // A split needs at least two keyed entries in an inner page.
  if (max_keys < 3) Damaged(Format("%u keys per page are too few for a tree.", max_keys));
  if (h.page_count < 2 || h.page_count > kIndexMaxPageCount)
    Damaged(Format("page count %u is invalid.", h.page_count));
  const uint32_t on_disk = file.PageCountOnDisk();
  if (h.page_count > on_disk)
    Damaged(Format("page count %u exceeds the %u pages of the file.", h.page_count, on_disk));
  if (h.root_page == 0) Damaged("the root page number is 0.");
  if (h.root_page >= h.page_count)
    Damaged(Format("root page %u lies past the end of the file.", h.root_page));

  header = image;
  header_dirty = false;
  if (repaired) header_repaired = true;
  root_page = h.root_page;
  page_count = h.page_count;
  TakeKey(h, key_length, entry_length, max_keys);
}

void TIndexFile::Impl::WriteHeader() {
  TNdxHeader::EncodeRoot(header.data(), root_page, page_count);
  file.WritePage(0, header.data());
  ++stats.header_writes;
  header_dirty = false;
}

void TIndexFile::Impl::HeaderChanged() {
  header_dirty = true;
  if (shared) WriteHeader();
}

void TIndexFile::Impl::KeyInto(const uint8_t* record, uint8_t* dst) const {
  if (!bound) throw ETableError("Index file " + file.Path() + " is not bound to a key field.");
  const uint8_t* field = record + source.offset;
  if (character) {
    const size_t n = std::min<size_t>(source.length, layout.key_length);
    std::memcpy(dst, field, n);
    std::memset(dst + n, ' ', layout.key_length - n);
  } else {
    EncodeDouble(dst, DecodeNumeric(field, source.length).value_or(0.0));
  }
}

void TIndexFile::Impl::PadKey(const uint8_t* key, size_t length, uint8_t* dst) const {
  const size_t n = std::min<size_t>(length, layout.key_length);
  if (n > 0) std::memcpy(dst, key, n);
  std::memset(dst + n, character ? ' ' : 0, layout.key_length - n);
}

// Character keys: unsigned bytes, the first difference deciding; two keys
// that reach a zero byte together are equal from there on.
int TIndexFile::Impl::Compare(const uint8_t* a, const uint8_t* b) const {
  int result = 0;
  if (character) {
    for (size_t i = 0; i < layout.key_length; ++i) {
      if (a[i] != b[i]) {
        result = a[i] < b[i] ? -1 : 1;
        break;
      }
      if (a[i] == 0) break;
    }
  } else {
    const double x = DecodeDouble(a);
    const double y = DecodeDouble(b);
    result = x < y ? -1 : (x > y ? 1 : 0);
  }
  return descending ? -result : result;
}

std::string TIndexFile::Impl::KeyText(const uint8_t* key) const {
  if (!character) return Format("%.15g", DecodeDouble(key));
  size_t n = 0;
  while (n < layout.key_length && key[n] != 0) ++n;
  while (n > 0 && key[n - 1] == ' ') --n;
  return std::string(reinterpret_cast<const char*>(key), n);
}

// --- TIndexFile: opening and closing ---------------------------------------------

TIndexFile::TIndexFile() : impl_(std::make_unique<Impl>()) {}

TIndexFile::~TIndexFile() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; Close() is where callers learn of it.
  }
}

void TIndexFile::Open(const std::string& path, TOpenMode mode) {
  Impl& m = *impl_;
  if (m.open) Close();
  m.Reset();
  m.file.Open(path, mode);
  m.file.SetPageSize(kNdxPageSize);
  m.shared = IsSharedMode(mode);
  try {
    if (IsCreateMode(mode)) {
      // An emptied file: a header page of zeros (no key yet) and one empty
      // root leaf.
      m.ResetTree();
    } else {
      m.ReadHeader();
      // Down the first entries: this finds the tree's depth and leaves the
      // position on the first entry.
      m.Descend(0, 0, true, [](size_t, const TNodePage&) { return 0; });
    }
    m.open = true;
  } catch (...) {
    m.file.Close();
    m.Reset();
    // A file emptied for a new index that could not be set up holds
    // nothing: it goes, rather than stay behind as a damaged index.
    if (IsCreateMode(mode)) DeleteFile(path);
    throw;
  }
}

void TIndexFile::Close() {
  Impl& m = *impl_;
  if (!m.open) {
    if (m.file.IsOpen()) m.file.Close();
    return;
  }
  std::exception_ptr failure;
  try {
    if (m.file.Writable()) m.WriteModified();
  } catch (...) {
    failure = std::current_exception();
  }
  // The file is let go even when its pages could not be written.
  m.file.Close();
  m.Reset();
  if (failure) std::rethrow_exception(failure);
}

void TIndexFile::Flush() {
  Impl& m = *impl_;
  if (!m.open || !m.file.Writable()) return;
  m.WriteModified();
  m.file.FlushPages();
}

void TIndexFile::SetWriteBehind(bool on) {
  if (impl_->open) impl_->file.SetWriteBehind(on);
}

bool TIndexFile::IsOpen() const { return impl_->open; }
const std::string& TIndexFile::Path() const { return impl_->file.Path(); }

void TIndexFile::SetupKey(const std::string& expression, bool character_key,
                          uint16_t key_length, int options) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.RequireWritable();
  const std::string upper = UpperAscii(expression);
  if (character_key && key_length > kNdxMaxKeyLength)
    throw ETableError(Format("Index result for \"%s\" too long, >100 characters (%d).",
                             upper.c_str(), key_length));
  if (character_key && key_length == 0)
    throw ETableError(Format("Index result for \"%s\" is empty.", upper.c_str()));
  const TNdxHeader h = TNdxHeader::ForKey(upper, character_key, key_length, options);
  h.EncodeTo(m.header.data());
  m.header_repaired = false;
  m.TakeKey(h, h.key_length, h.entry_length, h.max_keys);
  m.walk_direction = 0;
  m.leaves_walked = 0;
  m.ResetTree();
}

void TIndexFile::BindKeySource(const TKeySource& source) {
  Impl& m = *impl_;
  if (m.HasKey() && source.character != m.character)
    throw ETableError(Format("Index file %s has a %s key; its field is %s.", m.file.Path().c_str(),
                             m.character ? "character" : "numeric",
                             source.character ? "character" : "numeric"));
  m.source = source;
  m.bound = true;
}

// --- header facts and keys -----------------------------------------------------

const std::string& TIndexFile::Expression() const { return impl_->expression; }
bool TIndexFile::CharacterKey() const { return impl_->character; }
uint16_t TIndexFile::KeyLength() const { return impl_->layout.key_length; }
bool TIndexFile::Descending() const { return impl_->descending; }
TUniqueMode TIndexFile::UniqueMode() const { return impl_->unique; }

int TIndexFile::Options() const {
  int options = impl_->descending ? ixDescending : 0;
  if (impl_->unique == TUniqueMode::Primary) options |= ixPrimary;
  if (impl_->unique == TUniqueMode::Unique) options |= ixUnique;
  return options;
}

std::vector<uint8_t> TIndexFile::KeyFromRecord(const uint8_t* record) const {
  std::vector<uint8_t> key(impl_->layout.key_length);
  if (!key.empty()) impl_->KeyInto(record, key.data());
  return key;
}

std::vector<uint8_t> TIndexFile::KeyFromNumber(double value) const {
  const Impl& m = *impl_;
  if (m.character) return KeyFromText(Format("%.15g", value));
  std::vector<uint8_t> key(m.layout.key_length);
  if (key.size() >= kNdxNumericKeyLength) EncodeDouble(key.data(), value);
  return key;
}

std::vector<uint8_t> TIndexFile::KeyFromText(const std::string& bytes) const {
  const Impl& m = *impl_;
  std::vector<uint8_t> key(m.layout.key_length);
  if (key.empty()) return key;
  const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
  if (m.character) {
    m.PadKey(text, bytes.size(), key.data());
  } else {
    EncodeDouble(key.data(), DecodeNumeric(text, bytes.size()).value_or(0.0));
  }
  return key;
}

// --- changes ---------------------------------------------------------------------

void TIndexFile::CheckKeyFree(uint32_t recno, const uint8_t* record,
                              const uint8_t* old_record) {
  Impl& m = *impl_;
  m.RequireOpen();
  // Only a primary index refuses, and never the entry of a row marked deleted.
  if (!m.HasKey() || m.unique != TUniqueMode::Primary || record[0] == kDeletedRow) return;
  uint8_t* key = m.search_key.data();
  m.KeyInto(record, key);
  if (old_record != nullptr) {
    m.KeyInto(old_record, m.other_key.data());
    if (m.Compare(key, m.other_key.data()) == 0) return;
  }
  m.FindKey(key, TFindMode::Exact, 0);
  m.RefuseHeldKey(key, recno);
}

void TIndexFile::InsertKey(uint32_t recno, const uint8_t* record) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.RequireWritable();
  if (!m.HasKey()) return;
  // A primary index holds no entries for rows marked deleted.
  if (m.unique == TUniqueMode::Primary && record[0] == kDeletedRow) return;
  m.KeyInto(record, m.search_key.data());
  m.Insert(m.search_key.data(), recno);
}

void TIndexFile::DeleteKey(uint32_t recno, const uint8_t* record) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.RequireWritable();
  if (!m.HasKey()) return;
  m.KeyInto(record, m.search_key.data());
  m.Delete(m.search_key.data(), recno);
}

void TIndexFile::UpdateKey(uint32_t recno, const uint8_t* old_record,
                           const uint8_t* new_record) {
  Impl& m = *impl_;
  m.RequireOpen();
  m.RequireWritable();
  if (!m.HasKey()) return;
  CheckKeyFree(recno, new_record, old_record);
  uint8_t* old_key = m.search_key.data();
  uint8_t* new_key = m.other_key.data();
  m.KeyInto(old_record, old_key);
  m.KeyInto(new_record, new_key);
  if (m.Compare(old_key, new_key) == 0) return;
  const bool removed = m.Delete(old_key, recno);
  if (m.unique == TUniqueMode::Primary && new_record[0] == kDeletedRow) return;
  try {
    m.Insert(new_key, recno);
  } catch (...) {
    // The failed new key must not cost the row its entry.
    if (removed) {
      try {
        m.Insert(old_key, recno);
      } catch (...) {
        // The first failure is the one to report.
      }
    }
    throw;
  }
}

// --- inspection --------------------------------------------------------------------

uint32_t TIndexFile::RootPage() const { return impl_->root_page; }
uint32_t TIndexFile::PageCount() const { return impl_->page_count; }
uint16_t TIndexFile::EntryLength() const { return impl_->layout.entry_length; }
uint16_t TIndexFile::MaxKeys() const { return impl_->layout.max_keys; }
bool TIndexFile::HeaderRepaired() const { return impl_->header_repaired; }

const uint8_t* TIndexFile::HeaderImage() const {
  Impl& m = *impl_;
  if (m.open) TNdxHeader::EncodeRoot(m.header.data(), m.root_page, m.page_count);
  return m.header.data();
}

size_t TIndexFile::Depth() const { return impl_->levels.size(); }

bool TIndexFile::ReadNodePage(uint32_t n, uint8_t* buffer) {
  Impl& m = *impl_;
  if (!m.open) return false;
  for (const auto& page : m.levels) {
    if (page->PageNo() == n) {
      std::memcpy(buffer, page->Data(), kNdxPageSize);
      return true;
    }
  }
  ++m.stats.page_reads;
  return m.file.ReadPage(n, buffer);
}

int TIndexFile::CompareKeys(const uint8_t* a, const uint8_t* b) const {
  return impl_->Compare(a, b);
}

bool TIndexFile::KeyBound() const { return impl_->bound; }
const TKeySource& TIndexFile::KeySource() const { return impl_->source; }
const TIndexStats& TIndexFile::Stats() const { return impl_->stats; }
void TIndexFile::ResetStats() { impl_->stats = TIndexStats{}; }

}  // namespace kalbor
