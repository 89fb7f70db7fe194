// The food data page on the offscreen platform: showing the page and its
// missing tables, the food-group filter, sorting by a column title, the
// "Sel." check boxes, in-place editing, adding products (with the refused
// inputs), deleting, and the navigator.
#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>

#include <algorithm>
#include <tuple>

#include "tests/ui/ui_fixture.h"
#include "ui/grid/db_navigator.h"
#include "ui/grid/table_model.h"
#include "ui/search_box.h"

namespace kalbor::test {
namespace {

// Grid columns.
constexpr int kGroup = 0, kSel = 1, kId = 2, kName = 3, kMake = 4, kKcal = 5;

// Names start with A/a, B/b and C in both letter cases.
const std::vector<TCatalogueRow> kSample = {
    {12, false, 1, "Cherry yoghurt", 95, "Dairy"},
    {1, true, 2, "bread, brown", 247, "Baker"},
    {8, false, 3, "Apple", 52, "Farm"},
    {8, true, 4, "Cranberries", 46, "Farm"},
    {1, false, 5, "Bagel", 257, "Baker"},
    {16, false, 6, "almonds", 579, "Nuts & Co"},
};

class FoodDataPageTest : public UiTest {
 protected:
  void StartWithSample() {
    WriteCatalogue(kSample);
    Start();
    ShowPage();
  }
  void ShowPage() {
    form->FoodDataPage().FoodData1Click();
    Settle();
  }
  TDBGrid* Grid() { return catalogue().DBGrid2; }
  TTableObject& Catalogue() { return dm->FoodCalDbf; }
  QToolButton* NavButton(TNavButton which) { return catalogue().DBNavigator2->Button(which); }

  // The grid row showing the product with this number.
  int RowOf(int32_t food_id) {
    std::vector<std::string> ids = GridColumn(Grid(), kId);
    auto it = std::find(ids.begin(), ids.end(), std::to_string(food_id));
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
  }

  // The stored record of the product with this number.
  TFileRow StoredProduct(int32_t food_id) {
    for (const TFileRow& row : LiveFileRows("FOODCAL.DBF"))
      if (row["FOOD_ID"] == std::to_string(food_id)) return row;
    ADD_FAILURE() << "no stored product " << food_id;
    return {};
  }

  void FillAddBox(const QString& name, const QString& make, const QString& kcal) {
    catalogue().EditProd->setText(name);
    catalogue().EditMake->setText(make);
    catalogue().EditCal->setText(kcal);
  }

  bool Inserting() { return Catalogue().State() == TDataSetState::dsInsert; }

  // The texts of the message boxes shown since the last call.
  std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts;
    for (const TShownMessage& m : messages) texts.push_back(m.text);
    messages.clear();
    return texts;
  }

  // The grid's open cell editor, if any.
  QLineEdit* CellEditor() {
    for (QLineEdit* editor : Grid()->viewport()->findChildren<QLineEdit*>())
      if (editor->isVisible()) return editor;
    return nullptr;
  }
};

// --- Showing the page -------------------------------------------------------------

TEST_F(FoodDataPageTest, ShowingThePageListsTheWholeCatalogueInFileOrder) {
  StartWithSample();
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->FoodDataPage());
  EXPECT_EQ(form->PageMode(), pmFoodData);
  EXPECT_EQ(form->StatusText(0), "Food Data");
  EXPECT_TRUE(ui().FoodData1->isChecked());
  EXPECT_TRUE(messages.empty());

  EXPECT_FALSE(ui().Panel1->isVisible());
  EXPECT_FALSE(ui().PopPanel->isVisible());
  EXPECT_TRUE(ui().DBGrid5->isVisible());
  EXPECT_EQ(ui().DBGrid5->pos(), QPoint(10, 22));

  QAbstractItemModel* model = Grid()->model();
  const std::vector<std::pair<QString, int>> columns = {
      {"Group", 38}, {"Sel.", 26}, {"ID#", 30}, {"Product Name", 198}, {"Make", 58}, {"KCal.", 33}};
  ASSERT_EQ(model->columnCount(), 6);
  int total = 0;
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), columns[c].first);
    total += Grid()->columnWidth(c);
  }
  // The design widths; columns too narrow for the font's titles and numbers
  // take room from the name column, and the columns keep their overall width.
  for (int c : {kGroup, kSel, kId, kMake, kKcal}) {
    EXPECT_GE(Grid()->columnWidth(c), columns[c].second) << c;
    EXPECT_GE(Grid()->columnWidth(c), Grid()->horizontalHeader()->sectionSizeHint(c)) << c;
  }
  EXPECT_LE(Grid()->columnWidth(kName), 198);
  EXPECT_EQ(total, 38 + 26 + 30 + 198 + 58 + 33);
  EXPECT_EQ(GridColumn(Grid(), kId), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(GridColumn(Grid(), kName)[1], "bread, brown");
  // No group chosen yet: the label reads "All" and nothing can be added.
  EXPECT_EQ(catalogue().Label17->text(), "All");
  EXPECT_FALSE(catalogue().AddProductBtn->isEnabled());
  // Cells are chosen one by one, not whole rows.
  EXPECT_EQ(Grid()->selectionBehavior(), QAbstractItemView::SelectItems);
}

