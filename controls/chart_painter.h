// Drawing of the satellite signal chart: legend, axis titles, the fixed
// 0..65 dB-Hz scale, grid lines and one labelled bar per satellite; or, when
// the bars name their signals, a group of bars per satellite, one per signal,
// the signals' frequency bands told apart by hatching (signal_bars_painter.cpp).
#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <cstddef>
#include <vector>

#include "nmea/satellite_bars.h"

namespace chart {

// A rectangle with exclusive right and bottom edges, as the window system's.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// A text the painter drew, and the rectangle (or point) it was drawn at.
struct DrawnText {
  QString text;
  Box box;
};

// The chart's fonts, by the names it asks for; the font system substitutes
// what the machine lacks.
struct Fonts {
  Fonts();
  QFont axis_title;  // height 16
  QFont vertical;    // height 16, narrow: drawn turned to run bottom to top
  QFont prn_label;   // height 12
  QFont value;       // height 14: S/N values and scale numbers
  QFont legend;      // height 14
};

inline constexpr int kScaleMax = 65;
// NMEA's S/N field has two digits; a bar is drawn for 0 to 99 dB-Hz whatever
// a malformed sentence sent (its value label still shows what was sent).
inline constexpr int kSnrShownMax = 99;
inline constexpr int kBarHalfWidth = 10;

// The plot area inside the client rectangle.
Box PlotBox(const Box& client);
// Centre of bar `index` of `count` bars.
int BarX(const Box& plot, std::size_t count, std::size_t index);
// Top edge of a bar of the given S/N, bounded to 0..kSnrShownMax first.
int BarTop(const Box& plot, int snr);
// Letter of a constellation code; a blank for codes it does not know.
char ConstellationLetter(int system);
// Whether some bar names its signal: then the chart groups them.
bool HasSignals(const std::vector<SatelliteBar>& bars);

// Paints the whole chart over `client`. When `texts` is given, every text
// drawn is appended to it.
void Paint(QPainter& painter, const Box& client, const Fonts& fonts,
           const std::vector<SatelliteBar>& bars, std::vector<DrawnText>* texts = nullptr);

// Where each bar of a chart per signal stands: [left, left + width).
struct BarSlot {
  int left = 0;
  int width = 0;
  int Centre() const { return left + width / 2; }
};
// The bars of a satellite side by side, half a bar apart from the next
// satellite's and a bar and a half from the next constellation's, as wide as
// the classic bars when there is room; bars of the same satellite follow
// each other in the list.
std::vector<BarSlot> SignalBarSlots(const Box& plot, const std::vector<SatelliteBar>& bars);
// The chart per signal (Paint's when HasSignals).
void PaintSignalBars(QPainter& painter, const Box& client, const Fonts& fonts,
                     const std::vector<SatelliteBar>& bars, std::vector<DrawnText>* texts);

}  // namespace chart
