#include "storage/fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "storage/codepage.h"
#include "storage/dates.h"
#include "storage/errors.h"
#include "storage/field_codec.h"
#include "storage/table_file.h"
#include "storage/table_object.h"

namespace kalbor {

namespace {

std::string TrimSpaces(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// Parses a number written with the locale's decimal separator; false when
// the whole text is not one number.
bool ParseNumber(const std::string& text, double& value) {
  std::string t = TrimSpaces(text);
  char sep = FormatSettings().decimal_separator;
  if (sep != '.') {
    for (char& c : t) {
      if (c == sep) c = '.';
      else if (c == '.') return false;
    }
  }
  if (t.empty()) return false;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  auto r = std::from_chars(first, last, value, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == last && std::isfinite(value);
}

bool ParseWhole(const std::string& text, int64_t& value) {
  std::string t = TrimSpaces(text);
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (first != last && *first == '+') ++first;
  auto r = std::from_chars(first, last, value);
  return !t.empty() && r.ec == std::errc() && r.ptr == last;
}

std::string FormatGeneral(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string s = buf;
  char sep = FormatSettings().decimal_separator;
  if (sep != '.')
    for (char& c : s)
      if (c == '.') c = sep;
  return s;
}

int32_t RoundHalfEven(double value) {
  double r = std::nearbyint(value);  // the default rounding mode sends halves to even
  if (r > 2147483647.0) return 2147483647;
  if (r < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

}  // namespace

TField::TField(const std::string& name, TFieldType type, int size, TFieldKind kind)
    : name_(name), type_(type), size_(size), kind_(kind) {}
TField::~TField() = default;

const uint8_t* TField::Bytes() const {
  if (table_ == nullptr || storage_ == nullptr) return nullptr;
  const uint8_t* row = table_->ActiveBuffer();
  return row ? row + storage_->offset : nullptr;
}

uint8_t* TField::BytesForWrite() {
  if (kind_ == TFieldKind::fkLookup || storage_ == nullptr)
    throw ETableError(Format("Field '%s' cannot be modified", name_.c_str()));
  uint8_t* row = table_->BufferForWrite(*this);
  return row + storage_->offset;
}

size_t TField::Length() const { return storage_ ? storage_->length : 0; }
int TField::Decimals() const { return storage_ ? storage_->decimals : 0; }

void TField::ConversionError(const char* type_text) const {
  throw ETableError(Format("Cannot access field '%s' as type %s", name_.c_str(), type_text));
}

bool TField::IsNull() const { return kalbor::IsNull(AsVariant()); }

double TField::AsFloat() const { ConversionError("Float"); }
int32_t TField::AsInteger() const { ConversionError("Integer"); }
std::string TField::AsString() const { return std::string(); }
bool TField::AsBoolean() const { ConversionError("Boolean"); }
double TField::AsDateTime() const { ConversionError("DateTime"); }
TVariant TField::AsVariant() const {
  // A lookup field's value is the answer of the lookup table's key search,
  // which is false for every key: it carries no text of its own.
  if (kind_ == TFieldKind::fkLookup) return false;
  return std::monostate{};
}
void TField::SetAsFloat(double) { ConversionError("Float"); }
void TField::SetAsInteger(int32_t) { ConversionError("Integer"); }
void TField::SetAsString(const std::string&) { ConversionError("String"); }
void TField::SetAsBoolean(bool) { ConversionError("Boolean"); }
void TField::SetAsDateTime(double) { ConversionError("DateTime"); }

void TField::SetAsVariant(const TVariant& value) {
  if (kalbor::IsNull(value)) return Clear();
  if (auto* b = std::get_if<bool>(&value)) return SetAsBoolean(*b);
  if (auto* d = std::get_if<double>(&value)) return SetAsFloat(*d);
  SetAsString(std::get<std::string>(value));
}

void TField::Clear() {
  uint8_t* p = BytesForWrite();
  EncodeNull(p, Length());
}

std::string TField::DisplayText() {
  std::string text = AsString();
  if (OnGetText) OnGetText(*this, text);
  return text;
}

// --- String -----------------------------------------------------------------

std::string TStringField::AsString() const {
  const uint8_t* p = Bytes();
  if (!p) return std::string();
  auto text = DecodeText(p, Length());
  return text ? TableTextToUtf8(*text) : std::string();
}

TVariant TStringField::AsVariant() const {
  if (kind_ == TFieldKind::fkLookup) return TField::AsVariant();
  const uint8_t* p = Bytes();
  if (!p) return std::monostate{};
  auto text = DecodeText(p, Length());
  if (!text) return std::monostate{};
  return TableTextToUtf8(*text);
}

void TStringField::SetAsString(const std::string& value) {
  auto bytes = Utf8ToTableText(value);
  if (!bytes)
    throw ETableError(Format("The text for field '%s' holds characters a table cannot store.",
                             name_.c_str()));
  uint8_t* p = BytesForWrite();
  EncodeText(p, Length(), *bytes);
}

double TStringField::AsFloat() const {
  double v = 0;
  std::string s = AsString();
  if (!ParseNumber(s, v))
    throw ETableError(Format("'%s' is not a valid floating point value", s.c_str()));
  return v;
}

int32_t TStringField::AsInteger() const {
  int64_t v = 0;
  std::string s = AsString();
  if (!ParseWhole(s, v) || v < INT32_MIN || v > INT32_MAX)
    throw ETableError(Format("'%s' is not a valid integer value", s.c_str()));
  return static_cast<int32_t>(v);
}

bool TStringField::AsBoolean() const {
  std::string s = AsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsFloat(double value) { SetAsString(FormatGeneral(value)); }
void TStringField::SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }
void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "True" : "False"); }

// --- Float ------------------------------------------------------------------

double TFloatField::AsFloat() const {
  const uint8_t* p = Bytes();
  if (!p) return 0;
  return DecodeNumeric(p, Length()).value_or(0.0);
}

int32_t TFloatField::AsInteger() const { return RoundHalfEven(AsFloat()); }

std::string TFloatField::AsString() const {
  const uint8_t* p = Bytes();
  if (!p) return std::string();
  auto v = DecodeNumeric(p, Length());
  return v ? FormatGeneral(*v) : std::string();
}

TVariant TFloatField::AsVariant() const {
  const uint8_t* p = Bytes();
  if (!p) return std::monostate{};
  auto v = DecodeNumeric(p, Length());
  if (!v) return std::monostate{};
  return *v;
}

void TFloatField::SetAsFloat(double value) {
  uint8_t* p = BytesForWrite();
  size_t length = Length();
  // Encode into a scratch copy first: a value too wide for the field leaves
  // the row untouched.
  std::string scratch(length, ' ');
  auto* s = reinterpret_cast<uint8_t*>(scratch.data());
  if (!EncodeNumericFloat(s, length, Decimals(), value))
    throw ETableError(Format("The value %s does not fit field '%s' (%zu characters).",
                             FormatGeneral(value).c_str(), name_.c_str(), length));
  std::copy(s, s + length, p);
}

void TFloatField::SetAsInteger(int32_t value) { SetAsFloat(value); }

void TFloatField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  double v = 0;
  if (!ParseNumber(value, v))
    throw ETableError(Format("'%s' is not a valid floating point value for field '%s'",
                             value.c_str(), name_.c_str()));
  SetAsFloat(v);
}

// --- Integer ----------------------------------------------------------------

int64_t TIntegerField::AsLargeInt() const {
  const uint8_t* p = Bytes();
  if (!p) return 0;
  auto v = DecodeNumeric(p, Length());
  if (!v || *v != std::trunc(*v) || std::fabs(*v) > 9.2e18) return 0;
  return static_cast<int64_t>(*v);
}

int32_t TIntegerField::AsInteger() const {
  int64_t v = AsLargeInt();
  return v < INT32_MIN || v > INT32_MAX ? 0 : static_cast<int32_t>(v);
}

std::string TIntegerField::AsString() const {
  const uint8_t* p = Bytes();
  if (!p || !DecodeNumeric(p, Length())) return std::string();
  return std::to_string(AsLargeInt());
}

TVariant TIntegerField::AsVariant() const {
  const uint8_t* p = Bytes();
  if (!p || !DecodeNumeric(p, Length())) return std::monostate{};
  return static_cast<double>(AsLargeInt());
}

void TIntegerField::SetAsLargeInt(int64_t value) {
  uint8_t* p = BytesForWrite();
  size_t length = Length();
  std::string scratch(length, ' ');
  auto* s = reinterpret_cast<uint8_t*>(scratch.data());
  if (!EncodeNumericInteger(s, length, value))
    throw ETableError(Format("The value %lld does not fit field '%s' (%zu characters).",
                             static_cast<long long>(value), name_.c_str(), length));
  std::copy(s, s + length, p);
}

void TIntegerField::SetAsInteger(int32_t value) { SetAsLargeInt(value); }

void TIntegerField::SetAsFloat(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e18)
    throw ETableError(Format("The value %s does not fit field '%s'.", FormatGeneral(value).c_str(),
                             name_.c_str()));
  SetAsLargeInt(static_cast<int64_t>(std::nearbyint(value)));
}

void TIntegerField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  int64_t v = 0;
  if (!ParseWhole(value, v))
    throw ETableError(Format("'%s' is not a valid integer value for field '%s'", value.c_str(),
                             name_.c_str()));
  SetAsLargeInt(v);
}