TEST_F(FoodDataPageTest, MissingCatalogueIsReportedAndTheGridStaysEmpty) {
  Start();
  ShowPage();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "\"FOODCAL.DBF\" not found.");
  EXPECT_EQ(messages[0].caption, "Missing Table");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_EQ(messages[0].buttons, TMsgButtons::OK);
  EXPECT_EQ(Grid()->model()->rowCount(), 0);
  EXPECT_EQ(ui().Pagecontrol1->currentWidget(), &form->FoodDataPage());
  EXPECT_TRUE(ui().DBGrid5->isVisible());

  // Sorting a catalogue that is not there reports the table layer's error.
  ClickTitle(Grid(), kName);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].icon, TMsgIcon::Error);
  EXPECT_EQ(Grid()->model()->rowCount(), 0);
}

TEST_F(FoodDataPageTest, MissingFoodGroupsTableIsReported) {
  WriteCatalogue(kSample);
  Start(/*code_tables=*/false);
  ShowPage();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "\"FOODGROUPS.DBF\" not found.");
  EXPECT_EQ(messages[0].caption, "Missing Table");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  // The catalogue itself is there, whole: no group is chosen.
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(catalogue().Label17->text(), "All");
  EXPECT_FALSE(catalogue().AddProductBtn->isEnabled());
}

TEST_F(FoodDataPageTest, BothTablesMissingGiveBothMessagesInOrder) {
  Start(/*code_tables=*/false);
  ShowPage();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "\"FOODCAL.DBF\" not found.");
  EXPECT_EQ(messages[1].text, "\"FOODGROUPS.DBF\" not found.");
}

// --- Food groups ------------------------------------------------------------------

TEST_F(FoodDataPageTest, ChoosingAGroupNarrowsTheCatalogueAndEnablesAdd) {
  StartWithSample();
  ChooseGroup(8);
  Settle();
  EXPECT_EQ(GridColumn(Grid(), kName), (std::vector<std::string>{"Apple", "Cranberries"}));
  EXPECT_EQ(catalogue().Label17->text(), "8");
  EXPECT_TRUE(catalogue().AddProductBtn->isEnabled());

  ChooseGroup(0);
  Settle();
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(catalogue().Label17->text(), "All");
  EXPECT_FALSE(catalogue().AddProductBtn->isEnabled());
}

TEST_F(FoodDataPageTest, GroupChosenOnAnotherPageNarrowsTheCatalogueWhenThePageIsShown) {
  WriteCatalogue(kSample);
  Start();
  form->ShowPage(pmFoodEntry);
  dm->FoodGroupDbf.Open();
  ChooseGroup(1);  // on the food entry page: the catalogue is not narrowed
  ASSERT_FALSE(Catalogue().Filtered());
  ShowPage();
  EXPECT_EQ(GridColumn(Grid(), kName), (std::vector<std::string>{"bread, brown", "Bagel"}));
  EXPECT_EQ(catalogue().Label17->text(), "1");
  EXPECT_TRUE(catalogue().AddProductBtn->isEnabled());
}

// --- Sorting by a column title ----------------------------------------------------------

TEST_F(FoodDataPageTest, ProductNameTitleSortsRegardlessOfLetterCase) {
  StartWithSample();
  ClickTitle(Grid(), kName);
  Settle();
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(GridColumn(Grid(), kName),
            (std::vector<std::string>{"almonds", "Apple", "Bagel", "bread, brown", "Cherry yoghurt",
                                      "Cranberries"}));
  EXPECT_EQ(Catalogue().IndexName(), "FOODCAL.NDX");
  EXPECT_TRUE(Exists(File("FOODCAL.NDX")));
  // The first row is current.
  EXPECT_EQ(dm->FoodCalDbfNAME->AsString(), "almonds");
  EXPECT_EQ(Grid()->currentIndex().row(), 0);
}

