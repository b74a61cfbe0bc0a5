// The satellite chart, checked on its rendered image. The chart is rendered
// at 600 x 300, so the plot rectangle is (40, 25, 570, 260): 530 pixels wide
// and 235 high.
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <climits>
#include <set>

#include "controls/chart.h"

namespace {

constexpr int kW = 600, kH = 300;
constexpr int kPlotLeft = 40, kPlotTop = 25, kPlotRight = 570, kPlotBottom = 260;

const QColor kUsed(90, 151, 206), kTracked(255, 255, 255), kSbas(106, 168, 82);
const QColor kGrey(205, 205, 205), kFrameGrey(125, 125, 125), kBlack(0, 0, 0), kYellow(255, 255, 0);

QColor At(const QImage& image, int x, int y) {
  return image.pixelColor(x, y);
}

const chart::DrawnText* Find(const std::vector<chart::DrawnText>& texts, const QString& text) {
  auto it = std::find_if(texts.begin(), texts.end(), [&](const auto& t) { return t.text == text; });
  return it == texts.end() ? nullptr : &*it;
}

// Pixels clearly darker than the grey background inside a box.
int DarkPixels(const QImage& image, const chart::Box& box) {
  int count = 0;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, image.height()); ++y)
    for (int x = std::max(box.left, 0); x < std::min(box.right, image.width()); ++x)
      if (qGray(image.pixel(x, y)) < 120)
        ++count;
  return count;
}

}  // namespace

class ChartTest : public QObject {
  Q_OBJECT

 private slots:
  void FullScaleBarReachesPlotTopAndIsCentred() {
    // One bar: spacing 530 / 2 = 265, so its centre is 40 + 265 = 305.
    const QImage image = CChartContrl_columnar::Render({{1, 1, 65, 5}}, {kW, kH});
    const int x = 305;
    QCOMPARE(At(image, x, kPlotTop), kBlack);       // the bar's outline is the plot's top
    QCOMPARE(At(image, x, kPlotTop + 1), kUsed);    // filled just below it
    QCOMPARE(At(image, x, kPlotTop - 1), kGrey);    // nothing between bar and value label
    QCOMPARE(At(image, x, kPlotTop - 3), kYellow);  // the value label sits above
    // Outline from x - 10 to x + 9, plot grey on both sides.
    QCOMPARE(At(image, x - 10, 150), kBlack);
    QCOMPARE(At(image, x + 9, 150), kBlack);
    QCOMPARE(At(image, x - 11, 150), kGrey);
    QCOMPARE(At(image, x + 10, 150), kGrey);
    QCOMPARE(At(image, x - 9, 150), kUsed);
    QCOMPARE(At(image, x + 8, 150), kUsed);
  }

