#include "ui/food_page.h"

#include <QDate>
#include <QFocusEvent>
#include <QLocale>
#include <algorithm>

#include "data/dm1.h"
#include "storage/dates.h"
#include "ui/calendar_panel.h"
#include "ui/event_watch.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui/result_page.h"
#include "ui/search_box.h"
#include "ui_food_page.h"
#include "ui_main_window.h"

namespace kalbor {

namespace {

// Re-enables a control at the end of a scope, also when an error leaves it.
class TEnableAtEnd {
 public:
  explicit TEnableAtEnd(QWidget* control) : control_(control) {}
  ~TEnableAtEnd() { control_->setEnabled(true); }
  TEnableAtEnd(const TEnableAtEnd&) = delete;
  TEnableAtEnd& operator=(const TEnableAtEnd&) = delete;

 private:
  QWidget* control_;
};

// The grids and the meal types are laid out as narrow as for the classic
// 8-point face; a semi-condensed face a little smaller keeps dates and names
// whole.
void UseNarrowFace(QWidget* control) {
  QFont narrow = control->font();
  narrow.setStretch(QFont::SemiCondensed);
  narrow.setPointSizeF(narrow.pointSizeF() * 0.92);
  control->setFont(narrow);
}

}  // namespace

TFoodPage::TFoodPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::FoodPage>()) {
  ui_->setupUi(this);
}

TFoodPage::~TFoodPage() = default;

void TFoodPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::FoodPage& f = *ui_;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  const Qt::Alignment centre = Qt::AlignCenter;
  auto show_error = [this](const std::string& message) { ShowError(message); };

  // The diary: date, meal, food, grams, kilocalories.
  diary_model_ = std::make_unique<TTableModel>(
      dm.UserFoodDbf, std::vector<TGridColumn>{{"DATUM", "Date", 63},
                                               {"Type", "Type", 53},
                                               {"Description", "Description", 152},
                                               {"QUANTITY", "Qty", 34, right, left},
                                               {"CALORIES", "KCalories", 51, right, right}});
  UseNarrowFace(f.DBGrid3);
  f.DBGrid3->SetModel(diary_model_.get(), true);
  f.DBGrid3->ConfirmDelete = [this] { return AskDeleteRecord(); };
  f.DBGrid3->OnError = show_error;

  UseNarrowFace(f.FoodKind);
  f.FoodKind->SetItems({"Unknown", "Breakfast", "Lunch", "Dinner", "Snack"});
  f.FoodKind->SetItemIndex(1);

  // The products offered for entry (the selection list).
  products_model_ = std::make_unique<TTableModel>(
      dm.MakeDB, std::vector<TGridColumn>{{"NAME", "Select a Product", 153, left, centre},
                                          {"MAKE", "Source", 62, left, centre}});
  UseNarrowFace(f.DBGrid4);
  f.DBGrid4->SetModel(products_model_.get(), false);
  f.DBGrid4->OnError = show_error;

  // The floating food-group list, shared with the food data page.
  TDBGrid* groups = form_.Form().DBGrid5;
  groups_model_ = std::make_unique<TTableModel>(
      dm.FoodGroupDbf,
      std::vector<TGridColumn>{{"GROUP_NAME", "Select a Group", 143, left, centre}});
  UseNarrowFace(groups);
  groups->SetModel(groups_model_.get(), false);
  groups->OnError = show_error;

  connect(f.ViewAll, &QRadioButton::clicked, this, &TFoodPage::ViewAllClick);
  connect(f.ViewDay, &QRadioButton::clicked, this, &TFoodPage::ViewDayClick);
  connect(f.Button1, &QPushButton::clicked, this, &TFoodPage::Button1Click);
  // Enter in the quantity box adds the food, as "&Add Food" does.
  connect(f.Edit5, &QLineEdit::returnPressed, this, &TFoodPage::Button1Click);
  connect(f.Button2, &QPushButton::clicked, this, &TFoodPage::Button2Click);
  connect(f.SearchEdit, &QLineEdit::textChanged, this, &TFoodPage::SearchEditChange);
  new TSearchKeys(f.SearchEdit, [this](TSearchStep step) { SearchEditStep(step); });
  // The search box receives the focus from another control (not when the
  // window is activated again or a popup menu closes).
  new TEventWatch(
      f.SearchEdit,
      [this](QEvent* event) {
        if (event->type() != QEvent::FocusIn) return;
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
          SearchEditEnter();
      },
      this);

  connect(&form_.Calendar(), &TCalendarPanel::DayClicked, this, &TFoodPage::MonthCalendar1Click);
  connect(&form_.Calendar(), &TCalendarPanel::Entered, this, &TFoodPage::MonthCalendar1Enter);
}

