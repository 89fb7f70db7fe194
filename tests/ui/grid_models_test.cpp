// Every grid of the window under QAbstractItemModelTester while a person
// adds, edits, deletes, filters and orders its rows: after each step the
// grid shows what a fresh read of its table shows, and a row stored is told
// as that row (inserted, removed, changed) while only a new order or filter
// resets the grid.
#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <functional>
#include <memory>
#include <ostream>

#include "ui/grid/db_navigator.h"
#include "ui/grid/table_model.h"
#include "ui/ui_fixture.h"

namespace kalbor::test {
namespace {

const std::vector<TCatalogueRow> kProducts = {
    {12, true, 1, "Porridge", 100, "Home"},  {8, true, 2, "Apple", 52, "Market"},
    {8, true, 3, "Apricot", 48, "Market"},   {8, false, 4, "Banana", 89, "Market"},
    {10, true, 5, "Stew", 120, "Home"},      {1, true, 6, "Bagel", 257, "Baker"},
};

// What a step tells the grid's model.
enum class TTold {
  Inserted,  // rows inserted (more than removed), no reset
  Removed,   // rows removed (more than inserted), no reset
  Changed,   // no reset and as many rows inserted as removed (none, or a row moved)
  Reset,     // the rows read afresh
  Any,
};

class GridModelTest;

struct TGridStep {
  const char* what;
  std::function<void(GridModelTest&)> act;
  TTold told;
};

struct TGridCase {
  const char* name;
  std::function<TDBGrid*(GridModelTest&)> grid;
  std::vector<TGridStep> steps;
};

std::ostream& operator<<(std::ostream& out, const TGridCase& c) { return out << c.name; }

// Anna picked with three diary rows on three days, the food entry page
// shown; the verbs are public for the steps of the table below.
class GridModelTest : public DiaryPagesTest, public ::testing::WithParamInterface<TGridCase> {
 public:
  using DiaryPagesTest::AddFood;
  using DiaryPagesTest::ChooseGroup;
  using DiaryPagesTest::ClickCell;
  using DiaryPagesTest::ClickDay;
  using DiaryPagesTest::ClickTitle;
  using DiaryPagesTest::Day;
  using DiaryPagesTest::TypeText;
  using DiaryPagesTest::catalogue;
  using DiaryPagesTest::dm;
  using DiaryPagesTest::food;
  using DiaryPagesTest::form;
  using DiaryPagesTest::result;
  using DiaryPagesTest::ui;
  using DiaryPagesTest::users;

  void SetUp() override {
    DiaryPagesTest::SetUp();
    StartWithUser(kProducts);
    form->FoodPage().EnterFoodClick();
    AddFood(Day(2021, 3, 10), 1, "Porridge", "200");
    AddFood(Day(2021, 3, 12), 3, "Stew", "300");
    AddFood(Day(2021, 3, 14), 2, "Apple", "150");
    messages.clear();
  }

  void OkNext() { answers.push_back(TModalResult::OK); }
  // Ctrl+Delete on the grid, answered OK.
  void CtrlDelete(TDBGrid* grid) {
    OkNext();
    PressKey(grid, Qt::Key_Delete, Qt::ControlModifier);
  }
  QToolButton* CatalogueButton(TNavButton which) {
    return catalogue().DBNavigator2->Button(which);
  }
  void ClickDayOnFoodPage(const QDate& date) {
    form->SetCalendarDate(Serial(date));
    form->FoodPage().MonthCalendar1Click();
  }
  void AddUser(const QString& name) {
    form->UserPage().UserNewClick();
    users().Edit1->setText(name);
    form->UserPage().AddUserClick();
  }
  // The catalogue row showing `name` (-1: none).
  int CatalogueRow(const std::string& name) {
    std::vector<std::string> names = GridColumn(catalogue().DBGrid2, 3);
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
  }

  // Every cell's text, row by row (check boxes by their edit text).
  static std::vector<std::vector<std::string>> Cells(QAbstractItemModel& model) {
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < model.columnCount(); ++column)
        cells.push_back(model.index(row, column).data(Qt::EditRole).toString().toStdString());
      rows.push_back(cells);
    }
    return rows;
  }
};

