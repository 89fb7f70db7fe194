// The food entry page driven as a person drives it: its controls as laid
// out, adding a food (the worked example, refused quantities, no user, a
// diary or product list that is missing), deleting, the calendar's bold days
// and clicks, the two views, and the product search box.
#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "ui/search_box.h"
#include "ui/ui_fixture.h"

namespace kalbor {
namespace {

using test::DiaryPagesTest;
using test::TCatalogueRow;
using test::TFileRow;

const char kInvalidQuantity[] = "Invalid Quantity: The quantity can not be zero or negative.\r\n";

// Product 17 is the one of the worked example; the names starting with
// "a" or "A" serve the search box.
const std::vector<TCatalogueRow> kProducts = {
    {12, true, 17, "Pea soup", 250, "Home"},           {8, true, 3, "apple pie", 260, "Bakery"},
    {8, true, 4, "Apple Juice", 45, "Market"},         {8, true, 5, "Apricot", 48, "Market"},
    {1, true, 6, "Almond bread", 99, "Bakery"},        {8, false, 7, "Banana", 89, "Market"},
    {16, true, 9, "Energy block", 2000000, "Factory"},
};

class FoodPageTest : public DiaryPagesTest {
 protected:
  // Anna picked, the food entry page shown.
  void ShowFoodPage(const std::vector<TCatalogueRow>& products = kProducts) {
    StartWithUser(products);
    form->FoodPage().EnterFoodClick();
    Settle();
    messages.clear();
  }
};

// --- The page as laid out ---------------------------------------------------

using FoodPageLayout = FoodPageTest;

TEST_F(FoodPageLayout, DiaryGridShowsDateMealFoodQuantityAndKilocalories) {
  ShowFoodPage();
  TDBGrid* grid = food().DBGrid3;
  EXPECT_EQ(Titles(grid),
            (std::vector<std::string>{"Date", "Type", "Description", "Qty", "KCalories"}));
  EXPECT_EQ(Widths(grid), (std::vector<int>{63, 53, 152, 34, 51}));
  EXPECT_TRUE(TitleAlignment(grid, 4) & Qt::AlignRight);
  EXPECT_TRUE(TitleAlignment(grid, 0) & Qt::AlignLeft);
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(FoodPageLayout, MealTypesStartAtBreakfast) {
  ShowFoodPage();
  ASSERT_EQ(food().FoodKind->Count(), 5);
  std::vector<std::string> items;
  for (int i = 0; i < 5; ++i) items.push_back(food().FoodKind->ItemText(i).toStdString());
  EXPECT_EQ(items, (std::vector<std::string>{"Unknown", "Breakfast", "Lunch", "Dinner", "Snack"}));
  EXPECT_EQ(food().FoodKind->ItemIndex(), 1);
}

TEST_F(FoodPageLayout, ProductAndGroupListsAreReadOnlyWithCentredTitles) {
  ShowFoodPage();
  TDBGrid* products = food().DBGrid4;
  EXPECT_EQ(Titles(products), (std::vector<std::string>{"Select a Product", "Source"}));
  EXPECT_EQ(Widths(products), (std::vector<int>{153, 62}));
  EXPECT_EQ(TitleAlignment(products, 0), Qt::AlignCenter);
  EXPECT_EQ(TitleAlignment(products, 1), Qt::AlignCenter);
  EXPECT_EQ(products->editTriggers(), QAbstractItemView::NoEditTriggers);
  // The products marked used, by their upper-cased names.
  EXPECT_EQ(GridColumn(products, 0),
            (std::vector<std::string>{"Almond bread", "Apple Juice", "apple pie", "Apricot",
                                      "Energy block", "Pea soup"}));

  TDBGrid* groups = ui().DBGrid5;
  EXPECT_EQ(Titles(groups), (std::vector<std::string>{"Select a Group"}));
  EXPECT_EQ(Widths(groups), (std::vector<int>{143}));
  EXPECT_EQ(TitleAlignment(groups, 0), Qt::AlignCenter);
  EXPECT_EQ(groups->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(groups->isVisible());
  EXPECT_EQ(groups->pos(), QPoint(84, 181));
  EXPECT_EQ(GridColumn(groups, 0).size(), 22u);
}

TEST_F(FoodPageLayout, ShowingThePageChoosesAllAndShowsTheCalendarDate) {
  StartWithUser(kProducts);
  EXPECT_EQ(food().Edit2->text(), "Date....");
  EXPECT_EQ(food().Edit5->text(), "Qty");
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  form->FoodPage().EnterFoodClick();
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->FoodPage());
  EXPECT_EQ(form->StatusText(0), "Enter Food");
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2002, 11, 4)));
  EXPECT_TRUE(food().ViewAll->isChecked());
  EXPECT_FALSE(food().ViewDay->isChecked());
  EXPECT_TRUE(ui().Panel1->isVisible());
  EXPECT_EQ(ui().Panel1->pos(), QPoint(402, 11));
  EXPECT_TRUE(food().DBGrid3->hasFocus());
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodPageLayout, MissingProductListIsReportedAndThePageStillShows) {
  WriteCatalogue(kProducts);
  Start();  // an empty user list: nothing builds the product list
  form->FoodPage().EnterFoodClick();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "\"USERCAL.DBF\" was not found.");
  EXPECT_EQ(messages[0].caption, "Missing Table");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->FoodPage());
  EXPECT_EQ(food().DBGrid4->model()->rowCount(), 0);
  EXPECT_TRUE(ui().Panel1->isVisible());
}

