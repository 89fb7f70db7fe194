// Calendar dates as numbers. A date serial counts days from 30 December 1899
// (serial 0); a day number counts days of the proleptic Gregorian calendar
// with 1 January of the year 1 as day 1. Day number = serial + 693594.
#pragma once

#include <cstdint>
#include <string>

namespace kalbor {

constexpr int32_t kDayNumberOfSerialZero = 693594;

bool IsValidDate(int year, int month, int day);
// Serial of a valid date (years 1 to 9999); callers check validity first.
int32_t DateToSerial(int year, int month, int day);
void SerialToDate(int32_t serial, int& year, int& month, int& day);
// Sunday = 0 ... Saturday = 6.
int DayOfWeek(int32_t serial);
inline int32_t SerialToDayNumber(int32_t serial) { return serial + kDayNumberOfSerialZero; }
inline int32_t DayNumberToSerial(int32_t day) { return day - kDayNumberOfSerialZero; }

// Date and number conventions of the running program: the short date form
// (tokens d, dd, ddd, m, mm, yy, yyyy; anything else is copied) and the
// abbreviated day names. The window replaces them with the locale's.
struct TFormatSettings {
  std::string short_date_format = "yyyy-mm-dd";
  std::string short_day_names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  char decimal_separator = '.';
};
TFormatSettings& FormatSettings();

std::string FormatDate(const std::string& format, int32_t serial);
// Reads a date in `format` (numeric day, month and year tokens). Returns
// false when the text does not hold a valid date in that form.
bool ParseDate(const std::string& format, const std::string& text, int32_t& serial);

}  // namespace kalbor
