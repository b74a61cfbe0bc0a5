#include <QPainterPath>
#include <algorithm>
#include <map>
#include <set>

#include "report/pictures.h"
#include "report/plot_frame.h"

namespace report {

namespace {

// The first minutes of a run are where a cold start's signals rise.
constexpr double kWindowS = 180;
constexpr std::size_t kRunsDrawn = 30;

}  // namespace

Picture SnrPicture(const TestData& test, std::size_t series, double width) {
  Picture picture;
  if (test.signal.empty())
    return picture;
  picture.size = QSizeF(width, 260);
  picture.paint = [&test, series, width](QPainter& p) {
    // Per run (the first kRunsDrawn), the mean of the four strongest S/N.
    std::map<unsigned, std::vector<QPointF>> runs;
    double x_max = 10;
    for (const SignalRow& s : test.signal) {
      if (s.ms > kWindowS * 1000 || s.ms < 0 || s.signal != "all")
        continue;
      if (runs.size() >= kRunsDrawn && !runs.count(s.run))
        continue;
      double sum = 0, count = 0;
      for (const auto& v : s.snr)
        if (v) {
          sum += *v;
          count += 1;
        }
      if (count == 0)
        continue;
      runs[s.run].emplace_back(s.ms / 1000, sum / count);
      x_max = std::max(x_max, s.ms / 1000);
    }
    const PlotFrame frame(QRectF(0, 0, width, 260), 0, x_max, 0, 55);
    std::set<unsigned> all;
    for (const SignalRow& s : test.signal)
      all.insert(s.run);
    QString title = QStringLiteral("S/N of the four strongest satellites, %1")
                        .arg(QString::fromStdString(test.files.label));
    if (all.size() > runs.size())
      title += QStringLiteral(" (first %1 of %2 runs)").arg(runs.size()).arg(all.size());
    frame.Draw(p, title, QStringLiteral("seconds after the start's OK"),
               QStringLiteral("mean S/N (dB-Hz)"));
    p.setRenderHint(QPainter::Antialiasing, true);
    QColor color = SeriesColor(series);
    color.setAlphaF(0.55);
    p.setPen(QPen(color, 1.2));
    p.setBrush(Qt::NoBrush);
    for (auto& [run, points] : runs) {
      std::sort(points.begin(), points.end(),
                [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
      QPainterPath path;
      for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF at = frame.At(points[i].x(), points[i].y());
        if (i == 0)
          path.moveTo(at);
        else
          path.lineTo(at);
      }
      p.drawPath(path);
    }
  };
  return picture;
}

}  // namespace report
