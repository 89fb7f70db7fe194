// TTableFile: the bytes of one table file (.DBF) on a TPageFile: creating
// the header block, reading and classifying it, reading and writing records,
// and the header-writing rule (today's date, derived record count, end-of-file
// marker).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/field_defs.h"
#include "storage/page_file.h"

namespace kalbor {

// One field of an open table file.
struct TTableField {
  std::string name;   // upper case, as stored
  char letter = 'C';  // C, N, L or D
  uint8_t length = 0;
  uint8_t decimals = 0;
  uint16_t offset = 0;  // position in the record; the deletion flag is byte 0
  TFieldType kind = ftUnknown;
};

class TTableFile {
 public:
  TTableFile();
  ~TTableFile();

  // Checks a field list and turns it into descriptors; raises the "Cannot
  // create field" error for an unsupported kind before any file is touched.
  static void CheckFieldDefs(const TFieldDefs& defs, int level);
  // Creates (or empties and rewrites) the file with the header block for
  // `defs` at table level 3 or 4, then closes it.
  static void Create(const std::string& path, TOpenMode create_mode, const TFieldDefs& defs,
                     int level);

  // Opens and reads the header block. Returns false, with the file closed,
  // for a header announcing a zero header or record length. Raises
  // "Invalid DBF file." for anything this layer cannot read.
  bool Open(const std::string& path, TOpenMode mode, bool use_float_fields);
  void Close(bool write_header);
  // Something was written since the file was opened (a record, the header).
  bool Changed() const { return changed_; }
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return file_.Path(); }
  TOpenMode Mode() const { return file_.Mode(); }

  int Level() const { return level_; }
  const std::vector<TTableField>& Fields() const { return fields_; }
  TFieldDefs FieldDefs() const;
  uint16_t HeaderLength() const { return header_length_; }
  uint16_t RecordLength() const { return record_length_; }

  // Derived from the file size: (size - header length) / record length.
  uint32_t RecordCount();
  // Reads record n (1-based). Returns false when n is outside the file.
  bool ReadRecord(uint32_t recno, uint8_t* buffer);
  void WriteRecord(uint32_t recno, const uint8_t* buffer);
  // Appends a record after the last one and counts it in the header. On a
  // failure the file is put back to its previous length.
  uint32_t AppendRecord(const uint8_t* buffer);
  // Header block at offset 0 with today's date, the marker after the last
  // record.
  void WriteHeader();

  bool LockRecord(uint32_t recno);
  void UnlockRecord(uint32_t recno);

  TPageFile& File() { return file_; }
  bool Writable() const { return file_.Writable(); }

 private:
  uint32_t CountFromSize(uint64_t size) const;
  void StampHeader(uint32_t record_count);

  TPageFile file_;
  std::vector<uint8_t> header_block_;  // header, descriptors, terminator as read or made
  std::vector<TTableField> fields_;
  uint16_t header_length_ = 0;
  uint16_t record_length_ = 0;
  bool changed_ = false;
  int level_ = 4;
};

}  // namespace kalbor