TEST_F(FoodDataPageTest, KCalTitleSortsByKilocaloriesAscending) {
  StartWithSample();
  ClickTitle(Grid(), kKcal);
  Settle();
  EXPECT_EQ(GridColumn(Grid(), kKcal),
            (std::vector<std::string>{"46", "52", "95", "247", "257", "579"}));
  // Every title click rebuilds the same index file on its own column.
  ClickTitle(Grid(), kGroup);
  Settle();
  EXPECT_EQ(GridColumn(Grid(), kGroup), (std::vector<std::string>{"1", "1", "8", "8", "12", "16"}));
  EXPECT_EQ(Catalogue().IndexName(), "FOODCAL.NDX");
}

TEST_F(FoodDataPageTest, SortingKeepsTheChosenGroup) {
  StartWithSample();
  ChooseGroup(1);
  ClickTitle(Grid(), kName);
  Settle();
  EXPECT_EQ(GridColumn(Grid(), kName), (std::vector<std::string>{"Bagel", "bread, brown"}));
}

// --- The "Sel." check boxes ---------------------------------------------------------

TEST_F(FoodDataPageTest, ClickOnSelCellFlipsTheMarkAndStoresItAtOnce) {
  StartWithSample();
  const int row = RowOf(3);
  ASSERT_GE(row, 0);
  ASSERT_EQ(StoredProduct(3)["USED"], "F");

  ClickCell(Grid(), row, kSel);
  Settle();
  EXPECT_EQ(StoredProduct(3)["USED"], "T");
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Grid()->model()->index(row, kSel).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_EQ(Grid()->CurrentColumn(), kSel);

  ClickCell(Grid(), row, kSel);
  Settle();
  EXPECT_EQ(StoredProduct(3)["USED"], "F");
  EXPECT_EQ(Grid()->model()->index(row, kSel).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

  // Each click of a double click counts.
  ClickCell(Grid(), RowOf(4), kSel, /*double_click=*/true);
  Settle();
  EXPECT_EQ(StoredProduct(4)["USED"], "T");
  // Only that product changed.
  for (const TCatalogueRow& p : kSample)
    EXPECT_EQ(StoredProduct(p.id)["USED"], p.used ? "T" : "F") << p.name;
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodDataPageTest, SpaceBarInSelColumnFlipsTheMarkAndStoresIt) {
  StartWithSample();
  const int row = RowOf(2);
  ClickCell(Grid(), row, kId);  // a click outside the column changes nothing
  Settle();
  ASSERT_EQ(StoredProduct(2)["USED"], "T");
  Grid()->setCurrentIndex(Grid()->model()->index(row, kSel));

  PressKey(Grid(), Qt::Key_Space, Qt::NoModifier, " ");
  Settle();
  EXPECT_EQ(StoredProduct(2)["USED"], "F");
  PressKey(Grid(), Qt::Key_Space, Qt::NoModifier, " ");
  Settle();
  EXPECT_EQ(StoredProduct(2)["USED"], "T");
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);

  // In any other column the space bar marks nothing.
  Grid()->setCurrentIndex(Grid()->model()->index(row, kKcal));
  PressKey(Grid(), Qt::Key_Space, Qt::NoModifier, " ");
  Settle();
  EXPECT_EQ(StoredProduct(2)["USED"], "T");
  if (QLineEdit* editor = CellEditor()) PressKey(editor, Qt::Key_Escape);
}

TEST_F(FoodDataPageTest, TypingLettersInSelColumnDoesNothing) {
  StartWithSample();
  const int row = RowOf(3);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kSel));
  const std::vector<TFileRow> before = FileRows("FOODCAL.DBF");

  TypeText(Grid(), "Tx1");
  Settle();
  EXPECT_EQ(CellEditor(), nullptr);
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Grid()->currentIndex(), Grid()->model()->index(row, kSel));
  const std::vector<TFileRow> after = FileRows("FOODCAL.DBF");
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].fields, before[i].fields);
}

TEST_F(FoodDataPageTest, SelColumnSwitchesCellEditingOffAndLeavingItRestoresIt) {
  StartWithSample();
  const int row = RowOf(1);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kName));
  const QAbstractItemView::EditTriggers editing = Grid()->editTriggers();
  ASSERT_NE(editing, QAbstractItemView::NoEditTriggers);

  Grid()->setCurrentIndex(Grid()->model()->index(row, kSel));
  EXPECT_EQ(Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
  // Re-reading the rows (a mark stored) keeps the column and the setting.
  PressKey(Grid(), Qt::Key_Space, Qt::NoModifier, " ");
  Settle();
  EXPECT_EQ(Grid()->CurrentColumn(), kSel);
  EXPECT_EQ(Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);

  Grid()->setCurrentIndex(Grid()->model()->index(row, kMake));
  EXPECT_EQ(Grid()->editTriggers(), editing);
}

