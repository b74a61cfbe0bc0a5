// The sky plot: north up, east right, the horizon the outer circle and the
// zenith its centre, rings at 30 and 60 degrees of elevation. Each satellite
// in view stands at its azimuth and elevation, in its constellation's
// colour: filled when in use, ringed when tracked, thin and grey when only
// in view; its letter and PRN beside it. The legend counts each
// constellation's satellites.
#include <QFontMetricsF>
#include <QtMath>
#include <algorithm>
#include <map>

#include "nmea/signal_ids.h"
#include "report/pictures.h"

namespace report {

namespace {

constexpr double kTitleHeight = 26;
constexpr double kLegendWidth = 170;
constexpr double kMarker = 7;
const QColor kInViewGrey(0x9a, 0x9a, 0x9a);
const QColor kInk(0x22, 0x22, 0x22);

QFont PixelFont(int pixels, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void Grid(QPainter& p, const QRectF& disc) {
  p.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), 1));
  p.setBrush(Qt::NoBrush);
  const QPointF c = disc.center();
  const double r = disc.width() / 2;
  for (double ring : {1.0, 2.0 / 3.0, 1.0 / 3.0})
    p.drawEllipse(c, r * ring, r * ring);
  p.drawLine(QPointF(c.x(), disc.top()), QPointF(c.x(), disc.bottom()));
  p.drawLine(QPointF(disc.left(), c.y()), QPointF(disc.right(), c.y()));
  p.setFont(PixelFont(11, true));
  p.setPen(kInk);
  const QFontMetricsF m(p.font());
  p.drawText(QPointF(c.x() - m.horizontalAdvance('N') / 2, disc.top() - 3), QStringLiteral("N"));
  p.drawText(QPointF(c.x() - m.horizontalAdvance('S') / 2, disc.bottom() + m.ascent() + 1),
             QStringLiteral("S"));
  p.drawText(QPointF(disc.right() + 3, c.y() + m.ascent() / 2 - 1), QStringLiteral("E"));
  p.drawText(QPointF(disc.left() - 3 - m.horizontalAdvance('W'), c.y() + m.ascent() / 2 - 1),
             QStringLiteral("W"));
  p.setFont(PixelFont(9));
  p.setPen(QColor(0x88, 0x88, 0x88));
  for (int el : {30, 60})
    p.drawText(SkyPoint(disc, el, 0) + QPointF(3, -2), QStringLiteral("%1\u00b0").arg(el));
}

void Satellite(QPainter& p, const QRectF& disc, const SkySatellite& s) {
  const QPointF at = SkyPoint(disc, s.elevation, s.azimuth);
  const QColor color = ConstellationColor(s.system);
  const bool tracked = s.BestSnr() > 0;
  if (s.used) {
    p.setPen(QPen(color.darker(130), 1));
    p.setBrush(color);
  } else if (tracked) {
    p.setPen(QPen(color, 2.5));
    p.setBrush(Qt::white);
  } else {
    p.setPen(QPen(kInViewGrey, 1));
    p.setBrush(Qt::white);
  }
  p.drawEllipse(at, kMarker, kMarker);
  p.setFont(PixelFont(10));
  p.setPen(tracked || s.used ? kInk : kInViewGrey);
  p.drawText(at + QPointF(kMarker + 2, 4),
             QStringLiteral("%1%2").arg(QLatin1Char(GnssLetter(s.system))).arg(s.prn));
}

struct Count {
  int used = 0, tracked = 0, in_view = 0;
};

