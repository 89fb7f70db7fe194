#include "storage/dates.h"

#include <cstdio>

namespace kalbor {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (era-based algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

constexpr int64_t kSerialOf1970 = 25569;

}  // namespace

bool IsValidDate(int year, int month, int day) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= limit;
}

int32_t DateToSerial(int year, int month, int day) {
  return static_cast<int32_t>(DaysFromCivil(year, static_cast<unsigned>(month),
                                            static_cast<unsigned>(day)) +
                              kSerialOf1970);
}

void SerialToDate(int32_t serial, int& year, int& month, int& day) {
  CivilFromDays(static_cast<int64_t>(serial) - kSerialOf1970, year, month, day);
}

int DayOfWeek(int32_t serial) {
  // Serial 0 (30 December 1899) was a Saturday.
  int r = static_cast<int>((static_cast<int64_t>(serial) + 6) % 7);
  return r < 0 ? r + 7 : r;
}

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

std::string FormatDate(const std::string& format, int32_t serial) {
  int y, m, d;
  SerialToDate(serial, y, m, d);
  std::string out;
  char buf[16];
  for (size_t i = 0; i < format.size();) {
    char c = format[i];
    char lower = static_cast<char>(c | 0x20);
    size_t run = 1;
    while (i + run < format.size() && (format[i + run] | 0x20) == lower) ++run;
    if (lower == 'd') {
      if (run >= 3) {
        out += FormatSettings().short_day_names[DayOfWeek(serial)];
      } else {
        std::snprintf(buf, sizeof buf, run == 2 ? "%02d" : "%d", d);
        out += buf;
      }
    } else if (lower == 'm') {
      std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", m);
      out += buf;
    } else if (lower == 'y') {
      std::snprintf(buf, sizeof buf, run <= 2 ? "%02d" : "%04d", run <= 2 ? y % 100 : y);
      out += buf;
    } else {
      out.append(format, i, run);
    }
    i += run;
  }
  return out;
}

bool ParseDate(const std::string& format, const std::string& text, int32_t& serial) {
  int y = -1, m = -1, d = -1;
  size_t t = 0;
  for (size_t i = 0; i < format.size();) {
    char lower = static_cast<char>(format[i] | 0x20);
    size_t run = 1;
    while (i + run < format.size() && (format[i + run] | 0x20) == lower) ++run;
    if (lower == 'd' || lower == 'm' || lower == 'y') {
      size_t start = t;
      int value = 0;
      while (t < text.size() && t - start < 4 && text[t] >= '0' && text[t] <= '9')
        value = value * 10 + (text[t++] - '0');
      if (t == start) return false;
      size_t digits = t - start;
      if (lower == 'd') d = value;
      if (lower == 'm') m = value;
      if (lower == 'y') y = run <= 2 && digits <= 2 ? 2000 + value : value;
    } else {
      for (size_t k = 0; k < run; ++k, ++t)
        if (t >= text.size() || text[t] != format[i + k]) return false;
    }
    i += run;
  }
  if (t != text.size() || !IsValidDate(y, m, d)) return false;
  serial = DateToSerial(y, m, d);
  return true;
}

}  // namespace kalbor
