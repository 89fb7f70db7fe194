// A fresh program folder gets the shipped catalogue and the code tables; an
// existing catalogue is never replaced.
#include <cstdio>
#include <map>
#include <set>

#include "storage/table_object.h"
#include "test_util.h"
#include "tools/foodcal/install_tables.h"

namespace kalbor {
namespace {

const std::string kSource = std::string(KALBOR_SOURCE_DIR) + "/resources/catalogue/usda-sr24-energy.csv";

std::unique_ptr<TTableObject> OpenTable(const test::TempDir& dir, const std::string& name) {
  auto t = std::make_unique<TTableObject>();
  t->SetFilePath(dir.path());
  t->SetTableName(name);
  t->Exclusive = true;
  t->Open();
  return t;
}

int RunCheck(const std::string& args) {
  std::string command = std::string(KALBOR_DBF) + " check " + args + " > /dev/null 2>&1";
  return std::system(command.c_str());
}

TEST(InstallTablesTest, FreshFolderGetsCatalogueAndCodeTables) {
  test::TempDir dir;
  TInstallReport report = InstallTables(dir.path(), kSource);
  EXPECT_TRUE(report.catalogue_made);
  EXPECT_EQ(report.products, 7906);
  EXPECT_TRUE(report.meal_types_made);
  EXPECT_TRUE(report.food_groups_made);
  EXPECT_FALSE(test::Exists(dir / "FOODCAL_NEW.DBF"));

  auto cal = OpenTable(dir, "foodcal.dbf");
  EXPECT_EQ(cal->CountVisibleRows(), 7906);
  std::map<int, int> groups;
  int used = 0, expected_id = 1;
  for (cal->First(); !cal->Eof(); cal->Next()) {
    EXPECT_EQ(cal->FieldByName("FOOD_ID").AsInteger(), expected_id++);
    groups[cal->FieldByName("GROUP_ID").AsInteger()]++;
    used += cal->FieldByName("USED").AsBoolean();
    EXPECT_EQ(cal->FieldByName("MAKE").AsString(), "USDA SR24");
  }
  EXPECT_EQ(groups.size(), 21u);
  EXPECT_EQ(groups.begin()->first, 1);
  EXPECT_EQ(groups.rbegin()->first, 21);
  EXPECT_GE(used, 30);
  EXPECT_LE(used, 50);
  cal->Close();
  EXPECT_EQ(OpenTable(dir, "MEALTYPE.DBF")->CountVisibleRows(), 5);
  EXPECT_EQ(OpenTable(dir, "FOODGROUPS.DBF")->CountVisibleRows(), 22);
  EXPECT_EQ(RunCheck(dir / "FOODCAL.DBF"), 0);
  EXPECT_EQ(RunCheck(dir / "MEALTYPE.DBF"), 0);
  EXPECT_EQ(RunCheck(dir / "FOODGROUPS.DBF"), 0);
}

TEST(InstallTablesTest, ExistingCatalogueWithTheUsersMarksIsKept) {
  test::TempDir dir;
  InstallTables(dir.path(), kSource);
  {
    auto cal = OpenTable(dir, "FOODCAL.DBF");
    cal->First();
    cal->Edit();
    cal->FieldByName("NAME").SetAsString("My own bread");
    cal->Post();
    cal->Append();
    cal->FieldByName("FOOD_ID").SetAsInteger(7907);
    cal->FieldByName("NAME").SetAsString("Grandma's soup");
    cal->Post();
  }
  auto before = test::ReadBytes(dir / "FOODCAL.DBF");
  TInstallReport again = InstallTables(dir.path(), kSource);
  EXPECT_FALSE(again.catalogue_made);
  EXPECT_FALSE(again.meal_types_made);
  EXPECT_EQ(test::ReadBytes(dir / "FOODCAL.DBF"), before);
}

}  // namespace
}  // namespace kalbor