// --- "&Add Food" --------------------------------------------------------------

using FoodPageAddFood = FoodPageTest;

TEST_F(FoodPageAddFood, WorkedExampleIsStoredAndShownInTheDiary) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  EXPECT_TRUE(messages.empty());
  std::vector<TFileRow> rows = DiaryFile();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["INDEXFLD"], "7311582");
  EXPECT_EQ(rows[0]["KIND"], "3");
  EXPECT_EQ(rows[0]["FOOD_ID"], "17");
  EXPECT_EQ(rows[0]["QUANTITY"], "30");
  EXPECT_EQ(rows[0]["CALORIES"], "75");
  EXPECT_EQ(rows[0]["DATUM"], "20021104");
  EXPECT_EQ(DiaryGrid(),
            (std::vector<std::vector<std::string>>{
                {DateText(Day(2002, 11, 4)).toStdString(), "Lunch", "Pea soup", "30", "75"}}));
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2002, 11, 4)));
  EXPECT_TRUE(ui().Panel1->isEnabled());
  EXPECT_EQ(dm->UserDbfCOUNT->AsInteger(), 1);
}

TEST_F(FoodPageAddFood, DiaryGridKeepsDateAndMealOrder) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 5), 4, "Apricot", "100");
  AddFood(Day(2002, 11, 4), 3, "Apricot", "100");
  AddFood(Day(2002, 11, 4), 1, "Pea soup", "33");
  std::vector<std::vector<std::string>> grid = DiaryGrid();
  ASSERT_EQ(grid.size(), 3u);
  EXPECT_EQ(grid[0][1], "Breakfast");
  EXPECT_EQ(grid[0][4], "82");  // 8250 / 100, remainder dropped
  EXPECT_EQ(grid[1][1], "Dinner");
  EXPECT_EQ(grid[2][1], "Snack");
}

TEST_F(FoodPageAddFood, TheNewFoodIsTheDiaryGridsCurrentRow) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 6), 2, "Pea soup", "10");
  AddFood(Day(2002, 11, 5), 2, "Pea soup", "20");
  AddFood(Day(2002, 11, 4), 2, "Apricot", "30");
  EXPECT_EQ(dm->UserFoodDbfQUANTITY->AsInteger(), 30);
  EXPECT_EQ(food().DBGrid3->currentIndex().row(), 0);
  AddFood(Day(2002, 11, 5), 3, "Apricot", "40");
  EXPECT_EQ(dm->UserFoodDbfQUANTITY->AsInteger(), 40);
  EXPECT_EQ(food().DBGrid3->currentIndex().row(), 2);
}

