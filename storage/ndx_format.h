// The bytes of a single-key index file (.NDX).
//
// File layout: a sequence of 512-byte pages, page n at offset n * 512. Page 0
// is the header page, pages 1, 2, ... are node pages forming a B-tree. All
// integers are little-endian; 32-bit values are signed but never negative.
// Pages are allocated at the end (the page count is the next page number)
// and never freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalbor {

constexpr uint32_t kNdxPageSize = 512;
constexpr uint16_t kNdxMaxKeyLength = 100;   // longest character key that can be created
constexpr uint16_t kNdxNumericKeyLength = 8;  // IEEE 754 double

// Key flags byte (header offset 8).
constexpr uint8_t kNdxFlagDescending = 0x08;
constexpr uint8_t kNdxFlagCharacter = 0x10;
constexpr uint8_t kNdxFlagDistinct = 0x20;  // primary, always written together with 0x40
constexpr uint8_t kNdxFlagUnique = 0x40;

// Unique marker (header offset 23).
constexpr uint8_t kNdxMarkerNone = 0x00;
constexpr uint8_t kNdxMarkerUnique = 0x01;
constexpr uint8_t kNdxMarkerPrimary = 0x21;

// Derived sizes. Entry length = key length + 8 rounded up to a multiple of 4;
// maximum keys = (512 - 4) div entry length.
uint16_t NdxEntryLength(uint32_t key_length);
uint16_t NdxMaxKeys(uint32_t entry_length);

// Header page (page 0, 512 bytes):
//   offset size meaning
//   0      4    root page number
//   4      4    page count: pages in use, header included = next page to allocate
//   8      1    key flags: 0x08 descending, 0x10 character key, 0x40 unique,
//               0x60 primary; every other bit 0
//   9      1    key type letter: 'C' character, 'N' numeric
//   10     2    0x5800 (byte 10 = 0x00, byte 11 = 0x58)
//   12     2    key length: character key length (<= 100) or 8
//   14     2    maximum keyed entries per node page
//   16     2    key type code: 0 character, 1 numeric (written, never read back)
//   18     2    entry length
//   20     2    2
//   22     1    0
//   23     1    unique marker: 0 none, 1 unique, 0x21 primary
//   24     220  key expression (upper-case field name), zero-terminated; at most
//               219 characters, byte 243 always 0
//   244    1    0
//   245    1    0
//   246    1    1
//   247    1    0
//   248    4    0
//   252    4    0
//   256    256  zero
// Every byte not listed (and the expression area after its terminator) is 0.
// On open only offsets 0, 4, 8, 9, 12, 14, 18 and 24 are consulted.
struct TNdxHeader {
  static constexpr size_t kSize = kNdxPageSize;
  static constexpr size_t kExpressionOffset = 24;
  static constexpr size_t kExpressionArea = 220;
  static constexpr size_t kMaxExpression = 219;

  uint32_t root_page = 0;
  uint32_t page_count = 0;
  uint8_t key_flags = 0;
  uint8_t key_letter = 0;
  uint16_t marker = 0x5800;  // offset 10
  uint16_t key_length = 0;
  uint16_t max_keys = 0;
  uint16_t key_type_code = 0;
  uint16_t entry_length = 0;
  uint16_t version = 2;  // offset 20
  uint8_t reserved22 = 0;
  uint8_t unique_marker = 0;
  std::string expression;  // up to the first zero byte
  uint8_t reserved244 = 0;
  uint8_t for_exists = 0;  // offset 245
  uint8_t key_exists = 1;  // offset 246
  uint32_t first_node = 0;  // offset 248
  uint32_t last_node = 0;   // offset 252

  // The header for a new key, as a new index file is given it;
  // `options` are the ix* bits. Root page and page count are left 0.
  static TNdxHeader ForKey(const std::string& expression, bool character_key,
                           uint16_t key_length, int options);

  void EncodeTo(uint8_t* dst) const;  // all 512 bytes, unlisted ones zero
  static TNdxHeader DecodeFrom(const uint8_t* src);  // every listed field

  // Patches of an encoded header image that leave every other byte alone.
  static void EncodeRoot(uint8_t* dst, uint32_t root_page, uint32_t page_count);
  static void EncodeSizes(uint8_t* dst, uint16_t key_length, uint16_t entry_length,
                          uint16_t max_keys);
};

// Node page (512 bytes):
//   offset              size                    meaning
//   0                   4                       key count k
//   4 + i * entry len   entry length            entry i
// A page is an inner page when the child page of entry 0 is nonzero. A leaf
// holds entries 0 .. k-1; an inner page holds k keyed entries 0 .. k-1 and a
// trailing entry k (k + 1 child pointers). Slots after the last entry may
// hold stale bytes.
struct TNdxNodeHeader {
  static constexpr size_t kSize = 4;
  int32_t key_count = 0;

  void EncodeTo(uint8_t* dst) const;
  static TNdxNodeHeader DecodeFrom(const uint8_t* src);
};

// Entry (entry length bytes):
//   offset           size        meaning
//   0                4           child page number (0 in a leaf)
//   4                4           record number, 1-based (0 in an inner page)
//   8                key length  key bytes (character: raw field bytes;
//                                numeric: IEEE 754 double, little-endian)
//   8 + key length   rest        padding, not significant
struct TNdxEntryHeader {
  static constexpr size_t kSize = 8;
  static constexpr size_t kKeyOffset = 8;
  uint32_t child_page = 0;
  uint32_t record_number = 0;

  void EncodeTo(uint8_t* dst) const;
  static TNdxEntryHeader DecodeFrom(const uint8_t* src);
};

}  // namespace kalbor
