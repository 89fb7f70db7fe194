// The food data page: the food catalogue in an editable grid, sorted by the
// column whose title is clicked, products marked for the selection list with
// a check box, and new products added to the chosen food group.
#include "ui/main_window.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <charconv>
#include <optional>

#include "data/dm1.h"
#include "storage/errors.h"
#include "storage/index_file.h"
#include "ui/grid/table_model.h"
#include "ui/message_boxes.h"
#include "ui_main_window.h"

namespace kalbor {

namespace {

const char kCatalogueFile[] = "FOODCAL.DBF";
const char kCatalogueIndex[] = "FOODCAL.NDX";
const char kMissingTable[] = "Missing Table";

bool AskDeleteProduct(TForm1& form) {
  return form.ShowMessageBox("Delete record?", "Kalbor", TMsgIcon::Question,
                             TMsgButtons::OKCancel, TModalResult::Cancel) == TModalResult::OK;
}

// A whole number as a person types it: an optional sign and digits, within
// the 32-bit range.
std::optional<int32_t> ReadWholeNumber(const QString& text) {
  std::string s = text.toStdString();
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') return std::nullopt;
  }
  int32_t value = 0;
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

// Columns of the catalogue grid.
enum : int { kGroupColumn, kUsedColumn, kIdColumn, kNameColumn, kMakeColumn, kCaloriesColumn };

// The design widths suit the design's narrow font. With a wider font the
// number columns would show "7…" for a product number and the titles would
// be clipped: every column but the name gets the room its title (and its
// widest number) needs, taken from the name column, whose long names are
// shortened anyway; the grid keeps its overall width.
void FitColumnsToFont(TDBGrid* grid) {
  QHeaderView* header = grid->horizontalHeader();
  QStyle* style = grid->style();
  const QFontMetrics cells(grid->font());
  const int cell_margin =
      2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 2;
  const std::pair<int, const char*> columns[] = {{kGroupColumn, "99"},   {kUsedColumn, ""},
                                                 {kIdColumn, "9999"},    {kMakeColumn, ""},
                                                 {kCaloriesColumn, "9999"}};
  int taken = 0;
  for (auto [column, digits] : columns) {
    const int design = grid->columnWidth(column);
    const int need = std::max(header->sectionSizeHint(column),
                              cells.horizontalAdvance(QString::fromLatin1(digits)) + cell_margin);
    if (need > design) {
      grid->setColumnWidth(column, need);
      taken += need - design;
    }
  }
  const int name = grid->columnWidth(kNameColumn);
  grid->setColumnWidth(kNameColumn, std::max(name / 2, name - taken));
}

}  // namespace

void TForm1::BindFoodDataPage() {
  Ui::Form1& f = *ui_;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  auto* model = new TTableModel(dm_->FoodCalDbf,
                                {{"GROUP_ID", "Group", 38, right, left},
                                 {"USED", "Sel.", 26, Qt::AlignCenter, left, true},
                                 {"FOOD_ID", "ID#", 30, right, left},
                                 {"NAME", "Product Name", 198},
                                 {"MAKE", "Make", 58},
                                 {"CALORIES", "KCal.", 33, right, left}},
                                this);
  model->SetEditable(true);
  model->OnError = [this](const std::string& message) { ShowErrorMessage(this, message); };
  models_.emplace_back(model);
  // Once the row "Add" left open is stored or dropped, it is an ordinary row.
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    if (dm_->FoodCalDbf.State() != TDataSetState::dsInsert) added_product_open_ = false;
  });

  TDBGrid* grid = f.DBGrid2;
  grid->SetModel(model, false);
  FitColumnsToFont(grid);
  SavedGridOptions = grid->editTriggers();
  grid->ConfirmDelete = [this] { return AskDeleteProduct(*this); };
  grid->OnError = [this](const std::string& message) { ShowErrorMessage(this, message); };
  connect(grid, &TDBGrid::TitleClicked, this, &TForm1::DBGrid2TitleClick);
  connect(grid, &TDBGrid::ColEnter, this, &TForm1::DBGrid2ColEnter);
  connect(grid, &TDBGrid::ColExit, this, &TForm1::DBGrid2ColExit);
  connect(grid, &TDBGrid::CellClicked, this, &TForm1::DBGrid2CellClick);
  connect(grid, &TDBGrid::KeyPressedInColumn, this, &TForm1::DBGrid2KeyDown);
  // The grid may have entered its first column before these were connected.
  if (grid->CurrentColumn() >= 0) DBGrid2ColEnter(grid->CurrentColumn());

  f.DBNavigator2->Bind(dm_->FoodCalDbf,
                       {TNavButton::First, TNavButton::Prior, TNavButton::Next, TNavButton::Last,
                        TNavButton::Insert, TNavButton::Delete, TNavButton::Edit, TNavButton::Post,
                        TNavButton::Cancel, TNavButton::Refresh});
  f.DBNavigator2->ConfirmDelete = [this] { return AskDeleteProduct(*this); };
  f.DBNavigator2->OnError = [this](const std::string& message) { ShowErrorMessage(this, message); };

  connect(f.AddProductBtn, &QPushButton::clicked, this, &TForm1::AddProductBtnClick);
}

