// Daily results rebuilt from the diary.
#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

using Strings = std::vector<std::string>;

class Results : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{3, true, 1, "Hundred", 100}, {3, true, 2, "Nothing", 0}});
    PutUser(1, "Anna");
    PutUser(2, "Ben");
    SelectUser(1);
  }
  Strings Totals() {
    Strings out;
    TTableObject& t = dm->UserResultDbf;
    for (t.First(); !t.Eof(); t.Next())
      out.push_back(dm->UserResultDbfDAY->AsString() + " " +
                    FormatDate("yyyy-mm-dd", int32_t(dm->UserResultDbfDATUM->AsDateTime())) + " " +
                    dm->UserResultDbfCALORIES->AsString());
    return out;
  }
};

TEST_F(Results, OneRowPerDayWithEntriesSummedOverMeals) {
  AddFood(Date(2002, 3, 3), 1, 1, 50);
  AddFood(Date(2002, 3, 1), 4, 1, 200);
  AddFood(Date(2002, 3, 1), 0, 1, 100);
  AddFood(Date(2002, 3, 5), 2, 2, 100);  // 0 kilocalories still shows the day
  dm->BuildUserResult();
  const Strings expected = {"Fri 2002-03-01 300", "Sun 2002-03-03 50", "Tue 2002-03-05 0"};
  EXPECT_EQ(Totals(), expected);
  EXPECT_EQ(window.progress_position, 0);
  dm->BuildUserResult();
  EXPECT_EQ(Totals(), expected);
  EXPECT_FALSE(dm->UserFoodDbf.Filtered());
  EXPECT_TRUE(dm->UserFoodDbf.Active());
}

TEST_F(Results, WeekdayNamesComeFromTheWindow) {
  AddFood(Date(2002, 3, 15), 2, 1, 100);
  window.day_names = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  dm->BuildUserResult();
  EXPECT_EQ(Totals(), Strings{"Fr 2002-03-15 100"});
}

TEST_F(Results, AnotherUsersTotalsNeverRemain) {
  AddFood(Date(2002, 3, 1), 1, 1, 100);
  dm->BuildUserResult();
  SelectUser(2);
  dm->BuildUserResult();
  EXPECT_TRUE(Totals().empty());
  // A user without a diary file, with the diary table closed: still empty.
  window.user_id = 3;
  dm->UserFoodDbf.Close();
  dm->UserFoodDbf.SetTableName("");
  dm->BuildUserResult();
  EXPECT_TRUE(Totals().empty());
}

// The old table cannot be thrown away (a read-only program folder): the
// step fails with the reason, and no earlier total is shown.
TEST_F(Results, ATableThatCannotBeThrownAwayIsAnErrorNotAppendedTo) {
  AddFood(Date(2002, 3, 1), 1, 1, 100);
  dm->BuildUserResult();
  dm->CloseUserResult();
  TUndeletable kept(File("USERRESULT.DBF"));
  if (!kept.Held()) GTEST_SKIP() << "this file system cannot keep a file from deletion";
  EXPECT_THROW(
      {
        try {
          dm->BuildUserResult();
        } catch (const ETableError& e) {
          EXPECT_EQ(std::string(e.what()), "Cannot delete file " + File("USERRESULT.DBF"));
          throw;
        }
      },
      ETableError);
  EXPECT_FALSE(dm->UserResultDbf.Active());
}

}  // namespace
}  // namespace kalbor::test
