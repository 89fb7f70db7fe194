#include "storage/dbf_format.h"

#include <cstring>

#include "storage/coding.h"

namespace kalbor {

void TTableHeader::EncodeTo(uint8_t* dst) const {
  std::memset(dst, 0, kSize);
  dst[0] = version;
  EncodeStamp(dst, year, month, day, record_count);
  EncodeFixed16(dst + 8, header_length);
  EncodeFixed16(dst + 10, record_length);
  dst[28] = mdx_flag;
  dst[29] = language_driver;
}

TTableHeader TTableHeader::DecodeFrom(const uint8_t* src) {
  TTableHeader h;
  h.version = src[0];
  h.year = src[1];
  h.month = src[2];
  h.day = src[3];
  h.record_count = DecodeFixed32(src + 4);
  h.header_length = DecodeFixed16(src + 8);
  h.record_length = DecodeFixed16(src + 10);
  h.mdx_flag = src[28];
  h.language_driver = src[29];
  return h;
}

void TTableHeader::EncodeStamp(uint8_t* dst, uint8_t year, uint8_t month, uint8_t day,
                             uint32_t record_count) {
  dst[1] = year;
  dst[2] = month;
  dst[3] = day;
  EncodeFixed32(dst + 4, record_count);
}

void TFieldDescriptor::EncodeTo(uint8_t* dst) const {
  std::memset(dst, 0, kSize);
  std::memcpy(dst, name.data(), name.size() < 10 ? name.size() : 10);
  dst[11] = static_cast<uint8_t>(letter);
  dst[16] = length;
  dst[17] = decimals;
}

TFieldDescriptor TFieldDescriptor::DecodeFrom(const uint8_t* src) {
  TFieldDescriptor d;
  size_t n = 0;
  while (n < 11 && src[n] != 0) ++n;
  d.name.assign(reinterpret_cast<const char*>(src), n);
  d.letter = static_cast<char>(src[11]);
  d.length = src[16];
  d.decimals = src[17];
  return d;
}

}  // namespace kalbor