const TGridCase kCases[] = {
    {"DiaryGrid",
     [](GridModelTest& t) { return t.food().DBGrid3; },
     {
         {"food added on a new day",
          [](GridModelTest& t) { t.AddFood(t.Day(2021, 3, 16), 4, "Stew", "100"); },
          TTold::Inserted},
         {"food added between two days",
          [](GridModelTest& t) { t.AddFood(t.Day(2021, 3, 11), 0, "Apricot", "80"); },
          TTold::Inserted},
         {"food added on a day with rows",
          [](GridModelTest& t) { t.AddFood(t.Day(2021, 3, 12), 1, "Bagel", "90"); },
          TTold::Inserted},
         {"row deleted by the button",
          [](GridModelTest& t) {
            t.OkNext();
            t.food().Button2->click();
          },
          TTold::Removed},
         {"row deleted by Ctrl+Delete",
          [](GridModelTest& t) { t.CtrlDelete(t.food().DBGrid3); }, TTold::Removed},
         {"one day shown", [](GridModelTest& t) { t.food().ViewDay->click(); }, TTold::Reset},
         {"another day clicked",
          [](GridModelTest& t) { t.ClickDayOnFoodPage(t.Day(2021, 3, 12)); }, TTold::Reset},
         // The calendar's walk switches the one-day filter off and on again,
         // and a filtered diary is refreshed: the rows are read again.
         {"food added to the day shown",
          [](GridModelTest& t) { t.AddFood(t.Day(2021, 3, 12), 4, "Apple", "10"); },
          TTold::Any},
         {"whole diary shown", [](GridModelTest& t) { t.food().ViewAll->click(); }, TTold::Reset},
     }},
    {"ProductList",
     [](GridModelTest& t) { return t.food().DBGrid4; },
     {
         {"group chosen", [](GridModelTest& t) { t.ChooseGroup(8); }, TTold::Reset},
         {"search typed",
          [](GridModelTest& t) {
            t.food().SearchEdit->setFocus(Qt::MouseFocusReason);
            t.TypeText(t.food().SearchEdit, "apr");
          },
          TTold::Changed},
         {"all groups", [](GridModelTest& t) { t.ChooseGroup(0); }, TTold::Reset},
         {"page shown again", [](GridModelTest& t) { t.form->FoodPage().EnterFoodClick(); },
          TTold::Any},
     }},
    {"FoodGroupGrid",
     [](GridModelTest& t) { return t.ui().DBGrid5; },
     {
         {"group clicked", [](GridModelTest& t) { t.ClickCell(t.ui().DBGrid5, 8, 0); },
          TTold::Changed},
         {"food data page shown",
          [](GridModelTest& t) { t.form->FoodDataPage().FoodData1Click(); }, TTold::Any},
         {"group chosen there", [](GridModelTest& t) { t.ChooseGroup(12); }, TTold::Changed},
     }},
    {"Catalogue",
     [](GridModelTest& t) { return t.catalogue().DBGrid2; },
     {
         {"page shown", [](GridModelTest& t) { t.form->FoodDataPage().FoodData1Click(); },
          TTold::Any},
         {"sorted by name", [](GridModelTest& t) { t.ClickTitle(t.catalogue().DBGrid2, 3); },
          TTold::Reset},
         {"name edited in place moves the row",
          [](GridModelTest& t) {
            QAbstractItemModel* model = t.catalogue().DBGrid2->model();
            ASSERT_TRUE(model->setData(model->index(t.CatalogueRow("Apple"), 3), "Zucchini"));
            t.CatalogueButton(TNavButton::Post)->click();
          },
          TTold::Changed},
         {"Sel. clicked",
          [](GridModelTest& t) { t.ClickCell(t.catalogue().DBGrid2, t.CatalogueRow("Banana"), 1); },
          TTold::Changed},
         {"new row begun", [](GridModelTest& t) { t.CatalogueButton(TNavButton::Insert)->click(); },
          TTold::Inserted},
         {"new row dropped",
          [](GridModelTest& t) { t.CatalogueButton(TNavButton::Cancel)->click(); },
          TTold::Removed},
         {"new row stored",
          [](GridModelTest& t) {
            t.CatalogueButton(TNavButton::Insert)->click();
            QAbstractItemModel* model = t.catalogue().DBGrid2->model();
            ASSERT_TRUE(model->setData(model->index(model->rowCount() - 1, 3), "Cherry"));
            t.CatalogueButton(TNavButton::Post)->click();
          },
          TTold::Inserted},
         {"row deleted by Ctrl+Delete",
          [](GridModelTest& t) { t.CtrlDelete(t.catalogue().DBGrid2); }, TTold::Removed},
         {"group chosen", [](GridModelTest& t) { t.ChooseGroup(8); }, TTold::Reset},
         {"product added to the group",
          [](GridModelTest& t) {
            t.catalogue().EditProd->setText("Pear");
            t.catalogue().EditMake->setText("Farm");
            t.catalogue().EditCal->setText("57");
            t.catalogue().AddProductBtn->click();
          },
          TTold::Any},
         {"sorted by kilocalories", [](GridModelTest& t) { t.ClickTitle(t.catalogue().DBGrid2, 5); },
          TTold::Reset},
         {"all groups", [](GridModelTest& t) { t.ChooseGroup(0); }, TTold::Reset},
     }},
    {"UserGrid",
     [](GridModelTest& t) { return t.users().DBGrid1; },
     {
         {"page shown", [](GridModelTest& t) { t.form->UserPage().UserDataClick(); }, TTold::Any},
         {"user added", [](GridModelTest& t) { t.AddUser("Cleo"); }, TTold::Any},
         {"user added before the others", [](GridModelTest& t) { t.AddUser("Aaron"); },
          TTold::Any},
         {"user renamed",
          [](GridModelTest& t) {
            ASSERT_TRUE(t.dm->UserDbf.Locate("USER_ID", TVariant(2.0), 0));
            t.form->UserPage().UserSelClick();
            t.users().Edit1->setText("Zoe");
            t.OkNext();
            t.form->UserPage().AddUserClick();
          },
          TTold::Any},
         {"ordered by count",
          [](GridModelTest& t) {
            t.users().UserSort->SetItemIndex(2);
            t.form->UserPage().UserSortClick();
          },
          TTold::Reset},
         {"user deleted",
          [](GridModelTest& t) {
            ASSERT_TRUE(t.dm->UserDbf.Locate("USER_ID", TVariant(3.0), 0));
            t.form->UserPage().UserDelClick();
            t.OkNext();
            t.form->UserPage().AddUserClick();
          },
          TTold::Any},
     }},
    {"ResultGrid",
     [](GridModelTest& t) { return t.result().DBGrid6; },
     {
         {"page shown", [](GridModelTest& t) { t.form->ResultPage().Result1Click(); },
          TTold::Reset},
         {"day clicked", [](GridModelTest& t) { t.ClickDay(t.Day(2021, 3, 12)); }, TTold::Any},
         {"row deleted by Ctrl+Delete",
          [](GridModelTest& t) { t.CtrlDelete(t.result().DBGrid6); }, TTold::Removed},
         {"page shown again", [](GridModelTest& t) { t.form->ResultPage().Result1Click(); },
          TTold::Reset},
     }},
};

