// Fixture verbs of the data-module tests: a data module over a fresh
// temporary program folder with a scripted window, and the steps the pages
// take (add, select, add food) written the way the pages take them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/dm1.h"
#include "data/fake_main_window.h"
#include "storage/dates.h"
#include "storage/errors.h"
#include "catalogue_file.h"
#include "test_util.h"

namespace kalbor::test {

using TProduct = TCatalogueRow;

struct TDiaryRow {
  int32_t indexfld, kind, datum, food_id, quantity, calories;
  bool operator==(const TDiaryRow&) const = default;
};

inline int32_t Date(int y, int m, int d) { return DateToSerial(y, m, d); }

class DataModuleTest : public ::testing::Test {
 protected:
  TempDir dir;
  TFakeMainWindow window;
  std::unique_ptr<TDM1> dm;

  std::string File(const std::string& name) const { return dir / name; }

  TDM1& Start() {
    dm = std::make_unique<TDM1>(window);
    dm->DM1Create(dir.path());
    return *dm;
  }
  void Stop() { dm.reset(); }

  void WriteCatalogue(const std::vector<TProduct>& products) {
    WriteCatalogueFile(dir.path(), products);
  }

  void MakeCodeTables() {
    dm->MakeTableByNumber(tnMealType);
    dm->MakeTableByNumber(tnFoodGroups);
  }

  // A user row with a fixed number, as an earlier run left it.
  void PutUser(int32_t id, const std::string& name) {
    dm->UserDbf.Append();
    dm->UserDbfUSERNAME->SetAsString(name);
    dm->UserDbfUSER_ID->SetAsInteger(id);
    dm->UserDbfCOUNT->SetAsInteger(0);
    dm->UserDbf.Post();
  }

  // "Add User": refused names add nothing (0); otherwise the new number.
  int32_t AddUser(const std::string& name) { return dm->AddUser(name); }

  // "Select" with user `id`'s row current: the window takes the user, then
  // the data module opens the user's files.
  void SelectUser(int32_t id) {
    ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(double(id)), 0));
    const int32_t previous = window.user_id;
    window.user_id = id;
    window.user_name = dm->UserDbfUSERNAME->AsString();
    dm->OpenUserFiles(previous);
  }

  // "&Add Food" on the food entry page, of product `food_id`.
  TStoreResult AddFood(int32_t date, int meal, int32_t food_id, int32_t quantity) {
    window.calendar_date = date;
    TAddFoodResult result = dm->AddFood(date, meal, food_id, quantity);
    EXPECT_EQ(result.error, "");
    return result.result;
  }

  // The diary's rows in the order the table object shows them now.
  std::vector<TDiaryRow> DiaryRows() {
    std::vector<TDiaryRow> rows;
    TTableObject& t = dm->UserFoodDbf;
    for (t.First(); !t.Eof(); t.Next())
      rows.push_back({dm->UserFoodDbfINDEXFLD->AsInteger(), dm->UserFoodDbfKIND->AsInteger(),
                      static_cast<int32_t>(dm->UserFoodDbfDATUM->AsDateTime()),
                      dm->UserFoodDbfFOOD_ID->AsInteger(), dm->UserFoodDbfQUANTITY->AsInteger(),
                      dm->UserFoodDbfCALORIES->AsInteger()});
    return rows;
  }

  int32_t CountOf(int32_t user_id) {
    EXPECT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(double(user_id)), 0));
    return dm->UserDbfCOUNT->AsInteger();
  }

  // One field of every live row of a table file, read by a table object of
  // its own (read-only, beside the module's).
  std::vector<std::string> Column(const std::string& file, const std::string& field) {
    TTableObject t;
    t.SetFilePath(dir.path());
    t.SetTableName(file);
    t.ReadOnly = true;
    t.Open();
    std::vector<std::string> values;
    for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldByName(field).AsString());
    return values;
  }

  // "NAME C 50" per field of a table file, in file order.
  std::vector<std::string> Schema(const std::string& file) {
    TTableObject t;
    t.SetFilePath(dir.path());
    t.SetTableName(file);
    t.ReadOnly = true;
    t.Open();
    std::vector<std::string> out;
    for (const TFieldDef& d : t.FileFieldDefs())
      out.push_back(d.FieldName + " " + d.NativeFieldType + " " + std::to_string(d.Size));
    return out;
  }
};

}  // namespace kalbor::test
