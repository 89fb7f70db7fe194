// The module's tables: start-up, the table-making numbers, the seed rows,
// replacing a diary, and the display texts of the diary's lookup fields.
#include <filesystem>

#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

using Tables = DataModuleTest;
using Strings = std::vector<std::string>;

size_t FilesIn(const std::string& folder) {
  size_t n = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder)) n += entry.is_regular_file();
  return n;
}

TEST_F(Tables, FirstStartMakesAnEmptyUserListAtLevel3AndOpensIt) {
  Start();
  ASSERT_TRUE(Exists(File("USERNAME.DBF")));
  EXPECT_EQ(ReadBytes(File("USERNAME.DBF"))[0], 0x03);
  EXPECT_EQ(Schema("USERNAME.DBF"),
            (Strings{"USER_ID N 9", "USERNAME C 50", "IDX_NAME C 50", "COUNT N 9"}));
  EXPECT_TRUE(dm->UserDbf.Active());
  EXPECT_EQ(dm->UserDbf.CountVisibleRows(), 0);
  for (TTableObject* t : {&dm->FoodCalDbf, &dm->MakeDB, &dm->MealTypeDbf, &dm->UserFoodDbf,
                          &dm->FoodGroupDbf, &dm->UserResultDbf})
    EXPECT_FALSE(t->Active());
}

TEST_F(Tables, StartFromAnotherFolderUsesTheProgramFolderAndKeepsTheUserList) {
  TempDir elsewhere;
  struct TCurrentFolder {
    std::filesystem::path previous = std::filesystem::current_path();
    ~TCurrentFolder() { std::filesystem::current_path(previous); }
  } restore;
  std::filesystem::current_path(elsewhere.path());
  Start();
  PutUser(1, "Anna");
  Stop();
  Start();
  EXPECT_EQ(dm->UserDbf.CountVisibleRows(), 1);
  EXPECT_EQ(FilesIn(elsewhere.path()), 0u);
}

TEST_F(Tables, CodeTablesAreSeededOnceInOrder) {
  Start();
  dm->MakeTableByNumber(tnMealType);
  EXPECT_EQ(Column("MEALTYPE.DBF", "DESCRIPT"),
            (Strings{"Unknown", "Breakfast", "Lunch", "Dinner", "Snack"}));
  EXPECT_EQ(Column("MEALTYPE.DBF", "KIND"), (Strings{"1", "2", "3", "4", "5"}));
  auto bytes = ReadBytes(File("MEALTYPE.DBF"));
  dm->MakeTableByNumber(tnMealType);
  EXPECT_EQ(ReadBytes(File("MEALTYPE.DBF")), bytes);

  dm->MakeTableByNumber(tnFoodGroups);
  Strings groups = Column("FOODGROUPS.DBF", "GROUP_NAME");
  ASSERT_EQ(groups.size(), 22u);
  EXPECT_EQ(groups.front(), "All");
  EXPECT_EQ(groups.back(), "Vegetarian food");
  EXPECT_EQ(Column("FOODGROUPS.DBF", "GROUP_ID").front(), "0");
  EXPECT_FALSE(dm->MakeDB.Active());
}

TEST_F(Tables, EveryNumberMakesItsSchemaAndOthersMakeNothing) {
  Start();
  window.user_id = 12;
  const size_t before = FilesIn(dir.path());
  dm->MakeTableByNumber(0);
  dm->MakeTableByNumber(8);
  EXPECT_EQ(FilesIn(dir.path()), before);
  for (int n = tnFoodCal; n <= tnFoodGroups; ++n) dm->MakeTableByNumber(n);
  const Strings food = {"GROUP_ID N 9", "USED L 1",    "FOOD_ID N 9", "NAME C 50",
                        "IDX_NAME C 50", "MAKE C 20", "CALORIES N 9"};
  EXPECT_EQ(Schema("FOODCAL.DBF"), food);
  EXPECT_EQ(Schema("USERCAL.DBF"), food);
  EXPECT_EQ(Schema("USER0012.DBF"),
            (Strings{"GROUP_ID N 9", "INDEXFLD N 9", "KIND N 9", "DATUM D 8", "FOOD_ID N 9",
                     "QUANTITY N 9", "CALORIES N 9"}));
  EXPECT_EQ(Schema("USERRESULT.DBF"), (Strings{"DAY C 10", "DATUM D 8", "CALORIES N 9"}));
  EXPECT_EQ(ReadBytes(File("USER0012.DBF"))[0], 0x03);
  EXPECT_TRUE(window.messages.empty());
}

