// The result page: the selected user's kilocalories per day, rebuilt from
// the diary each time the page is shown, and one day's totals by meal type
// for the day clicked in the calendar.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "ui/page.h"

class QLabel;

namespace Ui {
class ResultPage;
}

namespace kalbor {

class TTableModel;

class TResultPage : public TPage {
  Q_OBJECT

 public:
  explicit TResultPage(TForm1& form);
  ~TResultPage() override;
  void Bind(TDM1& dm) override;
  Ui::ResultPage& Form() { return *ui_; }

  void Result1Click();  // "&Result"
  // A day clicked in the calendar while this page is shown.
  void CalendarClicked();
  void ShowDayTotals(int32_t date_serial);

 private:
  std::array<QLabel*, 6> ValueLabels();
  void ShowDesignWords();

  std::unique_ptr<Ui::ResultPage> ui_;
  std::unique_ptr<TTableModel> model_;
  int32_t totals_user_ = 0;  // whose totals the value labels show (0: the design words)
};

}  // namespace kalbor
