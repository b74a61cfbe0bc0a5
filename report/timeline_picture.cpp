#include <algorithm>

#include "report/pictures.h"
#include "report/plot_frame.h"
#include "report/ttff_view.h"

namespace report {

Picture TimelinePicture(const TestData& test, std::size_t series, double width) {
  const std::size_t n = std::max<std::size_t>(test.runs.size(), 1);
  const double row = std::clamp(420.0 / static_cast<double>(n), 1.5, 14.0);
  const double height = 112 + row * static_cast<double>(n);
  Picture picture;
  picture.size = QSizeF(width, height);
  picture.paint = [&test, series, width, height, row](QPainter& p) {
    const double timeout = TimeoutS(test);
    double x_max = 1;
    for (const RunRecord& r : test.runs) {
      const std::optional<double> fix_ms = MomentMs(r.timeline.fix_ms);
      const double end =
          fix_ms ? *fix_ms / 1000 : RunTtffS(r).value_or(r.timeout_s.value_or(timeout));
      x_max = std::max(x_max, end);
      for (const std::optional<double>& m :
           {MomentMs(r.timeline.first_snr_ms), MomentMs(r.timeline.first_2d_ms),
            MomentMs(r.timeline.first_3d_ms)})
        x_max = std::max(x_max, m.value_or(0) / 1000);
    }
    const double rows = static_cast<double>(std::max<std::size_t>(test.runs.size(), 1));
    p.fillRect(QRectF(0, 0, width, height), Qt::white);
    const PlotFrame frame(QRectF(0, 0, width, height - 22), 0, x_max * 1.05, rows + 0.5, 0.5);
    frame.Draw(p, QStringLiteral("Runs of %1").arg(QString::fromStdString(test.files.label)),
               QStringLiteral("seconds after the start's OK"), QStringLiteral("run"));
    const auto& kMarks = PhaseMarks();
    const QColor bar = SeriesColor(series).lighter(170);
    for (std::size_t i = 0; i < test.runs.size(); ++i) {
      const RunRecord& r = test.runs[i];
      const std::optional<double> fix_ms = MomentMs(r.timeline.fix_ms);
      const double y = frame.Y(static_cast<double>(i + 1));
      const std::optional<double> fix =
          fix_ms ? std::optional<double>(*fix_ms / 1000) : RunTtffS(r);
      const double end = fix.value_or(r.reason == "port lost" ? 0 : r.timeout_s.value_or(timeout));
      p.fillRect(QRectF(frame.X(0), y - row * 0.4, frame.X(end) - frame.X(0), row * 0.8),
                 fix ? bar : QColor(0xdd, 0xdd, 0xdd));
      if (!r.reset_suspect.empty())
        p.fillRect(QRectF(frame.X(0) - 6, y - row * 0.4, 4, row * 0.8), QColor(0xc0, 0, 0));
      const std::optional<double> moments[] = {MomentMs(r.timeline.first_snr_ms),
                                               MomentMs(r.timeline.first_2d_ms),
                                               MomentMs(r.timeline.first_3d_ms)};
      for (int m = 0; m < 3; ++m) {
        if (!moments[m])
          continue;
        const double x = frame.X(*moments[m] / 1000);
        p.fillRect(QRectF(x - 1.5, y - row * 0.5, 3, row), kMarks[m].color);
      }
      // The fix over the lower half of its row: a fix at 2D (the usual
      // case for the RMC rules) leaves the 2D mark visible above it.
      if (fix)
        p.fillRect(QRectF(frame.X(*fix) - 1.5, y, 3, row * 0.5), kMarks[3].color);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    double x = frame.Area().left();
    const double legend_y = height - 6;
    for (const PhaseMark& m : kMarks) {
      p.fillRect(QRectF(x, legend_y - 9, 3, 10), m.color);
      p.setPen(QColor(0x22, 0x22, 0x22));
      p.drawText(QPointF(x + 6, legend_y), QString::fromLatin1(m.name));
      x += 30 + 7.0 * static_cast<double>(std::char_traits<char>::length(m.name));
    }
    p.fillRect(QRectF(x, legend_y - 9, 4, 10), QColor(0xc0, 0, 0));
    p.drawText(QPointF(x + 7, legend_y), QStringLiteral("reset suspect"));
  };
  return picture;
}

}  // namespace report
