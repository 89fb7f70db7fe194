#include "ui/result_page.h"

#include <QLabel>

#include "data/dm1.h"
#include "ui/food_page.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui_result_page.h"

namespace kalbor {

TResultPage::TResultPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::ResultPage>()) {
  ui_->setupUi(this);
}

TResultPage::~TResultPage() = default;

std::array<QLabel*, 6> TResultPage::ValueLabels() {
  Ui::ResultPage& f = *ui_;
  return {f.unknown, f.breakfast, f.lunch, f.dinner, f.snack, f.total};
}

// The value labels as laid out: their own names instead of numbers.
void TResultPage::ShowDesignWords() {
  static const char* const kWords[6] = {"unknown", "breakfast", "lunch",
                                        "dinner",  "snack",     "total"};
  std::array<QLabel*, 6> labels = ValueLabels();
  for (size_t i = 0; i < labels.size(); ++i) labels[i]->setText(kWords[i]);
  totals_user_ = 0;
}

void TResultPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::ResultPage& f = *ui_;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  model_ = std::make_unique<TTableModel>(
      dm.UserResultDbf, std::vector<TGridColumn>{{"DAY", "Day", 40},
                                                 {"DATUM", "Date", 77},
                                                 {"CALORIES", "Calories", 68, right}});
  // As on the food entry page: dates whole in their narrow column.
  QFont narrow = f.DBGrid6->font();
  narrow.setStretch(QFont::SemiCondensed);
  narrow.setPointSizeF(narrow.pointSizeF() * 0.92);
  f.DBGrid6->setFont(narrow);
  f.DBGrid6->SetModel(model_.get(), true);
  f.DBGrid6->ConfirmDelete = [this] { return AskDeleteRecord(); };
  f.DBGrid6->OnError = [this](const std::string& message) { ShowError(message); };
  f.DBNavigator3->Bind(dm.UserResultDbf,
                       {TNavButton::First, TNavButton::Prior, TNavButton::Next, TNavButton::Last});
}

void TResultPage::Result1Click() {
  form_.ShowPage(pmResult);
  const int32_t id = form_.CurrentUserId();
  if (!dm_->DiaryFileExists(id)) {
    // No diary (no user selected): nothing is rebuilt, and nothing of the
    // user shown before stays on the page.
    dm_->CloseUserResult();
    ShowDesignWords();
    return;
  }
  // Day totals of another user give way to the design words until a day is
  // clicked.
  if (totals_user_ != id) ShowDesignWords();

  dm_->CloseDiary();
  if (id > 0) {
    try {
      dm_->OpenDiary(id);  // date, then meal
    } catch (const std::exception&) {
      // The page shows without the diary.
    }
  }
  form_.RefreshCalendar();
  form_.FoodPage().ShowCalendarDate();
  dm_->RefreshDiary();
  dm_->BuildUserResult();
}

void TResultPage::CalendarClicked() {
  if (dm_->DiaryOpen()) {
    form_.RefreshCalendar();
    ShowDayTotals(form_.CalendarDate());
  } else {
    form_.ShowMessageBox("There is no user selected.", "Kalbor - Result", TMsgIcon::Error,
                         TMsgButtons::OK, TModalResult::OK);
  }
}

// Sums of one day's kilocalories by meal type, and their total.
void TResultPage::ShowDayTotals(int32_t date_serial) {
  const std::array<int64_t, 5> sums = dm_->DayTotals(date_serial);
  int64_t total = 0;
  std::array<QLabel*, 6> labels = ValueLabels();
  for (size_t i = 0; i < sums.size(); ++i) {
    labels[i]->setText(QString::number(sums[i]));
    total += sums[i];
  }
  ui_->total->setText(QString::number(total));
  totals_user_ = form_.CurrentUserId();
}

}  // namespace kalbor