TEST_P(GridModelTest, ModelStaysConsistentAndTellsEachStoredRowAsThatRow) {
  TDBGrid* grid = GetParam().grid(*this);
  QAbstractItemModel& model = *grid->model();
  ModelFailures failures;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
  int resets = 0, inserted = 0, removed = 0;
  QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
  QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) { inserted += last - first + 1; });
  QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                   [&](const QModelIndex&, int first, int last) { removed += last - first + 1; });

  for (const TGridStep& step : GetParam().steps) {
    SCOPED_TRACE(step.what);
    resets = inserted = removed = 0;
    step.act(*this);
    Settle();
    ASSERT_TRUE(grid->isVisible());
    EXPECT_TRUE(failures.List().isEmpty()) << failures.List().join("\n").toStdString();

    switch (step.told) {
      case TTold::Inserted:
        EXPECT_EQ(resets, 0);
        EXPECT_GT(inserted, removed);
        break;
      case TTold::Removed:
        EXPECT_EQ(resets, 0);
        EXPECT_GT(removed, inserted);
        break;
      case TTold::Changed:
        EXPECT_EQ(resets, 0);
        EXPECT_EQ(inserted, removed);
        break;
      case TTold::Reset:
        EXPECT_GE(resets, 1);
        break;
      case TTold::Any:
        break;
    }
    // What the grid shows is what a fresh read of the table shows, and its
    // current row is the table's.
    TTableModel* shown = static_cast<TTableModel*>(&model);
    TTableModel fresh(shown->Table(), shown->Columns());
    EXPECT_EQ(Cells(model), Cells(fresh));
    EXPECT_EQ(shown->CurrentRow(), fresh.CurrentRow());
    if (shown->CurrentRow() >= 0) EXPECT_EQ(grid->currentIndex().row(), shown->CurrentRow());
  }
  EXPECT_TRUE(answers.empty()) << "a question expected was not asked";
}

INSTANTIATE_TEST_SUITE_P(EveryGrid, GridModelTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TGridCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace kalbor::test