TEST_F(FoodPageAddFood, QuantityBoxStillShowingQtyIsRefused) {
  ShowFoodPage();
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  PickProduct("Pea soup");
  ASSERT_EQ(food().Edit5->text(), "Qty");
  food().Button1->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Invalid Quantity");
  EXPECT_EQ(messages[0].text, "The quantity can not be zero or negative.\r\n");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_TRUE(DiaryFile().empty());
}

TEST_F(FoodPageAddFood, EveryQuantityThatIsNotAPositiveWholeNumberIsRefused) {
  ShowFoodPage();
  for (const char* text :
       {"", " ", "Qty", "-1", "0", "1e3", "12abc", "2147483648", "3.5", "0x10"}) {
    SCOPED_TRACE(text);
    AddFood(Day(2002, 11, 4), 2, "Pea soup", text);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{kInvalidQuantity}));
    EXPECT_TRUE(DiaryFile().empty());
    EXPECT_TRUE(ui().Panel1->isEnabled());
  }
}

TEST_F(FoodPageAddFood, QuantityWhoseKilocaloriesWouldOverflowIsRefused) {
  ShowFoodPage();
  // 2,000,000 kcal per 100 g x 2000 g does not fit a 32-bit whole number.
  AddFood(Day(2002, 11, 4), 2, "Energy block", "2000");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Invalid Quantity");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_TRUE(DiaryFile().empty());
  EXPECT_TRUE(ui().Panel1->isEnabled());
  // A quantity that fits is stored.
  messages.clear();
  AddFood(Day(2002, 11, 4), 2, "Energy block", "1000");
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(DiaryFile().size(), 1u);
  EXPECT_EQ(DiaryFile()[0]["CALORIES"], "20000000");
}

TEST_F(FoodPageAddFood, WithoutASelectedUserNothingIsStored) {
  WriteCatalogue(kProducts);
  Start();  // empty user list
  form->FoodPage().EnterFoodClick();
  messages.clear();
  food().Edit5->setText("30");
  food().Button1->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Invalid User");
  EXPECT_EQ(messages[0].text, "There is no user selected.\r\n");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_FALSE(test::Exists(File(UserFileName(form->CurrentUserId()))));
}

// The diary file of the remembered user went missing between two runs:
// "&Add Food" makes it again and stores the food chosen in the product grid.
TEST_F(FoodPageAddFood, MissingDiaryIsMadeAgainWithTheChosenProduct) {
  StartWithUser(kProducts);
  form->close();  // writes the settings: user 1 is remembered
  form.reset();
  dm.reset();
  ASSERT_TRUE(DeleteFile(File("USER0001.DBF")));
  DeleteFile(File("USER0001.NDX"));
  Start();
  ASSERT_EQ(form->CurrentUserId(), 1);
  form->FoodPage().EnterFoodClick();
  ASSERT_TRUE(messages.empty());
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  EXPECT_TRUE(messages.empty());
  std::vector<TFileRow> rows = DiaryFile();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["FOOD_ID"], "17");
  EXPECT_EQ(rows[0]["CALORIES"], "75");
  // The product grid still offers the products, on the one chosen.
  EXPECT_EQ(food().DBGrid4->model()->rowCount(), 6);
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "Pea soup");
}

// Without the product list the store step fails: silently, and the calendar
// and the diary grid are still brought up to date.
// No product list, or a food group with no products in it: nothing is
// stored, and the page says why.
TEST_F(FoodPageAddFood, WithoutAProductNothingIsStoredAndThePageSaysWhy) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  const std::string why = "Invalid Product: Choose a product first.";
  ChooseGroup(21);  // no product of the list is in it
  ASSERT_EQ(food().DBGrid4->model()->rowCount(), 0);
  food().Edit5->setText("30");
  food().Button1->click();
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{why});
  ChooseGroup(0);
  dm->MakeDB.Close();
  ASSERT_TRUE(DeleteFile(File("USERCAL.DBF")));
  form->FoodPage().EnterFoodClick();
  ASSERT_EQ(TakeMessages(),
            (std::vector<std::string>{"Missing Table: \"USERCAL.DBF\" was not found."}));
  form->SetCalendarDate(Serial(Day(2002, 11, 5)));
  food().Edit5->setText("30");
  food().Button1->click();
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{why});
  EXPECT_EQ(DiaryFile().size(), 1u);
  EXPECT_TRUE(ui().Panel1->isEnabled());
  EXPECT_TRUE(IsBold(Day(2002, 11, 4)));
  EXPECT_EQ(DiaryGrid().size(), 1u);
}

