// What the weight and progress charts share: a chart laid out for the
// window's small drawing areas, their fonts and colours, and the axis of
// kilograms.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>

class QAbstractSeries;
class QChart;
class QChartView;
class QValueAxis;

namespace kalbor {

// Colours of the charts' series.
inline const QColor kWeightColour(46, 125, 50);       // the weights
inline const QColor kAverageColour(21, 66, 139);      // their moving average
inline const QColor kIntakeColour(96, 146, 204);      // a day's kilocalories
inline const QColor kOverTargetColour(222, 110, 50);  // a day over the target
inline const QColor kTargetColour(178, 34, 34);       // the target line

// A white chart without a title, small margins, the legend at the top in a
// small face, no animation.
void StyleChart(QChart& chart);
// The chart's items are made anew at every redraw: the scene keeps no
// index of them, whose upkeep would cost more than it saves.
void NoSceneIndex(QChartView& view);
// A round dot of `diameter` pixels: the points of a line series drawn as
// this image are as many as the entries and cost little to paint.
QImage Dot(const QColor& colour, int diameter);
// The legend shows a line series as a line with its points, not a box.
void LineMarkers(QChart& chart, QAbstractSeries* series);
// The small face of axis labels and the legend.
QFont ChartFont();
// An axis of kilograms over the weights from `lowest` to `highest`, with
// whole numbers at its ticks.
void FitWeightAxis(QValueAxis& axis, double lowest, double highest);

}  // namespace kalbor