void TFoodPage::ShowCalendarDate() {
  int y, m, d;
  SerialToDate(form_.CalendarDate(), y, m, d);
  ui_->Edit2->setText(QLocale().toString(QDate(y, m, d), ShortDateFormat()));
}

void TFoodPage::EnterFoodClick() {
  Ui::FoodPage& f = *ui_;
  form_.ShowPage(pmFoodEntry);
  // The whole diary.
  if (!f.ViewAll->isChecked()) {
    f.ViewAll->setChecked(true);
    ViewAllClick();
  }
  f.ViewDay->setChecked(false);
  // The product list, ordered by name.
  if (!dm_->OpenUserCal())
    form_.ShowMessageBox(std::string("\"") + kUserCalFile + "\" was not found.", "Missing Table",
                         TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
  // The bold days, and the date picked.
  form_.RefreshCalendar();
  ShowCalendarDate();
  dm_->RefreshDiary();
  dm_->OpenFoodGroups();
  // The calendar and the group grid are shown where ShowPage placed them.
  // The product list follows the current food group.
  dm_->ApplyGroupFilter();
  f.DBGrid3->setFocus();
}

void TFoodPage::MonthCalendar1Enter() { form_.RefreshCalendar(); }

void TFoodPage::MonthCalendar1Click() {
  ShowCalendarDate();
  dm_->DiaryDateChanged();  // the one-day view follows the new date
  if (form_.PageShown(pmResult)) form_.ResultPage().CalendarClicked();
}

void TFoodPage::SwitchDiaryView(bool one_day) {
  if (!dm_->DiaryOpen()) return;
  dm_->SetDiaryView(one_day);
  ui_->DBGrid3->setFocus();
}

void TFoodPage::ViewDayClick() { SwitchDiaryView(true); }

void TFoodPage::ViewAllClick() { SwitchDiaryView(false); }

void TFoodPage::Button1Click() {
  Ui::FoodPage& f = *ui_;
  ShowCalendarDate();
  if (form_.CurrentUserName().empty()) {
    form_.ShowMessageBox(kNoUserSelectedText, kInvalidUserCaption, TMsgIcon::Error,
                         TMsgButtons::OK, TModalResult::OK);
    return;
  }
  // A whole number of grams; anything else counts as 0.
  bool whole = false;
  int quantity = f.Edit5->text().toInt(&whole);
  if (!whole) quantity = 0;
  if (quantity <= 0) {
    form_.ShowMessageBox("The quantity can not be zero or negative.\r\n", "Invalid Quantity",
                         TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
    return;
  }
  const int meal = std::max(0, f.FoodKind->ItemIndex());
  // The product is taken from the product grid before anything else uses
  // the table object that holds the list.
  const std::optional<int32_t> food_id = dm_->SelectedFoodId();
  if (!food_id) {
    form_.ShowMessageBox("Choose a product first.", "Invalid Product", TMsgIcon::Error,
                         TMsgButtons::OK, TModalResult::OK);
    return;
  }

  QWidget* calendar = form_.Calendar().Panel();
  calendar->setEnabled(false);
  TAddFoodResult added;
  {
    TEnableAtEnd enable_calendar(calendar);
    added = dm_->AddFood(form_.CalendarDate(), meal, food_id, quantity);
    form_.RefreshCalendar();
  }
  // A row that could not be stored is said so.
  if (!added.error.empty()) ShowError(added.error);
}

void TFoodPage::Button2Click() {
  if (!dm_->DiaryOpen()) return;
  if (dm_->DiaryShowsRows() &&
      form_.ShowMessageBox("Are you sure to delete the record?", "Kalbor, Delete Record",
                           TMsgIcon::Question, TMsgButtons::OKCancel,
                           TModalResult::Cancel) == TModalResult::OK)
    dm_->DeleteDiaryRow();  // the hooks count again and rebuild the calendar
}

void TFoodPage::SearchEditEnter() { ui_->SearchEdit->clear(); }

// The first product whose name begins with the text, in any letter case,
// else the first whose name holds every word; none: the product grid stays
// where it is and the box is coloured.
void TFoodPage::SearchEditChange() {
  QLineEdit* box = ui_->SearchEdit;
  ShowSearchResult(box, dm_->TypeInProductSearch(box->text().toStdString()));
}

void TFoodPage::SearchEditStep(TSearchStep step) {
  QLineEdit* box = ui_->SearchEdit;
  ShowSearchResult(box, dm_->StepProductSearch(box->text().toStdString(), step));
}

}  // namespace kalbor
