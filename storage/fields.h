// Field objects: typed access to one field of a table object's current row.
// Text crosses the boundary here: the program's strings are UTF-8, the
// table's bytes Windows-1252.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "storage/field_defs.h"

namespace kalbor {

class TTableObject;
struct TTableField;

// A field value: null, boolean, number (dates as their serial) or text.
using TVariant = std::variant<std::monostate, bool, double, std::string>;
inline bool IsNull(const TVariant& v) { return std::holds_alternative<std::monostate>(v); }

enum class TFieldKind { fkData, fkLookup };

class TField {
 public:
  TField(const std::string& name, TFieldType type, int size, TFieldKind kind = TFieldKind::fkData);
  virtual ~TField();
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  TFieldKind FieldKind() const { return kind_; }
  bool IsNull() const;

  virtual double AsFloat() const;
  virtual int32_t AsInteger() const;
  virtual std::string AsString() const;
  virtual bool AsBoolean() const;
  virtual double AsDateTime() const;
  virtual TVariant AsVariant() const;

  virtual void SetAsFloat(double value);
  virtual void SetAsInteger(int32_t value);
  virtual void SetAsString(const std::string& value);
  virtual void SetAsBoolean(bool value);
  virtual void SetAsDateTime(double value);
  virtual void SetAsVariant(const TVariant& value);
  void Clear();  // null: the field's bytes become blanks

  // The text a grid shows: the OnGetText hook's answer, else AsString.
  std::string DisplayText();
  std::function<void(TField& sender, std::string& text)> OnGetText;

  // Lookup fields (fkLookup) name where their value would come from.
  std::string KeyFields;
  TTableObject* LookupDataSet = nullptr;
  std::string LookupKeyFields;
  std::string LookupResultField;

 protected:
  friend class TTableObject;
  // The stored bytes of this field in the row being read (the current row,
  // or the candidate row while the filter hook runs); null when unbound.
  const uint8_t* Bytes() const;
  uint8_t* BytesForWrite();  // checks the table's state and records the write
  size_t Length() const;
  int Decimals() const;
  [[noreturn]] void ConversionError(const char* type_text) const;

  std::string name_;
  TFieldType type_;
  int size_;
  TFieldKind kind_;
  TTableObject* table_ = nullptr;
  const TTableField* storage_ = nullptr;
};

class TStringField : public TField {
 public:
  TStringField(const std::string& name, int size, TFieldKind kind = TFieldKind::fkData)
      : TField(name, ftString, size, kind) {}
  std::string AsString() const override;
  TVariant AsVariant() const override;
  void SetAsString(const std::string& value) override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  void SetAsFloat(double value) override;
  void SetAsInteger(int32_t value) override;
  void SetAsBoolean(bool value) override;
};

// Numeric column read as a floating-point number (every N column while the
// table's UseFloatFields switch is on).
class TFloatField : public TField {
 public:
  explicit TFloatField(const std::string& name) : TField(name, ftFloat, 0) {}
  double AsFloat() const override;
  int32_t AsInteger() const override;
  std::string AsString() const override;
  TVariant AsVariant() const override;
  void SetAsFloat(double value) override;
  void SetAsInteger(int32_t value) override;
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override { return AsFloat() != 0; }
};

// Numeric column read as a whole number (ftSmallint, ftInteger, ftLargeint).
class TIntegerField : public TField {
 public:
  explicit TIntegerField(const std::string& name, TFieldType type = ftInteger)
      : TField(name, type, 0) {}
  double AsFloat() const override { return static_cast<double>(AsLargeInt()); }
  int32_t AsInteger() const override;
  int64_t AsLargeInt() const;
  std::string AsString() const override;
  TVariant AsVariant() const override;
  void SetAsFloat(double value) override;
  void SetAsInteger(int32_t value) override;
  void SetAsString(const std::string& value) override;
  void SetAsLargeInt(int64_t value);
};

class TBooleanField : public TField {
 public:
  explicit TBooleanField(const std::string& name) : TField(name, ftBoolean, 0) {}
  bool AsBoolean() const override;
  std::string AsString() const override;
  TVariant AsVariant() const override;
  void SetAsBoolean(bool value) override;
  void SetAsString(const std::string& value) override;
};

class TDateField : public TField {
 public:
  explicit TDateField(const std::string& name) : TField(name, ftDate, 0) {}
  double AsDateTime() const override;
  double AsFloat() const override { return AsDateTime(); }
  std::string AsString() const override;
  TVariant AsVariant() const override;
  void SetAsDateTime(double value) override;
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  void SetAsString(const std::string& value) override;
};

// Makes the field object of a definition's kind (fields not declared by the
// table object's owner).
std::unique_ptr<TField> MakeField(const std::string& name, TFieldType type, int size);

}  // namespace kalbor
