// The result page driven as a person drives it: the daily totals list and
// its navigator as laid out, the list rebuilt at each showing, one day's
// totals by meal type after a click on the calendar, and the page without a
// user or after another user was picked.
#include <QLabel>
#include <QToolButton>

#include "ui/ui_fixture.h"

namespace kalbor {
namespace {

using test::DiaryPagesTest;
using test::TCatalogueRow;

// 100 kcal per 100 g: the quantity in grams is the kilocalories.
const std::vector<TCatalogueRow> kProducts = {
    {12, true, 1, "Porridge", 100, "Home"},
    {10, true, 2, "Stew", 100, "Home"},
    {8, true, 3, "Apple", 52, "Market"},
};

class ResultPageTest : public DiaryPagesTest {
 protected:
  void StartAndEnter() {
    StartWithUser(kProducts, {{1, "Anna"}, {2, "Ben"}});
    form->FoodPage().EnterFoodClick();
    messages.clear();
  }

  std::vector<std::string> Totals() {
    std::vector<std::string> texts;
    for (QLabel* label :
         {result().unknown, result().breakfast, result().lunch, result().dinner, result().snack, result().total})
      texts.push_back(label->text().toStdString());
    return texts;
  }

  static std::vector<std::string> DesignWords() {
    return {"unknown", "breakfast", "lunch", "dinner", "snack", "total"};
  }

  // The daily totals list, each row as its three texts.
  std::vector<std::vector<std::string>> DailyList() {
    std::vector<std::vector<std::string>> rows;
    QAbstractItemModel* model = result().DBGrid6->model();
    for (int row = 0; row < model->rowCount(); ++row)
      rows.push_back({model->index(row, 0).data().toString().toStdString(),
                      model->index(row, 1).data().toString().toStdString(),
                      model->index(row, 2).data().toString().toStdString()});
    return rows;
  }
};

// --- The page as laid out ---------------------------------------------------

using ResultPageLayout = ResultPageTest;

TEST_F(ResultPageLayout, DailyTotalsListAndNavigatorAsLaidOut) {
  StartAndEnter();
  form->ResultPage().Result1Click();
  TDBGrid* grid = result().DBGrid6;
  EXPECT_EQ(Titles(grid), (std::vector<std::string>{"Day", "Date", "Calories"}));
  EXPECT_EQ(Widths(grid), (std::vector<int>{40, 77, 68}));
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  std::vector<std::string> tips;
  for (QToolButton* b : result().DBNavigator3->findChildren<QToolButton*>())
    tips.push_back(b->toolTip().toStdString());
  EXPECT_EQ(tips, (std::vector<std::string>{"First record", "Prior record", "Next record",
                                            "Last record"}));
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->ResultPage());
  EXPECT_EQ(form->StatusText(0), "Show Result");
  EXPECT_TRUE(ui().Panel1->isVisible());
  EXPECT_EQ(ui().Panel1->pos(), QPoint(393, 22));
  EXPECT_FALSE(ui().DBGrid5->isVisible());
  EXPECT_EQ(result().Label14->text(), "__________");
  EXPECT_EQ(result().Label15->text(), "+");
}

TEST_F(ResultPageLayout, ValueLabelsShowTheirDesignWordsUntilADayIsClicked) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "300");
  form->ResultPage().Result1Click();
  EXPECT_EQ(Totals(), DesignWords());
  ClickDay(Day(2002, 11, 4));
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0", "300", "0", "0", "0", "300"}));
  // Showing the page again keeps the numbers.
  form->FoodPage().EnterFoodClick();
  form->ResultPage().Result1Click();
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0", "300", "0", "0", "0", "300"}));
}

// --- Totals -------------------------------------------------------------------

using ResultPageTotals = ResultPageTest;

TEST_F(ResultPageTotals, DayTotalsAddUpEachMealType) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "300");
  AddFood(Day(2002, 11, 4), 2, "Stew", "450");
  AddFood(Day(2002, 11, 4), 2, "Stew", "120");
  AddFood(Day(2002, 11, 5), 3, "Stew", "999");  // another day
  form->ResultPage().Result1Click();
  EXPECT_TRUE(messages.empty());
  ClickDay(Day(2002, 11, 4));
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0", "300", "570", "0", "0", "870"}));
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2002, 11, 4)));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ResultPageTotals, DayWithoutEntriesShowsZeros) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "300");
  form->ResultPage().Result1Click();
  ClickDay(Day(2002, 11, 7));
  EXPECT_EQ(Totals(), (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));
}