// --- In-place editing -----------------------------------------------------------------

TEST_F(FoodDataPageTest, TypingInANameCellEditsTheRowInPlaceAndEnterStoresIt) {
  StartWithSample();
  const int row = RowOf(5);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kName));

  PressKey(Grid(), Qt::Key_Z, Qt::NoModifier, "z");
  Settle();
  QLineEdit* editor = CellEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "z");
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsEdit);
  EXPECT_EQ(StoredProduct(5)["NAME"], "Bagel") << "nothing stored while typing";
  editor->setText("zwieback");
  PressKey(editor, Qt::Key_Return);
  Settle();
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Grid()->model()->index(row, kName).data().toString(), "zwieback");
  EXPECT_EQ(StoredProduct(5)["NAME"], "zwieback");
  EXPECT_EQ(StoredProduct(5)["IDX_NAME"], "ZWIEBACK");
  EXPECT_TRUE(messages.empty());

  // Sorted by name, the renamed product moves to the end.
  ClickTitle(Grid(), kName);
  Settle();
  EXPECT_EQ(GridColumn(Grid(), kName).back(), "zwieback");
}

TEST_F(FoodDataPageTest, NavigatorPostStoresTheTextStillBeingTypedAndCancelDropsIt) {
  StartWithSample();
  const int row = RowOf(6);
  Grid()->setFocus();
  Grid()->setCurrentIndex(Grid()->model()->index(row, kMake));
  TypeText(Grid(), "Mill");
  Settle();
  ASSERT_NE(CellEditor(), nullptr);
  // Typing has begun the edit: Post and Cancel are offered.
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsEdit);
  EXPECT_TRUE(NavButton(TNavButton::Post)->isEnabled());
  NavButton(TNavButton::Post)->click();
  Settle();
  EXPECT_EQ(CellEditor(), nullptr);
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(StoredProduct(6)["MAKE"], "Mill");

  Grid()->setCurrentIndex(Grid()->model()->index(row, kName));
  TypeText(Grid(), "Walnuts");
  Settle();
  ASSERT_NE(CellEditor(), nullptr);
  NavButton(TNavButton::Cancel)->click();
  Settle();
  EXPECT_EQ(CellEditor(), nullptr);
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Grid()->model()->index(row, kName).data().toString(), "almonds");
  EXPECT_EQ(StoredProduct(6)["NAME"], "almonds");
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodDataPageTest, NavigatorPostWithARefusedCellTextKeepsTheEditorAndStoresNothing) {
  StartWithSample();
  const int row = RowOf(6);
  Grid()->setFocus();
  Grid()->setCurrentIndex(Grid()->model()->index(row, kKcal));
  TypeText(Grid(), "lots");
  Settle();
  ASSERT_NE(CellEditor(), nullptr);
  NavButton(TNavButton::Post)->click();
  Settle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("'lots'"), std::string::npos) << messages[0].text;
  EXPECT_NE(CellEditor(), nullptr);
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsEdit);
  EXPECT_EQ(StoredProduct(6)["CALORIES"], "579");
  NavButton(TNavButton::Cancel)->click();
  Settle();
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(StoredProduct(6)["CALORIES"], "579");
}

TEST_F(FoodDataPageTest, TextThatIsNoNumberInAKCalCellIsShownAndNotStored) {
  StartWithSample();
  const int row = RowOf(1);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kKcal));
  EXPECT_FALSE(Grid()->model()->setData(Grid()->model()->index(row, kKcal), "lots"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_NE(messages[0].text.find("'lots'"), std::string::npos) << messages[0].text;
  EXPECT_EQ(StoredProduct(1)["CALORIES"], "95");
}

TEST_F(FoodDataPageTest, EscapeDropsTheUnpostedChangesOfTheRow) {
  StartWithSample();
  const int row = RowOf(1);
  ASSERT_TRUE(Grid()->model()->setData(Grid()->model()->index(row, kMake), "Other"));
  ASSERT_EQ(Catalogue().State(), TDataSetState::dsEdit);
  PressKey(Grid(), Qt::Key_Escape);
  Settle();
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Grid()->model()->index(row, kMake).data().toString(), "Dairy");
  EXPECT_EQ(StoredProduct(1)["MAKE"], "Dairy");
}

// --- Adding a product -----------------------------------------------------------------

std::vector<TCatalogueRow> NumberedCatalogue() {
  std::vector<TCatalogueRow> rows;
  for (int32_t id = 1; id <= 40; ++id)
    rows.push_back({1 + id % 4, false, id, "Product " + std::to_string(id), 100 + id});
  rows.push_back({3, false, 57, "Highest", 10});  // hidden by group 5
  return rows;
}

