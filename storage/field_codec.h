// Value encodings of the field kinds stored as text in table records:
// character (C), numeric (N), logical (L) and date (D). Each function works on
// one field's bytes within a record; none reads past `length`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kalbor {

// Character: trailing blanks removed, leading kept; all blank is null.
std::optional<std::string> DecodeText(const uint8_t* field, size_t length);
// Left-aligned, blank-padded; cut at the field length.
void EncodeText(uint8_t* field, size_t length, const std::string& bytes);

// Numeric: blanks trimmed; all blank is null; text that does not parse is 0.
std::optional<double> DecodeNumeric(const uint8_t* field, size_t length);
// Fixed point with `decimals` digits, right-aligned. Returns false (and
// writes nothing) when the text would be wider than the field.
bool EncodeNumericFloat(uint8_t* field, size_t length, int decimals, double value);
// Integer form: leading zeros to the full width ("-0000005").
bool EncodeNumericInteger(uint8_t* field, size_t length, int64_t value);

// Logical: first non-blank "T"/"t" is true; blank is null.
std::optional<bool> DecodeLogical(const uint8_t* field, size_t length);
void EncodeLogical(uint8_t* field, size_t length, bool value);

// Date YYYYMMDD as a date serial (days from 30 December 1899); blank is null;
// an impossible date is 0.
std::optional<int32_t> DecodeDate(const uint8_t* field, size_t length);
void EncodeDate(uint8_t* field, size_t length, int32_t serial);

// Null on set: blanks.
void EncodeNull(uint8_t* field, size_t length);

}  // namespace kalbor