// --- Boolean ----------------------------------------------------------------

bool TBooleanField::AsBoolean() const {
  const uint8_t* p = Bytes();
  if (!p) return false;
  return DecodeLogical(p, Length()).value_or(false);
}

std::string TBooleanField::AsString() const {
  const uint8_t* p = Bytes();
  if (!p) return std::string();
  auto v = DecodeLogical(p, Length());
  if (!v) return std::string();
  return *v ? "True" : "False";
}

TVariant TBooleanField::AsVariant() const {
  const uint8_t* p = Bytes();
  if (!p) return std::monostate{};
  auto v = DecodeLogical(p, Length());
  if (!v) return std::monostate{};
  return *v;
}

void TBooleanField::SetAsBoolean(bool value) {
  uint8_t* p = BytesForWrite();
  EncodeLogical(p, Length(), value);
}

void TBooleanField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  char c = value[0];
  if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return SetAsBoolean(true);
  if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return SetAsBoolean(false);
  throw ETableError(Format("'%s' is not a valid boolean value for field '%s'", value.c_str(),
                           name_.c_str()));
}

// --- Date -------------------------------------------------------------------

double TDateField::AsDateTime() const {
  const uint8_t* p = Bytes();
  if (!p) return 0;
  return DecodeDate(p, Length()).value_or(0);
}