TEST_F(FoodDataPageTest, NewProductGetsTheNumberAfterTheHighestAndIsMarkedUsed) {
  WriteCatalogue(NumberedCatalogue());
  Start();
  ShowPage();
  ChooseGroup(5);
  Settle();
  ASSERT_EQ(Grid()->model()->rowCount(), 0);
  FillAddBox("  Muesli, crunchy ", "Mill", " 370 ");
  catalogue().AddProductBtn->click();
  Settle();

  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(catalogue().EditProd->text(), "Muesli, crunchy");  // the name box is trimmed
  EXPECT_EQ(Catalogue().State(), TDataSetState::dsBrowse);
  TFileRow stored = StoredProduct(58);
  EXPECT_EQ(stored["GROUP_ID"], "5");
  EXPECT_EQ(stored["USED"], "T");
  EXPECT_EQ(stored["NAME"], "Muesli, crunchy");
  EXPECT_EQ(stored["IDX_NAME"], "MUESLI, CRUNCHY");
  EXPECT_EQ(stored["MAKE"], "Mill");
  EXPECT_EQ(stored["CALORIES"], "370");
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), 42u);
  // The grid, still narrowed to group 5, shows the new product.
  EXPECT_EQ(GridColumn(Grid(), kName), (std::vector<std::string>{"Muesli, crunchy"}));
  EXPECT_EQ(form->FoodDataPage().NextFoodId(), 59);
}

TEST_F(FoodDataPageTest, EmptyBoxesAddNothingAndSayNothing) {
  StartWithSample();
  ChooseGroup(8);
  const size_t stored = LiveFileRows("FOODCAL.DBF").size();
  for (auto [name, make, kcal] : std::vector<std::tuple<QString, QString, QString>>{
           {"   ", "Farm", "50"}, {"Pear", "", "50"}, {"Pear", "Farm", ""}, {"Pear", "  ", "50"},
           {"Pear", "Farm", "  "}}) {
    FillAddBox(name, make, kcal);
    catalogue().AddProductBtn->click();
    Settle();
    EXPECT_FALSE(Inserting()) << name.toStdString() << "/" << make.toStdString();
  }
  EXPECT_EQ(catalogue().EditProd->text(), "Pear");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), stored);
  EXPECT_EQ(Grid()->model()->rowCount(), 2);
}

TEST_F(FoodDataPageTest, WithNoGroupChosenAddIsDisabledAndAddsNothing) {
  StartWithSample();
  EXPECT_EQ(catalogue().Label17->text(), "All");
  EXPECT_FALSE(catalogue().AddProductBtn->isEnabled());
  FillAddBox("Pear", "Farm", "57");
  form->FoodDataPage().AddProductBtnClick();
  Settle();
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());
  EXPECT_TRUE(messages.empty());
}

TEST_F(FoodDataPageTest, KilocaloriesThatAreNoWholeNumberLeaveTheNewRowOpenAndUnstored) {
  StartWithSample();
  ChooseGroup(8);
  FillAddBox("Pear", "Farm", "57.5");
  catalogue().AddProductBtn->click();
  Settle();

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "'57.5' is not a valid integer value");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_TRUE(Inserting());
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());
  // The open row is shown last in the grid, filled but for the kilocalories.
  ASSERT_EQ(Grid()->model()->rowCount(), 3);
  EXPECT_EQ(Grid()->model()->index(2, kName).data().toString(), "Pear");
  EXPECT_EQ(Grid()->model()->index(2, kId).data().toString(), "7");
  EXPECT_EQ(Grid()->model()->index(2, kKcal).data().toString(), "");

  // Cancel drops it.
  NavButton(TNavButton::Cancel)->click();
  Settle();
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 2);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());
}

TEST_F(FoodDataPageTest, AddingAgainAfterRefusedKilocaloriesStoresOneCompleteProduct) {
  StartWithSample();
  ChooseGroup(8);
  FillAddBox("Pear", "Farm", "fifty");
  catalogue().AddProductBtn->click();
  Settle();
  ASSERT_TRUE(Inserting());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "'fifty' is not a valid integer value");

  catalogue().EditCal->setText("57");
  catalogue().AddProductBtn->click();
  Settle();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(Inserting());
  std::vector<TFileRow> rows = LiveFileRows("FOODCAL.DBF");
  ASSERT_EQ(rows.size(), kSample.size() + 1);
  EXPECT_EQ(rows.back()["NAME"], "Pear");
  EXPECT_EQ(rows.back()["FOOD_ID"], "7");
  EXPECT_EQ(rows.back()["CALORIES"], "57");
}

