// The food diary: values of a new row, order, the one-day view, the entry
// count and the calendar hook.
#include "data/data_fixture.h"

namespace kalbor::test {
namespace {

TEST(Calories, PerHundredGramsTruncatedAndOverflowRefused) {
  EXPECT_EQ(ComputeCalories(250, 30), 75);
  EXPECT_EQ(ComputeCalories(250, 33), 82);
  EXPECT_EQ(ComputeCalories(99, 1), 0);
  EXPECT_EQ(ComputeCalories(-250, 33), -82);
  EXPECT_EQ(ComputeCalories(999999999, 2), 19999999);  // 1999999998 still fits
  EXPECT_EQ(ComputeCalories(999999999, 3), std::nullopt);
  EXPECT_EQ(ComputeCalories(2, 1073741824), std::nullopt);
}

class Diary : public DataModuleTest {
 protected:
  void SetUp() override {
    Start();
    MakeCodeTables();
    WriteCatalogue({{3, true, 17, "Bread", 250}, {8, true, 18, "Pear", 99}});
    PutUser(1, "Anna");
    SelectUser(1);
  }
};

TEST_F(Diary, NewRowHoldsTheWorkedExample) {
  EXPECT_EQ(AddFood(Date(2002, 11, 4), 2, 17, 30), TStoreResult::Stored);
  EXPECT_EQ(DiaryOrderKey(Date(2002, 3, 15), 2), 7309242);
  EXPECT_EQ(DiaryRows(), (std::vector<TDiaryRow>{{7311582, 3, Date(2002, 11, 4), 17, 30, 75}}));
  dm->UserFoodDbf.First();
  EXPECT_TRUE(dm->UserFoodDbfGROUP_ID->IsNull());
  EXPECT_EQ(CountOf(1), 1);
}

// A product gone from the catalogue is stored with 0 kilocalories; an empty
// selection list offers no product, and nothing is stored.
TEST_F(Diary, MissingProductGivesZeroKilocaloriesAndNoProductStoresNothing) {
  AddFood(Date(2002, 3, 1), 1, 4711, 100);
  dm->SelectedGroup = 5;  // a group without products
  window.page_mode = pmFoodEntry;
  dm->MakeDB.SetFiltered(true);
  ASSERT_EQ(dm->SelectedFoodId(), std::nullopt);
  EXPECT_EQ(dm->AddFood(Date(2002, 3, 1), 1, dm->SelectedFoodId(), 100).result,
            TStoreResult::NoProduct);
  AddFood(Date(2002, 3, 1), 1, 18, 1);
  auto rows = DiaryRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].calories, 0);
  EXPECT_EQ(rows[1].calories, 0);  // 99 kcal x 1 g
}

// The product's value does not depend on the group the catalogue shows.
TEST_F(Diary, KilocaloriesAreFoundWhateverGroupTheCatalogueShows) {
  dm->SelectedGroup = 8;
  dm->FoodCalDbf.SetFiltered(true);
  AddFood(Date(2002, 3, 1), 1, 17, 100);
  EXPECT_EQ(DiaryRows().at(0).calories, 250);
  EXPECT_TRUE(dm->FoodCalDbf.Filtered());
}

TEST_F(Diary, QuantityThatWouldOverflowIsRefusedAndNothingStored) {
  EXPECT_EQ(AddFood(Date(2002, 3, 1), 1, 17, 9000000), TStoreResult::QuantityTooLarge);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, "Invalid Quantity");
  EXPECT_EQ(window.messages[0].icon, TMsgIcon::Error);
  // A quantity wider than its column, even of a product without energy.
  EXPECT_EQ(AddFood(Date(2002, 3, 1), 1, 4711, 1500000000), TStoreResult::QuantityTooLarge);
  EXPECT_EQ(AddFood(Date(2002, 3, 1), 1, 17, 0), TStoreResult::QuantityNotPositive);
  EXPECT_TRUE(DiaryRows().empty());
  EXPECT_EQ(CountOf(1), 0);
}

TEST_F(Diary, RowsComeByDateThenMealWhateverTheOrderOfEntry) {
  AddFood(Date(2002, 3, 2), 4, 17, 100);
  AddFood(Date(2002, 3, 2), 0, 17, 100);
  AddFood(Date(2002, 3, 1), 4, 17, 100);
  AddFood(Date(2002, 3, 2), 2, 17, 100);
  AddFood(Date(2002, 3, 2), 1, 17, 100);
  std::vector<int32_t> keys;
  for (const TDiaryRow& r : DiaryRows()) keys.push_back(r.indexfld);
  const int32_t first = SerialToDayNumber(Date(2002, 3, 1)) * 10;
  const std::vector<int32_t> in_order = {first + 4, first + 10, first + 11, first + 12, first + 14};
  EXPECT_EQ(keys, in_order);
  // The next start selects the remembered user again: the same order.
  Stop();
  Start();
  SelectUser(1);
  keys.clear();
  for (const TDiaryRow& r : DiaryRows()) keys.push_back(r.indexfld);
  EXPECT_EQ(keys, in_order);
}

TEST_F(Diary, OneDayViewShowsTheCalendarDate) {
  AddFood(Date(2002, 3, 1), 1, 17, 100);
  AddFood(Date(2002, 3, 2), 1, 17, 200);
  AddFood(Date(2002, 3, 2), 3, 17, 300);
  window.calendar_date = Date(2002, 3, 2);
  dm->UserFoodDbf.SetFiltered(true);
  EXPECT_EQ(DiaryRows().size(), 2u);
  window.calendar_date = Date(2002, 3, 1);
  dm->UserFoodDbf.Refresh();
  EXPECT_EQ(DiaryRows().size(), 1u);
  // A day without rows: the index is built but not selected.
  window.calendar_date = Date(2002, 3, 9);
  dm->IndexUserFood();
  EXPECT_EQ(dm->UserFoodDbf.IndexName(), "");
}

TEST_F(Diary, EmptyDiaryIsIndexedButLeftInFileOrder) {
  ASSERT_TRUE(Exists(File("USER0001.NDX")));
  EXPECT_EQ(dm->UserFoodDbf.IndexName(), "");
  window.user_id = 2;  // no diary file: nothing happens
  dm->IndexUserFood();
  EXPECT_FALSE(Exists(File("USER0002.NDX")));
}

TEST_F(Diary, DeletingTheThirdOfFiveRowsRemovesThatRow) {
  for (int day = 1; day <= 5; ++day) AddFood(Date(2002, 3, day), 1, 17, day * 10);
  dm->UserFoodDbf.First();
  dm->UserFoodDbf.Next();
  dm->UserFoodDbf.Next();
  ASSERT_EQ(dm->UserFoodDbfQUANTITY->AsInteger(), 30);
  const int calendar_before = window.refresh_calendar_calls;
  dm->UserFoodDbf.Delete();
  std::vector<int32_t> quantities;
  for (const TDiaryRow& r : DiaryRows()) quantities.push_back(r.quantity);
  EXPECT_EQ(quantities, (std::vector<int32_t>{10, 20, 40, 50}));
  EXPECT_EQ(CountOf(1), 4);
  EXPECT_EQ(window.refresh_calendar_calls, calendar_before + 1);
}

}  // namespace
}  // namespace kalbor::test