class DiaryReplacement : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{1, true, 17, "Apple", 52}});
    PutUser(12, "Ben");
    SelectUser(12);
    AddFood(Date(2002, 3, 15), 2, 17, 100);
    AddFood(Date(2002, 3, 15), 3, 17, 100);
  }
};

TEST_F(DiaryReplacement, CancelKeepsTheDiaryWithItsRows) {
  window.Answer(TModalResult::Cancel);
  dm->MakeTableByNumber(tnUserFood);
  ASSERT_EQ(window.messages.size(), 1u);
  const TShownMessage& m = window.messages[0];
  EXPECT_EQ(m.text,
            "The file you want to make exists already.\r\nMaking a new one may cause lost of data.");
  EXPECT_EQ(m.caption, "File Exists");
  EXPECT_EQ(m.icon, TMsgIcon::Warning);
  EXPECT_EQ(m.buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(m.default_button, TModalResult::Cancel);
  EXPECT_EQ(Column("USER0012.DBF", "FOOD_ID").size(), 2u);
}

// The diary table holds the file it replaces: the replacement still happens
// and the table then shows the empty diary.
TEST_F(DiaryReplacement, OkReplacesTheOpenDiaryByAnEmptyOne) {
  window.Answer(TModalResult::OK);
  dm->MakeTableByNumber(tnUserFood);
  EXPECT_TRUE(Column("USER0012.DBF", "FOOD_ID").empty());
  EXPECT_EQ(Schema("USER0012.DBF").size(), 7u);
  ASSERT_TRUE(dm->UserFoodDbf.Active());
  EXPECT_EQ(dm->UserFoodDbf.CountVisibleRows(), 0);
}

TEST_F(DiaryReplacement, LookupTextsAreTheDescriptionOrASingleBlank) {
  dm->UserFoodDbf.First();
  EXPECT_EQ(dm->UserFoodDbfType->DisplayText(), "Lunch");
  EXPECT_EQ(dm->UserFoodDbfDescription->DisplayText(), "Apple");
  dm->UserFoodDbf.Edit();
  dm->UserFoodDbfKIND->SetAsInteger(9);
  dm->UserFoodDbfFOOD_ID->SetAsInteger(4711);
  dm->UserFoodDbf.Post();
  dm->UserFoodDbf.First();
  EXPECT_EQ(dm->UserFoodDbfType->DisplayText(), " ");
  EXPECT_EQ(dm->UserFoodDbfDescription->DisplayText(), " ");
}

// The selection list's group filter stays on when another page is shown;
// the other tables MakeDB makes or opens have no products to filter.
TEST_F(Tables, MakeDBShowsOtherTablesWhileTheSelectionListFilterIsOn) {
  Start();
  dm->MakeTableByNumber(tnFoodGroups);
  window.page_mode = pmFoodEntry;
  dm->FoodGroupDbf.Open();
  ASSERT_TRUE(dm->FoodGroupDbf.Locate("GROUP_ID", TVariant(8.0), 0));
  ASSERT_TRUE(dm->MakeDB.Filtered());
  window.page_mode = pmTableMaking;
  dm->MakeTableByNumber(tnMealType);
  EXPECT_EQ(Column("MEALTYPE.DBF", "KIND").size(), 5u);
  dm->MakeDB.SetTableName("MEALTYPE.DBF");
  dm->MakeDB.Open();
  EXPECT_EQ(dm->MakeDB.CountVisibleRows(), 5);
}

}  // namespace
}  // namespace kalbor::test
