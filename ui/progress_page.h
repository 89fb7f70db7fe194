// The progress page: the kilocalories of each day of the last month,
// quarter or year up to the calendar's date as bars, days over the user's
// daily target in a second colour, the target as a line and the period's
// weights on a second axis; under the chart the same in words. The daily
// target is set here.
#pragma once

#include <memory>

#include "data/dm1.h"
#include "ui/page.h"

class QChart;

namespace Ui {
class ProgressPage;
}

namespace kalbor {

class TProgressPage : public TPage {
  Q_OBJECT

 public:
  explicit TProgressPage(TForm1& form);
  ~TProgressPage() override;
  void Bind(TDM1& dm) override;
  Ui::ProgressPage& Form() { return *ui_; }

  void Progress1Click();  // "&Progress"
  void SetTargetClick();  // "Set &Target"
  // The period's days: 30, 90 or 365, as chosen.
  int PeriodDays() const;
  // The figures and the chart made again for the period chosen, ending on
  // the calendar's date.
  void DrawProgress();
  const TProgressFigures& Figures() const { return figures_; }

 private:
  void ShowTarget();  // the target box shows the user's target
  void DrawChart();
  void WriteSummary();

  std::unique_ptr<Ui::ProgressPage> ui_;
  QChart* chart_ = nullptr;  // owned by the chart view
  TProgressFigures figures_;
};

}  // namespace kalbor
