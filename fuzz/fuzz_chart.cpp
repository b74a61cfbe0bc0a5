// The satellite chart's painting, fed as the window feeds it: the input is
// cut into lines at "\n" and run through the NMEA line handler, and every
// bar list it hands over is painted off screen. The first two bytes pick the
// chart's size, from smaller than its margins to a usual window. Every S/N
// label must sit where a bar of S/N 0 to 99 puts it; bars per signal each
// in a place of their own inside the plot when it has room.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/chart_painter.h"
#include "fuzz/feed_lines.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"

namespace {

// Fonts need a GUI application: one for the whole process, off screen, and
// never destroyed (Qt's own globals are gone by the time exit handlers run).
void EnsureApplication() {
  static QGuiApplication* app = nullptr;
  if (app)
    return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "fuzz_chart";
  static char* argv[] = {name, nullptr};
  app = new QGuiApplication(argc, argv);
}

// Per-signal bars: each in its own place inside the plot, left to right,
// whenever the plot has room for them.
void CheckSignalPlaces(const chart::Box& plot, const std::vector<SatelliteBar>& bars) {
  const std::vector<chart::BarSlot> places = chart::SignalBarSlots(plot, bars);
  if (places.size() != bars.size())
    std::abort();
  if (plot.Width() < 3 * static_cast<int>(bars.size()) + 3)
    return;
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (places[i].width < 1 || places[i].left < plot.left ||
        places[i].left + places[i].width > plot.right)
      std::abort();
    if (i > 0 && places[i].left < places[i - 1].left + places[i - 1].width)
      std::abort();
  }
}

void PaintAndCheck(const std::vector<SatelliteBar>& bars, int width, int height) {
  static const chart::Fonts fonts;
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  const chart::Box client{0, 0, width, height};
  std::vector<chart::DrawnText> texts;
  chart::Paint(painter, client, fonts, bars, &texts);
  const chart::Box plot = chart::PlotBox(client);
  const int highest = chart::BarTop(plot, 99);
  const int lowest = chart::BarTop(plot, 0);
  const auto value_label_fits = [&](const chart::Box& value) {
    return value.top >= std::min(highest, lowest) - 15 &&
           value.top <= std::max(highest, lowest) - 15 && value.Height() == 13;
  };
  if (chart::HasSignals(bars)) {
    CheckSignalPlaces(plot, bars);
    // Value labels (16 x 13) only where a bar of S/N 0 to 99 puts them.
    for (const chart::DrawnText& t : texts)
      if (t.box.Width() == 16 && t.box.Height() == 13 && !value_label_fits(t.box))
        std::abort();
    return;
  }
  // Legend, titles and scale come first, then per bar its S/N and its PRN.
  const std::size_t first_bar = texts.size() - 2 * bars.size();
  for (std::size_t i = 0; i < bars.size(); ++i) {
    if (!value_label_fits(texts[first_bar + 2 * i].box))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2)
    return 0;
  EnsureApplication();
  const int width = 1 + data[0] * 4;   // 1 .. 1021
  const int height = 1 + data[1] * 2;  // 1 .. 511
  LiveView view;
  NmeaLineHandler handler(view,
                          [&](const SkyEpoch& sky) { PaintAndCheck(sky.bars, width, height); });
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  FeedLines(text, handler);
  return 0;
}
