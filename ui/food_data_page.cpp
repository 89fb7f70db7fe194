#include "ui/food_data_page.h"

#include <QHeaderView>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <optional>

#include "data/dm1.h"
#include "storage/errors.h"
#include "ui/event_watch.h"
#include "ui/grid/db_grid.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/search_box.h"
#include "ui_food_data_page.h"

namespace kalbor {

namespace {

const char kMissingTable[] = "Missing Table";

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
// number columns would show "7…" for a product number, the make "USDA …"
// and the titles would be clipped: every column but the name gets the room
// its title (and its usual content) needs, taken from the name column,
// whose long names are shortened anyway (a cut name shows whole as the
// cell's tooltip); the grid keeps its overall width.
void FitColumnsToFont(TDBGrid* grid) {
  QHeaderView* header = grid->horizontalHeader();
  QStyle* style = grid->style();
  const QFontMetrics cells(grid->font());
  const int cell_margin =
      2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 2;
  // Each column's usual widest content; the shipped catalogue's make is
  // "USDA SR24".
  const std::pair<int, const char*> columns[] = {{kGroupColumn, "99"},   {kUsedColumn, ""},
                                                 {kIdColumn, "9999"},    {kMakeColumn, "USDA SR24"},
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

TFoodDataPage::TFoodDataPage(TForm1& form)
    : TPage(form), ui_(std::make_unique<Ui::CaloriePage>()) {
  ui_->setupUi(this);
}

TFoodDataPage::~TFoodDataPage() = default;

void TFoodDataPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::CaloriePage& f = *ui_;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  auto show_error = [this](const std::string& message) { ShowError(message); };
  model_ = std::make_unique<TTableModel>(
      dm.FoodCalDbf, std::vector<TGridColumn>{{"GROUP_ID", "Group", 38, right, left},
                                              {"USED", "Sel.", 26, Qt::AlignCenter, left, true},
                                              {"FOOD_ID", "ID#", 30, right, left},
                                              {"NAME", "Product Name", 198},
                                              {"MAKE", "Make", 58},
                                              {"CALORIES", "KCal.", 33, right, left}});
  model_->SetEditable(true);
  model_->OnError = show_error;
  // Once the row "Add" left open is stored or dropped, it is an ordinary row.
  auto new_row_gone = [this] {
    if (!dm_->NewProductOpen()) added_product_open_ = false;
  };
  connect(model_.get(), &QAbstractItemModel::modelReset, this, new_row_gone);
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, new_row_gone);

  TDBGrid* grid = f.DBGrid2;
  grid->SetModel(model_.get(), false);
  FitColumnsToFont(grid);
  SavedGridOptions = grid->editTriggers();
  grid->ConfirmDelete = [this] { return AskDeleteRecord(); };
  grid->OnError = show_error;
  connect(grid, &TDBGrid::TitleClicked, this, &TFoodDataPage::DBGrid2TitleClick);
  connect(grid, &TDBGrid::ColEnter, this, &TFoodDataPage::DBGrid2ColEnter);
  connect(grid, &TDBGrid::ColExit, this, &TFoodDataPage::DBGrid2ColExit);
  connect(grid, &TDBGrid::CellClicked, this, &TFoodDataPage::DBGrid2CellClick);
  connect(grid, &TDBGrid::KeyPressedInColumn, this, &TFoodDataPage::DBGrid2KeyDown);
  // The grid may have entered its first column before these were connected.
  if (grid->CurrentColumn() >= 0) DBGrid2ColEnter(grid->CurrentColumn());

  f.DBNavigator2->Bind(dm.FoodCalDbf,
                       {TNavButton::First, TNavButton::Prior, TNavButton::Next, TNavButton::Last,
                        TNavButton::Insert, TNavButton::Delete, TNavButton::Edit, TNavButton::Post,
                        TNavButton::Cancel, TNavButton::Refresh});
  f.DBNavigator2->ConfirmDelete = [this] { return AskDeleteRecord(); };
  f.DBNavigator2->OnError = show_error;

  connect(f.AddProductBtn, &QPushButton::clicked, this, &TFoodDataPage::AddProductBtnClick);
  connect(f.FindEdit, &QLineEdit::textChanged, this, &TFoodDataPage::FindEditChange);
  new TSearchKeys(f.FindEdit, [this](TSearchStep step) { FindEditStep(step); });
  // The names the search compares are read while the person is not typing:
  // when the box gets the focus, and once the events have run after the
  // catalogue changed while it had it (a title clicked, a navigator button).
  new TEventWatch(
      f.FindEdit,
      [this](QEvent* event) {
        if (event->type() == QEvent::FocusIn) PrepareSearch();
      },
      this);
  auto changed = [this] {
    if (ui_->FindEdit->hasFocus()) QTimer::singleShot(0, this, &TFoodDataPage::PrepareSearch);
  };
  connect(model_.get(), &QAbstractItemModel::modelReset, this, changed);
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this, changed);
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, changed);
  connect(model_.get(), &QAbstractItemModel::dataChanged, this, changed);
}

void TFoodDataPage::SetGroupLabel(const std::string& text) {
  ui_->Label17->setText(QString::fromStdString(text));
}

