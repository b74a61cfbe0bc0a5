#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>

#include "report/pictures.h"
#include "report/plot_frame.h"
#include "report/ttff_view.h"

namespace report {

namespace {

void DashedLine(QPainter& p, QPointF a, QPointF b, QColor color) {
  QPen pen(color, 1.5);
  pen.setStyle(Qt::DashLine);
  p.setPen(pen);
  p.drawLine(a, b);
}

// The TTFF limit and the yield of the tests' verdicts, when they have any.
struct Guides {
  std::optional<double> limit, yield;
};

Guides GuidesOf(const std::vector<TestData>& tests) {
  Guides g;
  for (const TestData& t : tests) {
    if (auto l = LimitTtffS(t))
      g.limit = std::max(g.limit.value_or(0), *l);
    const auto& v = t.summary.is_object() ? t.summary.value("verdict", nlohmann::json()) : nullptr;
    if (v.is_object() && v.value("yield", nlohmann::json()).is_number())
      g.yield = v["yield"].get<double>();
  }
  return g;
}

// The axis ends a little past the longest TTFF or the limit, or at the
// longest time-out of a test with timed-out runs, which stand there.
struct Axis {
  double x_max = 1.0;
  std::vector<double> timeouts;  // of the tests with timed-out runs
};

Axis AxisOf(const std::vector<TestData>& tests, const Guides& g) {
  Axis axis;
  double longest = 0;
  for (const TestData& t : tests)
    for (const stats::Observation& o : Observations(t)) {
      if (o.fixed)
        longest = std::max(longest, o.time_s);
      else if (std::find(axis.timeouts.begin(), axis.timeouts.end(), o.time_s) ==
               axis.timeouts.end())
        axis.timeouts.push_back(o.time_s);
    }
  axis.x_max = std::max(longest, g.limit.value_or(0)) * 1.1;
  for (double t : axis.timeouts)
    axis.x_max = std::max(axis.x_max, t);
  axis.x_max = std::max(axis.x_max, 1.0);
  return axis;
}

// The time-outs, the limit and the yield as dashed lines with their names.
void DrawGuides(QPainter& p, const PlotFrame& frame, const Guides& g, const Axis& axis) {
  for (double t : axis.timeouts)
    DashedLine(p, frame.At(t, 0), frame.At(t, 1), QColor(0x66, 0x66, 0x66));
  if (g.limit)
    DashedLine(p, frame.At(*g.limit, 0), frame.At(*g.limit, 1), QColor(0xc0, 0x00, 0x00));
  if (g.yield)
    DashedLine(p, frame.At(0, *g.yield), frame.At(axis.x_max * 1.02, *g.yield),
               QColor(0xc0, 0x00, 0x00));
  if (g.limit) {
    p.setPen(QColor(0xc0, 0x00, 0x00));
    p.drawText(frame.At(*g.limit, 1) + QPointF(4, 12),
               QStringLiteral("limit %1 s").arg(*g.limit, 0, 'g', 4));
  }
  if (g.yield) {
    p.setPen(QColor(0xc0, 0x00, 0x00));
    p.drawText(frame.At(0, *g.yield) + QPointF(4, -4),
               QStringLiteral("yield %1 %").arg(*g.yield * 100, 0, 'g', 4));
  }
  p.setPen(QColor(0x44, 0x44, 0x44));
  for (double t : axis.timeouts)
    p.drawText(frame.At(t, 1) + QPointF(-52, 26), QStringLiteral("time-out"));
}

// Test i's curve, its timed-out runs and its line of the legend.
void DrawCurve(QPainter& p, const PlotFrame& frame, const TestData& test, std::size_t i,
               double x_max, double legend_y) {
  std::vector<stats::Observation> obs = Observations(test);
  const double timeout = TimeoutS(test);
  std::sort(obs.begin(), obs.end(),
            [](const auto& a, const auto& b) { return a.time_s < b.time_s; });
  const QColor color = SeriesColor(i);
  const double n = static_cast<double>(obs.size());
  QPainterPath path(frame.At(0, 0));
  double fixed = 0;
  unsigned timed_out = 0;
  for (const stats::Observation& o : obs) {
    if (!o.fixed) {
      ++timed_out;
      continue;
    }
    path.lineTo(frame.At(o.time_s, fixed / n));
    fixed += 1;
    path.lineTo(frame.At(o.time_s, fixed / n));
  }
  if (n > 0)
    path.lineTo(frame.At(timed_out > 0 ? timeout : x_max * 1.02, fixed / n));
  p.setPen(QPen(color, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  // The timed-out runs: a cross at the time-out, at the share they leave.
  if (timed_out > 0) {
    const QPointF at = frame.At(timeout, fixed / n);
    p.drawLine(at + QPointF(-5, -5), at + QPointF(5, 5));
    p.drawLine(at + QPointF(-5, 5), at + QPointF(5, -5));
    p.drawText(at + QPointF(-100, fixed / n > 0.9 ? 16 : -8),
               QStringLiteral("%1 timed out").arg(timed_out));
  }
  const QString name = QString::fromStdString(test.files.label) +
                       QStringLiteral(" (%1 fixed of %2)").arg(fixed).arg(n);
  const QFontMetricsF metrics(p.font());
  const double x = frame.Area().right() - 30 - metrics.horizontalAdvance(name);
  p.setPen(QPen(color, 3));
  p.drawLine(QPointF(x, legend_y - 4), QPointF(x + 20, legend_y - 4));
  p.setPen(QColor(0x22, 0x22, 0x22));
  p.drawText(QPointF(x + 26, legend_y), name);
}

}  // namespace

Picture EcdfPicture(const std::vector<TestData>& tests, double width) {
  Picture picture;
  picture.size = QSizeF(width, 340);
  picture.paint = [&tests, width](QPainter& p) {
    const Guides guides = GuidesOf(tests);
    const Axis axis = AxisOf(tests, guides);
    const PlotFrame frame(QRectF(0, 0, width, 340), 0, axis.x_max * 1.02, 0, 1.0);
    frame.Draw(p, QStringLiteral("TTFF: share of the attempts fixed"), QStringLiteral("TTFF (s)"),
               QStringLiteral("attempts fixed"), true);
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    DrawGuides(p, frame, guides, axis);
    double legend_y = frame.Area().bottom() - 10.0 - 16.0 * static_cast<double>(tests.size() - 1);
    for (std::size_t i = 0; i < tests.size(); ++i) {
      DrawCurve(p, frame, tests[i], i, axis.x_max, legend_y);
      legend_y += 16;
    }
  };
  return picture;
}

}  // namespace report