void TForm1::FoodData1Click() {
  Ui::Form1& f = *ui_;
  ShowPage(pmFoodData);

  TTableObject& catalogue = dm_->FoodCalDbf;
  try {
    catalogue.Close();
    catalogue.SetTableName(kCatalogueFile);
    catalogue.Open();
    if (!catalogue.Active()) catalogue.Open();
  } catch (const std::exception&) {
    ShowMessageBox("\"FOODCAL.DBF\" not found.", kMissingTable, TMsgIcon::Error, TMsgButtons::OK,
                   TModalResult::OK);
  }

  // The calendar and logo are hidden and the group grid shown by ShowPage.
  TTableObject& groups = dm_->FoodGroupDbf;
  if (!groups.Active()) {
    try {
      groups.Open();
    } catch (const std::exception&) {
      ShowMessageBox("\"FOODGROUPS.DBF\" not found.", kMissingTable, TMsgIcon::Error,
                     TMsgButtons::OK, TModalResult::OK);
    }
  }
  // The catalogue shows the group the group list shows, also when that was
  // chosen on another page; without a group list no group is chosen and the
  // whole catalogue is shown.
  dm_->ApplyGroupFilter();

  f.DBGrid2->setFocus();
}

// Sorts the catalogue by the clicked column, ascending; the name column
// sorts by the upper-cased name key, so letter case does not matter.
void TForm1::DBGrid2TitleClick(int column) {
  TTableModel* model = ui_->DBGrid2->Model();
  if (!model || column < 0 || column >= model->columnCount()) return;
  std::string key = model->Columns()[static_cast<size_t>(column)].field.toStdString();
  if (key == "NAME") key = "IDX_NAME";
  TTableObject& catalogue = dm_->FoodCalDbf;
  try {
    catalogue.Close();
    catalogue.Open();
    catalogue.SetIndexName("");
    catalogue.BuildIndexFile(kCatalogueIndex, key, ixCaseInsensitive);
    catalogue.SetIndexName(kCatalogueIndex);
    catalogue.First();
  } catch (const ETableError& e) {
    ShowErrorMessage(this, e.what());
  }
}

namespace {

// A column of the catalogue grid whose field holds true or false.
bool IsTrueFalseColumn(TTableModel* model, int column) {
  if (!model || column < 0 || column >= model->columnCount()) return false;
  TField* field =
      model->Table().FindField(model->Columns()[static_cast<size_t>(column)].field.toStdString());
  return field ? field->DataType() == ftBoolean
               : model->Columns()[static_cast<size_t>(column)].check_box;
}

}  // namespace

