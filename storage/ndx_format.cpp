#include "storage/ndx_format.h"

#include <algorithm>
#include <cstring>

#include "storage/coding.h"
#include "storage/files.h"
#include "storage/index_options.h"

namespace kalbor {

uint16_t NdxEntryLength(uint32_t key_length) {
  return static_cast<uint16_t>((key_length + TNdxEntryHeader::kSize + 3) / 4 * 4);
}

uint16_t NdxMaxKeys(uint32_t entry_length) {
  if (entry_length == 0) return 0;
  return static_cast<uint16_t>((kNdxPageSize - TNdxNodeHeader::kSize) / entry_length);
}

TNdxHeader TNdxHeader::ForKey(const std::string& expression, bool character_key,
                              uint16_t key_length, int options) {
  TNdxHeader h;
  h.key_flags = 0;
  if (options & ixDescending) h.key_flags |= kNdxFlagDescending;
  if (character_key) h.key_flags |= kNdxFlagCharacter;
  h.key_letter = character_key ? 'C' : 'N';
  h.unique_marker = kNdxMarkerNone;
  if (options & ixPrimary) {
    h.key_flags |= kNdxFlagDistinct | kNdxFlagUnique;
    h.unique_marker = kNdxMarkerPrimary;
  } else if (options & ixUnique) {
    h.key_flags |= kNdxFlagUnique;
    h.unique_marker = kNdxMarkerUnique;
  }
  h.key_length = character_key ? key_length : kNdxNumericKeyLength;
  h.entry_length = NdxEntryLength(h.key_length);
  h.max_keys = NdxMaxKeys(h.entry_length);
  h.key_type_code = character_key ? 0 : 1;
  h.expression = UpperAscii(expression.substr(0, kMaxExpression));
  return h;
}

void TNdxHeader::EncodeTo(uint8_t* dst) const {
  std::memset(dst, 0, kSize);
  EncodeFixed32(dst + 0, root_page);
  EncodeFixed32(dst + 4, page_count);
  dst[8] = key_flags;
  dst[9] = key_letter;
  EncodeFixed16(dst + 10, marker);
  EncodeFixed16(dst + 12, key_length);
  EncodeFixed16(dst + 14, max_keys);
  EncodeFixed16(dst + 16, key_type_code);
  EncodeFixed16(dst + 18, entry_length);
  EncodeFixed16(dst + 20, version);
  dst[22] = reserved22;
  dst[23] = unique_marker;
  // The expression area ends with at least one zero byte (byte 243).
  const size_t n = std::min(expression.size(), kMaxExpression);
  std::memcpy(dst + kExpressionOffset, expression.data(), n);
  dst[244] = reserved244;
  dst[245] = for_exists;
  dst[246] = key_exists;
  EncodeFixed32(dst + 248, first_node);
  EncodeFixed32(dst + 252, last_node);
}

TNdxHeader TNdxHeader::DecodeFrom(const uint8_t* src) {
  TNdxHeader h;
  h.root_page = DecodeFixed32(src + 0);
  h.page_count = DecodeFixed32(src + 4);
  h.key_flags = src[8];
  h.key_letter = src[9];
  h.marker = DecodeFixed16(src + 10);
  h.key_length = DecodeFixed16(src + 12);
  h.max_keys = DecodeFixed16(src + 14);
  h.key_type_code = DecodeFixed16(src + 16);
  h.entry_length = DecodeFixed16(src + 18);
  h.version = DecodeFixed16(src + 20);
  h.reserved22 = src[22];
  h.unique_marker = src[23];
  const uint8_t* text = src + kExpressionOffset;
  const void* end = std::memchr(text, 0, kExpressionArea);
  const size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - text)
                       : kExpressionArea;
  h.expression.assign(reinterpret_cast<const char*>(text), n);
  h.reserved244 = src[244];
  h.for_exists = src[245];
  h.key_exists = src[246];
  h.first_node = DecodeFixed32(src + 248);
  h.last_node = DecodeFixed32(src + 252);
  return h;
}

void TNdxHeader::EncodeRoot(uint8_t* dst, uint32_t root_page, uint32_t page_count) {
  EncodeFixed32(dst + 0, root_page);
  EncodeFixed32(dst + 4, page_count);
}

void TNdxHeader::EncodeSizes(uint8_t* dst, uint16_t key_length, uint16_t entry_length,
                             uint16_t max_keys) {
  EncodeFixed16(dst + 12, key_length);
  EncodeFixed16(dst + 14, max_keys);
  EncodeFixed16(dst + 18, entry_length);
}

void TNdxNodeHeader::EncodeTo(uint8_t* dst) const {
  EncodeFixed32(dst, static_cast<uint32_t>(key_count));
}

TNdxNodeHeader TNdxNodeHeader::DecodeFrom(const uint8_t* src) {
  TNdxNodeHeader h;
  h.key_count = static_cast<int32_t>(DecodeFixed32(src));
  return h;
}

void TNdxEntryHeader::EncodeTo(uint8_t* dst) const {
  EncodeFixed32(dst + 0, child_page);
  EncodeFixed32(dst + 4, record_number);
}

TNdxEntryHeader TNdxEntryHeader::DecodeFrom(const uint8_t* src) {
  TNdxEntryHeader h;
  h.child_page = DecodeFixed32(src + 0);
  h.record_number = DecodeFixed32(src + 4);
  return h;
}

}  // namespace kalbor