std::string TDateField::AsString() const {
  const uint8_t* p = Bytes();
  if (!p) return std::string();
  auto v = DecodeDate(p, Length());
  if (!v) return std::string();
  return FormatDate(FormatSettings().short_date_format, *v);
}

TVariant TDateField::AsVariant() const {
  const uint8_t* p = Bytes();
  if (!p) return std::monostate{};
  auto v = DecodeDate(p, Length());
  if (!v) return std::monostate{};
  return static_cast<double>(*v);
}

void TDateField::SetAsDateTime(double value) {
  double day = std::floor(value);  // the time of day is dropped
  int y, m, d;
  if (!std::isfinite(day) || day < -693593 || day > 2958465)
    throw ETableError(Format("Invalid date for field '%s'", name_.c_str()));
  SerialToDate(static_cast<int32_t>(day), y, m, d);
  uint8_t* p = BytesForWrite();
  EncodeDate(p, Length(), static_cast<int32_t>(day));
}

void TDateField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  int32_t serial = 0;
  if (!ParseDate(FormatSettings().short_date_format, TrimSpaces(value), serial))
    throw ETableError(Format("'%s' is not a valid date", value.c_str()));
  SetAsDateTime(serial);
}

std::unique_ptr<TField> MakeField(const std::string& name, TFieldType type, int size) {
  switch (type) {
    case ftString: return std::make_unique<TStringField>(name, size);
    case ftFloat: return std::make_unique<TFloatField>(name);
    case ftSmallint: case ftInteger: case ftLargeint:
      return std::make_unique<TIntegerField>(name, type);
    case ftBoolean: return std::make_unique<TBooleanField>(name);
    case ftDate: return std::make_unique<TDateField>(name);
    default: return std::make_unique<TStringField>(name, size);
  }
}

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftString: return "String";
    case ftSmallint: return "SmallInt";
    case ftInteger: return "Integer";
    case ftWord: return "Word";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftCurrency: return "Currency";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftAutoInc: return "AutoInc";
    case ftBlob: return "Blob";
    case ftMemo: return "Memo";
    case ftLargeint: return "LargeInt";
    default: return "Unknown";
  }
}

}  // namespace kalbor
