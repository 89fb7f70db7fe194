// The calendar's bold days.
#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

constexpr uint32_t Day(int d) { return 1u << (d - 1); }

class BoldDays : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{1, true, 1, "Rye bread", 220}});
    PutUser(1, "Anna");
    SelectUser(1);
    AddFood(Date(2002, 3, 15), 1, 1, 100);
    AddFood(Date(2002, 3, 3), 2, 1, 100);
    AddFood(Date(2002, 3, 3), 3, 1, 100);
    AddFood(Date(2001, 3, 9), 1, 1, 100);
    AddFood(Date(2002, 2, 28), 1, 1, 100);
    AddFood(Date(2003, 12, 24), 1, 1, 100);
    window.calendar_date = Date(2002, 3, 20);
  }
};

TEST_F(BoldDays, DaysOfTheMonthInTheCalendarYear) {
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), Day(3) | Day(15));
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(2), Day(28));
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(4), 0u);
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(13), 0u);
  // The December before a January is taken from the January's year.
  window.calendar_date = Date(2003, 1, 5);
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(12), Day(24));
}

TEST_F(BoldDays, OnlyTheCurrentUsersDiaryNamedExactly) {
  dm->UserFoodDbf.Close();
  dm->UserFoodDbf.SetTableName("user0001.dbf");
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), 0u);
  dm->UserFoodDbf.SetTableName("USER0001.DBF");
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), Day(3) | Day(15));
  EXPECT_TRUE(dm->UserFoodDbf.Active());
  window.user_id = 2;
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), 0u);
}

TEST_F(BoldDays, WalkKeepsTheOneDayViewAndTheCurrentRow) {
  window.calendar_date = Date(2002, 3, 3);
  dm->UserFoodDbf.SetFiltered(true);
  dm->UserFoodDbf.First();
  ASSERT_EQ(dm->UserFoodDbfKIND->AsInteger(), 3);
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), Day(3) | Day(15));
  EXPECT_TRUE(dm->UserFoodDbf.Filtered());
  EXPECT_EQ(dm->UserFoodDbfKIND->AsInteger(), 3);
  EXPECT_FALSE(dm->UserFoodDbf.ControlsDisabled());
}

TEST_F(BoldDays, DeletingTheLastEntryOfADayRemovesItsMark) {
  window.calendar_date = Date(2002, 3, 15);
  dm->UserFoodDbf.SetFiltered(true);
  dm->UserFoodDbf.First();
  dm->UserFoodDbf.Delete();
  EXPECT_EQ(dm->MonthCalendar1GetMonthInfo(3), Day(3));
}

}  // namespace
}  // namespace kalbor::test
