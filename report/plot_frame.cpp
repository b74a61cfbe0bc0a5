#include "report/plot_frame.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace report {

QColor SeriesColor(std::size_t i) {
  static const QColor kColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                   QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                   QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                                   QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                                   QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};
  return kColors[i % (sizeof kColors / sizeof kColors[0])];
}

const std::array<PhaseMark, 4>& PhaseMarks() {
  static const std::array<PhaseMark, 4> kMarks = {{{"first satellite", QColor(0x1f, 0x77, 0xb4)},
                                                   {"2D", QColor(0xff, 0x7f, 0x0e)},
                                                   {"3D", QColor(0x2c, 0xa0, 0x2c)},
                                                   {"fix", QColor(0x00, 0x00, 0x00)}}};
  return kMarks;
}

double TickStep(double span, int count) {
  if (!(span > 0) || count < 1)
    return 1;
  const double raw = span / count;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * magnitude)
      return m * magnitude;
  return 10 * magnitude;
}

PlotFrame::PlotFrame(QRectF bounds, double x_min, double x_max, double y_min, double y_max)
    : bounds_(bounds),
      area_(bounds.adjusted(58, 30, -16, -40)),
      x_min_(x_min),
      x_max_(x_max > x_min ? x_max : x_min + 1),
      y_min_(y_min),
      y_max_(y_max != y_min ? y_max : y_min + 1) {}

double PlotFrame::X(double v) const {
  return area_.left() + (v - x_min_) / (x_max_ - x_min_) * area_.width();
}

double PlotFrame::Y(double v) const {
  return area_.bottom() - (v - y_min_) / (y_max_ - y_min_) * area_.height();
}

void PlotFrame::Draw(QPainter& p, const QString& title, const QString& x_label,
                     const QString& y_label, bool y_as_percent) const {
  p.save();
  p.fillRect(bounds_, Qt::white);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  p.setFont(font);
  const QFontMetricsF metrics(font);
  const QPen grid(QColor(0xe4, 0xe4, 0xe4), 1);
  const QPen axis(QColor(0x44, 0x44, 0x44), 1);
  const double x_step = TickStep(x_max_ - x_min_, 8),
               y_step = TickStep(std::fabs(y_max_ - y_min_), 5);
  const double y_lo = std::min(y_min_, y_max_), y_hi = std::max(y_min_, y_max_);
  for (double x = std::ceil(x_min_ / x_step) * x_step; x <= x_max_ + 1e-9; x += x_step) {
    p.setPen(grid);
    p.drawLine(QPointF(X(x), area_.top()), QPointF(X(x), area_.bottom()));
    p.setPen(axis);
    const QString text = QString::number(x, 'g', 6);
    p.drawText(QPointF(X(x) - metrics.horizontalAdvance(text) / 2, area_.bottom() + 14), text);
  }
  for (double y = std::ceil(y_lo / y_step) * y_step; y <= y_hi + 1e-9; y += y_step) {
    p.setPen(grid);
    p.drawLine(QPointF(area_.left(), Y(y)), QPointF(area_.right(), Y(y)));
    p.setPen(axis);
    const QString text = y_as_percent ? QString::number(y * 100, 'g', 4) + QStringLiteral(" %")
                                      : QString::number(y, 'g', 6);
    p.drawText(QPointF(area_.left() - 6 - metrics.horizontalAdvance(text), Y(y) + 4), text);
  }
  p.setPen(axis);
  p.setBrush(Qt::NoBrush);
  p.drawRect(area_);
  p.drawText(
      QPointF(area_.center().x() - metrics.horizontalAdvance(x_label) / 2, bounds_.bottom() - 8),
      x_label);
  p.save();
  p.translate(bounds_.left() + 13, area_.center().y() + metrics.horizontalAdvance(y_label) / 2);
  p.rotate(-90);
  p.drawText(QPointF(0, 0), y_label);
  p.restore();
  QFont bold = font;
  bold.setPixelSize(13);
  bold.setBold(true);
  p.setFont(bold);
  p.drawText(QPointF(area_.left(), bounds_.top() + 18), title);
  p.restore();
}

}  // namespace report