// --- Deleting -------------------------------------------------------------------

using FoodPageDelete = FoodPageTest;

TEST_F(FoodPageDelete, DeleteAsksAndCancelKeepsTheRow) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  answers.push_back(TModalResult::Cancel);
  food().Button2->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Are you sure to delete the record?");
  EXPECT_EQ(messages[0].caption, "Kalbor, Delete Record");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Question);
  EXPECT_EQ(messages[0].buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(messages[0].default_button, TModalResult::Cancel);
  EXPECT_EQ(DiaryFile().size(), 1u);
}

TEST_F(FoodPageDelete, DeleteRemovesTheRowChosenInTheGrid) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 3), 1, "Pea soup", "10");
  AddFood(Day(2002, 11, 4), 2, "Apricot", "100");
  AddFood(Day(2002, 11, 5), 3, "Pea soup", "20");
  ClickCell(food().DBGrid3, 1, 0);
  answers.push_back(TModalResult::OK);
  food().Button2->click();
  std::vector<TFileRow> rows = DiaryFile();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["QUANTITY"], "10");
  EXPECT_EQ(rows[1]["QUANTITY"], "20");
  EXPECT_EQ(DiaryGrid().size(), 2u);
  EXPECT_EQ(dm->UserDbfCOUNT->AsInteger(), 2);
}

// A wrong entry taken back at once: "&Delete" right after "&Add Food"
// deletes the food just added, not another row.
TEST_F(FoodPageDelete, DeleteRightAfterAddingTakesBackTheNewFood) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 6), 2, "Pea soup", "10");
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "20");
  AddFood(Day(2002, 11, 5), 2, "Apricot", "999");
  answers.push_back(TModalResult::OK);
  food().Button2->click();
  std::vector<TFileRow> rows = DiaryFile();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["QUANTITY"], "10");
  EXPECT_EQ(rows[1]["QUANTITY"], "20");
}

TEST_F(FoodPageDelete, DeleteWithAnEmptyDiaryAsksNothing) {
  ShowFoodPage();
  food().Button2->click();
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodPageDelete, CtrlDeleteInTheDiaryGridAsksDeleteRecord) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  ClickCell(food().DBGrid3, 0, 0);
  answers.push_back(TModalResult::Cancel);
  PressKey(food().DBGrid3, Qt::Key_Delete, Qt::ControlModifier);
  ASSERT_EQ(TakeMessages(), (std::vector<std::string>{"Kalbor: Delete record?"}));
  EXPECT_EQ(DiaryFile().size(), 1u);
  answers.push_back(TModalResult::OK);
  PressKey(food().DBGrid3, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_TRUE(DiaryFile().empty());
  EXPECT_FALSE(IsBold(Day(2002, 11, 4)));
}

// --- The calendar -------------------------------------------------------------------

using FoodPageCalendar = FoodPageTest;

TEST_F(FoodPageCalendar, DayTurnsBoldWithItsFirstFoodAndPlainWithoutItsLast) {
  ShowFoodPage();
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  EXPECT_FALSE(IsBold(Day(2002, 11, 4)));
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  EXPECT_TRUE(IsBold(Day(2002, 11, 4)));
  AddFood(Day(2002, 11, 4), 3, "Apricot", "50");
  AddFood(Day(2002, 11, 6), 3, "Apricot", "50");
  EXPECT_TRUE(IsBold(Day(2002, 11, 6)));
  EXPECT_FALSE(IsBold(Day(2002, 11, 5)));

  // Delete both rows of the 4th: the mark goes with the last one.
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(IsBold(Day(2002, 11, 4)));
    ClickCell(food().DBGrid3, 0, 0);
    answers.push_back(TModalResult::OK);
    food().Button2->click();
  }
  EXPECT_FALSE(IsBold(Day(2002, 11, 4)));
  EXPECT_TRUE(IsBold(Day(2002, 11, 6)));
}