TEST_F(FoodDataPageTest, OpenNewRowIsCompletedInTheGridAndPosted) {
  StartWithSample();
  ChooseGroup(8);
  FillAddBox("Pear", "Farm", "5 7");
  catalogue().AddProductBtn->click();
  Settle();
  ASSERT_TRUE(Inserting());
  QAbstractItemModel* model = Grid()->model();
  ASSERT_TRUE(model->setData(model->index(2, kKcal), "57"));
  NavButton(TNavButton::Post)->click();
  Settle();
  EXPECT_FALSE(Inserting());
  TFileRow stored = StoredProduct(7);
  EXPECT_EQ(stored["CALORIES"], "57");
  EXPECT_EQ(stored["USED"], "T");
  EXPECT_EQ(stored["GROUP_ID"], "8");
}

// A refused kilocalories value is never stored: not by the Add box, not
// from a grid cell, and not by leaving its row, which drops it instead.
TEST_F(FoodDataPageTest, RefusedKilocaloriesAreNeverStoredAndLeavingTheRowDropsThem) {
  StartWithSample();
  ChooseGroup(8);
  const std::vector<std::string> shown = GridColumn(Grid(), kKcal);
  auto leave_for_first_row = [&] {
    ClickCell(Grid(), 0, kMake);
    Settle();
  };
  // The Add box: text that is no number leaves the new row open; leaving
  // it drops it. Below zero adds nothing at all.
  FillAddBox("Pear", "Farm", "12abc");
  catalogue().AddProductBtn->click();
  ASSERT_TRUE(Inserting());
  leave_for_first_row();
  FillAddBox("Pear", "Farm", "-5");
  catalogue().AddProductBtn->click();
  EXPECT_FALSE(Inserting());
  // A grid cell set below zero, then its row left.
  ClickCell(Grid(), 1, kKcal);
  ASSERT_TRUE(Grid()->model()->setData(Grid()->model()->index(1, kKcal), "-5"));
  leave_for_first_row();

  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{"'12abc' is not a valid integer value",
                                                    kNoCaloriesText, kNegativeCaloriesText,
                                                    kNegativeCaloriesText}));
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(GridColumn(Grid(), kKcal), shown);
  EXPECT_EQ(Grid()->currentIndex().row(), 0);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());
  EXPECT_EQ(StoredProduct(4)["CALORIES"], "46");
}

TEST_F(FoodDataPageTest, NameTheTableCannotHoldIsRefusedWithNothingAdded) {
  StartWithSample();
  ChooseGroup(8);
  FillAddBox(QString::fromUtf8("Tofu \xE8\xB1\x86\xE8\x85\x90"), "Asia Shop", "76");
  catalogue().AddProductBtn->click();
  Settle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, TMsgIcon::Error);
  EXPECT_NE(messages[0].text.find("NAME"), std::string::npos) << messages[0].text;
  EXPECT_NE(messages[0].text.find("cannot store"), std::string::npos) << messages[0].text;
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 2);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());

  // Western European letters are stored.
  FillAddBox(QString::fromUtf8("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"), "Caf\xC3\xA9", "300");
  catalogue().AddProductBtn->click();
  Settle();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size() + 1);
  EXPECT_EQ(GridColumn(Grid(), kName).back(), "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9");
}

TEST_F(FoodDataPageTest, MarkingANewRowDoesNotStoreItHalfFilled) {
  StartWithSample();
  NavButton(TNavButton::Insert)->click();
  Settle();
  ASSERT_TRUE(Inserting());
  const int row = Grid()->model()->rowCount() - 1;
  ClickCell(Grid(), row, kSel);
  Settle();
  EXPECT_TRUE(Inserting());
  EXPECT_EQ(Grid()->model()->index(row, kSel).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), kSample.size());
}

// --- Deleting and the navigator -------------------------------------------------------

TEST_F(FoodDataPageTest, CtrlDeleteAsksAndCancelKeepsTheRow) {
  StartWithSample();
  const int row = RowOf(4);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kName));
  ASSERT_EQ(dm->FoodCalDbfFOOD_ID->AsInteger(), 4);

  answers = {TModalResult::Cancel};
  PressKey(Grid(), Qt::Key_Delete, Qt::ControlModifier);
  Settle();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Delete record?");
  EXPECT_EQ(messages[0].icon, TMsgIcon::Question);
  EXPECT_EQ(messages[0].buttons, TMsgButtons::OKCancel);
  EXPECT_EQ(messages[0].default_button, TModalResult::Cancel);
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), 6u);

  answers = {TModalResult::OK};
  PressKey(Grid(), Qt::Key_Delete, Qt::ControlModifier);
  Settle();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(Grid()->model()->rowCount(), 5);
  EXPECT_EQ(RowOf(4), -1);
  std::vector<TFileRow> rows = FileRows("FOODCAL.DBF");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_TRUE(rows[3].deleted);
  EXPECT_EQ(rows[3]["FOOD_ID"], "4");
}

