// The sky and the signals in the report: the signal file's signal column
// (and older files without it), the sky file, the sky plot and the S/N
// history checked on their rendered pixels at places worked out here, and
// the report's section with the run it shows.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>

#include "nmea/signal_ids.h"
#include "report/html_report.h"
#include "report/pictures.h"
#include "report/plot_frame.h"
#include "report/sky_section.h"
#include "report/svg_picture.h"
#include "tests/report/gui_app.h"

namespace {

// How far a pixel's colour is from another's (sum of channel differences).
int Distance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

TEST(SkyFiles, SignalRowsByNameAndOlderFilesAsEverySignal) {
  std::vector<std::string> problems;
  const auto rows = report::ParseSignalCsv(
      "run,ms,tracked,used,snr1,snr2,snr3,snr4,signal\n"
      "2,1000,3,1,44,40,30,,all\n"
      "2,1000,2,1,44,40,,,GPS L1 C/A\n"
      "2,1000,1,0,46,,,,GPS L5 Q\n",
      problems);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].signal, "all");
  EXPECT_EQ(rows[2].signal, "GPS L5 Q");
  EXPECT_DOUBLE_EQ(*rows[2].snr[0], 46);
  EXPECT_TRUE(problems.empty());
  const auto old = report::ParseSignalCsv("run,ms,tracked,used,snr1\n1,100,1,0,40\n", problems);
  ASSERT_EQ(old.size(), 1u);
  EXPECT_EQ(old[0].signal, "all");
}

TEST(SkyFiles, TheSkyFileBackIntoSatellitesAndItsBadLinesTold) {
  std::vector<std::string> problems;
  const auto sky = report::ParseSkyCsv(
      "run,system,prn,elevation,azimuth,used,signal,snr\n"
      "1,GPS,5,62,48,1,L1 C/A,44\n"
      "1,GPS,5,62,48,1,L5 Q,47\n"
      "1,BeiDou,21,33,60,0,,35\n"
      "1,system 9,7,,,0,signal 3,20\n"
      "2,Galileo,8,48,210,0,E1,41\n"
      "2,Nowhere,8,48,210,0,E1,41\n"
      "2,GPS,9,10,20,0,L9 X,30\n"
      "x,GPS,9,10,20,0,L1 C/A,30\n",
      problems);
  ASSERT_EQ(sky.size(), 2u);
  const std::vector<SkySatellite>& one = sky.at(1);
  ASSERT_EQ(one.size(), 3u);
  EXPECT_EQ(one[0].system, kGnssGps);
  EXPECT_EQ(one[0].elevation, 62);
  EXPECT_TRUE(one[0].used);
  ASSERT_EQ(one[0].level_count, 2);
  EXPECT_EQ(one[0].levels[1], (SignalLevel{8, 47}));
  EXPECT_EQ(one[1].levels[0], (SignalLevel{kNoSignal, 35}));
  EXPECT_EQ(one[2].system, kGnssUnknownSystem + 9);
  EXPECT_EQ(one[2].azimuth, -1);
  EXPECT_EQ(sky.at(2).size(), 1u);
  // The run "x" is also told as a value that is no number.
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("3 line(s) that name no satellite"), std::string::npos) << problems[0];
}

SkySatellite Sat(int system, int prn, int elevation, int azimuth, bool used, int snr) {
  SkySatellite s;
  s.system = system;
  s.prn = prn;
  s.elevation = elevation;
  s.azimuth = azimuth;
  s.used = used;
  s.SetSignal(1, snr);
  return s;
}

