// The result page: the selected user's kilocalories per day, rebuilt from
// the diary each time the page is shown, and one day's totals by meal type
// for the day clicked in the calendar.
#include <QLabel>
#include <QLocale>
#include <array>
#include <cmath>

#include "data/dm1.h"
#include "data/walk_guards.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui_main_window.h"

namespace kalbor {

namespace {

// The user whose totals the value labels show (0: none, the design words).
const char kTotalsUserProperty[] = "totalsUser";

std::array<QLabel*, 6> ValueLabels(Ui::Form1& f) {
  return {f.unknown, f.breakfast, f.lunch, f.dinner, f.snack, f.total};
}

// The value labels as laid out: their own names instead of numbers.
void ShowDesignWords(Ui::Form1& f) {
  static const char* const kWords[6] = {"unknown", "breakfast", "lunch",
                                        "dinner",  "snack",     "total"};
  std::array<QLabel*, 6> labels = ValueLabels(f);
  for (size_t i = 0; i < labels.size(); ++i) labels[i]->setText(kWords[i]);
  f.total->setProperty(kTotalsUserProperty, 0);
}

}  // namespace

void TForm1::BindResultPage() {
  Ui::Form1& f = *ui_;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  auto* results = new TTableModel(
      dm_->UserResultDbf,
      {{"DAY", "Day", 40}, {"DATUM", "Date", 77}, {"CALORIES", "Calories", 68, right}}, this);
  models_.emplace_back(results);
  // As on the food entry page: dates whole in their narrow column.
  QFont narrow = f.DBGrid6->font();
  narrow.setStretch(QFont::SemiCondensed);
  narrow.setPointSizeF(narrow.pointSizeF() * 0.92);
  f.DBGrid6->setFont(narrow);
  f.DBGrid6->SetModel(results, true);
  f.DBGrid6->ConfirmDelete = [this] {
    return ShowMessageBox("Delete record?", "Kalbor", TMsgIcon::Question, TMsgButtons::OKCancel,
                          TModalResult::Cancel) == TModalResult::OK;
  };
  f.DBGrid6->OnError = [this](const std::string& message) { ShowErrorMessage(this, message); };
  f.DBNavigator3->Bind(dm_->UserResultDbf,
                       {TNavButton::First, TNavButton::Prior, TNavButton::Next, TNavButton::Last});
  f.total->setProperty(kTotalsUserProperty, 0);
}

void TForm1::Result1Click() {
  Ui::Form1& f = *ui_;
  TTableObject& diary = dm_->UserFoodDbf;
  ShowPage(pmResult);
  const std::string file = UserFileName(current_user_id_);
  if (!FileExists(dm_->FolderFile(file))) {
    // No diary (no user selected): nothing is rebuilt, and nothing of the
    // user shown before stays on the page.
    dm_->UserResultDbf.Close();
    ShowDesignWords(f);
    return;
  }
  // Day totals of another user give way to the design words until a day is
  // clicked.
  if (f.total->property(kTotalsUserProperty).toInt() != current_user_id_) ShowDesignWords(f);

  diary.Close();
  diary.SetTableName("");
  if (current_user_id_ > 0) {
    try {
      {
        TControlsSuspended suspended(diary);
        diary.Close();
        diary.SetTableName(file);
        diary.Open();
        diary.SetFiltered(false);
        dm_->IndexUserFood();  // date, then meal
      }
      if (!diary.Active()) diary.Open();
    } catch (const std::exception&) {
      // The page shows without the diary.
    }
  }

  RefreshCalendar();
  f.Edit2->setText(QLocale().toString(f.MonthCalendar1->selectedDate(), ShortDateFormat()));
  if (diary.Active()) diary.Refresh();
  f.Panel1->show();
  f.Panel1->raise();

  dm_->BuildUserResult();
}

// Sums of one day's kilocalories by meal type, and their total.
void TForm1::ShowDayTotals(int32_t date_serial) {
  Ui::Form1& f = *ui_;
  TTableObject& diary = dm_->UserFoodDbf;
  std::array<int64_t, 5> sums{};
  if (!diary.Active()) diary.Open();
  {
    TControlsSuspended suspended(diary);
    const uint32_t bookmark = diary.Bookmark();
    TField& datum = *dm_->UserFoodDbfDATUM;
    TField& kind_field = *dm_->UserFoodDbfKIND;
    TField& calories = *dm_->UserFoodDbfCALORIES;
    for (diary.First(); !diary.Eof(); diary.Next()) {
      if (std::floor(datum.AsDateTime()) != date_serial) continue;
      const int32_t kind = kind_field.AsInteger();
      if (kind >= 1 && kind <= 5) sums[static_cast<size_t>(kind - 1)] += calories.AsInteger();
    }
    if (bookmark != 0) diary.GotoBookmark(bookmark);
  }
  int64_t total = 0;
  std::array<QLabel*, 6> labels = ValueLabels(f);
  for (size_t i = 0; i < sums.size(); ++i) {
    labels[i]->setText(QString::number(sums[i]));
    total += sums[i];
  }
  f.total->setText(QString::number(total));
  f.total->setProperty(kTotalsUserProperty, current_user_id_);
}

}  // namespace kalbor