TEST_F(FoodDataPageTest, NavigatorHasAllTenButtonsWithTheirTooltipsAndDeleteAsks) {
  StartWithSample();
  const std::vector<std::pair<TNavButton, QString>> buttons = {
      {TNavButton::First, "First record"},   {TNavButton::Prior, "Prior record"},
      {TNavButton::Next, "Next record"},     {TNavButton::Last, "Last record"},
      {TNavButton::Insert, "Insert record"}, {TNavButton::Delete, "Delete record"},
      {TNavButton::Edit, "Edit record"},     {TNavButton::Post, "Post edit"},
      {TNavButton::Cancel, "Cancel edit"},   {TNavButton::Refresh, "Refresh data"}};
  for (auto& [which, tip] : buttons) {
    ASSERT_NE(NavButton(which), nullptr) << tip.toStdString();
    EXPECT_EQ(NavButton(which)->toolTip(), tip);
  }
  EXPECT_EQ(catalogue().DBNavigator2->geometry(), QRect(280, 328, 240, 25));

  NavButton(TNavButton::Last)->click();
  Settle();
  EXPECT_EQ(Grid()->currentIndex().row(), 5);
  answers = {TModalResult::Cancel};
  NavButton(TNavButton::Delete)->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Delete record?");
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), 6u);
  answers = {TModalResult::OK};
  NavButton(TNavButton::Delete)->click();
  Settle();
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), 5u);
  EXPECT_EQ(Grid()->model()->rowCount(), 5);
}

// A name too long for its cell shows whole as the cell's tooltip; one that
// fits shows none.
TEST_F(FoodDataPageTest, ACutCellShowsItsWholeTextAsTooltip) {
  const std::string long_name = "Cheese, cottage, creamed, large or small curd, wit";
  WriteCatalogue({{12, true, 1, long_name, 97, "USDA SR24"}, {8, true, 2, "Apple", 52}});
  Start();
  ShowPage();
  auto cut = [&](int row, int column) {
    return Grid()->CutText(Grid()->model()->index(row, column)).toStdString();
  };
  EXPECT_EQ(cut(0, kName), long_name);
  EXPECT_EQ(cut(1, kName), "");
  EXPECT_EQ(cut(0, kMake), "") << "the make column fits its usual content";
  // Hovering over the cut cell shows the text.
  const QPoint at = Grid()->visualRect(Grid()->model()->index(0, kName)).center();
  QHelpEvent help(QEvent::ToolTip, at, Grid()->viewport()->mapToGlobal(at));
  QApplication::sendEvent(Grid()->viewport(), &help);
  EXPECT_EQ(QToolTip::text().toStdString(), long_name);
}

// The move buttons are offered where the cursor can go.
TEST_F(FoodDataPageTest, NavigatorOffersOnlyTheMovesTheCursorCanMake) {
  StartWithSample();
  auto moves = [&] {
    std::string on;
    for (TNavButton b : {TNavButton::First, TNavButton::Prior, TNavButton::Next, TNavButton::Last})
      on += NavButton(b)->isEnabled() ? '1' : '0';
    return on;
  };
  EXPECT_EQ(moves(), "0011") << "on the first of six";
  NavButton(TNavButton::Next)->click();
  EXPECT_EQ(moves(), "1111");
  NavButton(TNavButton::Last)->click();
  EXPECT_EQ(moves(), "1100");
  ChooseGroup(16);  // one product
  Settle();
  EXPECT_EQ(moves(), "0000");
}

TEST_F(FoodDataPageTest, UnchangedNewRowIsDroppedWhenTheGridIsLeft) {
  StartWithSample();
  Grid()->setFocus();
  Settle();
  ASSERT_TRUE(Grid()->hasFocus());
  NavButton(TNavButton::Insert)->click();
  Settle();
  ASSERT_TRUE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 7);
  EXPECT_EQ(Grid()->currentIndex().row(), 6);

  catalogue().EditProd->setFocus();
  Settle();
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(LiveFileRows("FOODCAL.DBF").size(), 6u);

  // A new row with something typed into it stays when the grid is left.
  Grid()->setFocus();
  NavButton(TNavButton::Insert)->click();
  ASSERT_TRUE(Grid()->model()->setData(Grid()->model()->index(6, kName), "Plum"));
  catalogue().EditMake->setFocus();
  Settle();
  EXPECT_TRUE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 7);
}