// A true/false cell is never typed into: the grid's editing stays off while
// its column is current.
void TForm1::DBGrid2ColEnter(int column) {
  TDBGrid* grid = ui_->DBGrid2;
  if (!IsTrueFalseColumn(grid->Model(), column)) return;
  SavedGridOptions = grid->editTriggers();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TForm1::DBGrid2ColExit(int column) {
  TDBGrid* grid = ui_->DBGrid2;
  if (IsTrueFalseColumn(grid->Model(), column)) grid->setEditTriggers(SavedGridOptions);
}

void TForm1::DBGrid2CellClick(int) {
  TDBGrid* grid = ui_->DBGrid2;
  if (IsTrueFalseColumn(grid->Model(), grid->CurrentColumn())) ToggleUsedCell();
}

void TForm1::DBGrid2KeyDown(int key, int column) {
  if (key == Qt::Key_Space && IsTrueFalseColumn(ui_->DBGrid2->Model(), column)) ToggleUsedCell();
}

// Flips the current true/false cell and stores the row at once. A new row
// is only marked: it is stored when it is complete and posted.
void TForm1::ToggleUsedCell() {
  TDBGrid* grid = ui_->DBGrid2;
  TTableModel* model = grid->Model();
  TTableObject& catalogue = dm_->FoodCalDbf;
  const int column = grid->CurrentColumn();
  if (!model || !catalogue.Active() || !IsTrueFalseColumn(model, column)) return;
  const bool inserting = catalogue.State() == TDataSetState::dsInsert;
  if (!inserting && catalogue.IsEmpty()) return;
  TField* field =
      catalogue.FindField(model->Columns()[static_cast<size_t>(column)].field.toStdString());
  if (!field) return;
  const bool began_edit = catalogue.State() == TDataSetState::dsBrowse;
  try {
    catalogue.Edit();
    field->SetAsBoolean(!field->AsBoolean());
    if (!inserting) catalogue.Post();
  } catch (const ETableError& e) {
    // A mark that could not be stored is not left pending either.
    if (began_edit && catalogue.State() == TDataSetState::dsEdit) catalogue.Cancel();
    ShowErrorMessage(this, e.what());
  }
}

int32_t TForm1::NextFoodId() { return dm_->NextFoodId(); }

void TForm1::AddProductBtnClick() {
  Ui::Form1& f = *ui_;
  const QString name = f.EditProd->text().trimmed();
  f.EditProd->setText(name);
  // A box holding nothing but spaces counts as empty.
  const QString make = f.EditMake->text().trimmed();
  const QString kcal = f.EditCal->text().trimmed();
  if (name.isEmpty() || make.isEmpty() || kcal.isEmpty()) return;
  // The group label reads "All" while no food group is chosen.
  const std::optional<int32_t> group = ReadWholeNumber(f.Label17->text().trimmed());
  if (!group || *group < 1) return;

  TTableObject& catalogue = dm_->FoodCalDbf;
  try {
    // Adding again after a refused kilocalories text replaces the row that
    // was left open then; it is never stored half filled.
    if (added_product_open_ && catalogue.State() == TDataSetState::dsInsert) catalogue.Cancel();
    added_product_open_ = false;
    const int32_t id = NextFoodId();
    catalogue.Insert();
    try {
      dm_->FoodCalDbfGROUP_ID->SetAsInteger(*group);
      dm_->FoodCalDbfUSED->SetAsBoolean(true);
      dm_->FoodCalDbfFOOD_ID->SetAsInteger(id);
      dm_->FoodCalDbfNAME->SetAsString(name.toStdString());
      dm_->FoodCalDbfMAKE->SetAsString(make.toStdString());
    } catch (...) {
      // A name or make the table cannot hold: nothing is added.
      catalogue.Cancel();
      throw;
    }
    const std::optional<int32_t> calories = ReadWholeNumber(kcal);
    if (!calories) {
      // The new row stays open in the grid until it is posted or cancelled.
      added_product_open_ = true;
      ShowErrorMessage(this,
                       Format("'%s' is not a valid integer value", kcal.toStdString().c_str()));
      return;
    }
    dm_->FoodCalDbfCALORIES->SetAsInteger(*calories);
    catalogue.Post();
  } catch (const ETableError& e) {
    if (catalogue.State() == TDataSetState::dsInsert) added_product_open_ = true;
    ShowErrorMessage(this, e.what());
  }
}

}  // namespace kalbor
