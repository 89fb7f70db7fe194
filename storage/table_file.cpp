#include "storage/table_file.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/files.h"

namespace kalbor {

namespace {

// Language driver written at level 4: the Western European code page.
constexpr uint8_t kLevel4LanguageDriver = 0x03;
// Byte-range locks of the shared modes: record n at kLockBase - n, the
// header at kLockBase itself.
constexpr uint64_t kLockBase = 0xEFFFFFFEull;

void Invalid() { throw ETableError("Invalid DBF file."); }

TFieldDescriptor DescriptorFor(const TFieldDef& def) {
  TFieldDescriptor d;
  d.name = UpperAscii(def.FieldName).substr(0, 10);
  if (def.NativeFieldType != 0) {  // copied from an open file, unchanged
    d.letter = def.NativeFieldType;
    d.length = static_cast<uint8_t>(def.Size);
    d.decimals = static_cast<uint8_t>(def.Precision);
    return d;
  }
  int length = def.Size, decimals = def.Precision;
  bool numeric = false;
  switch (def.FieldType) {
    case ftString: case ftFixedChar: case ftWideString:
      d.letter = 'C';
      if (length < 0) length = 0;
      if (length > 254) length = 254;
      d.length = static_cast<uint8_t>(length);
      return d;
    case ftInteger: if (def.Size == 0) { length = 9; decimals = 0; } numeric = true; break;
    case ftSmallint: case ftWord: if (def.Size == 0) { length = 4; decimals = 0; } numeric = true; break;
    case ftLargeint: if (def.Size == 0) { length = 18; decimals = 0; } numeric = true; break;
    case ftFloat: if (def.Size == 0) { length = 18; decimals = 9; } numeric = true; break;
    case ftCurrency: if (def.Size == 0) { length = 16; decimals = 2; } numeric = true; break;
    case ftBoolean: d.letter = 'L'; d.length = 1; return d;
    case ftDate: d.letter = 'D'; d.length = 8; return d;
    default: break;
  }
  if (!numeric) {
    // Kinds of the other format variants (memo, blob, raw binary) would make
    // a file this layer cannot open again; they are refused like any other
    // unsupported kind.
    throw ETableError(Format("Cannot create field \"%s\", field type %x not supported by DBF.",
                             def.FieldName.c_str(), static_cast<unsigned>(def.FieldType)));
  }
  d.letter = 'N';
  if (length < 1) length = 0;
  if (length > 20) length = 20;
  if (decimals > length - 2) decimals = length - 2;
  if (decimals < 0) decimals = 0;
  d.length = static_cast<uint8_t>(length);
  d.decimals = static_cast<uint8_t>(decimals);
  return d;
}

TFieldType KindForLetter(char letter, int length, int decimals, bool use_float_fields) {
  switch (letter) {
    case 'C': return ftString;
    case 'L': return ftBoolean;
    case 'D': return ftDate;
    case 'N': case 'F':
      if (decimals > 0) return ftFloat;
      if (length <= 4) return ftSmallint;
      if (use_float_fields) return ftFloat;
      return length <= 9 ? ftInteger : ftLargeint;
    default:
      // Memo, blob, OLE and the raw-byte letters belong to other variants of
      // the format; this layer does not read them.
      return ftUnknown;
  }
}

void Today(uint8_t& year, uint8_t& month, uint8_t& day) {
  time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  year = static_cast<uint8_t>(local.tm_year % 256);
  month = static_cast<uint8_t>(local.tm_mon + 1);
  day = static_cast<uint8_t>(local.tm_mday);
}

}  // namespace

TTableFile::TTableFile() = default;
TTableFile::~TTableFile() = default;

void TTableFile::CheckFieldDefs(const TFieldDefs& defs, int level) {
  if (defs.Count() > kMaxFields)
    throw ETableError(Format("Cannot create a table of %zu fields: a table holds at most %zu.",
                             defs.Count(), kMaxFields));
  if (level != 3 && level != 4)
    throw ETableError(Format("Cannot create a table at level %d: only levels 3 and 4 are made.",
                             level));
  size_t record_length = 1;
  for (const TFieldDef& def : defs) {
    TFieldDescriptor d = DescriptorFor(def);
    if (d.name.empty()) throw ETableError("Cannot create a field without a name.");
    record_length += d.length;
  }
  if (record_length > 0xFFFF)
    throw ETableError(Format("Cannot create a table whose records are %zu bytes long.",
                             record_length));
}

void TTableFile::Create(const std::string& path, TOpenMode create_mode, const TFieldDefs& defs,
                        int level) {
  CheckFieldDefs(defs, level);
  TTableFile table;
  table.file_.Open(path, create_mode);
  try {
    TTableHeader header;
    header.language_driver = level == 3 ? 0 : kLevel4LanguageDriver;
    header.header_length = static_cast<uint16_t>(32 * defs.Count() + 33);
    std::vector<uint8_t>& block = table.header_block_;
    block.assign(header.header_length, 0);
    uint32_t record_length = 1;
    for (size_t i = 0; i < defs.Count(); ++i) {
      TFieldDescriptor d = DescriptorFor(defs[i]);
      d.EncodeTo(block.data() + 32 + 32 * i);
      record_length += d.length;
    }
    block[header.header_length - 1] = kHeaderTerminator;
    header.record_length = static_cast<uint16_t>(record_length);
    header.EncodeTo(block.data());
    table.header_length_ = header.header_length;
    table.record_length_ = header.record_length;
    table.WriteHeader();
  } catch (...) {
    std::string made = table.file_.Path();
    table.file_.Close();
    DeleteFile(made);
    throw;
  }
  table.file_.Close();
}

bool TTableFile::Open(const std::string& path, TOpenMode mode, bool use_float_fields) {
  file_.Open(path, mode);
  changed_ = false;
  try {
    uint8_t raw[TTableHeader::kSize] = {};
    if (file_.ReadAt(0, raw, sizeof raw) < sizeof raw) Invalid();
    TTableHeader header = TTableHeader::DecodeFrom(raw);
    switch (header.version & 0x07) {
      case 3: level_ = header.language_driver == 0 ? 3 : 4; break;
      default: Invalid();  // FoxPro (2, 5), level 7 (4) and unknown versions
    }
    if (header.header_length == 0 || header.record_length == 0) {
      file_.Close();
      return false;
    }
    if (header.header_length < TTableHeader::kSize + 1) Invalid();
    header_block_.assign(header.header_length, 0);
    if (file_.ReadAt(0, header_block_.data(), header_block_.size()) < header_block_.size())
      Invalid();
    size_t count = (header.header_length - 32) / 32;
    fields_.clear();
    uint32_t position = 1;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = header_block_.data() + 32 + 32 * i;
      if (p[0] == kHeaderTerminator) break;  // a terminator where a descriptor would start
      TFieldDescriptor d = TFieldDescriptor::DecodeFrom(p);
      TTableField f;
      f.name = UpperAscii(d.name);
      f.letter = static_cast<char>(d.letter >= 'a' && d.letter <= 'z' ? d.letter - 32 : d.letter);
      f.length = d.length;
      f.decimals = d.decimals;
      f.offset = static_cast<uint16_t>(position);
      f.kind = KindForLetter(f.letter, f.length, f.decimals, use_float_fields);
      if (f.name.empty() || f.kind == ftUnknown) Invalid();
      if (f.letter == 'F') f.letter = 'N';
      position += f.length;
      fields_.push_back(f);
      size_t next = 32 + 32 * (i + 1);
      if (next < header_block_.size() && header_block_[next] == kHeaderTerminator) break;
    }
    // The records must hold exactly the fields, or values would be read
    // across field boundaries.
    if (position != header.record_length) Invalid();
    header_length_ = header.header_length;
    record_length_ = header.record_length;
    if (file_.Writable()) {
      // A write cut short (the program killed in the middle of an append)
      // leaves part of a record after the last whole one; it holds no row,
      // so it goes, as a wrong stored count is repaired.
      const uint64_t whole = header_length_ + static_cast<uint64_t>(RecordCount()) * record_length_;
      const uint64_t size = file_.Size();
      bool torn = size > whole + 1;
      if (size == whole + 1) {
        uint8_t last = 0;
        file_.ReadAt(whole, &last, 1);
        torn = last != kEndOfFile;
      }
      if (torn) file_.Truncate(whole);
      if (torn || header.record_count != RecordCount()) WriteHeader();
    }
  } catch (...) {
    file_.Close();
    fields_.clear();
    throw;
  }
  return true;
}