  void BarColoursTellUsedTrackedAndSbas() {
    // Four bars: spacing 530 / 5 = 106, centres 146, 252, 358, 464.
    // Legend: used, tracked, SBAS used, SBAS tracked.
    const std::vector<SatelliteBar> bars = {
        {1, 1, 40, 12}, {0, 1, 40, 13}, {1, 2, 40, 40}, {0, 2, 40, 44}};
    const QImage image = CChartContrl_columnar::Render(bars, {kW, kH});
    const int xs[] = {146, 252, 358, 464};
    const QColor expected[] = {kUsed, kTracked, kSbas, kSbas};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(At(image, xs[i], 200), expected[i]);
      QCOMPARE(At(image, xs[i] - 10, 200), kBlack);
    }
    // S/N 40: top = 260 - 235 * 40 / 65 = 115.4, truncated to 115.
    QCOMPARE(At(image, 146, 115), kBlack);
    QCOMPARE(At(image, 146, 116), kUsed);
    QCOMPARE(At(image, 146, 114), kGrey);
  }

  void LabelsCarryConstellationLetterAndPrn() {
    // Galileo 11, GLONASS 65, SBAS 40 (sent by the GPS talker), an unknown
    // system 6 with PRN 7. Spacing 530 / 5 = 106.
    const std::vector<SatelliteBar> bars = {
        {1, 4, 30, 11}, {0, 0, 25, 65}, {0, 2, 35, 40}, {0, 6, 20, 7}};
    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render(bars, {kW, kH}, &texts);
    const struct {
      const char* text;
      int x;
      const char* legend;
    } kCases[] = {{"E11", 146, "Galileo letter E"},
                  {"R65", 252, "GLONASS letter R"},
                  {"S40", 358, "SBAS letter S"},
                  {" 7", 464, "unknown system: a blank"}};
    for (const auto& c : kCases) {
      const chart::DrawnText* t = Find(texts, QString::fromLatin1(c.text));
      QVERIFY2(t != nullptr, c.legend);
      QCOMPARE(t->box.left, c.x - 15);
      QCOMPARE(t->box.right, c.x + 15);
      QCOMPARE(t->box.top, kPlotBottom + 2);
      QVERIFY2(DarkPixels(image, t->box) > 10, c.legend);  // really drawn
    }
    // Value labels above each bar, in yellow boxes.
    const chart::DrawnText* value = Find(texts, QStringLiteral("30"));
    QVERIFY(value != nullptr);
    QCOMPARE(value->box.left, 146 - 8);
  }

  void EmptyChartShowsFrameAndScaleOnly() {
    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render({}, {kW, kH}, &texts);
    QStringList drawn;
    for (const auto& t : texts)
      drawn << t.text;
    const QStringList expected = {"Used",       "Tracked", "SBAS", "Satellite PRN number",
                                  "S/N [dBHZ]", "0",       "13",   "26",
                                  "39",         "52",      "65"};
    QCOMPARE(drawn, expected);
    QCOMPARE(At(image, kPlotLeft, 150), kBlack);       // vertical axis
    QCOMPARE(At(image, 300, kPlotBottom), kBlack);     // horizontal axis
    QCOMPARE(At(image, kPlotRight, 150), kFrameGrey);  // frame, right
    QCOMPARE(At(image, 300, kPlotTop), kFrameGrey);    // frame, top
    QCOMPARE(At(image, 305, 150), kGrey);              // no grid line, no bar
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        QVERIFY(At(image, x, y) != kYellow);
  }

  void ScaleTicksSitAtFifthsOfThePlot() {
    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render({}, {kW, kH}, &texts);
    // y(k) = 260 - k * 47: 260, 213, 166, 119, 72, 25.
    const int ys[] = {260, 213, 166, 119, 72, 25};
    const char* numbers[] = {"0", "13", "26", "39", "52", "65"};
    for (int k = 0; k < 6; ++k) {
      QCOMPARE(At(image, kPlotLeft - 2, ys[k]), kBlack);
      const chart::DrawnText* t = Find(texts, QString::fromLatin1(numbers[k]));
      QVERIFY(t != nullptr);
      QCOMPARE(t->box.top, ys[k] - 8);
      QCOMPARE(t->box.right, kPlotLeft - 2);
    }
  }

  void LegendBoxesAndVerticalTitle() {
    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render({}, {kW, kH}, &texts);
    // Boxes at 10 + 95, 10 + 170, 10 + 270, 15 pixels wide, captions 17 further.
    QCOMPARE(At(image, 112, 8), kUsed);
    QCOMPARE(At(image, 187, 8), kTracked);
    QCOMPARE(At(image, 287, 8), kSbas);
    QCOMPARE(At(image, 105, 8), kFrameGrey);
    QCOMPARE(Find(texts, "Used")->box.left, 122);
    QCOMPARE(Find(texts, "SBAS")->box.left, 297);
    // The vertical title runs upwards from (5, 25 + 117 + 30): its ink is
    // far taller than wide and lies left of the scale numbers.
    int min_x = kW, max_x = -1, min_y = kH, max_y = -1;
    for (int y = 30; y < kPlotBottom; ++y)
      for (int x = 0; x < kPlotLeft - 17; ++x)
        if (qGray(image.pixel(x, y)) < 120) {
          min_x = std::min(min_x, x), max_x = std::max(max_x, x);
          min_y = std::min(min_y, y), max_y = std::max(max_y, y);
        }
    QVERIFY(max_x >= 0);
    QVERIFY((max_y - min_y) > 3 * (max_x - min_x));
    QVERIFY(max_y <= 172);
    QVERIFY(min_x >= 5);
  }

  void StrongSignalRisesAboveThePlot() {
    // S/N 80: top = 260 - 235 * 80 / 65 = -29.2, truncated to -29: not clipped.
    const QImage image = CChartContrl_columnar::Render({{1, 1, 80, 5}}, {kW, kH});
    QCOMPARE(At(image, 305, 0), kUsed);
    QCOMPARE(At(image, 305, kPlotTop), kUsed);
  }

  void OutOfRangeSignalIsBoundedBeforeTheArithmetic() {
    // NMEA's S/N field has two digits: 99 is the highest a receiver sends,
    // top = 260 - 235 * 99 / 65 = -97.9, truncated to -97. A malformed GSV
    // can hand the chart anything up to INT_MAX: such a bar is drawn as 99,
    // one below 0 as 0, and only the value label shows what was sent.
    const chart::Box plot{kPlotLeft, kPlotTop, kPlotRight, kPlotBottom};
    const struct {
      int snr;
      int top;
    } kCases[] = {{1, 256},         {40, 115},         {65, kPlotTop},        {80, -29},
                  {99, -97},        {100, -97},        {1000000, -97},        {INT_MAX, -97},
                  {0, kPlotBottom}, {-1, kPlotBottom}, {INT_MIN, kPlotBottom}};
    QString wrong;
    for (const auto& c : kCases) {
      const int top = chart::BarTop(plot, c.snr);
      if (top != c.top)
        wrong += QStringLiteral(" S/N %1: top %2, not %3;").arg(c.snr).arg(top).arg(c.top);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render(
        {{1, 1, INT_MAX, 5}, {0, 1, 99, 6}, {0, 1, INT_MIN, 7}}, {kW, kH}, &texts);
    // Three bars: spacing 530 / 4 = 132.5, centres 172, 305, 437.
    const chart::DrawnText* huge = Find(texts, QStringLiteral("2147483647"));
    const chart::DrawnText* top = Find(texts, QStringLiteral("99"));
    const chart::DrawnText* negative = Find(texts, QStringLiteral("-2147483648"));
    QVERIFY(huge && top && negative);
    QCOMPARE(huge->box.top, -97 - 15);
    QCOMPARE(huge->box.top, top->box.top);
    QCOMPARE(negative->box.top, kPlotBottom - 15);
    QCOMPARE(At(image, 172, 0), kUsed);  // rises above the plot as 99 does
    QCOMPARE(At(image, 172, kPlotBottom - 2), kUsed);
    QCOMPARE(At(image, 305, 0), kTracked);
    QCOMPARE(At(image, 437 - 5, kPlotBottom - 2), kGrey);  // no bar below 0
  }

  void WidgetKeepsBarsAndRepaintsOnABudget() {
    CChartContrl_columnar widget;
    widget.resize(kW, kH);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTRY_VERIFY(widget.PaintCount() >= 1);
    const int before = widget.PaintCount();
    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 0; i < 200; ++i)
      widget.SetBars({{1, 1, i % 60 + 1, i}});
    QCOMPARE(widget.Bars().size(), std::size_t{1});
    QCOMPARE(widget.Bars()[0].prn, 199);
    // The last list is drawn, once the pending repaint has happened.
    QTRY_VERIFY(widget.PaintCount() > before);
    QTest::qWait(2 * CChartContrl_columnar::kMinRepaintIntervalMs);
    const int paints = widget.PaintCount() - before;
    // 25 repaints a second at most, plus the one that opens a window.
    const int allowed =
        1 + static_cast<int>(elapsed.elapsed() / CChartContrl_columnar::kMinRepaintIntervalMs) + 1;
    QVERIFY2(paints <= allowed,
             qPrintable(QStringLiteral("%1 paints, %2 allowed").arg(paints).arg(allowed)));
    const QImage shown = widget.grab().toImage();
    // Bar 199 has S/N 199 % 60 + 1 = 20: its top is at 187, centre 305.
    QCOMPARE(shown.pixelColor(305, 250), kUsed);
  }

  void BarsPerSignalStandSideBySideInGroups() {
    // GPS 5 on L1 C/A and L5 Q, GPS 13 on L1 C/A, Galileo 8 on E1: 4 bars,
    // a half-bar gap between satellites and one and a half between
    // constellations, a bar's margin at each end: 8 units over 530 pixels,
    // each unit bounded to the classic bar's 20. So the bars start 20 after
    // the plot's left edge (40), 19 wide with a pixel between neighbours.
    const std::vector<SatelliteBar> bars = {
        {1, 1, 44, 5, 1}, {1, 1, 47, 5, 8}, {0, 1, 30, 13, 1}, {0, 4, 41, 8, 7}};
    const chart::Box plot{kPlotLeft, kPlotTop, kPlotRight, kPlotBottom};
    const std::vector<chart::BarSlot> places = chart::SignalBarSlots(plot, bars);
    const int lefts[] = {60, 80, 110, 160};
    QCOMPARE(places.size(), std::size_t{4});
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(places[i].left, lefts[i]);
      QCOMPARE(places[i].width, 19);
    }
    std::vector<chart::DrawnText> texts;
    const QImage image = CChartContrl_columnar::Render(bars, {kW, kH}, &texts);
    // Fill by use as the classic bars; the L1 band plain, the L5 band hatched.
    const auto colours = [&image](int left) {
      std::set<QRgb> seen;
      for (int y = 200; y < 250; ++y)
        for (int x = left + 2; x < left + 17; ++x)
          seen.insert(image.pixel(x, y));
      return seen;
    };
    QCOMPARE(colours(60), (std::set<QRgb>{kUsed.rgb()}));
    QVERIFY(colours(80).count(kUsed.rgb()) && colours(80).count(kBlack.rgb()));
    QCOMPARE(colours(110), (std::set<QRgb>{kTracked.rgb()}));
    QCOMPARE(colours(160), (std::set<QRgb>{kTracked.rgb()}));
    QCOMPARE(At(image, 60, 200), kBlack);  // each bar outlined
    // Each satellite's label under the middle of its bars; the values above.
    const struct {
      const char* text;
      int centre;
    } kLabels[] = {{"G5", (60 + 99) / 2}, {"G13", (110 + 129) / 2}, {"E8", (160 + 179) / 2}};
    for (const auto& l : kLabels) {
      const chart::DrawnText* t = Find(texts, QString::fromLatin1(l.text));
      QVERIFY2(t != nullptr, l.text);
      QCOMPARE(t->box.left, l.centre - 15);
      QCOMPARE(t->box.top, kPlotBottom + 2);
    }
    const chart::DrawnText* value = Find(texts, QStringLiteral("47"));
    QVERIFY(value != nullptr);
    QCOMPARE(value->box.left, 80 + 9 - 8);
    QCOMPARE(value->box.top, chart::BarTop(plot, 47) - 15);
    // The bands named in the legend by the signals on them.
    QVERIFY(Find(texts, QStringLiteral("L1 C/A, E1")) != nullptr);
    QVERIFY(Find(texts, QStringLiteral("L5 Q")) != nullptr);
    QVERIFY(Find(texts, QStringLiteral("Used")) != nullptr);
  }

  void ManySignalsStayInsideThePlotWithoutValues() {
    // Thirty satellites on two signals: narrow bars, in order, no overlap,
    // all inside the plot; no room for S/N values.
    std::vector<SatelliteBar> bars;
    for (int prn = 1; prn <= 30; ++prn) {
      const int system = prn <= 15 ? 1 : 4;
      bars.push_back({0, system, 30, prn, system == 1 ? 1 : 7});
      bars.push_back({0, system, 33, prn, system == 1 ? 8 : 1});
    }
    const chart::Box plot{kPlotLeft, kPlotTop, kPlotRight, kPlotBottom};
    const std::vector<chart::BarSlot> places = chart::SignalBarSlots(plot, bars);
    for (std::size_t i = 0; i < places.size(); ++i) {
      QVERIFY(places[i].left >= kPlotLeft && places[i].left + places[i].width <= kPlotRight);
      if (i > 0)
        QVERIFY(places[i].left >= places[i - 1].left + places[i - 1].width);
    }
    std::vector<chart::DrawnText> texts;
    CChartContrl_columnar::Render(bars, {kW, kH}, &texts);
    QVERIFY(Find(texts, QStringLiteral("33")) == nullptr);
    QVERIFY(Find(texts, QStringLiteral("G1")) != nullptr);
  }

  void RealisticEpochPicture() {
    // One epoch of a receiver in open sky; saved when ZUVEK_SCREENSHOT_DIR is set.
    const std::vector<SatelliteBar> bars = {
        {1, 1, 44, 2},  {1, 1, 47, 5},  {0, 1, 21, 7},  {1, 1, 42, 12}, {1, 1, 39, 13},
        {1, 1, 45, 15}, {0, 1, 18, 18}, {1, 1, 49, 20}, {1, 1, 41, 25}, {1, 1, 36, 29},
        {0, 2, 38, 40}, {1, 0, 43, 65}, {1, 0, 40, 66}, {0, 0, 27, 72}, {1, 4, 35, 11},
        {0, 3, 30, 19}, {1, 5, 33, 193}};
    const QImage image = CChartContrl_columnar::Render(bars, {kW + 200, kH + 20});
    QCOMPARE(image.size(), QSize(kW + 200, kH + 20));
    const QString dir = qEnvironmentVariable("ZUVEK_SCREENSHOT_DIR");
    if (!dir.isEmpty())
      QVERIFY(image.save(QDir(dir).filePath("chart.png")));
  }
};

QTEST_MAIN(ChartTest)
#include "chart_test.moc"
