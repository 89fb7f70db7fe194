// The progress page: the kilocalories of each day of the last month,
// quarter or year up to the calendar's date as bars, days over the user's
// daily target in a second colour, the target as a line and the period's
// weights on a second axis; under the chart the same in words. The daily
// target is set here.
#pragma once

#include <memory>

#include "data/dm1.h"
#include "ui/page.h"

class QBarSet;
class QCategoryAxis;
class QChart;
class QLineSeries;
class QStackedBarSeries;
class QValueAxis;

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
  void MakeChart();
  void DrawChart();
  void WriteSummary();

  std::unique_ptr<Ui::ProgressPage> ui_;
  // Owned by the chart view, and the series and axes by the chart.
  QChart* chart_ = nullptr;
  QBarSet *within_ = nullptr, *over_ = nullptr;  // a day's total is in one of them
  QStackedBarSeries* bars_ = nullptr;
  QLineSeries *target_line_ = nullptr, *weight_line_ = nullptr;
  QCategoryAxis* days_ = nullptr;
  QValueAxis *kcal_ = nullptr, *kilograms_ = nullptr;
  int32_t axis_first_day_ = 0;  // the period the day labels are for
  int axis_days_ = 0;
  TProgressFigures figures_;
};

}  // namespace kalbor
