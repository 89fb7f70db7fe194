// The weight page: a weight for the calendar's date added to the user's
// weight table (one a day, a second one replaces the first after asking),
// the weights in date order, and the line chart of the weights with their
// moving average.
#pragma once

#include <memory>

#include "ui/page.h"

class QChart;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace Ui {
class EnterWeigth;
}

namespace kalbor {

class TTableModel;

class TWeightPage : public TPage {
  Q_OBJECT

 public:
  explicit TWeightPage(TForm1& form);
  ~TWeightPage() override;
  void Bind(TDM1& dm) override;
  Ui::EnterWeigth& Form() { return *ui_; }

  void EnterWeight1Click();  // "Enter &Weight"
  void AddWeightClick();     // "Add &Weight"
  void CalendarClicked();    // the date box follows the calendar
  // The chart drawn again from the user's weights; "No weights yet"
  // without any.
  void DrawWeightChart();
  bool NoWeightsShown() const;

 private:
  void DeleteWeightRow();  // Ctrl+Delete in the grid, after asking
  void ShowNoWeights();

  std::unique_ptr<Ui::EnterWeigth> ui_;
  std::unique_ptr<TTableModel> model_;
  // Owned by the chart view, and the series and axes by the chart.
  QChart* chart_ = nullptr;
  QLineSeries *weights_ = nullptr, *average_ = nullptr;
  QDateTimeAxis* dates_ = nullptr;
  QValueAxis* kilograms_ = nullptr;
  QLabel* no_weights_ = nullptr;  // over the chart while there is nothing to draw
};

}  // namespace kalbor
