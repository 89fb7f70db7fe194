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
  // The view's own chart: one set in its place would leave the view's first
  // chart to nobody.
  chart_ = ui_->Image2->chart();
  StyleChart(*chart_);
  NoSceneIndex(*ui_->Image2);
  ui_->Image2->setFrameShape(QFrame::Box);

  // The series and axes stay; a redraw gives them new points and ranges.
  weights_ = new QLineSeries();
  weights_->setName("Weight (kg)");
  average_ = new QLineSeries();
  average_->setName("Average of 7 entries");
  average_->setPen(QPen(kAverageColour, 2));
  dates_ = new QDateTimeAxis();
  dates_->setTickCount(6);
  dates_->setLabelsFont(ChartFont());
  kilograms_ = new QValueAxis();
  chart_->addSeries(weights_);
  chart_->addSeries(average_);
  chart_->addAxis(dates_, Qt::AlignBottom);
  chart_->addAxis(kilograms_, Qt::AlignLeft);
  for (QLineSeries* series : {weights_, average_}) {
    series->attachAxis(dates_);
    series->attachAxis(kilograms_);
    LineMarkers(*chart_, series);
  }

  no_weights_ = new QLabel("No weights yet", ui_->Image2);
  no_weights_->setAlignment(Qt::AlignCenter);
  no_weights_->setGeometry(ui_->Image2->rect());
  no_weights_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShowNoWeights();
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
      std::vector<TGridColumn>{{"DATUM", "Date", 80}, {"WEIGHT", "Weight (kg)", 82, right, right}});
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
  ShowNoWeights();
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

// An empty chart: no points, no axes, the words over it.
void TWeightPage::ShowNoWeights() {
  weights_->clear();
  average_->clear();
  for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(dates_), static_cast<QAbstractAxis*>(kilograms_)})
    axis->hide();
  chart_->legend()->hide();
  no_weights_->show();
}

void TWeightPage::DrawWeightChart() {
  const std::vector<TWeightPoint> points = dm_->WeightSeries();
  if (points.empty()) return ShowNoWeights();

  // Years of daily weights would make a band of dots: the more entries,
  // the smaller and paler the dots, under the average's line.
  const bool many = points.size() > 200;
  // Thousands of short strokes drawn smooth cost more than the rest of the
  // page together; that many points make a line of their own anyway.
  ui_->Image2->setRenderHint(QPainter::Antialiasing, !many);
  weights_->setPen(QPen(many ? kWeightColour.lighter(170) : kWeightColour.lighter(140), 1));
  weights_->setLightMarker(Dot(many ? kWeightColour.lighter(130) : kWeightColour, many ? 3 : 5));

  QList<QPointF> weight_points, average_points;
  weight_points.reserve(static_cast<qsizetype>(points.size()));
  average_points.reserve(static_cast<qsizetype>(points.size()));
  double lowest = points.front().tenths / 10.0, highest = lowest;
  for (const TWeightPoint& p : points) {
    const qreal at = ChartTime(p.date_serial);
    weight_points.append(QPointF(at, p.tenths / 10.0));
    average_points.append(QPointF(at, p.average));
    lowest = std::min(lowest, p.tenths / 10.0);
    highest = std::max(highest, p.tenths / 10.0);
  }
  // The ranges first, so that the lines are laid out once, on them.
  const int32_t first = points.front().date_serial, last = points.back().date_serial;
  // A little room at both ends, so that no point sits on the frame.
  const int32_t margin = std::max(1, (last - first) / 40);
  dates_->setRange(QDateTime::fromMSecsSinceEpoch(qint64(ChartTime(first - margin)), Qt::UTC),
                   QDateTime::fromMSecsSinceEpoch(qint64(ChartTime(last + margin)), Qt::UTC));
  dates_->setFormat(DateAxisFormat(last - first));
  FitWeightAxis(*kilograms_, lowest, highest);
  weights_->replace(weight_points);
  average_->replace(average_points);
  dates_->show();
  kilograms_->show();
  chart_->legend()->show();
  no_weights_->hide();
}

}  // namespace kalbor