TEST_F(ResultPageTotals, DailyListHasOneRowPerDayWithEntries) {
  StartAndEnter();
  AddFood(Day(2002, 11, 5), 3, "Stew", "50");
  AddFood(Day(2002, 11, 4), 1, "Porridge", "100");
  AddFood(Day(2002, 11, 4), 2, "Stew", "200");
  form->ResultPage().Result1Click();
  EXPECT_EQ(DailyList(), (std::vector<std::vector<std::string>>{
                             {"Mon", DateText(Day(2002, 11, 4)).toStdString(), "300"},
                             {"Tue", DateText(Day(2002, 11, 5)).toStdString(), "50"}}));
  EXPECT_TRUE(IsBold(Day(2002, 11, 4)));
  EXPECT_TRUE(IsBold(Day(2002, 11, 5)));
}

TEST_F(ResultPageTotals, EachShowingRebuildsTheList) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "100");
  form->ResultPage().Result1Click();
  ASSERT_EQ(DailyList().size(), 1u);

  // A food added on the food entry page shows up at the next showing.
  form->FoodPage().EnterFoodClick();
  AddFood(Day(2002, 11, 9), 1, "Porridge", "40");
  form->ResultPage().Result1Click();
  ASSERT_EQ(DailyList().size(), 2u);
  EXPECT_EQ(DailyList()[1][2], "40");

  // A row deleted from the list comes back at the next showing.
  ClickCell(result().DBGrid6, 0, 0);
  answers.push_back(TModalResult::OK);
  PressKey(result().DBGrid6, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"Kalbor: Delete record?"}));
  ASSERT_EQ(DailyList().size(), 1u);
  form->ResultPage().Result1Click();
  EXPECT_EQ(DailyList().size(), 2u);
}

TEST_F(ResultPageTotals, ListShowsTheUserPickedLast) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "100");
  PickUser(2);
  form->FoodPage().EnterFoodClick();
  AddFood(Day(2002, 11, 6), 1, "Porridge", "70");
  AddFood(Day(2002, 11, 8), 1, "Porridge", "80");
  form->ResultPage().Result1Click();
  std::vector<std::vector<std::string>> list = DailyList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0][2], "70");
  EXPECT_EQ(list[1][2], "80");
  EXPECT_FALSE(IsBold(Day(2002, 11, 4)));
}

// The totals of a day stay with the user they were counted for: after
// another user is picked the labels show their design words again.
TEST_F(ResultPageTotals, AnotherUsersDayTotalsGiveWayToTheDesignWords) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "300");
  form->ResultPage().Result1Click();
  ClickDay(Day(2002, 11, 4));
  ASSERT_EQ(Totals()[5], "300");
  PickUser(2);
  form->ResultPage().Result1Click();
  EXPECT_EQ(Totals(), DesignWords());
}

// --- Without a user -------------------------------------------------------------

using ResultPageNoUser = ResultPageTest;

TEST_F(ResultPageNoUser, ClickingADayWithoutADiarySaysNoUserIsSelected) {
  WriteCatalogue(kProducts);
  Start();  // an empty user list: no diary is open
  form->ResultPage().Result1Click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(result().DBGrid6->model()->rowCount(), 0);
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  ClickDay(Day(2002, 11, 5));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "There is no user selected.");
  EXPECT_EQ(messages[0].caption, "Kalbor - Result");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_EQ(Totals(), DesignWords());
}

// After the selected user is deleted the page shows nothing of that user.
TEST_F(ResultPageNoUser, DeletedUsersTotalsAreNotShown) {
  StartAndEnter();
  AddFood(Day(2002, 11, 4), 1, "Porridge", "300");
  form->ResultPage().Result1Click();
  ClickDay(Day(2002, 11, 4));
  ASSERT_EQ(DailyList().size(), 1u);

  form->UserPage().UserDataClick();
  ASSERT_TRUE(dm->UserDbf.Locate("USER_ID", TVariant(1.0), 0));
  form->UserPage().UserDelClick();
  answers.push_back(TModalResult::OK);
  form->UserPage().AddUserClick();
  ASSERT_EQ(form->CurrentUserId(), 0);
  messages.clear();

  form->ResultPage().Result1Click();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(result().DBGrid6->model()->rowCount(), 0);
  EXPECT_EQ(Totals(), DesignWords());
}

}  // namespace
}  // namespace kalbor