TEST_F(FoodDataPageTest, LeavingANewRowForAnotherRowOfTheGridMovesThere) {
  StartWithSample();
  const int row = RowOf(2);
  Grid()->setCurrentIndex(Grid()->model()->index(row, kName));
  NavButton(TNavButton::Insert)->click();
  Settle();
  ASSERT_TRUE(Inserting());
  // Back to the row the new row came from.
  ClickCell(Grid(), RowOf(2), kMake);
  Settle();
  EXPECT_FALSE(Inserting());
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(dm->FoodCalDbfFOOD_ID->AsInteger(), 2);
  EXPECT_EQ(Grid()->currentIndex().row(), RowOf(2));
}

// --- The model under every action -------------------------------------------------------

TEST_F(FoodDataPageTest, CatalogueModelStaysConsistentThroughEveryAction) {
  StartWithSample();
  ModelFailures failures;
  QAbstractItemModelTester tester(Grid()->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Warning);

  ClickTitle(Grid(), kName);
  ClickCell(Grid(), 2, kSel);
  ChooseGroup(8);
  FillAddBox("Pear", "Farm", "x");
  catalogue().AddProductBtn->click();
  NavButton(TNavButton::Cancel)->click();
  catalogue().EditCal->setText("57");
  catalogue().AddProductBtn->click();
  ChooseGroup(0);
  ClickTitle(Grid(), kKcal);
  answers = {TModalResult::OK};
  PressKey(Grid(), Qt::Key_Delete, Qt::ControlModifier);
  NavButton(TNavButton::Insert)->click();
  NavButton(TNavButton::Cancel)->click();
  NavButton(TNavButton::Refresh)->click();
  Settle();

  EXPECT_TRUE(failures.List().isEmpty()) << failures.List().join("\n").toStdString();
  EXPECT_EQ(Grid()->model()->rowCount(), 6);
  EXPECT_EQ(messages.size(), 2u);
}

// --- The search box ------------------------------------------------------------------

TEST_F(FoodDataPageTest, SearchBoxFindsProductsByTheirWordsAndStepsWithTheKeys) {
  WriteCatalogue({{8, false, 1, "Banana, raw", 89},
                  {3, false, 2, "Crème brûlée", 250},
                  {8, false, 3, "Bananas, dried", 346},
                  {19, false, 4, "Candies, milk chocolate", 535}});
  Start();
  ShowPage();
  QLineEdit* box = catalogue().FindEdit;
  EXPECT_TRUE(box->toolTip().contains("Shift+F3"));
  box->setFocus(Qt::MouseFocusReason);
  // The product number of the grid's current row.
  auto current = [this] {
    return Grid()->model()->index(Grid()->currentIndex().row(), kId).data().toString();
  };

  TypeText(box, "creme brulee");
  EXPECT_EQ(current(), "2");
  EXPECT_EQ(dm->FoodCalDbfFOOD_ID->AsInteger(), 2);
  box->clear();
  TypeText(box, "milk choc");
  EXPECT_EQ(current(), "4");
  box->clear();
  TypeText(box, "banana");  // from the current row on, round past the end
  EXPECT_EQ(current(), "1");
  PressKey(box, Qt::Key_F3);
  EXPECT_EQ(current(), "3");
  PressKey(box, Qt::Key_Return);
  EXPECT_EQ(current(), "1");
  PressKey(box, Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(current(), "3");
  EXPECT_FALSE(ShowsNoMatch(box));

  // Nothing found: the grid stays and the box says so until a search finds.
  TypeText(box, "x");
  EXPECT_TRUE(ShowsNoMatch(box));
  EXPECT_EQ(current(), "3");
  PressKey(box, Qt::Key_F3);
  EXPECT_EQ(current(), "3");
  PressKey(box, Qt::Key_Backspace);
  EXPECT_FALSE(ShowsNoMatch(box));
  EXPECT_EQ(current(), "3");
  EXPECT_TRUE(messages.empty());

  // The search leaves a row as any move of the grid does: a change the
  // catalogue refuses is dropped and shown.
  dm->FoodCalDbf.Edit();
  dm->FoodCalDbfCALORIES->SetAsString("-1");
  PressKey(box, Qt::Key_F3);
  EXPECT_EQ(current(), "1");
  EXPECT_EQ(TakeTexts(), (std::vector<std::string>{kNegativeCaloriesText}));
  EXPECT_EQ(StoredProduct(3)["CALORIES"], "346");
}

}  // namespace
}  // namespace kalbor::test
