// The bytes of a table file's header block.
//
// File layout: header (32 bytes), one 32-byte descriptor per field, the
// terminator 0x0D, the records (each exactly the record length, record 1
// first, at header length + (n - 1) * record length), then the end-of-file
// marker 0x1A.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalbor {

constexpr uint8_t kHeaderTerminator = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr uint8_t kLiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';
constexpr size_t kMaxFields = 2046;  // the header length must fit 16 bits

// Header (32 bytes):
//   offset size meaning
//   0      1    version: 0x03 (no memo fields)
//   1      1    year of last update - 1900, modulo 256
//   2      1    month of last update, 1-12
//   3      1    day of last update, 1-31
//   4      4    record count, deleted records included
//   8      2    header length = 32 + 32 * fields + 1
//   10     2    record length = 1 + sum of field lengths
//   12     16   reserved, zero
//   28     1    production-index flag, zero
//   29     1    language driver: 0 at level 3, a code-page id at level 4
//   30     2    reserved, zero
struct TTableHeader {
  static constexpr size_t kSize = 32;
  uint8_t version = 0x03;
  uint8_t year = 0, month = 0, day = 0;
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t mdx_flag = 0;
  uint8_t language_driver = 0;

  void EncodeTo(uint8_t* dst) const;  // all 32 bytes, reserved ones zero
  static TTableHeader DecodeFrom(const uint8_t* src);
  // Rewrites only the date and the record count (bytes 1 to 7) of an encoded
  // header, leaving every other byte as another program may have left it.
  static void EncodeStamp(uint8_t* dst, uint8_t year, uint8_t month, uint8_t day,
                          uint32_t record_count);
};

// Field descriptor (32 bytes):
//   offset size meaning
//   0      11   name: at most 10 characters, upper case, zero-filled (byte 10 is 0)
//   11     1    type letter: C, N, L, D (F read as N)
//   12     4    offset in the record: written as zero, ignored on reading
//   16     1    field length in bytes
//   17     1    decimal count (numeric fields only)
//   18     14   reserved, zero
struct TFieldDescriptor {
  static constexpr size_t kSize = 32;
  std::string name;  // up to the first zero byte
  char letter = 'C';
  uint8_t length = 0;
  uint8_t decimals = 0;

  void EncodeTo(uint8_t* dst) const;
  static TFieldDescriptor DecodeFrom(const uint8_t* src);
};

}  // namespace kalbor