void TFoodDataPage::SetAddProductEnabled(bool enabled) { ui_->AddProductBtn->setEnabled(enabled); }

void TFoodDataPage::FoodData1Click() {
  form_.ShowPage(pmFoodData);
  if (!dm_->OpenCatalogue())
    form_.ShowMessageBox(std::string("\"") + kFoodCalFile + "\" not found.", kMissingTable,
                         TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
  // The calendar and logo are hidden and the group grid shown by ShowPage.
  try {
    dm_->OpenFoodGroups();
  } catch (const std::exception&) {
    form_.ShowMessageBox(std::string("\"") + kFoodGroupsFile + "\" not found.", kMissingTable,
                         TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
  }
  // The catalogue shows the group the group list shows, also when that was
  // chosen on another page; without a group list no group is chosen and the
  // whole catalogue is shown.
  dm_->ApplyGroupFilter();
  ui_->DBGrid2->setFocus();
}

// Sorts the catalogue by the clicked column, ascending; the name column
// sorts by the upper-cased name key, so letter case does not matter.
void TFoodDataPage::DBGrid2TitleClick(int column) {
  TTableModel* model = ui_->DBGrid2->Model();
  if (!model || column < 0 || column >= model->columnCount()) return;
  try {
    dm_->SortCatalogue(model->Columns()[static_cast<size_t>(column)].field.toStdString());
  } catch (const ETableError& e) {
    ShowError(e.what());
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
void TFoodDataPage::DBGrid2ColEnter(int column) {
  TDBGrid* grid = ui_->DBGrid2;
  if (!IsTrueFalseColumn(grid->Model(), column)) return;
  SavedGridOptions = grid->editTriggers();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TFoodDataPage::DBGrid2ColExit(int column) {
  TDBGrid* grid = ui_->DBGrid2;
  if (IsTrueFalseColumn(grid->Model(), column)) grid->setEditTriggers(SavedGridOptions);
}

void TFoodDataPage::DBGrid2CellClick(int) {
  TDBGrid* grid = ui_->DBGrid2;
  if (IsTrueFalseColumn(grid->Model(), grid->CurrentColumn())) ToggleUsedCell();
}

void TFoodDataPage::DBGrid2KeyDown(int key, int column) {
  if (key == Qt::Key_Space && IsTrueFalseColumn(ui_->DBGrid2->Model(), column)) ToggleUsedCell();
}

// Flips the current true/false cell and stores the row at once. A new row
// is only marked: it is stored when it is complete and posted.
void TFoodDataPage::ToggleUsedCell() {
  TDBGrid* grid = ui_->DBGrid2;
  TTableModel* model = grid->Model();
  const int column = grid->CurrentColumn();
  if (!model || !IsTrueFalseColumn(model, column)) return;
  try {
    dm_->ToggleProductField(model->Columns()[static_cast<size_t>(column)].field.toStdString());
  } catch (const ETableError& e) {
    ShowError(e.what());
  }
}

int32_t TFoodDataPage::NextFoodId() { return dm_->NextFoodId(); }

void TFoodDataPage::FindEditChange() { FindEditStep(TSearchStep::Here); }

void TFoodDataPage::PrepareSearch() {
  try {
    dm_->PrepareCatalogueSearch();
  } catch (const ETableError&) {
    // The next search reads them again and says what went wrong.
  }
}

// The grid goes to the product found as any move of it goes: the changes of
// the row it leaves are stored, or dropped with the refusal shown.
void TFoodDataPage::FindEditStep(TSearchStep step) {
  const std::string text = ui_->FindEdit->text().toStdString();
  bool found = false;
  LeaveRowThen(
      dm_->FoodCalDbf, [&] { found = dm_->SearchCatalogue(text, step); },
      [this](const std::string& message) { ShowError(message); });
  ShowSearchResult(ui_->FindEdit, found);
}

void TFoodDataPage::AddProductBtnClick() {
  Ui::CaloriePage& f = *ui_;
  const QString name = f.EditProd->text().trimmed();
  f.EditProd->setText(name);
  // A box holding nothing but spaces counts as empty.
  const QString make = f.EditMake->text().trimmed();
  const QString kcal = f.EditCal->text().trimmed();
  if (name.isEmpty() || make.isEmpty() || kcal.isEmpty()) return;
  // The group label reads "All" while no food group is chosen.
  const std::optional<int32_t> group = ReadWholeNumber(f.Label17->text().trimmed());
  if (!group || *group < 1) return;

  try {
    // Adding again after a refused kilocalories text replaces the row that
    // was left open then; it is never stored half filled.
    if (added_product_open_) dm_->CancelNewProduct();
    added_product_open_ = false;
    const std::optional<int32_t> calories = ReadWholeNumber(kcal);
    dm_->AddProduct(*group, name.toStdString(), make.toStdString(), calories);
    if (!calories) {
      // The new row stays open in the grid until it is posted or cancelled.
      added_product_open_ = true;
      ShowError(Format("'%s' is not a valid integer value", kcal.toStdString().c_str()));
    }
  } catch (const ETableError& e) {
    if (dm_->NewProductOpen()) added_product_open_ = true;
    ShowError(e.what());
  }
}

}  // namespace kalbor
