// One typical session from the first start to the calendar, then every file
// it left checked through the table layer.
#include <filesystem>
#include <map>

#include "data/data_fixture.h"
#include "storage/check_index.h"
#include "storage/index_options.h"

namespace kalbor::test {
namespace {

using Strings = std::vector<std::string>;

class Session : public DataModuleTest {
 protected:
  // The search box of the food entry page: first product starting with it.
  int32_t PickProduct(const std::string& typed) {
    EXPECT_TRUE(dm->FindProduct(typed));
    return dm->SelectedFoodId().value_or(0);
  }
};

TEST_F(Session, FirstStartToBoldDays) {
  // First start: the user list is made and opened; the code tables made.
  Start();
  ASSERT_TRUE(Exists(File("USERNAME.DBF")));
  MakeCodeTables();
  WriteCatalogue({{1, false, 1, "Rye bread", 220},
                  {8, true, 2, "apple", 52},
                  {12, true, 3, "Milk", 64},
                  {1, true, 4, "Bagel", 250},
                  {8, false, 5, "Banana", 89}});

  // Users: numbers, and a duplicate refused.
  EXPECT_EQ(AddUser("Anna"), 1);
  EXPECT_EQ(AddUser("Ben"), 2);
  EXPECT_EQ(AddUser("anna"), 0);
  EXPECT_EQ(window.messages.size(), 1u);

  // Selecting Ben makes his diary and the selection list.
  SelectUser(2);
  EXPECT_TRUE(Exists(File("USER0002.DBF")));
  EXPECT_EQ(Column("USERCAL.DBF", "NAME"), (Strings{"apple", "Milk", "Bagel"}));

  // The food entry page: the selection list ordered by its name key, all
  // groups; foods on several dates and meals.
  window.page_mode = pmFoodEntry;
  dm->MakeDB.Close();
  dm->MakeDB.SetTableName("USERCAL.DBF");
  dm->MakeDB.Open();
  dm->MakeDB.SetIndexName("");
  dm->MakeDB.BuildIndexFile("USERCAL.NDX", "IDX_NAME", ixCaseInsensitive);
  dm->MakeDB.SetIndexName("USERCAL.NDX");
  dm->FoodGroupDbf.Open();
  dm->ApplyGroupFilter();
  const int32_t nov3 = Date(2002, 11, 3), nov4 = Date(2002, 11, 4);
  AddFood(nov4, 2, PickProduct("bag"), 30);   // Lunch, 75 kcal
  AddFood(nov4, 1, PickProduct("MI"), 250);   // Breakfast, 160 kcal
  AddFood(nov3, 3, PickProduct("app"), 150);  // Dinner, 78 kcal
  AddFood(nov4, 4, PickProduct("app"), 100);  // Snack, 52 kcal
  AddFood(nov3, 1, PickProduct("milk"), 33);  // Breakfast, 21 kcal
  const int32_t d3 = SerialToDayNumber(nov3) * 10, d4 = SerialToDayNumber(nov4) * 10;
  EXPECT_EQ(DiaryRows(), (std::vector<TDiaryRow>{{d3 + 1, 2, nov3, 3, 33, 21},
                                                 {d3 + 3, 4, nov3, 2, 150, 78},
                                                 {d4 + 1, 2, nov4, 3, 250, 160},
                                                 {d4 + 2, 3, nov4, 4, 30, 75},
                                                 {d4 + 4, 5, nov4, 2, 100, 52}}));
  EXPECT_EQ(CountOf(2), 5);

  // The third row (Breakfast on 4 November) is deleted.
  dm->UserFoodDbf.First();
  dm->UserFoodDbf.Next();
  dm->UserFoodDbf.Next();
  dm->UserFoodDbf.Delete();
  EXPECT_EQ(DiaryRows().size(), 4u);
  EXPECT_EQ(CountOf(2), 4);
  dm->SetUserOrder(2);

  // Daily results, then the bold days of November.
  dm->BuildUserResult();
  window.calendar_date = nov4;
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(11), (1u << 2) | (1u << 3));
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(10), 0u);
  Stop();

  // The files as another reader sees them.
  EXPECT_EQ(Column("USERNAME.DBF", "USER_ID"), (Strings{"1", "2"}));
  EXPECT_EQ(Column("USERNAME.DBF", "IDX_NAME"), (Strings{"ANNA", "BEN"}));
  EXPECT_EQ(Column("USERNAME.DBF", "COUNT"), (Strings{"0", "4"}));
  EXPECT_EQ(Column("USER0002.DBF", "CALORIES"), (Strings{"75", "78", "52", "21"}));
  EXPECT_EQ(Column("USERRESULT.DBF", "DAY"), (Strings{"Sun", "Mon"}));
  EXPECT_EQ(Column("USERRESULT.DBF", "CALORIES"), (Strings{"99", "127"}));
  for (auto [ndx, dbf] : {std::pair{"USERNAME.NDX", "USERNAME.DBF"},
                          {"USER_ID.NDX", "USERNAME.DBF"},
                          {"USERCOUNT.NDX", "USERNAME.DBF"},
                          {"USER0002.NDX", "USER0002.DBF"},
                          {"USERCAL.NDX", "USERCAL.DBF"}}) {
    ASSERT_TRUE(Exists(File(ndx))) << ndx;
    EXPECT_EQ(CheckIndex(File(dbf), File(ndx)), Strings{}) << ndx;
  }
}

// After a user is deleted and products are added, every index file left in
// the folder describes its table as it is now.
TEST_F(Session, IndexFilesLeftBehindMatchTheirTables) {
  Start();
  MakeCodeTables();
  WriteCatalogue({{8, true, 1, "apple", 52}, {12, true, 2, "Milk", 64}});
  for (const char* name : {"Anna", "Ben", "Cleo"}) AddUser(name);
  for (int order : {0, 1, 2}) dm->SetUserOrder(order);
  SelectUser(2);
  ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(1.0), 0));
  dm->DeleteUser(1);
  ASSERT_TRUE(dm->OpenCatalogue());
  dm->SortCatalogue("NAME");
  dm->AddProduct(8, "Pear", "", 57);
  dm->AddProduct(8, "Plum", "", 46);
  Stop();
  const std::map<std::string, std::string> table_of = {
      {"USERNAME.NDX", "USERNAME.DBF"}, {"USER_ID.NDX", "USERNAME.DBF"},
      {"USERCOUNT.NDX", "USERNAME.DBF"}, {"FOODCAL.NDX", "FOODCAL.DBF"},
      {"USERCAL.NDX", "USERCAL.DBF"},   {"USER0002.NDX", "USER0002.DBF"}};
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string ndx = entry.path().filename().string();
    if (entry.path().extension() != ".NDX") continue;
    ASSERT_EQ(table_of.count(ndx), 1u) << ndx << " was left";
    EXPECT_EQ(CheckIndex(File(table_of.at(ndx)), File(ndx)), Strings{}) << ndx;
  }
}

}  // namespace
}  // namespace kalbor::test
