// A diary-shaped table (the per-user food diary's layout) for the
// reliability tests: rows with an identity of their own (FOOD_ID is never
// changed once a row exists), verbs to write and read them through a table
// object, and a raw reading of the whole file that the tests compare against
// what they posted.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <map>
#include <string>
#include <vector>

#include "storage/errors.h"
#include "storage/table_object.h"

namespace kalbor::test {

// GROUP_ID, INDEXFLD, KIND, DATUM, FOOD_ID, QUANTITY, CALORIES.
struct TDiaryRow {
  int32_t food_id = 0;  // the row's identity
  int32_t group_id = 0;
  int32_t kind = 1;     // 1 to 5
  int32_t serial = 0;   // DATUM as a date serial
  int32_t quantity = 0;
  int32_t calories = 0;
  bool deleted = false;

  double IndexFld() const { return (serial + 693594.0) * 10 + (kind - 1); }
  bool SameValues(const TDiaryRow& o) const {
    return food_id == o.food_id && group_id == o.group_id && kind == o.kind &&
           serial == o.serial && quantity == o.quantity && calories == o.calories;
  }
};

inline std::ostream& operator<<(std::ostream& os, const TDiaryRow& r) {
  return os << "{food " << r.food_id << " group " << r.group_id << " kind " << r.kind
            << " date " << r.serial << " qty " << r.quantity << " kcal " << r.calories
            << (r.deleted ? " deleted}" : "}");
}

inline void CreateDiary(const std::string& folder, const std::string& name) {
  TTableObject t;
  t.SetFilePath(folder);
  t.SetTableName(name);
  for (const char* n : {"GROUP_ID", "INDEXFLD", "KIND"}) t.FieldDefs.Add(n, ftInteger);
  t.FieldDefs.Add("DATUM", ftDate);
  for (const char* n : {"FOOD_ID", "QUANTITY", "CALORIES"}) t.FieldDefs.Add(n, ftInteger);
  t.SetTableLevel(3);
  t.CreateDbfFile();
}

inline std::unique_ptr<TTableObject> DiaryObject(const std::string& folder,
                                                 const std::string& name) {
  auto t = std::make_unique<TTableObject>();
  t->SetFilePath(folder);
  t->SetTableName(name);
  t->Exclusive = true;
  return t;
}

// Writes the row's values into the current row (edit or insert state).
inline void SetDiaryRow(TTableObject& t, const TDiaryRow& r) {
  t.FieldByName("GROUP_ID").SetAsInteger(r.group_id);
  t.FieldByName("INDEXFLD").SetAsFloat(r.IndexFld());
  t.FieldByName("KIND").SetAsInteger(r.kind);
  t.FieldByName("DATUM").SetAsDateTime(r.serial);
  t.FieldByName("FOOD_ID").SetAsInteger(r.food_id);
  t.FieldByName("QUANTITY").SetAsInteger(r.quantity);
  t.FieldByName("CALORIES").SetAsInteger(r.calories);
}

inline TDiaryRow GetDiaryRow(TTableObject& t) {
  TDiaryRow r;
  r.group_id = t.FieldByName("GROUP_ID").AsInteger();
  r.kind = t.FieldByName("KIND").AsInteger();
  r.serial = static_cast<int32_t>(t.FieldByName("DATUM").AsDateTime());
  r.food_id = t.FieldByName("FOOD_ID").AsInteger();
  r.quantity = t.FieldByName("QUANTITY").AsInteger();
  r.calories = t.FieldByName("CALORIES").AsInteger();
  return r;
}

inline void AppendDiaryRow(TTableObject& t, const TDiaryRow& r) {
  t.Append();
  SetDiaryRow(t, r);
  t.Post();
}

// Makes the row with this identity current (deleted rows included when the
// table shows them); false when there is none.
inline bool GotoFood(TTableObject& t, int32_t food_id) {
  for (t.First(); !t.Eof(); t.Next())
    if (t.FieldByName("FOOD_ID").AsInteger() == food_id) return true;
  return false;
}

// Every record of the file in physical order, deleted ones marked, read
// through a fresh read-only table object.
inline std::vector<TDiaryRow> ReadDiary(const std::string& folder, const std::string& name) {
  TTableObject t;
  t.SetFilePath(folder);
  t.SetTableName(name);
  t.ReadOnly = true;
  t.Open();
  // No field shows the deletion flag: the rows that appear once deleted
  // rows are shown are the deleted ones.
  const std::vector<uint32_t> live = t.VisibleRecordNumbers();
  t.SetShowDeleted(true);
  std::vector<TDiaryRow> rows;
  for (t.First(); !t.Eof(); t.Next()) {
    TDiaryRow r = GetDiaryRow(t);
    r.deleted = std::find(live.begin(), live.end(), t.Bookmark()) == live.end();
    rows.push_back(r);
  }
  t.Close();
  return rows;
}

}  // namespace kalbor::test
