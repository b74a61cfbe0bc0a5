// The history of one run's signals: per signal the receiver named (or over
// every signal, for a receiver that names none), the mean of its four
// strongest satellites' S/N as a line, in its constellation's colour and
// drawn plain for L1, dashed for L5 and so on by band (with a few signals
// also a band from the fourth strongest to the strongest), over the seconds
// after the start's "OK"; the start, the first satellite, 2D, 3D and the fix
// marked as vertical lines.
#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>

#include "nmea/signal_ids.h"
#include "report/pictures.h"
#include "report/plot_frame.h"
#include "report/ttff_view.h"

namespace report {

namespace {

constexpr std::size_t kMostBands = 4;  // more signals: lines only
constexpr double kLegendLine = 15;

struct Point {
  double s;
  double low, mean, high;
};

struct Series {
  std::string name;
  QColor color;
  Qt::PenStyle style = Qt::SolidLine;
  std::vector<Point> points;
};

Qt::PenStyle StyleOf(SignalBand band) {
  switch (band) {
    case SignalBand::kL1:
      return Qt::SolidLine;
    case SignalBand::kL2:
      return Qt::DashDotLine;
    case SignalBand::kL5:
      return Qt::DashLine;
    case SignalBand::kE5b:
      return Qt::DotLine;
    default:
      return Qt::DashDotDotLine;
  }
}

Series NewSeries(const std::string& name) {
  Series s{name, SeriesColor(0), Qt::SolidLine, {}};
  int system = 0, signal = 0;
  if (ParseSignalLabel(name, system, signal)) {
    s.color = ConstellationColor(system);
    s.style = StyleOf(BandOf(system, signal));
  }
  return s;
}

// The series to draw: one per signal ("all" only when the rows name no
// signal), in the order of the last epoch's rows (the files' order), those
// gone by then after them.
std::vector<Series> SeriesOf(const std::vector<SignalRow>& rows) {
  const bool per_signal =
      std::any_of(rows.begin(), rows.end(), [](const SignalRow& r) { return r.signal != "all"; });
  std::vector<Series> series;
  for (const SignalRow& r : rows) {
    if (per_signal == (r.signal == "all"))
      continue;
    double sum = 0, low = 1e9, high = 0;
    int count = 0;
    for (const auto& v : r.snr)
      if (v) {
        sum += *v;
        low = std::min(low, *v);
        high = std::max(high, *v);
        ++count;
      }
    auto it = std::find_if(series.begin(), series.end(),
                           [&r](const Series& s) { return s.name == r.signal; });
    if (it == series.end())
      it = series.insert(series.end(), NewSeries(r.signal));
    if (count > 0)
      it->points.push_back({r.ms / 1000, low, sum / count, high});
  }
  const double last = rows.empty() ? 0 : rows.back().ms;
  const auto rank = [&rows, last](const Series& s) {
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].ms == last && rows[i].signal == s.name)
        return i;
    return rows.size();
  };
  std::stable_sort(series.begin(), series.end(),
                   [&rank](const Series& a, const Series& b) { return rank(a) < rank(b); });
  for (Series& s : series)
    std::sort(s.points.begin(), s.points.end(),
              [](const Point& a, const Point& b) { return a.s < b.s; });
  return series;
}

void Curve(QPainter& p, const PlotFrame& frame, const Series& s, bool band) {
  QPainterPath area, line;
  for (std::size_t i = 0; i < s.points.size(); ++i) {
    const QPointF at = frame.At(s.points[i].s, s.points[i].mean);
    i == 0 ? line.moveTo(at) : line.lineTo(at);
    const QPointF high = frame.At(s.points[i].s, s.points[i].high);
    i == 0 ? area.moveTo(high) : area.lineTo(high);
  }
  if (band && !s.points.empty()) {
    for (auto it = s.points.rbegin(); it != s.points.rend(); ++it)
      area.lineTo(frame.At(it->s, it->low));
    area.closeSubpath();
    QColor fill = s.color;
    fill.setAlphaF(0.12);
    p.fillPath(area, fill);
  }
  p.setPen(QPen(s.color, 1.8, s.style));
  p.setBrush(Qt::NoBrush);
  p.drawPath(line);
}