TEST_F(FoodPageCalendar, ShownMonthsAroundTheDateAreMarked) {
  ShowFoodPage();
  AddFood(Day(2002, 10, 31), 2, "Pea soup", "30");
  AddFood(Day(2002, 12, 1), 2, "Pea soup", "30");
  form->SetCalendarDate(Serial(Day(2002, 11, 15)));
  EXPECT_TRUE(IsBold(Day(2002, 10, 31)));
  EXPECT_TRUE(IsBold(Day(2002, 12, 1)));
}

// Every month the calendar shows is compared in the calendar date's year,
// the partly shown December before a January included.
TEST_F(FoodPageCalendar, PartlyShownMonthsAreComparedInTheCalendarsYear) {
  ShowFoodPage();
  AddFood(Day(2003, 12, 30), 2, "Pea soup", "30");
  form->SetCalendarDate(Serial(Day(2003, 1, 15)));
  ASSERT_EQ(ui().MonthCalendar1->monthShown(), 1);
  EXPECT_TRUE(IsBold(Day(2002, 12, 30)));
}

TEST_F(FoodPageCalendar, ClickingADayFillsTheDateBox) {
  ShowFoodPage();
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  ClickDay(Day(2002, 11, 20));
  EXPECT_EQ(form->CalendarDate(), Serial(Day(2002, 11, 20)));
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2002, 11, 20)));
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodPageCalendar, ADayChosenWithTheKeysFillsTheDateBox) {
  ShowFoodPage();
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  ClickDay(Day(2002, 11, 4));
  PressKey(CalendarDays(), Qt::Key_Right);
  EXPECT_EQ(form->CalendarDate(), Serial(Day(2002, 11, 5)));
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2002, 11, 5)));
}

TEST_F(FoodPageCalendar, DateSetByTheProgramLeavesTheDateBoxAlone) {
  ShowFoodPage();
  food().Edit2->setText("unchanged");
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  EXPECT_EQ(food().Edit2->text(), "unchanged");
}

TEST_F(FoodPageCalendar, NextMonthArrowMovesTheDateAndMarksTheNewMonth) {
  ShowFoodPage();
  AddFood(Day(2003, 1, 10), 2, "Pea soup", "30");
  form->SetCalendarDate(Serial(Day(2002, 12, 31)));
  auto* next = ui().MonthCalendar1->findChild<QToolButton*>("qt_calendar_nextmonth");
  ASSERT_NE(next, nullptr);
  next->click();
  Settle();
  EXPECT_EQ(ui().MonthCalendar1->monthShown(), 1);
  EXPECT_EQ(form->CalendarDate(), Serial(Day(2003, 1, 31)));
  EXPECT_EQ(food().Edit2->text(), DateText(Day(2003, 1, 31)));
  EXPECT_TRUE(IsBold(Day(2003, 1, 10)));
}

TEST_F(FoodPageCalendar, EnteringTheCalendarAsksForItsBoldDaysAgain) {
  ShowFoodPage();
  form->SetCalendarDate(Serial(Day(2002, 11, 4)));
  QTextCharFormat stale;
  stale.setFontItalic(true);
  ui().MonthCalendar1->setDateTextFormat(Day(2002, 11, 9), stale);
  food().SearchEdit->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(ui().MonthCalendar1->dateTextFormat(Day(2002, 11, 9)).fontItalic());
  ui().MonthCalendar1->setFocus(Qt::TabFocusReason);
  Settle();
  EXPECT_FALSE(ui().MonthCalendar1->dateTextFormat(Day(2002, 11, 9)).fontItalic());
}

