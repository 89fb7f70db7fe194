#include "storage/field_codec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "storage/dates.h"

namespace kalbor {

namespace {

void Trim(const uint8_t* field, size_t length, size_t& begin, size_t& end) {
  begin = 0;
  end = length;
  while (end > 0 && (field[end - 1] == ' ' || field[end - 1] == 0)) --end;
  while (begin < end && field[begin] == ' ') ++begin;
}

bool RightAlign(uint8_t* field, size_t length, const char* text, size_t n) {
  if (n > length) return false;
  std::memset(field, ' ', length - n);
  std::memcpy(field + (length - n), text, n);
  return true;
}

int ParsePart(const uint8_t* p, size_t n) {
  int value = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return 1;  // a part that does not parse counts as 1
    value = value * 10 + (p[i] - '0');
  }
  return n == 0 ? 1 : value;
}

}  // namespace

std::optional<std::string> DecodeText(const uint8_t* field, size_t length) {
  size_t end = length;
  while (end > 0 && field[end - 1] == ' ') --end;
  if (end == 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(field), end);
}

void EncodeText(uint8_t* field, size_t length, const std::string& bytes) {
  size_t n = bytes.size() < length ? bytes.size() : length;
  std::memcpy(field, bytes.data(), n);
  std::memset(field + n, ' ', length - n);
}

std::optional<double> DecodeNumeric(const uint8_t* field, size_t length) {
  size_t begin, end;
  Trim(field, length, begin, end);
  if (begin == end) return std::nullopt;
  const char* first = reinterpret_cast<const char*>(field) + begin;
  const char* last = reinterpret_cast<const char*>(field) + end;
  if (*first == '+') ++first;
  double value = 0;
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return 0.0;
  return value;
}

bool EncodeNumericFloat(uint8_t* field, size_t length, int decimals, double value) {
  if (!std::isfinite(value)) return false;
  if (decimals < 0) decimals = 0;
  char text[512];
  int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof text) return false;
  // A value that rounds to zero is stored without a sign.
  if (text[0] == '-') {
    bool zero = true;
    for (int i = 1; i < n; ++i)
      if (text[i] >= '1' && text[i] <= '9') zero = false;
    if (zero) {
      std::memmove(text, text + 1, static_cast<size_t>(n));
      --n;
    }
  }
  return RightAlign(field, length, text, static_cast<size_t>(n));
}

bool EncodeNumericInteger(uint8_t* field, size_t length, int64_t value) {
  if (length == 0 || length > 40) return false;
  char text[48];
  int n;
  if (value < 0) {
    uint64_t magnitude = static_cast<uint64_t>(-(value + 1)) + 1;
    n = std::snprintf(text, sizeof text, "-%0*llu", static_cast<int>(length) - 1,
                      static_cast<unsigned long long>(magnitude));
  } else {
    n = std::snprintf(text, sizeof text, "%0*llu", static_cast<int>(length),
                      static_cast<unsigned long long>(value));
  }
  if (n <= 0 || static_cast<size_t>(n) != length) return false;
  std::memcpy(field, text, length);
  return true;
}

std::optional<bool> DecodeLogical(const uint8_t* field, size_t length) {
  size_t begin, end;
  Trim(field, length, begin, end);
  if (begin == end) return std::nullopt;
  return field[begin] == 'T' || field[begin] == 't';
}

void EncodeLogical(uint8_t* field, size_t length, bool value) {
  if (length == 0) return;
  field[0] = value ? 'T' : 'F';
  std::memset(field + 1, ' ', length - 1);
}

std::optional<int32_t> DecodeDate(const uint8_t* field, size_t length) {
  size_t begin, end;
  Trim(field, length, begin, end);
  if (begin == end) return std::nullopt;
  auto part = [&](size_t from, size_t n) {
    if (from >= length) return 1;
    return ParsePart(field + from, from + n <= length ? n : length - from);
  };
  int year = part(0, 4), month = part(4, 2), day = part(6, 2);
  if (!IsValidDate(year, month, day)) return 0;
  return DateToSerial(year, month, day);
}

void EncodeDate(uint8_t* field, size_t length, int32_t serial) {
  int y, m, d;
  SerialToDate(serial, y, m, d);
  char text[32];
  int n = std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
  EncodeText(field, length, std::string(text, static_cast<size_t>(n)));
}

void EncodeNull(uint8_t* field, size_t length) { std::memset(field, ' ', length); }

}  // namespace kalbor
