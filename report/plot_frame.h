// The frame the report's pictures share: a plot area inside margins, the
// mapping of data values to it, axes with round ticks and their labels,
// and the series colours. Drawn with QPainter on any QPaintDevice.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <array>

namespace report {

// The colour of the i-th test (the same in every picture and table).
QColor SeriesColor(std::size_t i);

// The phases of a run as every picture marks them: "first satellite", "2D",
// "3D", "fix", in that order.
struct PhaseMark {
  const char* name;
  QColor color;
};
const std::array<PhaseMark, 4>& PhaseMarks();

class PlotFrame {
 public:
  // The whole picture is `bounds`; the plot area leaves room for the labels.
  PlotFrame(QRectF bounds, double x_min, double x_max, double y_min, double y_max);
  const QRectF& Area() const { return area_; }
  double X(double v) const;
  double Y(double v) const;
  QPointF At(double x, double y) const { return {X(x), Y(y)}; }
  // White background, the title above, grid, ticks and axis labels.
  void Draw(QPainter& p, const QString& title, const QString& x_label, const QString& y_label,
            bool y_as_percent = false) const;

 private:
  QRectF bounds_, area_;
  double x_min_, x_max_, y_min_, y_max_;
};

// A round step for about `count` ticks over the span (1, 2 or 5 × 10^k).
double TickStep(double span, int count);

}  // namespace report