TEST(SkyPicture, EachSatelliteWhereItsAzimuthAndElevationPutIt) {
  testsupport::EnsureGuiApplication();
  const QSizeF size(600, 360);
  const QRectF disc = report::SkyDisc(size);
  ASSERT_NEAR(disc.width(), disc.height(), 0.01);
  // North up, east right: the horizon at the disc's edge, the zenith at its centre.
  const double r = disc.width() / 2;
  const struct {
    int el, az;
    QPointF at;
  } kPlaces[] = {{90, 0, disc.center()},
                 {0, 0, disc.center() + QPointF(0, -r)},
                 {0, 90, disc.center() + QPointF(r, 0)},
                 {45, 180, disc.center() + QPointF(0, r / 2)},
                 {30, 270, disc.center() + QPointF(-r * 2 / 3, 0)}};
  for (const auto& p : kPlaces) {
    const QPointF got = report::SkyPoint(disc, p.el, p.az);
    EXPECT_NEAR(got.x(), p.at.x(), 0.01) << p.el << " " << p.az;
    EXPECT_NEAR(got.y(), p.at.y(), 0.01) << p.el << " " << p.az;
  }
  // A used GPS satellite at the zenith: filled in GPS's colour; a tracked
  // Galileo one due east at 30 degrees: white inside, its ring in Galileo's
  // colour; one only in view due south at 45: white inside, a grey ring; one
  // without a position is not drawn (the legend counts it).
  const std::vector<SkySatellite> sky = {
      Sat(kGnssGps, 5, 90, 0, true, 44), Sat(kGnssGalileo, 8, 30, 90, false, 38),
      Sat(kGnssBeidou, 21, 45, 180, false, 0), Sat(kGnssGlonass, 70, -1, -1, true, 40)};
  const QImage image = report::ToImage(report::SkyPicture(sky, QStringLiteral("sky"), size));
  const auto pixel = [&image](QPointF p) { return image.pixelColor(p.toPoint()); };
  // Pixels near a colour in the square of the marker's size about a place.
  const auto near = [&image](QPointF at, QColor colour) {
    int count = 0;
    for (int dy = -9; dy <= 9; ++dy)
      for (int dx = -9; dx <= 9; ++dx)
        count += Distance(image.pixelColor(at.toPoint() + QPoint(dx, dy)), colour) < 60;
    return count;
  };
  EXPECT_LT(Distance(pixel(disc.center()), report::ConstellationColor(kGnssGps)), 12);
  const QPointF east = disc.center() + QPointF(r * 2 / 3, 0);
  EXPECT_EQ(pixel(east), QColor(Qt::white));
  EXPECT_GT(near(east, report::ConstellationColor(kGnssGalileo)), 20);  // its ring
  const QPointF south = disc.center() + QPointF(0, r / 2);
  EXPECT_EQ(pixel(south), QColor(Qt::white));
  EXPECT_GT(near(south, QColor(0x9a, 0x9a, 0x9a)), 5);  // a thin grey ring
  EXPECT_EQ(near(south, report::ConstellationColor(kGnssBeidou)), 0);
  // Nothing in GLONASS's colour on the disc: only its legend's dot.
  int glonass = 0;
  for (int y = static_cast<int>(disc.top()); y < disc.bottom(); ++y)
    for (int x = static_cast<int>(disc.left()); x < disc.right(); ++x)
      glonass += Distance(image.pixelColor(x, y), report::ConstellationColor(kGnssGlonass)) < 12;
  EXPECT_EQ(glonass, 0);
}

report::SignalRow Row(double ms, int snr, const std::string& signal) {
  report::SignalRow r;
  r.run = 1;
  r.ms = ms;
  r.tracked = 4;
  r.snr = {snr + 4, snr + 1, snr - 1, snr - 4};  // their mean is snr
  r.signal = signal;
  return r;
}

// The row of the picture whose pixel in column x is nearest `colour`.
int NearestRow(const QImage& image, int x, QColor colour) {
  int best = -1, best_distance = 1000;
  for (int y = 0; y < image.height(); ++y)
    if (const int d = Distance(image.pixelColor(x, y), colour); d < best_distance) {
      best_distance = d;
      best = y;
    }
  return best_distance < 90 ? best : -1;
}

