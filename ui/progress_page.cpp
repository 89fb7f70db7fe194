#include "ui/progress_page.h"

#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/calendar_panel.h"
#include "ui/chart_style.h"
#include "ui/main_window.h"
#include "ui_progress_page.h"

namespace kalbor {

namespace {

// The label under day `date` of a period of `days` days, or none: Mondays
// for a month, the 1st and 15th for a quarter, months for a year (January
// by its year).
QString DayLabel(const QDate& date, int days) {
  if (days <= 31) return date.dayOfWeek() == 1 ? date.toString("d MMM") : QString();
  if (days <= 92)
    return date.day() == 1 || date.day() == 15 ? date.toString("d MMM") : QString();
  if (date.day() != 1) return QString();
  return date.month() == 1 ? date.toString("yyyy") : date.toString("MMM");
}

// Kilocalories up to `highest`, with round numbers at the ticks.
void FitCalorieAxis(QValueAxis& axis, double highest) {
  const double top = std::max(highest * 1.05, 500.0);
  const double magnitude = std::pow(10.0, std::floor(std::log10(top / 4)));
  double step = magnitude;
  for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (top / (magnitude * factor) <= 5) {
      step = magnitude * factor;
      break;
    }
  const int steps = static_cast<int>(std::ceil(top / step));
  axis.setRange(0, steps * step);
  axis.setTickCount(steps + 1);
  axis.setLabelFormat("%.0f");
  axis.setLabelsFont(ChartFont());
}

QString Number(int64_t value) { return QLocale().toString(static_cast<qlonglong>(value)); }

}  // namespace

TProgressPage::TProgressPage(TForm1& form)
    : TPage(form), ui_(std::make_unique<Ui::ProgressPage>()) {
  ui_->setupUi(this);
  // The view's own chart: one set in its place would leave the view's first
  // chart to nobody.
  chart_ = ui_->ProgressChart->chart();
  StyleChart(*chart_);
  NoSceneIndex(*ui_->ProgressChart);
  ui_->ProgressChart->setFrameShape(QFrame::Box);
  MakeChart();
  Ui::ProgressPage& f = *ui_;
  for (QRadioButton* period : {f.MonthBtn, f.QuarterBtn, f.YearBtn})
    connect(period, &QRadioButton::clicked, this, &TProgressPage::DrawProgress);
  connect(f.SetTargetBtn, &QPushButton::clicked, this, &TProgressPage::SetTargetClick);
  connect(f.TargetEdit, &QLineEdit::returnPressed, this, &TProgressPage::SetTargetClick);
}

TProgressPage::~TProgressPage() = default;

void TProgressPage::Bind(TDM1& dm) {
  dm_ = &dm;
  connect(&form_.Calendar(), &TCalendarPanel::DayClicked, this, [this] {
    if (form_.PageShown(pmProgress)) DrawProgress();
  });
}

int TProgressPage::PeriodDays() const {
  if (ui_->YearBtn->isChecked()) return 365;
  if (ui_->QuarterBtn->isChecked()) return 90;
  return 30;
}

void TProgressPage::Progress1Click() {
  form_.ShowPage(pmProgress);
  ShowTarget();
  DrawProgress();
  // The bold days of the user whose diary the figures were read from.
  form_.RefreshCalendar();
}

void TProgressPage::ShowTarget() {
  const std::optional<int32_t> target = dm_->DailyTarget(form_.CurrentUserId());
  ui_->TargetEdit->setText(target ? QString::number(*target) : QString());
}

void TProgressPage::SetTargetClick() {
  const TWeightResult result = dm_->SetDailyTarget(ui_->TargetEdit->text().toStdString());
  if (result == TWeightResult::Refused) return;
  ShowTarget();
  DrawProgress();
}

void TProgressPage::DrawProgress() {
  figures_ = dm_->ProgressFigures(form_.CalendarDate(), PeriodDays());
  DrawChart();
  WriteSummary();
}

// The series and axes stay; a redraw gives them new values, so that after
// one day's change only that day's bar is laid out again.
void TProgressPage::MakeChart() {
  within_ = new QBarSet("Kilocalories");
  over_ = new QBarSet("Over target");
  within_->setColor(kIntakeColour);
  over_->setColor(kOverTargetColour);
  for (QBarSet* set : {within_, over_}) set->setPen(Qt::NoPen);
  bars_ = new QStackedBarSeries();
  bars_->append(within_);
  bars_->append(over_);
  target_line_ = new QLineSeries();
  target_line_->setPen(QPen(kTargetColour, 1.5, Qt::DashLine));
  weight_line_ = new QLineSeries();
  weight_line_->setPen(QPen(kWeightColour, 2));
  weight_line_->setMarkerSize(4);
  days_ = new QCategoryAxis();
  days_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  days_->setLabelsFont(ChartFont());
  kcal_ = new QValueAxis();
  kilograms_ = new QValueAxis();
  kilograms_->setGridLineVisible(false);
  chart_->addSeries(bars_);
  chart_->addSeries(target_line_);
  chart_->addSeries(weight_line_);
  chart_->addAxis(days_, Qt::AlignBottom);
  chart_->addAxis(kcal_, Qt::AlignLeft);
  chart_->addAxis(kilograms_, Qt::AlignRight);
  for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(bars_),
                                  static_cast<QAbstractSeries*>(target_line_)}) {
    series->attachAxis(days_);
    series->attachAxis(kcal_);
  }
  weight_line_->attachAxis(days_);
  weight_line_->attachAxis(kilograms_);
  LineMarkers(*chart_, target_line_);
  LineMarkers(*chart_, weight_line_);
}