void TTableFile::Close(bool write_header) {
  if (!file_.IsOpen()) return;
  try {
    if (write_header && file_.Writable()) WriteHeader();
  } catch (...) {
    file_.Close();
    throw;
  }
  file_.Close();
}

TFieldDefs TTableFile::FieldDefs() const {
  TFieldDefs defs;
  for (const TTableField& f : fields_) {
    TFieldDef def;
    def.FieldName = f.name;
    def.FieldType = f.kind;
    def.NativeFieldType = f.letter;
    def.Size = f.length;
    def.Precision = f.decimals;
    defs.Add(def);
  }
  return defs;
}

uint32_t TTableFile::CountFromSize(uint64_t size) const {
  if (record_length_ == 0 || size < header_length_) return 0;
  uint64_t n = (size - header_length_) / record_length_;
  return n > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

uint32_t TTableFile::RecordCount() { return CountFromSize(file_.Size()); }

bool TTableFile::ReadRecord(uint32_t recno, uint8_t* buffer) {
  if (recno < 1) return false;
  uint64_t offset = header_length_ + static_cast<uint64_t>(recno - 1) * record_length_;
  return file_.ReadAt(offset, buffer, record_length_) == record_length_;
}

void TTableFile::WriteRecord(uint32_t recno, const uint8_t* buffer) {
  changed_ = true;
  uint64_t offset = header_length_ + static_cast<uint64_t>(recno - 1) * record_length_;
  file_.WriteAt(offset, buffer, record_length_);
}

void TTableFile::StampHeader(uint32_t record_count) {
  uint8_t y, m, d;
  Today(y, m, d);
  TTableHeader::EncodeStamp(header_block_.data(), y, m, d, record_count);
}

void TTableFile::WriteHeader() {
  changed_ = true;
  uint32_t count = RecordCount();
  StampHeader(count);
  file_.WriteAt(0, header_block_.data(), header_block_.size());
  uint8_t marker = kEndOfFile;
  file_.WriteAt(header_length_ + static_cast<uint64_t>(count) * record_length_, &marker, 1);
}

uint32_t TTableFile::AppendRecord(const uint8_t* buffer) {
  const bool shared = file_.Shared();
  if (shared) {
    while (!file_.TryLockByte(kLockBase)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  uint64_t old_size = file_.Size();
  uint32_t recno = CountFromSize(old_size) + 1;
  if (shared) {
    while (!file_.TryLockByte(kLockBase - recno)) ++recno;
  }
  try {
    // The header's count first, the record last: the record count is
    // derived from the file size, so writing the whole record is what adds
    // the row. A failure at any step, even one that also defeats the clean-up
    // below, leaves no row behind that the caller is told was not added (and
    // would post again). A count written ahead is repaired at the next open.
    changed_ = true;
    StampHeader(recno);
    file_.WriteAt(0, header_block_.data(), TTableHeader::kSize);
    WriteRecord(recno, buffer);
  } catch (...) {
    // Leave the file as it was: no partial record, no count for a record
    // that was not written.
    try {
      file_.Truncate(old_size);
    } catch (...) {
    }
    try {
      StampHeader(CountFromSize(old_size));
      file_.WriteAt(0, header_block_.data(), TTableHeader::kSize);
    } catch (...) {
    }
    if (shared) {
      file_.UnlockByte(kLockBase - recno);
      file_.UnlockByte(kLockBase);
    }
    throw;
  }
  if (shared) {
    file_.UnlockByte(kLockBase - recno);
    file_.UnlockByte(kLockBase);
  }
  return recno;
}

bool TTableFile::LockRecord(uint32_t recno) { return file_.TryLockByte(kLockBase - recno); }
void TTableFile::UnlockRecord(uint32_t recno) { file_.UnlockByte(kLockBase - recno); }

}  // namespace kalbor