TEST(SignalHistoryPicture, ASignalsLineAtItsMeanAndThePhasesMarked) {
  testsupport::EnsureGuiApplication();
  // GPS L1 C/A steady at 40 dB-Hz, Galileo E5a at 20, over 0 to 60 s; the
  // fix at 30 s. The picture 800 x 300 with its one-line legend (19 px): the
  // plot area is (58, 30) to (784, 241), x 0..60 s, y 0..50 dB-Hz.
  std::vector<report::SignalRow> rows;
  for (int s = 0; s <= 60; s += 2) {
    rows.push_back(Row(s * 1000, 40, "GPS L1 C/A"));
    rows.push_back(Row(s * 1000, 20, "Galileo E5a"));
    rows.push_back(Row(s * 1000, 30, "all"));
  }
  report::PhaseMoments moments;
  moments.fix_ms = 30000;
  const QImage image = report::ToImage(
      report::SignalHistoryPicture(rows, moments, QStringLiteral("history"), QSizeF(800, 300)));
  const double left = 58, top = 30, right = 784, bottom = 241;
  const auto y_of = [&](double snr) { return bottom - snr / 50 * (bottom - top); };
  const int x = static_cast<int>(left + 45.0 / 60 * (right - left));
  EXPECT_NEAR(NearestRow(image, x, report::ConstellationColor(kGnssGps)), y_of(40), 2);
  EXPECT_NEAR(NearestRow(image, x, report::ConstellationColor(kGnssGalileo)), y_of(20), 2);
  // The fix: a dark dashed line at 30 s from the top of the plot to its bottom.
  const int fix_x = static_cast<int>(std::lround(left + 30.0 / 60 * (right - left)));
  int dark = 0;
  for (int y = static_cast<int>(top); y < bottom; ++y)
    for (int dx = -1; dx <= 1; ++dx)
      dark += qGray(image.pixel(fix_x + dx, y)) < 160;
  EXPECT_GT(dark, 60);  // dashes over about half of the plot's 211 rows
  // With signal rows the "all" row (at 30) is no line of its own; alone,
  // as an older file has it, it is the one line, in the first series colour.
  EXPECT_GT(Distance(image.pixelColor(x, static_cast<int>(y_of(30))), report::SeriesColor(0)), 90);
  std::vector<report::SignalRow> older;
  for (const report::SignalRow& r : rows)
    if (r.signal == "all")
      older.push_back(r);
  const QImage all = report::ToImage(
      report::SignalHistoryPicture(older, {}, QStringLiteral("history"), QSizeF(800, 300)));
  EXPECT_NEAR(NearestRow(all, x, report::SeriesColor(0)), y_of(30), 2);
}

report::TestData ThreeRuns() {
  report::TestData t;
  t.files.label = "2026-12-09/10-00-00";
  for (unsigned run = 1; run <= 3; ++run) {
    RunRecord r;
    r.run = run;
    r.success = true;
    r.ttff_s = run == 1 ? 30 : run == 2 ? 10 : 20;  // the median is run 3
    r.timeline.fix_ms = static_cast<std::int64_t>(r.ttff_s * 1000);
    t.runs.push_back(r);
    for (int s = 0; s <= 40; s += 5)
      t.signal.push_back([&] {
        report::SignalRow row = Row(s * 1000, 30 + s / 5, "GPS L5 Q");
        row.run = run;
        return row;
      }());
    t.sky[run] = {Sat(kGnssGps, static_cast<int>(run), 40, 100, true, 40)};
  }
  return t;
}

TEST(SkySection, TheSkiesOfTheRunsAndTheHistoryOfTheMedianOrTheChosenRun) {
  testsupport::EnsureGuiApplication();
  const report::TestData t = ThreeRuns();
  EXPECT_EQ(report::ChosenRun(t, 0), 3u);
  EXPECT_EQ(report::ChosenRun(t, 2), 2u);
  EXPECT_EQ(report::ChosenRun(t, 9), 3u);  // no such run: the median's
  const std::string all = report::HtmlReport({t});
  for (const char* id : {"id=\"sky0_1\"", "id=\"sky0_2\"", "id=\"sky0_3\"", "id=\"history0\""})
    EXPECT_NE(all.find(id), std::string::npos) << id;
  EXPECT_NE(all.find("S/N per signal over run 3"), std::string::npos);
  EXPECT_NE(all.find("GPS L5 Q"), std::string::npos);
  report::ReportOptions options;
  options.run = 2;
  const std::string one = report::HtmlReport({t}, options);
  EXPECT_NE(one.find("Sky at the fix of run 2"), std::string::npos);
  EXPECT_EQ(one.find("id=\"sky0_1\""), std::string::npos);
  EXPECT_NE(one.find("S/N per signal over run 2"), std::string::npos);
  // A test written before skies and signal columns: no section at all.
  report::TestData older = t;
  older.sky.clear();
  older.signal.clear();
  EXPECT_EQ(report::HtmlReport({older}).find("Sky and signals"), std::string::npos);
}

}  // namespace
