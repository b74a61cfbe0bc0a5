// The satellite chart of a receiver that names its signals (NMEA 4.11): the
// classic chart's frame, scale and colours (used, tracked, SBAS), a group of
// bars per satellite, one per signal, and the signals' frequency bands told
// apart by hatching: L1 (GPS L1 C/A, Galileo E1, BeiDou B1I, GLONASS G1)
// plain, L2 and G2 hatched one way, L5, E5a and B2a the other, and so on,
// each band's signals named in the legend.
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "controls/chart_drawing.h"
#include "controls/chart_painter.h"
#include "nmea/signal_ids.h"

namespace chart {

namespace {

using namespace draw;

constexpr double kMaxUnit = 2.0 * kBarHalfWidth;  // a classic bar's width
constexpr double kSatelliteGap = 0.5;
constexpr double kConstellationGap = 1.5;
constexpr double kMargin = 1.0;
constexpr int kValueLabelWidth = 16;

struct BandStyle {
  SignalBand band;
  Qt::BrushStyle pattern;
};
constexpr BandStyle kBandStyles[] = {
    {SignalBand::kL1, Qt::NoBrush},          {SignalBand::kL2, Qt::BDiagPattern},
    {SignalBand::kL5, Qt::FDiagPattern},     {SignalBand::kE5b, Qt::DiagCrossPattern},
    {SignalBand::kE6, Qt::CrossPattern},     {SignalBand::kS, Qt::VerPattern},
    {SignalBand::kOther, Qt::Dense5Pattern}, {SignalBand::kNone, Qt::HorPattern},
};

Qt::BrushStyle PatternOf(SignalBand band) {
  for (const BandStyle& s : kBandStyles)
    if (s.band == band)
      return s.pattern;
  return Qt::NoBrush;
}

bool SameSatellite(const SatelliteBar& a, const SatelliteBar& b) {
  return a.system == b.system && a.prn == b.prn;
}

void PatternBox(QPainter& p, int l, int t, int r, int b, const QColor& outline, const QColor& fill,
                Qt::BrushStyle pattern) {
  Rectangle(p, l, t, r, b, outline, fill);
  if (pattern != Qt::NoBrush && r - l > 2 && b - t > 2)
    p.fillRect(QRect(l + 1, t + 1, r - l - 2, b - t - 2), QBrush(kAxis, pattern));
}

// After the classic entries: a hatched box per band on the chart, with the
// names of its signals there.
void BandLegend(QPainter& p, const Box& c, const Fonts& fonts,
                const std::vector<SatelliteBar>& bars, std::vector<DrawnText>* texts) {
  p.setFont(fonts.legend);
  const QFontMetrics metrics(fonts.legend);
  int x = c.left + 10 + 270 + 17 + metrics.horizontalAdvance(QStringLiteral("SBAS")) + 20;
  for (const BandStyle& style : kBandStyles) {
    QStringList names;
    for (const SatelliteBar& b : bars) {
      if (BandOf(b.system, b.signal) != style.band)
        continue;
      const QString name = b.signal == kNoSignal
                               ? QStringLiteral("signal not named")
                               : QString::fromStdString(SignalName(b.system, b.signal));
      if (!names.contains(name))
        names << name;
    }
    if (names.isEmpty())
      continue;
    PatternBox(p, x, c.top + 1, x + 15, c.top + 16, kFrame, kTracked, style.pattern);
    p.setPen(kAxis);
    const QString caption = names.join(QStringLiteral(", "));
    TextAt(p, x + 17, c.top + 1, caption, texts);
    x += 17 + metrics.horizontalAdvance(caption) + 14;
  }
}

// The PRN label under each satellite's bars, left out where it would run
// into the one before.
void SatelliteLabels(QPainter& p, const Box& P, const Fonts& fonts,
                     const std::vector<SatelliteBar>& bars, const std::vector<BarSlot>& places,
                     std::vector<DrawnText>* texts) {
  p.setFont(fonts.prn_label);
  p.setPen(kAxis);
  const QFontMetrics metrics(fonts.prn_label);
  int last_right = P.left - 1000;
  for (std::size_t i = 0; i < bars.size();) {
    std::size_t end = i + 1;
    while (end < bars.size() && SameSatellite(bars[end], bars[i]))
      ++end;
    const int centre = (places[i].left + places[end - 1].left + places[end - 1].width) / 2;
    const QString label = QStringLiteral("%1%2")
                              .arg(QLatin1Char(ConstellationLetter(bars[i].system)))
                              .arg(bars[i].prn);
    const int half = metrics.horizontalAdvance(label) / 2 + 1;
    if (centre - half > last_right) {
      Text(p, {centre - 15, P.bottom + 2, centre + 15, P.bottom + 15},
           Qt::AlignHCenter | Qt::AlignTop, label, texts);
      last_right = centre + half;
    }
    i = end;
  }
}

void SignalBar(QPainter& p, const Box& P, const Fonts& fonts, const SatelliteBar& b,
               const BarSlot& slot, bool with_value, std::vector<DrawnText>* texts) {
  QColor fill = b.used == 1 ? kUsed : kTracked;
  if (b.system == kSbasSystem)
    fill = kSbas;
  const int top = BarTop(P, b.snr);
  PatternBox(p, slot.left, top, slot.left + slot.width, P.bottom, kAxis, fill,
             PatternOf(BandOf(b.system, b.signal)));
  if (!with_value)
    return;
  const int x = slot.Centre();
  p.setPen(kAxis);
  p.setFont(fonts.value);
  const Box value{x - 8, top - 15, x + 8, top - 2};
  FillSolid(p, value, kValueBack);
  Text(p, value, Qt::AlignHCenter | Qt::AlignTop, QString::number(b.snr), texts);
}

}  // namespace

std::vector<BarSlot> SignalBarSlots(const Box& plot, const std::vector<SatelliteBar>& bars) {
  std::vector<BarSlot> places;
  places.reserve(bars.size());
  double units = 2 * kMargin + static_cast<double>(bars.size());
  for (std::size_t i = 1; i < bars.size(); ++i) {
    if (!SameSatellite(bars[i], bars[i - 1]))
      units += bars[i].system == bars[i - 1].system ? kSatelliteGap : kConstellationGap;
  }
  const double unit = std::clamp(plot.Width() / units, 1.0, kMaxUnit);
  double at = plot.left + kMargin * unit;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (i > 0 && !SameSatellite(bars[i], bars[i - 1]))
      at += (bars[i].system == bars[i - 1].system ? kSatelliteGap : kConstellationGap) * unit;
    const int left = static_cast<int>(std::lround(at));
    const int right = static_cast<int>(std::lround(at + unit));
    // Neighbours a pixel apart once bars are wide enough to spare it.
    places.push_back({left, std::max(1, right - left - (unit >= 4 ? 1 : 0))});
    at += unit;
  }
  return places;
}

void PaintSignalBars(QPainter& p, const Box& c, const Fonts& fonts,
                     const std::vector<SatelliteBar>& bars, std::vector<DrawnText>* texts) {
  const Box P = PlotBox(c);
  Frame(p, c, P, fonts, texts);
  BandLegend(p, c, fonts, bars, texts);
  const std::vector<BarSlot> places = SignalBarSlots(P, bars);
  p.setPen(QPen(kFrame, 0, Qt::DotLine));
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (i + 1 == bars.size() || !SameSatellite(bars[i + 1], bars[i])) {
      std::size_t first = i;
      while (first > 0 && SameSatellite(bars[first - 1], bars[i]))
        --first;
      const int x = (places[first].left + places[i].left + places[i].width) / 2;
      p.drawLine(x, P.top, x, P.bottom);
    }
  }
  Scale(p, P, fonts, texts);
  const bool values = !places.empty() && places.front().width + 1 >= kValueLabelWidth;
  for (std::size_t i = 0; i < bars.size(); ++i)
    SignalBar(p, P, fonts, bars[i], places[i], values, texts);
  SatelliteLabels(p, P, fonts, bars, places, texts);
}

}  // namespace chart
