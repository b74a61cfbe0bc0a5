#include "controls/chart_painter.h"

#include <QPolygon>
#include <algorithm>

#include "controls/chart_drawing.h"
#include "controls/colorref.h"
#include "controls/log_font.h"

namespace chart {
namespace draw {

void Rectangle(QPainter& p, int l, int t, int r, int b, const QColor& pen, const QColor& brush) {
  if (r - l < 1 || b - t < 1)
    return;
  p.fillRect(QRect(l, t, r - l, b - t), brush);
  p.setPen(QPen(pen, 0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

void FillSolid(QPainter& p, const Box& box, const QColor& colour) {
  if (box.Width() > 0 && box.Height() > 0)
    p.fillRect(QRect(box.left, box.top, box.Width(), box.Height()), colour);
}

void Text(QPainter& p, const Box& box, int flags, const QString& text,
          std::vector<DrawnText>* texts) {
  p.drawText(QRect(box.left, box.top, box.Width(), box.Height()), flags | Qt::TextDontClip, text);
  if (texts)
    texts->push_back({text, box});
}

// TextOut: the text's top left corner at (x, y).
void TextAt(QPainter& p, int x, int y, const QString& text, std::vector<DrawnText>* texts) {
  const QFontMetrics metrics(p.font());
  p.drawText(QPoint(x, y + metrics.ascent()), text);
  if (texts)
    texts->push_back({text, {x, y, x + metrics.horizontalAdvance(text), y + metrics.height()}});
}

void Legend(QPainter& p, const Box& c, const Fonts& fonts, std::vector<DrawnText>* texts) {
  struct Entry {
    const char* caption;
    int offset;
    QColor brush;
  };
  static const Entry kEntries[] = {
      {"Used", 95, kUsed}, {"Tracked", 170, kTracked}, {"SBAS", 270, kSbas}};
  p.setFont(fonts.legend);
  for (const Entry& e : kEntries) {
    const int x = c.left + 10 + e.offset;
    Rectangle(p, x, c.top + 1, x + 15, c.top + 16, kFrame, e.brush);
    p.setPen(kAxis);
    TextAt(p, x + 17, c.top + 1, QString::fromLatin1(e.caption), texts);
  }
}

void Frame(QPainter& p, const Box& c, const Box& P, const Fonts& fonts,
           std::vector<DrawnText>* texts) {
  Legend(p, c, fonts, texts);
  Titles(p, c, P, fonts, texts);
  Rectangle(p, P.left, P.top, P.right, P.bottom, kPlot, kPlot);
  Axes(p, P);
}

void Titles(QPainter& p, const Box& c, const Box& plot, const Fonts& fonts,
            std::vector<DrawnText>* texts) {
  const int half = c.Width() / 2;
  p.setFont(fonts.axis_title);
  p.setPen(kAxis);
  Text(p, {c.left + half - 70, c.bottom - 25, c.left + half + 70, c.bottom - 5},
       Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Satellite PRN number"), texts);

  // The vertical title starts at its anchor and runs upwards; the tops of
  // its letters face left.
  const int x = c.left + 5;
  const int y = plot.top + plot.Height() / 2 + 30;
  const QString title = QStringLiteral("S/N [dBHZ]");
  p.save();
  p.setFont(fonts.vertical);
  p.translate(x, y);
  p.rotate(-90);
  const QFontMetrics metrics(fonts.vertical);
  p.drawText(QPoint(0, metrics.ascent()), title);
  p.restore();
  if (texts)
    texts->push_back({title, {x, y - metrics.horizontalAdvance(title), x + metrics.height(), y}});
}

void Axes(QPainter& p, const Box& P) {
  p.setPen(QPen(kAxis, 0));
  p.drawPolyline(QPolygon(
      {QPoint(P.left - 3, P.top - 2), QPoint(P.left, P.top - 9), QPoint(P.left + 3, P.top - 2)}));
  p.drawPolyline(QPolygon({QPoint(P.right + 2, P.bottom - 3), QPoint(P.right + 9, P.bottom),
                           QPoint(P.right + 2, P.bottom + 3)}));
  p.drawLine(P.left, P.top - 9, P.left, P.bottom);
  p.drawLine(P.left, P.bottom, P.right + 9, P.bottom);
  p.setPen(QPen(kFrame, 0));
  p.drawLine(P.left, P.top, P.right, P.top);
  p.drawLine(P.right, P.top, P.right, P.bottom);
}

void Scale(QPainter& p, const Box& P, const Fonts& fonts, std::vector<DrawnText>* texts) {
  p.setFont(fonts.value);
  for (int k = 0; k <= 5; ++k) {
    const int y = static_cast<int>(P.bottom - k * (P.Height() / 5.0));
    p.setPen(QPen(kAxis, 0));
    p.drawLine(P.left - 2, y, P.left + 2, y);
    const int number = static_cast<int>(kScaleMax / 5.0 * k);
    Text(p, {P.left - 16, y - 8, P.left - 2, y + 8}, Qt::AlignHCenter | Qt::AlignVCenter,
         QString::number(number), texts);
  }
}

}  // namespace draw

namespace {

using namespace draw;

void Bar(QPainter& p, const Box& P, const Fonts& fonts, const SatelliteBar& b, int x,
         std::vector<DrawnText>* texts) {
  QColor brush = b.used == 1 ? kUsed : kTracked;
  if (b.system == kSbasSystem)
    brush = kSbas;
  const int top = BarTop(P, b.snr);
  Rectangle(p, x - kBarHalfWidth, top, x + kBarHalfWidth, P.bottom, kAxis, brush);

  p.setPen(kAxis);
  p.setFont(fonts.value);
  const Box value{x - 8, top - 15, x + 8, top - 2};
  FillSolid(p, value, kValueBack);
  Text(p, value, Qt::AlignHCenter | Qt::AlignTop, QString::number(b.snr), texts);

  p.setFont(fonts.prn_label);
  const QString prn =
      QStringLiteral("%1%2").arg(QLatin1Char(ConstellationLetter(b.system))).arg(b.prn);
  Text(p, {x - 15, P.bottom + 2, x + 15, P.bottom + 15}, Qt::AlignHCenter | Qt::AlignTop, prn,
       texts);
}

}  // namespace

Fonts::Fonts()
    : axis_title(FontWithCellHeight(kFace, 16)),
      prn_label(FontWithCellHeight(kFace, 12)),
      value(FontWithCellHeight(kFace, 14)),
      legend(FontWithCellHeight(kFace, 14)) {
  LogFont vertical_font;
  vertical_font.face_name = kFace;
  vertical_font.height = 16;
  vertical_font.width = 6;
  vertical = ToQFont(vertical_font);
}

Box PlotBox(const Box& c) {
  return {c.left + 40, c.top + 25, c.right - 30, c.bottom - 40};
}

int BarX(const Box& plot, std::size_t count, std::size_t index) {
  const double spacing = plot.Width() / static_cast<double>(count + 1);
  return static_cast<int>(plot.left + static_cast<double>(index + 1) * spacing);
}

int BarTop(const Box& plot, int snr) {
  const int shown = std::clamp(snr, 0, kSnrShownMax);
  const long long product = static_cast<long long>(plot.Height()) * shown;
  return static_cast<int>(plot.bottom - product / static_cast<double>(kScaleMax));
}

bool HasSignals(const std::vector<SatelliteBar>& bars) {
  return std::any_of(bars.begin(), bars.end(),
                     [](const SatelliteBar& b) { return b.signal != kNoSignal; });
}

char ConstellationLetter(int system) {
  return GnssLetter(system);
}

void Paint(QPainter& p, const Box& c, const Fonts& fonts, const std::vector<SatelliteBar>& bars,
           std::vector<DrawnText>* texts) {
  p.setRenderHint(QPainter::Antialiasing, false);
  FillSolid(p, c, kBackground);
  const Box P = PlotBox(c);
  if (HasSignals(bars)) {
    PaintSignalBars(p, c, fonts, bars, texts);
    return;
  }

  Frame(p, c, P, fonts, texts);

  p.setPen(QPen(kFrame, 0, Qt::DotLine));
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const int x = BarX(P, bars.size(), i);
    p.drawLine(x, P.top, x, P.bottom);
  }

  Scale(p, P, fonts, texts);
  for (std::size_t i = 0; i < bars.size(); ++i)
    Bar(p, P, fonts, bars[i], BarX(P, bars.size(), i), texts);
}

}  // namespace chart
