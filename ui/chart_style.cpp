#include "ui/chart_style.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QPainter>
#include <QValueAxis>
#include <cmath>

namespace kalbor {

QFont ChartFont() {
  QFont font = QApplication::font();
  font.setPointSizeF(font.pointSizeF() * 0.9);
  return font;
}

void StyleChart(QChart& chart) {
  chart.setBackgroundRoundness(0);
  chart.setMargins(QMargins(2, 2, 2, 2));
  chart.layout()->setContentsMargins(0, 0, 0, 0);
  chart.setAnimationOptions(QChart::NoAnimation);
  chart.legend()->setFont(ChartFont());
  chart.legend()->setAlignment(Qt::AlignTop);
}

QImage Dot(const QColor& colour, int diameter) {
  QImage dot(diameter, diameter, QImage::Format_ARGB32_Premultiplied);
  dot.fill(Qt::transparent);
  QPainter painter(&dot);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawEllipse(QRectF(0, 0, diameter, diameter));
  return dot;
}

void NoSceneIndex(QChartView& view) { view.scene()->setItemIndexMethod(QGraphicsScene::NoIndex); }

void LineMarkers(QChart& chart, QAbstractSeries* series) {
  for (QLegendMarker* marker : chart.legend()->markers(series))
    marker->setShape(QLegend::MarkerShapeFromSeries);
}

// Whole kilograms at the ticks, at least four kilograms shown.
void FitWeightAxis(QValueAxis& axis, double lowest, double highest) {
  double bottom = std::floor(lowest - 0.5);
  double top = std::ceil(highest + 0.5);
  while (top - bottom < 4) {
    bottom -= 1;
    top += 1;
  }
  const int span = static_cast<int>(top - bottom);
  // At most five steps, each a whole number of kilograms.
  const int step = (span + 4) / 5;
  top = bottom + step * ((span + step - 1) / step);
  axis.setRange(bottom, top);
  axis.setTickCount(static_cast<int>((top - bottom) / step) + 1);
  axis.setLabelFormat("%.0f");
  axis.setLabelsFont(ChartFont());
}

}  // namespace kalbor
