#include <algorithm>

#include "report/pictures.h"
#include "report/plot_frame.h"

namespace report {

Picture ErrorPicture(const std::vector<TestData>& tests, double width) {
  Picture picture;
  double y_max = 0, runs = 1;
  for (const TestData& t : tests)
    for (const RunRecord& r : t.runs)
      if (r.error_m) {
        y_max = std::max(y_max, *r.error_m);
        runs = std::max(runs, static_cast<double>(r.run));
      }
  if (!(y_max > 0))
    return picture;
  picture.size = QSizeF(width, 260);
  picture.paint = [&tests, width, y_max, runs](QPainter& p) {
    const PlotFrame frame(QRectF(0, 0, width, 260), 0.5, runs + 0.5, 0, y_max * 1.1);
    frame.Draw(p, QStringLiteral("Horizontal position error at the fix"), QStringLiteral("run"),
               QStringLiteral("error (m)"));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (std::size_t i = 0; i < tests.size(); ++i) {
      p.setPen(Qt::NoPen);
      p.setBrush(SeriesColor(i));
      for (const RunRecord& r : tests[i].runs)
        if (r.error_m)
          p.drawEllipse(frame.At(r.run, *r.error_m), 3, 3);
    }
  };
  return picture;
}

}  // namespace report