void TProgressPage::DrawChart() {
  const TProgressFigures& f = figures_;
  const int days = static_cast<int>(f.daily.size());
  const std::optional<int32_t> target = f.target;

  // A year's bars are narrower than two pixels: drawn smooth, the blend of
  // their edges with the background shows as seams between neighbours.
  ui_->ProgressChart->setRenderHint(QPainter::Antialiasing, days <= 100);
  bars_->setBarWidth(days > 100 ? 1.0 : 0.8);

  // Days along the bottom: day i of the period at i.
  if (f.first_day != axis_first_day_ || days != axis_days_) {
    for (const QString& label : days_->categoriesLabels()) days_->remove(label);
    for (int i = 0; i < days; ++i) {
      const QString label = DayLabel(SerialToQDate(f.first_day + i), days);
      if (!label.isEmpty()) days_->append(label, i);
    }
    days_->setRange(-0.5, days - 0.5);
    axis_first_day_ = f.first_day;
    axis_days_ = days;
  }

  // Each day's total in one of two sets: within the target, or over it.
  QList<qreal> within_values, over_values;
  double highest = target.value_or(0);
  for (const std::optional<int64_t>& total : f.daily) {
    const double kcal = static_cast<double>(total.value_or(0));
    const bool is_over = target && kcal > *target;
    within_values.append(is_over ? 0 : kcal);
    over_values.append(is_over ? kcal : 0);
    highest = std::max(highest, kcal);
  }
  FitCalorieAxis(*kcal_, highest);
  for (auto [set, values] : {std::pair{within_, &within_values}, std::pair{over_, &over_values}}) {
    if (set->count() == days) {
      for (int i = 0; i < days; ++i)
        if (set->at(i) != (*values)[i]) set->replace(i, (*values)[i]);
    } else {
      set->remove(0, set->count());
      set->append(*values);
    }
  }
  within_->setLabel(target ? "Within target" : "Kilocalories");
  for (QLegendMarker* marker : chart_->legend()->markers(bars_))
    if (marker->label() == over_->label()) marker->setVisible(target.has_value());

  target_line_->clear();
  if (target) {
    target_line_->setName(QString("Target %1 kcal").arg(Number(*target)));
    target_line_->append(-0.5, *target);
    target_line_->append(days - 0.5, *target);
  }
  target_line_->setVisible(target.has_value());

  // A year of daily weights is drawn as their moving average, whose trend
  // shows through the ups and downs of single days.
  const bool averaged = days > 100;
  QList<QPointF> points;
  double lowest = 0, heaviest = 0;
  for (const TWeightPoint& p : f.weights) {
    const double kg = averaged ? p.average : p.tenths / 10.0;
    lowest = points.isEmpty() ? kg : std::min(lowest, kg);
    heaviest = points.isEmpty() ? kg : std::max(heaviest, kg);
    points.append(QPointF(p.date_serial - f.first_day, kg));
  }
  if (!points.isEmpty()) FitWeightAxis(*kilograms_, lowest, heaviest);
  kilograms_->setLabelFormat("%.0f kg");
  weight_line_->setName(averaged ? "Weight, average of 7 (kg)" : "Weight (kg)");
  weight_line_->setPointsVisible(!averaged);
  weight_line_->replace(points);
  weight_line_->setVisible(!points.isEmpty());
  kilograms_->setVisible(!points.isEmpty());
}

void TProgressPage::WriteSummary() {
  const TProgressFigures& f = figures_;
  Ui::ProgressPage& ui = *ui_;
  auto date = [](int32_t serial) { return SerialToQDate(serial).toString(ShortDateFormat()); };
  ui.PeriodBox->setTitle(QString("Period: %1 to %2").arg(date(f.first_day), date(f.last_day)));

  if (f.average_per_day)
    ui.SummaryLabel->setText(QString("Average %1 kcal a day, on the %2 of %3 days with entries.")
                                 .arg(Number(*f.average_per_day))
                                 .arg(f.days_with_entries)
                                 .arg(f.daily.size()));
  else
    ui.SummaryLabel->setText("No food entered in this period.");

  if (!f.target)
    ui.TargetLabel->setText("No daily target set.");
  else if (f.days_with_entries > 0)
    ui.TargetLabel->setText(QString("Over the target of %1 kcal on %2 of those %3 days.")
                                .arg(Number(*f.target))
                                .arg(f.days_over_target)
                                .arg(f.days_with_entries));
  else
    ui.TargetLabel->setText(QString("Daily target %1 kcal.").arg(Number(*f.target)));

  auto kg = [this](int32_t tenths) { return QString::fromStdString(dm_->WeightText(tenths)); };
  if (f.weight_change) {
    const TWeightPoint& first = f.weights.front();
    const TWeightPoint& last = f.weights.back();
    const QString change = (*f.weight_change > 0 ? "+" : "") + kg(*f.weight_change);
    ui.WeightLabel->setText(QString("Weight %1 kg, from %2 kg (%3) to %4 kg (%5).")
                                .arg(change, kg(first.tenths), date(first.date_serial),
                                     kg(last.tenths), date(last.date_serial)));
  } else if (f.weights.size() == 1) {
    ui.WeightLabel->setText(QString("One weight in this period: %1 kg (%2).")
                                .arg(kg(f.weights.front().tenths), date(f.weights.front().date_serial)));
  } else {
    ui.WeightLabel->setText("No weights in this period.");
  }
}

}  // namespace kalbor