void Legend(QPainter& p, const QRectF& area, const std::vector<SkySatellite>& sky) {
  std::map<int, Count> counts;  // by constellation rank
  std::map<int, int> system_of_rank;
  int unplaced = 0;
  for (const SkySatellite& s : sky) {
    const int rank = ConstellationRank(s.system);
    system_of_rank[rank] = s.system;
    Count& c = counts[rank];
    ++c.in_view;
    c.tracked += s.BestSnr() > 0 ? 1 : 0;
    c.used += s.used ? 1 : 0;
    unplaced += s.elevation < 0 || s.azimuth < 0 ? 1 : 0;
  }
  p.setFont(PixelFont(11));
  double y = area.top() + 12;
  for (const auto& [rank, c] : counts) {
    const int system = system_of_rank[rank];
    p.setPen(Qt::NoPen);
    p.setBrush(ConstellationColor(system));
    p.drawEllipse(QPointF(area.left() + 6, y - 4), 5, 5);
    p.setPen(kInk);
    p.drawText(QPointF(area.left() + 16, y), QStringLiteral("%1 %2/%3/%4")
                                                 .arg(QString::fromStdString(SystemName(system)))
                                                 .arg(c.used)
                                                 .arg(c.tracked)
                                                 .arg(c.in_view));
    y += 16;
  }
  p.setPen(QColor(0x55, 0x55, 0x55));
  p.drawText(QPointF(area.left(), y + 4), QStringLiteral("used/tracked/in view"));
  y += 22;
  const struct {
    const char* name;
    QPen pen;
    QBrush brush;
  } kStates[] = {{"used", QPen(kInk, 1), QBrush(kInk)},
                 {"tracked", QPen(kInk, 2.5), QBrush(Qt::white)},
                 {"in view", QPen(kInViewGrey, 1), QBrush(Qt::white)}};
  for (const auto& state : kStates) {
    p.setPen(state.pen);
    p.setBrush(state.brush);
    p.drawEllipse(QPointF(area.left() + 6, y - 4), 5, 5);
    p.setPen(kInk);
    p.drawText(QPointF(area.left() + 16, y), QString::fromLatin1(state.name));
    y += 16;
  }
  if (unplaced > 0) {
    p.setPen(QColor(0x55, 0x55, 0x55));
    p.drawText(QPointF(area.left(), y + 4), QStringLiteral("%1 without a position").arg(unplaced));
  }
}

}  // namespace

QColor ConstellationColor(int system) {
  switch (system) {
    case kGnssGps:
      return QColor(0x1f, 0x77, 0xb4);
    case kGnssSbas:
      return QColor(0x6a, 0xa8, 0x52);
    case kGnssGlonass:
      return QColor(0xd6, 0x27, 0x28);
    case kGnssGalileo:
      return QColor(0x17, 0xa0, 0xb0);
    case kGnssBeidou:
      return QColor(0xff, 0x7f, 0x0e);
    case kGnssQzss:
      return QColor(0x94, 0x67, 0xbd);
    case kGnssNavic:
      return QColor(0x8c, 0x56, 0x4b);
    default:
      return QColor(0x7f, 0x7f, 0x7f);
  }
}

QRectF SkyDisc(QSizeF size) {
  const double side =
      std::max(10.0, std::min(size.width() - kLegendWidth, size.height() - kTitleHeight) - 40);
  return QRectF(20, kTitleHeight + 20, side, side);
}

QPointF SkyPoint(const QRectF& disc, int elevation, int azimuth) {
  const double r = disc.width() / 2 * (90.0 - std::clamp(elevation, 0, 90)) / 90.0;
  const double a = qDegreesToRadians(static_cast<double>(azimuth));
  return disc.center() + QPointF(r * std::sin(a), -r * std::cos(a));
}

Picture SkyPicture(std::vector<SkySatellite> sky, const QString& title, QSizeF size) {
  Picture picture;
  picture.size = size;
  picture.paint = [sky = std::move(sky), title, size](QPainter& p) {
    p.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(PixelFont(13, true));
    p.setPen(kInk);
    p.drawText(QPointF(8, 18), title);
    const QRectF disc = SkyDisc(size);
    Grid(p, disc);
    // The used ones last, on top of the others.
    for (bool used : {false, true})
      for (const SkySatellite& s : sky)
        if (s.used == used && s.elevation >= 0 && s.azimuth >= 0)
          Satellite(p, disc, s);
    Legend(p, QRectF(disc.right() + 30, disc.top(), kLegendWidth - 20, disc.height()), sky);
  };
  return picture;
}

}  // namespace report
