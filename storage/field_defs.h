// Field definitions: what a table's fields are, as requested at creation or
// as read from an open file.
#pragma once

#include <string>
#include <vector>

namespace kalbor {

// Dataset field kinds, numbered as the messages show them in hexadecimal.
enum TFieldType : int {
  ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5,
  ftFloat = 6, ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11,
  ftBytes = 12, ftVarBytes = 13, ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17,
  ftFmtMemo = 18, ftParadoxOle = 19, ftDBaseOle = 20, ftTypedBinary = 21, ftCursor = 22,
  ftFixedChar = 23, ftWideString = 24, ftLargeint = 25,
};

const char* FieldTypeName(TFieldType type);

struct TFieldDef {
  std::string FieldName;
  TFieldType FieldType = ftUnknown;
  char NativeFieldType = 0;  // the stored letter, for definitions read from a file
  int Size = 0;
  int Precision = 0;
  bool Required = false;
};

class TFieldDefs {
 public:
  void Clear() { items_.clear(); }
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false) {
    items_.push_back(TFieldDef{name, type, 0, size, 0, required});
    return items_.back();
  }
  void Add(const TFieldDef& def) { items_.push_back(def); }
  size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  TFieldDef& operator[](size_t i) { return items_[i]; }
  const TFieldDef& operator[](size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TFieldDef> items_;
};

}  // namespace kalbor