TEST_F(FoodPageCalendar, OneDayViewFollowsCalendarClicks) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  AddFood(Day(2002, 11, 4), 1, "Apricot", "100");
  AddFood(Day(2002, 11, 6), 3, "Apple Juice", "200");
  ClickDay(Day(2002, 11, 4));
  food().ViewDay->click();
  EXPECT_TRUE(food().ViewDay->isChecked());
  std::vector<std::vector<std::string>> grid = DiaryGrid();
  ASSERT_EQ(grid.size(), 2u);
  EXPECT_EQ(grid[0][2], "Apricot");
  EXPECT_EQ(grid[1][2], "Pea soup");
  EXPECT_TRUE(food().DBGrid3->hasFocus());

  ClickDay(Day(2002, 11, 6));
  grid = DiaryGrid();
  ASSERT_EQ(grid.size(), 1u);
  EXPECT_EQ(grid[0][2], "Apple Juice");

  ClickDay(Day(2002, 11, 5));
  EXPECT_TRUE(DiaryGrid().empty());

  food().ViewAll->click();
  EXPECT_EQ(DiaryGrid().size(), 3u);
}

// "One day" chosen on a day without food leaves the diary unindexed; the
// next day with food is still shown in meal order.
TEST_F(FoodPageCalendar, OneDayViewFromAnEmptyDayShowsTheNextDayInMealOrder) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  AddFood(Day(2002, 11, 4), 1, "Apricot", "100");
  ClickDay(Day(2002, 11, 5));
  food().ViewDay->click();
  EXPECT_TRUE(DiaryGrid().empty());
  ClickDay(Day(2002, 11, 4));
  std::vector<std::vector<std::string>> grid = DiaryGrid();
  ASSERT_EQ(grid.size(), 2u);
  EXPECT_EQ(grid[0][1], "Breakfast");
  EXPECT_EQ(grid[1][1], "Lunch");
}

TEST_F(FoodPageCalendar, ShowingThePageAgainReturnsToAllRows) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  AddFood(Day(2002, 11, 6), 2, "Pea soup", "30");
  food().ViewDay->click();
  ASSERT_EQ(DiaryGrid().size(), 1u);
  form->UserPage().UserDataClick();
  form->FoodPage().EnterFoodClick();
  EXPECT_TRUE(food().ViewAll->isChecked());
  EXPECT_FALSE(food().ViewDay->isChecked());
  EXPECT_EQ(DiaryGrid().size(), 2u);
}

// --- The diary grid while another page is shown ------------------------------

using FoodPageHidden = FoodPageTest;

// The result page rebuilds and walks the diary; the hidden diary grid does
// not re-read its rows for that.
TEST_F(FoodPageHidden, ResultPageLeavesTheHiddenDiaryGridAlone) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  AddFood(Day(2002, 11, 5), 1, "Apricot", "100");
  int resets = 0;
  QObject::connect(food().DBGrid3->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
  form->ResultPage().Result1Click();
  Settle();
  EXPECT_EQ(resets, 0);
  form->FoodPage().EnterFoodClick();
  Settle();
  EXPECT_GE(resets, 1);
  EXPECT_EQ(DiaryGrid().size(), 2u);
}

// A grid shown again shows its table as it is, changes made while it was
// hidden included, with the table's current row as its own.
TEST_F(FoodPageHidden, GridShownAgainShowsTheChangesMadeWhileHidden) {
  ShowFoodPage();
  AddFood(Day(2002, 11, 4), 2, "Pea soup", "30");
  AddFood(Day(2002, 11, 5), 1, "Apricot", "100");
  AddFood(Day(2002, 11, 6), 3, "Apple Juice", "200");
  food().DBGrid3->hide();
  ASSERT_TRUE(dm->UserFoodDbf.Locate("QUANTITY", TVariant(100.0), 0));
  dm->UserFoodDbf.Delete();
  ASSERT_TRUE(dm->UserFoodDbf.Locate("QUANTITY", TVariant(30.0), 0));
  EXPECT_EQ(DiaryGrid().size(), 3u);  // not followed while hidden

  food().DBGrid3->show();
  std::vector<std::vector<std::string>> grid = DiaryGrid();
  ASSERT_EQ(grid.size(), 2u);
  EXPECT_EQ(grid[0][2], "Pea soup");
  EXPECT_EQ(grid[1][2], "Apple Juice");
  EXPECT_EQ(food().DBGrid3->currentIndex().row(), 0);
}

