// The food entry page and the month calendar: the diary grid with its two
// views (all rows or one day), adding and deleting foods, the product list
// with its search box, and the calendar's bold days.
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QEvent>
#include <QFocusEvent>
#include <QLocale>
#include <QRadioButton>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include "data/dm1.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui_main_window.h"

namespace kalbor {

namespace {

const char kSelectionList[] = "USERCAL.DBF";
const char kSelectionIndex[] = "USERCAL.NDX";

// Lets `on_event` see every event of `watched` before it is handled.
class TEventWatch : public QObject {
 public:
  TEventWatch(QObject* watched, std::function<void(QEvent*)> on_event, QObject* parent)
      : QObject(parent), on_event_(std::move(on_event)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    on_event_(event);
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(QEvent*)> on_event_;
};

bool Inside(QWidget* container, QWidget* widget) {
  return widget && (widget == container || container->isAncestorOf(widget));
}

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

// The calendar's date in the locale's short date form, as the date box
// shows it.
QString CalendarDateText(Ui::Form1& f) {
  return QLocale().toString(f.MonthCalendar1->selectedDate(), ShortDateFormat());
}

// Opens the selection list ordered by its name key. False when the list
// cannot be opened; the product grid is then empty.
bool OpenSelectionList(TDM1& dm) {
  TTableObject& list = dm.MakeDB;
  try {
    list.Close();
    list.SetTableName(kSelectionList);
    list.Open();
    list.SetIndexName("");
    list.BuildIndexFile(kSelectionIndex, "IDX_NAME", ixCaseInsensitive);
    list.SetIndexName(kSelectionIndex);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// "All" and "One day": the diary without or with the one-day filter, in date
// and meal order.
void SwitchDiaryView(TDM1& dm, Ui::Form1& f, bool one_day) {
  TTableObject& diary = dm.UserFoodDbf;
  if (!diary.Active()) return;
  diary.SetFiltered(one_day);
  dm.IndexUserFood();
  diary.Refresh();
  f.DBGrid3->setFocus();
}

}  // namespace

void TForm1::BindFoodPage() {
  Ui::Form1& f = *ui_;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  const Qt::Alignment centre = Qt::AlignCenter;
  auto ask_delete = [this] {
    return ShowMessageBox("Delete record?", "Kalbor", TMsgIcon::Question, TMsgButtons::OKCancel,
                          TModalResult::Cancel) == TModalResult::OK;
  };
  auto show_error = [this](const std::string& message) { ShowErrorMessage(this, message); };

  // The diary: date, meal, food, grams, kilocalories.
  auto* diary = new TTableModel(dm_->UserFoodDbf,
                                {{"DATUM", "Date", 63},
                                 {"Type", "Type", 53},
                                 {"Description", "Description", 152},
                                 {"QUANTITY", "Qty", 34, right, left},
                                 {"CALORIES", "KCalories", 51, right, right}},
                                this);
  models_.emplace_back(diary);
  UseNarrowFace(f.DBGrid3);
  f.DBGrid3->SetModel(diary, true);
  f.DBGrid3->ConfirmDelete = ask_delete;
  f.DBGrid3->OnError = show_error;

  UseNarrowFace(f.FoodKind);
  f.FoodKind->SetItems({"Unknown", "Breakfast", "Lunch", "Dinner", "Snack"});
  f.FoodKind->SetItemIndex(1);

  // The products offered for entry (the selection list).
  auto* products = new TTableModel(
      dm_->MakeDB,
      {{"NAME", "Select a Product", 153, left, centre}, {"MAKE", "Source", 62, left, centre}},
      this);
  models_.emplace_back(products);
  UseNarrowFace(f.DBGrid4);
  f.DBGrid4->SetModel(products, false);
  f.DBGrid4->OnError = show_error;

  // The floating food-group list, shared with the food data page.
  auto* groups = new TTableModel(dm_->FoodGroupDbf,
                                 {{"GROUP_NAME", "Select a Group", 143, left, centre}}, this);
  models_.emplace_back(groups);
  UseNarrowFace(f.DBGrid5);
  f.DBGrid5->SetModel(groups, false);
  f.DBGrid5->OnError = show_error;

  connect(f.ViewAll, &QRadioButton::clicked, this, &TForm1::ViewAllClick);
  connect(f.ViewDay, &QRadioButton::clicked, this, &TForm1::ViewDayClick);
  connect(f.Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(f.Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(f.SearchEdit, &QLineEdit::textChanged, this, &TForm1::SearchEditChange);
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

  // The calendar. A click on a day, and a day chosen with the keys, run
  // MonthCalendar1Click; a date set by the program does not.
  QCalendarWidget* calendar = f.MonthCalendar1;
  // Beside the week numbers a day's column is too narrow for a day name.
  calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
  auto following_page = std::make_shared<bool>(false);
  auto by_keys = std::make_shared<bool>(false);
  if (auto* days = calendar->findChild<QAbstractItemView*>("qt_calendar_calendarview"))
    new TEventWatch(
        days,
        [by_keys](QEvent* event) {
          if (event->type() == QEvent::KeyPress) *by_keys = true;
          if (event->type() == QEvent::KeyRelease || event->type() == QEvent::FocusOut)
            *by_keys = false;
        },
        this);
  connect(calendar, &QCalendarWidget::clicked, this, [this] { MonthCalendar1Click(); });
  connect(calendar, &QCalendarWidget::selectionChanged, this, [this, following_page, by_keys] {
    if (*by_keys && !*following_page) MonthCalendar1Click();
  });
  // Another month shown (its arrows, its month menu, its year box): the
  // date moves to the same day of that month, and the calendar asks for the
  // bold days of the months it now shows.
  connect(calendar, &QCalendarWidget::currentPageChanged, this,
          [this, calendar, following_page](int year, int month) {
            const QDate selected = calendar->selectedDate();
            if (selected.year() == year && selected.month() == month) {
              RebuildCalendar();
              return;
            }
            const QDate first(year, month, 1);
            *following_page = true;
            calendar->setSelectedDate(
                QDate(year, month, std::min(selected.day(), first.daysInMonth())));
            *following_page = false;
            RebuildCalendar();
            MonthCalendar1Click();
          });
  // The calendar receives the focus from another control of the window.
  auto focus_inside = std::make_shared<bool>(false);
  connect(qApp, &QApplication::focusChanged, this,
          [this, calendar, focus_inside](QWidget*, QWidget* now) {
            // Focus leaving the window (a message box, another program)
            // comes back where it was: that is no entering.
            if (!now || now->window() != this) return;
            const bool inside = Inside(calendar, now);
            const bool entered = inside && !*focus_inside;
            *focus_inside = inside;
            if (entered) MonthCalendar1Enter();
          });
}

void TForm1::EnterFoodClick() {
  Ui::Form1& f = *ui_;
  TTableObject& diary = dm_->UserFoodDbf;
  ShowPage(pmFoodEntry);
  // The whole diary.
  if (!f.ViewAll->isChecked()) {
    f.ViewAll->setChecked(true);
    ViewAllClick();
  }
  f.ViewDay->setChecked(false);
  // The product list, ordered by name.
  if (!OpenSelectionList(*dm_))
    ShowMessageBox("\"USERCAL.DBF\" was not found.", "Missing Table", TMsgIcon::Error,
                   TMsgButtons::OK, TModalResult::OK);
  // The bold days, and the date picked.
  RefreshCalendar();
  f.Edit2->setText(CalendarDateText(f));
  if (diary.Active()) diary.Refresh();
  if (!dm_->FoodGroupDbf.Active()) dm_->FoodGroupDbf.Open();
  f.Panel1->show();
  f.Panel1->raise();
  f.DBGrid5->move(84, 181);
  f.DBGrid5->show();
  f.DBGrid5->raise();
  // The product list follows the current food group.
  dm_->ApplyGroupFilter();
  f.DBGrid3->setFocus();
}

void TForm1::MonthCalendar1Enter() { RefreshCalendar(); }

void TForm1::MonthCalendar1Click() {
  Ui::Form1& f = *ui_;
  TTableObject& diary = dm_->UserFoodDbf;
  f.Edit2->setText(CalendarDateText(f));
  if (diary.Active()) {
    // The one-day view of a day without rows left the diary in file order;
    // a day with rows is shown in meal order again.
    if (diary.Filtered() && diary.IndexName().empty()) dm_->IndexUserFood();
    diary.Refresh();  // the one-day view follows the new date
  }
  if (f.Pagecontrol1->currentWidget() == f.ResultPage) {
    if (diary.Active()) {
      RefreshCalendar();
      ShowDayTotals(CalendarDate());
    } else {
      ShowMessageBox("There is no user selected.", "Kalbor - Result", TMsgIcon::Error,
                     TMsgButtons::OK, TModalResult::OK);
    }
  }
}

void TForm1::ViewDayClick() { SwitchDiaryView(*dm_, *ui_, true); }

void TForm1::ViewAllClick() { SwitchDiaryView(*dm_, *ui_, false); }

// "&Add Food".
void TForm1::Button1Click() {
  Ui::Form1& f = *ui_;
  TTableObject& diary = dm_->UserFoodDbf;
  const std::string file = UserFileName(current_user_id_);
  f.Edit2->setText(CalendarDateText(f));
  if (current_user_name_.empty()) {
    ShowMessageBox("There is no user selected.\r\n", "Invalid User", TMsgIcon::Error,
                   TMsgButtons::OK, TModalResult::OK);
    return;
  }
  // A whole number of grams; anything else counts as 0.
  bool whole = false;
  int quantity = f.Edit5->text().toInt(&whole);
  if (!whole) quantity = 0;
  if (quantity <= 0) {
    ShowMessageBox("The quantity can not be zero or negative.\r\n", "Invalid Quantity",
                   TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
    return;
  }
  const int meal = std::max(0, f.FoodKind->ItemIndex());
  const int32_t date = CalendarDate();

  // The product is taken from the product grid before anything else uses the
  // table object that holds the list: making the diary file re-points it.
  // A list that is not open has no product: the row is not stored.
  std::optional<int32_t> food_id;
  uint32_t product_row = 0;
  if (dm_->MakeDB.Active()) {
    try {
      food_id = dm_->SelectedFoodId();
      product_row = dm_->MakeDB.Bookmark();
    } catch (const ETableError&) {
    }
  }

  f.Panel1->setEnabled(false);
  TEnableAtEnd enable_calendar(f.Panel1);
  if (!FileExists(dm_->FolderFile(file))) {
    dm_->MakeTableByNumber(tnUserFood);
    // Back to the product list, on the same product.
    if (food_id && OpenSelectionList(*dm_)) {
      dm_->ApplyGroupFilter();
      try {
        if (product_row != 0) dm_->MakeDB.GotoBookmark(product_row);
      } catch (const ETableError&) {
      }
    }
  }
  // Storing the row: an error ends this step without a message, and the
  // row is not stored.
  uint32_t new_row = 0;
  try {
    if (food_id && dm_->StoreDiaryRow(date, meal, *food_id, quantity) == TStoreResult::Stored) {
      // The diary was opened again in file order: the new row is its last
      // record.
      new_row = static_cast<uint32_t>(diary.RecordCount());
    }
  } catch (const ETableError&) {
  }
  dm_->IndexUserFood();
  RefreshCalendar();
  f.Panel1->setEnabled(true);
  if (diary.Active()) {
    diary.Refresh();
    // The diary grid shows the food just added, so that "&Delete" right
    // after it takes that row back (posting leaves the table where it was).
    if (new_row != 0) {
      try {
        diary.GotoBookmark(new_row);
      } catch (const ETableError&) {
      }
    }
  }
}

// "&Delete".
void TForm1::Button2Click() {
  TTableObject& diary = dm_->UserFoodDbf;
  if (!diary.Active()) return;
  if (diary.CountVisibleRows() > 0 &&
      ShowMessageBox("Are you sure to delete the record?", "Kalbor, Delete Record",
                     TMsgIcon::Question, TMsgButtons::OKCancel,
                     TModalResult::Cancel) == TModalResult::OK)
    diary.Delete();  // the hooks count again and rebuild the calendar
}

void TForm1::SearchEditEnter() { ui_->SearchEdit->clear(); }

// The first product whose name begins with the text, in any letter case;
// none: the product grid stays where it is.
void TForm1::SearchEditChange() {
  TTableObject& list = dm_->MakeDB;
  if (!list.Active() || !list.FindField("NAME")) return;
  list.Locate("NAME", TVariant(ui_->SearchEdit->text().toStdString()),
              loCaseInsensitive | loPartialKey);
}

}  // namespace kalbor
