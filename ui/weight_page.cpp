#include "ui/weight_page.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>

#include "data/dm1.h"
#include "ui/calendar_panel.h"
#include "ui/chart_style.h"
#include "ui/grid/table_model.h"
#include "ui/main_window.h"
#include "ui_weight_page.h"

namespace kalbor {

namespace {

// A day as the chart's time axis counts it: milliseconds to its noon in UTC,
// so that no clock change moves a point to another day.
qreal ChartTime(int32_t date_serial) {
  return static_cast<qreal>(
      QDateTime(SerialToQDate(date_serial), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
}

// Dates along the bottom: days for a few weeks of weights, months for a
// year or two, years beyond.
QString DateAxisFormat(int32_t days) {
  if (days <= 60) return "d MMM";
  if (days <= 730) return "MMM yyyy";
  return "yyyy";
}

}  // namespace

TWeightPage::TWeightPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::EnterWeigth>()) {
  ui_->setupUi(this);
  chart_ = new QChart();
  StyleChart(*chart_);
  ui_->Image2->setChart(chart_);
  ui_->Image2->setFrameShape(QFrame::Box);
  no_weights_ = new QLabel("No weights yet", ui_->Image2);
  no_weights_->setAlignment(Qt::AlignCenter);
  no_weights_->setGeometry(ui_->Image2->rect());
  no_weights_->setAttribute(Qt::WA_TransparentForMouseEvents);
  connect(ui_->AddWeightBtn, &QPushButton::clicked, this, &TWeightPage::AddWeightClick);
  connect(ui_->WeightEdit, &QLineEdit::returnPressed, this, &TWeightPage::AddWeightClick);
}

TWeightPage::~TWeightPage() = default;

void TWeightPage::Bind(TDM1& dm) {
  dm_ = &dm;
  Ui::EnterWeigth& f = *ui_;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  model_ = std::make_unique<TTableModel>(
      dm.UserWeightDbf,
      std::vector<TGridColumn>{{"DATUM", "Date", 80}, {"WEIGHT", "Weight (kg)", 72, right, right}});
  f.DBGrid7->SetModel(model_.get(), true);
  f.DBGrid7->DeleteRow = [this] { DeleteWeightRow(); };
  f.DBGrid7->OnError = [this](const std::string& message) { ShowError(message); };
  connect(&form_.Calendar(), &TCalendarPanel::DayClicked, this, [this] {
    if (form_.PageShown(pmWeight)) CalendarClicked();
  });
}

// The chart is cleared first, so the page looks right even when the weight
// table cannot be opened and its error is shown.
void TWeightPage::EnterWeight1Click() {
  form_.ShowPage(pmWeight);
  CalendarClicked();
  chart_->removeAllSeries();
  no_weights_->show();
  ui_->WeightEdit->setFocus();
  if (dm_->UserSelected())
    dm_->OpenWeightTable(form_.CurrentUserId());
  else
    dm_->CloseWeightTable();
  DrawWeightChart();
  form_.RefreshCalendar();
}

void TWeightPage::CalendarClicked() {
  ui_->Edit7->setText(SerialToQDate(form_.CalendarDate()).toString(ShortDateFormat()));
}

void TWeightPage::AddWeightClick() {
  CalendarClicked();
  const std::string text = ui_->WeightEdit->text().toStdString();
  if (dm_->AddWeight(form_.CalendarDate(), text) != TWeightResult::Stored) return;
  ui_->WeightEdit->clear();
  DrawWeightChart();
}

void TWeightPage::DeleteWeightRow() {
  if (!dm_->WeightShowsRows() || !AskDeleteRecord()) return;
  dm_->DeleteWeightRow();
  DrawWeightChart();
}

bool TWeightPage::NoWeightsShown() const { return no_weights_->isVisible(); }

void TWeightPage::DrawWeightChart() {
  const std::vector<TWeightPoint> points = dm_->WeightSeries();
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  no_weights_->setVisible(points.empty());
  if (points.empty()) return;

  auto* weights = new QLineSeries();
  weights->setName("Weight (kg)");
  // Years of daily weights would make a band of dots: the more entries,
  // the smaller and paler the dots, under the average's line.
  const bool many = points.size() > 200;
  weights->setPen(QPen(many ? kWeightColour.lighter(170) : kWeightColour.lighter(140), 1));
  weights->setPointsVisible(true);
  weights->setMarkerSize(many ? 2 : 5);
  auto* average = new QLineSeries();
  average->setName("Average of 7 entries");
  average->setPen(QPen(kAverageColour, 2));
  QList<QPointF> weight_points, average_points;
  double lowest = points.front().tenths / 10.0, highest = lowest;
  for (const TWeightPoint& p : points) {
    const qreal at = ChartTime(p.date_serial);
    weight_points.append(QPointF(at, p.tenths / 10.0));
    average_points.append(QPointF(at, p.average));
    lowest = std::min(lowest, p.tenths / 10.0);
    highest = std::max(highest, p.tenths / 10.0);
  }
  weights->replace(weight_points);
  average->replace(average_points);
  chart_->addSeries(weights);
  chart_->addSeries(average);

  auto* dates = new QDateTimeAxis();
  const int32_t first = points.front().date_serial, last = points.back().date_serial;
  // A little room at both ends, so that no point sits on the frame.
  const int32_t margin = std::max(1, (last - first) / 40);
  dates->setRange(QDateTime::fromMSecsSinceEpoch(qint64(ChartTime(first - margin)), Qt::UTC),
                  QDateTime::fromMSecsSinceEpoch(qint64(ChartTime(last + margin)), Qt::UTC));
  dates->setFormat(DateAxisFormat(last - first));
  dates->setTickCount(6);
  dates->setLabelsFont(ChartFont());
  auto* kilograms = new QValueAxis();
  FitWeightAxis(*kilograms, lowest, highest);
  chart_->addAxis(dates, Qt::AlignBottom);
  chart_->addAxis(kilograms, Qt::AlignLeft);
  for (QLineSeries* series : {weights, average}) {
    series->attachAxis(dates);
    series->attachAxis(kilograms);
    LineMarkers(*chart_, series);
  }
}

}  // namespace kalbor