// --- The search box -----------------------------------------------------------

using FoodPageSearch = FoodPageTest;

TEST_F(FoodPageSearch, TypingFindsTheFirstProductStartingWithTheTextInAnyCase) {
  ShowFoodPage();
  food().SearchEdit->setFocus(Qt::MouseFocusReason);
  TypeText(food().SearchEdit, "app");
  EXPECT_EQ(food().SearchEdit->text(), "app");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "Apple Juice");
  EXPECT_EQ(food().DBGrid4->currentIndex().row(), 1);
  TypeText(food().SearchEdit, "le p");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "apple pie");
  EXPECT_EQ(food().DBGrid4->currentIndex().row(), 2);
  // No product starts with "apple px": the grid stays.
  TypeText(food().SearchEdit, "x");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "apple pie");
}

TEST_F(FoodPageSearch, EnteringTheBoxClearsItAndMovesToTheFirstProduct) {
  ShowFoodPage();
  food().SearchEdit->setFocus(Qt::MouseFocusReason);
  TypeText(food().SearchEdit, "apr");
  ASSERT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "Apricot");
  food().DBGrid3->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(food().SearchEdit->text(), "apr");
  food().SearchEdit->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(food().SearchEdit->text(), "");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "Almond bread");
  EXPECT_EQ(food().DBGrid4->currentIndex().row(), 0);
}

TEST_F(FoodPageSearch, ReturningToTheWindowKeepsTheSearchText) {
  ShowFoodPage();
  food().SearchEdit->setFocus(Qt::MouseFocusReason);
  TypeText(food().SearchEdit, "apr");
  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(food().SearchEdit, &back);
  EXPECT_EQ(food().SearchEdit->text(), "apr");
}

TEST_F(FoodPageSearch, SearchFollowsTheChosenFoodGroup) {
  ShowFoodPage();
  ChooseGroup(12);
  EXPECT_EQ(GridColumn(food().DBGrid4, 0), (std::vector<std::string>{"Pea soup"}));
  food().SearchEdit->setFocus(Qt::MouseFocusReason);
  TypeText(food().SearchEdit, "a");
  EXPECT_EQ(dm->MakeDB.FieldByName("NAME").AsString(), "Pea soup");
  ChooseGroup(0);
  EXPECT_EQ(GridColumn(food().DBGrid4, 0).size(), 6u);
}

// A name that begins with the text is found first, as ever; without one,
// the words of the text are looked for anywhere in the names. Enter and F3
// step to the next name holding them, Shift+F3 back.
TEST_F(FoodPageSearch, WordsFindProductsNoNameBeginsWithAndTheKeysStepThroughThem) {
  ShowFoodPage();
  QLineEdit* box = food().SearchEdit;
  EXPECT_TRUE(box->toolTip().contains("Shift+F3"));
  box->setFocus(Qt::MouseFocusReason);
  auto current = [this] { return dm->MakeDB.FieldByName("NAME").AsString(); };

  TypeText(box, "app");
  EXPECT_EQ(current(), "Apple Juice");
  PressKey(box, Qt::Key_F3);
  EXPECT_EQ(current(), "apple pie");
  EXPECT_EQ(food().DBGrid4->currentIndex().row(), 2);
  PressKey(box, Qt::Key_Enter);
  EXPECT_EQ(current(), "Apple Juice");  // round past the end
  PressKey(box, Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(current(), "apple pie");

  TypeText(box, "x");
  EXPECT_TRUE(ShowsNoMatch(box));
  EXPECT_EQ(current(), "apple pie");
  PressKey(box, Qt::Key_Backspace);
  EXPECT_FALSE(ShowsNoMatch(box));
  EXPECT_EQ(current(), "Apple Juice");

  box->selectAll();
  TypeText(box, "soup pea");
  EXPECT_EQ(current(), "Pea soup");
  EXPECT_EQ(food().DBGrid4->currentIndex().row(), 5);
  EXPECT_FALSE(ShowsNoMatch(box));
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace kalbor