void Marks(QPainter& p, const PlotFrame& frame, const PhaseMoments& m) {
  const std::optional<double> moments[] = {m.first_snr_ms, m.first_2d_ms, m.first_3d_ms, m.fix_ms};
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(10);
  p.setFont(font);
  const QRectF& area = frame.Area();
  const auto mark = [&](double s, const QColor& color, const QString& name, int row) {
    QPen pen(color, 1.2);
    pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.drawLine(QPointF(frame.X(s), area.top()), QPointF(frame.X(s), area.bottom()));
    p.setPen(color);
    p.drawText(QPointF(frame.X(s) + 3, area.top() + 11 + 11 * row), name);
  };
  mark(0, QColor(0x77, 0x77, 0x77), QStringLiteral("start"), 0);
  for (int i = 0; i < 4; ++i)
    if (moments[i])
      mark(*moments[i] / 1000, PhaseMarks()[static_cast<std::size_t>(i)].color,
           QString::fromLatin1(PhaseMarks()[static_cast<std::size_t>(i)].name), i + 1);
}

QString LegendName(const Series& s) {
  return s.name == "all" ? QStringLiteral("all signals") : QString::fromStdString(s.name);
}

// The legend's entries, left to right, wrapped to the picture's width: the
// top left of each, relative to the legend's.
std::vector<QPointF> LegendPlaces(const std::vector<Series>& series, const QFontMetricsF& metrics,
                                  double left, double width) {
  std::vector<QPointF> places;
  double x = left, y = 0;
  for (const Series& s : series) {
    const double entry = 36 + metrics.horizontalAdvance(LegendName(s));
    if (x > left && x + entry > width) {
      x = left;
      y += kLegendLine;
    }
    places.emplace_back(x, y);
    x += entry;
  }
  return places;
}

}  // namespace

PhaseMoments MomentsOf(const RunRecord& r) {
  const timeline::TimelineRecord& t = r.timeline;
  return {MomentMs(t.first_snr_ms), MomentMs(t.first_2d_ms), MomentMs(t.first_3d_ms),
          MomentMs(t.fix_ms)};
}

Picture SignalHistoryPicture(std::vector<SignalRow> rows, PhaseMoments moments,
                             const QString& title, QSizeF size) {
  Picture picture;
  picture.size = size;
  picture.paint = [rows = std::move(rows), moments, title, size](QPainter& p) {
    const std::vector<Series> series = SeriesOf(rows);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    const QFontMetricsF metrics(font);
    const std::vector<QPointF> places = LegendPlaces(series, metrics, 58, size.width() - 16);
    const double legend = places.empty() ? kLegendLine : places.back().y() + kLegendLine + 4;
    double x_max = 10, y_max = 50;
    for (const Series& s : series)
      for (const Point& pt : s.points) {
        x_max = std::max(x_max, pt.s);
        y_max = std::max(y_max, pt.high + 5);
      }
    for (const auto& m :
         {moments.first_snr_ms, moments.first_2d_ms, moments.first_3d_ms, moments.fix_ms})
      x_max = std::max(x_max, m.value_or(0) / 1000 * 1.05);
    p.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    const PlotFrame frame(QRectF(0, 0, size.width(), size.height() - legend), 0, x_max, 0, y_max);
    frame.Draw(p, title, QStringLiteral("seconds after the start's OK"),
               QStringLiteral("S/N (dB-Hz)"));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const Series& s : series)
      Curve(p, frame, s, series.size() <= kMostBands);
    Marks(p, frame, moments);
    p.setFont(font);
    for (std::size_t i = 0; i < series.size(); ++i) {
      const QPointF at = places[i] + QPointF(0, size.height() - legend + 10);
      p.setPen(QPen(series[i].color, 2.2, series[i].style));
      p.drawLine(at + QPointF(0, -4), at + QPointF(26, -4));
      p.setPen(QColor(0x22, 0x22, 0x22));
      p.drawText(at + QPointF(30, 0), LegendName(series[i]));
    }
    if (series.empty()) {
      p.setPen(QColor(0x77, 0x77, 0x77));
      p.drawText(QPointF(frame.Area().left() + 10, frame.Area().center().y()),
                 QStringLiteral("no satellite tracked yet"));
    }
  };
  return picture;
}

}  // namespace report
