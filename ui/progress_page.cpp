#include "ui/progress_page.h"

#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QLabel>
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
  chart_ = new QChart();
  StyleChart(*chart_);
  ui_->ProgressChart->setChart(chart_);
  ui_->ProgressChart->setFrameShape(QFrame::Box);
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

void TProgressPage::DrawChart() {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  const TProgressFigures& f = figures_;
  const int days = static_cast<int>(f.daily.size());
  const std::optional<int32_t> target = f.target;

  // Each day's total in one of two sets: within the target, or over it.
  auto* within = new QBarSet(target ? "Within target" : "Kilocalories");
  auto* over = new QBarSet("Over target");
  within->setColor(kIntakeColour);
  over->setColor(kOverTargetColour);
  QList<qreal> within_values, over_values;
  double highest = target.value_or(0);
  for (const std::optional<int64_t>& total : f.daily) {
    const double kcal = static_cast<double>(total.value_or(0));
    const bool is_over = target && kcal > *target;
    within_values.append(is_over ? 0 : kcal);
    over_values.append(is_over ? kcal : 0);
    highest = std::max(highest, kcal);
  }
  within->append(within_values);
  over->append(over_values);
  for (QBarSet* set : {within, over}) set->setPen(Qt::NoPen);
  auto* bars = new QStackedBarSeries();
  bars->append(within);
  if (target)
    bars->append(over);
  else
    delete over;
  // A year's bars are narrower than two pixels: drawn smooth, the blend of
  // their edges with the background shows as seams between neighbours.
  bars->setBarWidth(days > 100 ? 1.0 : 0.8);
  ui_->ProgressChart->setRenderHint(QPainter::Antialiasing, days <= 100);
  chart_->addSeries(bars);

  // Days along the bottom: day i of the period at i.
  auto* dates = new QCategoryAxis();
  dates->setRange(-0.5, days - 0.5);
  dates->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  dates->setLabelsFont(ChartFont());
  for (int i = 0; i < days; ++i) {
    const QString label = DayLabel(SerialToQDate(f.first_day + i), days);
    if (!label.isEmpty()) dates->append(label, i);
  }
  auto* kcal = new QValueAxis();
  FitCalorieAxis(*kcal, highest);
  chart_->addAxis(dates, Qt::AlignBottom);
  chart_->addAxis(kcal, Qt::AlignLeft);
  bars->attachAxis(dates);
  bars->attachAxis(kcal);

  if (target) {
    auto* line = new QLineSeries();
    line->setName(QString("Target %1 kcal").arg(Number(*target)));
    line->setPen(QPen(kTargetColour, 1.5, Qt::DashLine));
    line->append(-0.5, *target);
    line->append(days - 0.5, *target);
    chart_->addSeries(line);
    line->attachAxis(dates);
    line->attachAxis(kcal);
    LineMarkers(*chart_, line);
  }

  if (!f.weights.empty()) {
    // A year of daily weights is drawn as their moving average, whose trend
    // shows through the ups and downs of single days.
    const bool averaged = days > 100;
    auto* weights = new QLineSeries();
    weights->setName(averaged ? "Weight, average of 7 (kg)" : "Weight (kg)");
    weights->setPen(QPen(kWeightColour, 2));
    weights->setPointsVisible(!averaged);
    weights->setMarkerSize(4);
    double lowest = f.weights.front().tenths / 10.0, heaviest = lowest;
    QList<QPointF> points;
    for (const TWeightPoint& p : f.weights) {
      const double kg = averaged ? p.average : p.tenths / 10.0;
      points.append(QPointF(p.date_serial - f.first_day, kg));
      lowest = std::min(lowest, kg);
      heaviest = std::max(heaviest, kg);
    }
    weights->replace(points);
    chart_->addSeries(weights);
    auto* kilograms = new QValueAxis();
    FitWeightAxis(*kilograms, lowest, heaviest);
    kilograms->setLabelFormat("%.0f kg");
    kilograms->setGridLineVisible(false);
    chart_->addAxis(kilograms, Qt::AlignRight);
    weights->attachAxis(dates);
    weights->attachAxis(kilograms);
    LineMarkers(*chart_, weights);
  }
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
