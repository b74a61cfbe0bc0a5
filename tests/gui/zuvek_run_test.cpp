// Whole tests through the window against the module simulator, on a clock
// fifty times faster than real time: the rows arrive newest first, the live
// view and the chart fill, the buttons follow the worker's messages, and
// Stop ends a test early.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <fstream>

#include "app/run_clock_label.h"
#include "app/sky_tabs.h"
#include "app/zuvek_dlg.h"
#include "controls/chart_painter.h"
#include "controls/label.h"
#include "report/pictures.h"
#include "sim/simulator.h"
#include "tests/gui/sim_window.h"
#include "tests/gui/window_fixture.h"
#include "tests/store/store_db.h"

using guitest::BoxRecorder;
using guitest::Scratch;

namespace {

constexpr double kScale = 50;
const int kSetupIds[] = {1004, 1012, 1005, 1006, 1007, 1008, 1000, 1001, 1002, 1037};

struct Bench : guitest::SimWindow {
  explicit Bench(double scale = kScale) : SimWindow(scale) {}
  sim::TtffRange hot{1.0, 2.0};
  sim::NmeaForm form;

  bool Start(bool gnss_on = false) {
    sim::SimOptions options;
    options.gnss_on = gnss_on;
    options.nmea_form = form;
    options.publish = false;
    options.ttff.hot = hot;
    return StartSimulator(options) &&
           OpenWindow(simulator.AtDevicePath(), simulator.NmeaDevicePath());
  }
  bool Enabled(int id) { return dlg->Item(id)->isEnabled(); }
  int Rows() { return dlg->ItemAs<QTableWidget>(1025)->rowCount(); }
};

// The seconds the run clock gives a phase ("2D 30.1 s"); -1 when it has none.
double PhaseSeconds(const QString& text, const QString& phase) {
  const QRegularExpressionMatch m =
      QRegularExpression(QRegularExpression::escape(phase) + QStringLiteral(" (\\d+\\.\\d) s"))
          .match(text);
  return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// The seconds of the run clock's "mm:ss.t"; -1 when the text has none.
double ClockSeconds(const QString& text) {
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("(\\d\\d):(\\d\\d\\.\\d)")).match(text);
  return m.hasMatch() ? m.captured(1).toInt() * 60 + m.captured(2).toDouble() : -1;
}

}  // namespace

class ZuvekRunTest : public QObject {
  Q_OBJECT

 private slots:
  void TwoRunsFillTheListNewestFirst() {
    // At 20 times real speed: the rows' times are compared with the truth,
    // and a loaded machine's scheduling delay is multiplied by the scale.
    Bench bench(20);
    BoxRecorder boxes;
    QVERIFY(bench.Start());
    bench.Button(1008)->click();  // "Define"
    bench.dlg->ItemAs<QLineEdit>(1009)->setText(QStringLiteral(" 2"));
    QVERIFY(!bench.dlg->Report()->Entry()->isEnabled());  // no test yet
    bench.Button(1011)->click();                          // Run
    for (int id : kSetupIds)
      QVERIFY(!bench.Enabled(id));
    QTRY_VERIFY_WITH_TIMEOUT(bench.Enabled(1010), 5000);  // started: Stop on, Run off
    QVERIFY(!bench.Enabled(1011));

    // During the run the live view and the chart fill from the stream.
    QTRY_VERIFY_WITH_TIMEOUT(!bench.dlg->ItemAs<CLabel>(1030)->Text().isEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!bench.dlg->Chart()->Bars().empty(), 5000);

    // The end: Run back on, Stop off, the setup controls on again.
    QTRY_VERIFY_WITH_TIMEOUT(bench.dlg->RunState() == 0 && bench.Enabled(1011), 30000);
    QVERIFY(!bench.Enabled(1010));
    for (int id : kSetupIds)
      QVERIFY(bench.Enabled(id));
    QVERIFY(bench.dlg->Report()->Entry()->isEnabled());  // the report of this test
    QCOMPARE(bench.Rows(), 2);
    QCOMPARE(bench.Cell(0, 0), QStringLiteral("2"));
    QCOMPARE(bench.Cell(1, 0), QStringLiteral("1"));
    // Each row's time against the simulator's record of that start: the
    // tool polls every 100 ms of clock time, so either end may be read up to
    // a poll late, and at 20 times real speed a millisecond of scheduling
    // delay on a loaded machine reads as 20 ms.
    std::vector<double> truth_s;
    for (const sim::TruthRecord& r : bench.simulator.Truth())
      if (r.TtffUs() >= 0)
        truth_s.push_back(r.TtffUs() / 1e6);
    QCOMPARE(truth_s.size(), std::size_t(2));
    for (int row = 0; row < 2; ++row) {
      QCOMPARE(bench.Cell(row, 2), QStringLiteral("SUCC"));
      bool ok = false;
      const double seconds = bench.Cell(row, 1).toDouble(&ok);
      QVERIFY(ok);
      const double expected = truth_s[1 - row];  // newest row first
      QVERIFY2(seconds > expected - 0.5 && seconds < expected + 1.5,
               qPrintable(bench.Cell(row, 1) + " vs " + QString::number(expected)));
    }
    std::ifstream log(bench.dlg->Engine().LastOutcome().logs.result);
    std::string text((std::istreambuf_iterator<char>(log)), {});
    QVERIFY(text.find("runtimes = 2\n") != std::string::npos);
    // The results store of the settings holds the test, named by its AT
    // port, and both runs with the list's results.
    const std::string store = bench.scratch.StorePath();
    QCOMPARE(testsupport::One(store, "SELECT module FROM tests"), bench.simulator.AtDevicePath());
    QCOMPARE(testsupport::One(store, "SELECT count(*) FROM runs WHERE success = 1"),
             std::string("2"));
    QVERIFY(!testsupport::One(store, "SELECT ended_at FROM tests").empty());
    QCOMPARE(boxes.texts, QStringList());
    bench.Button(1017)->click();  // Close
    QVERIFY(!bench.Enabled(1011));
  }

  // Beside the status line: the time since the start's "OK" counts up while
  // the run waits, the phases show as they come (the simulator's hot start:
  // first satellite in its first epoch, 2D at the fix after 30 s, 3D a
  // second later, in the capture), and the label blanks when the test ends.
  void TheRunClockCountsUpAndShowsThePhases() {
    // At 10 times real speed (the phases are read to a tenth of a second) a
    // scheduling delay of 50 ms on a loaded machine reads as half a second.
    Bench bench(10);
    bench.hot = {30.0, 30.0};
    BoxRecorder boxes;
    QVERIFY(bench.Start());
    bench.Button(1011)->click();  // one hot run
    RunClockLabel* clock = bench.dlg->RunClock();
    QVERIFY(clock);
    QTRY_VERIFY_WITH_TIMEOUT(clock->text().contains(QStringLiteral("since start")), 20000);
    QVERIFY2(clock->text().startsWith(QStringLiteral("Run 1 of 1 \u00b7 ")),
             qPrintable(clock->text()));
    const double first = ClockSeconds(clock->text());
    QVERIFY2(first >= 0 && first < 30, qPrintable(clock->text()));
    QTRY_VERIFY_WITH_TIMEOUT(ClockSeconds(clock->text()) > first, 5000);  // it counts
    // Each phase within its truth's tenth of a second and a late delivery of
    // up to 100 ms real time; a delay can only make a phase later.
    const auto near = [&clock](const char* phase, double expected) {
      const double s = PhaseSeconds(clock->text(), QString::fromLatin1(phase));
      return s > expected - 0.2 && s < expected + 1.0;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(PhaseSeconds(clock->text(), QStringLiteral("first satellite")) >= 0,
                              qPrintable(clock->text()), 5000);
    QVERIFY2(near("first satellite", 1.0), qPrintable(clock->text()));
    QTRY_VERIFY2_WITH_TIMEOUT(PhaseSeconds(clock->text(), QStringLiteral("2D")) >= 0,
                              qPrintable(clock->text()), 10000);
    QVERIFY2(near("2D", 30.0), qPrintable(clock->text()));
    QVERIFY2(clock->text().contains(QStringLiteral(" to the fix")), qPrintable(clock->text()));
    QVERIFY2(near("fix", 30.0), qPrintable(clock->text()));
    QTRY_VERIFY2_WITH_TIMEOUT(PhaseSeconds(clock->text(), QStringLiteral("3D")) >= 0,
                              qPrintable(clock->text()), 10000);
    QVERIFY2(near("3D", 31.0), qPrintable(clock->text()));
    QTRY_VERIFY_WITH_TIMEOUT(bench.dlg->RunState() == 0 && bench.Enabled(1011), 30000);
    QTRY_COMPARE(clock->text(), QString());
    QCOMPARE(boxes.texts, QStringList());
  }

  // Under the chart, in the template's margin: the chart's tab chosen at
  // start, the sky and the run's S/N history in the chart's place on the
  // others. Against a dual-band receiver: bars per signal, the satellites
  // in the sky, and the history of the run in progress, in their colours.
  void TheTabsShowTheSkyAndTheRunsHistory() {
    Bench bench;
    std::string error;
    QVERIFY(sim::ParseSignals("L1,L5", bench.form, &error));
    BoxRecorder boxes;
    QVERIFY(bench.Start());
    SkyTabs* tabs = bench.dlg->Tabs();
    const QRect chart = bench.dlg->Chart()->geometry();
    QCOMPARE(chart, bench.dlg->Item(1028)->geometry());  // where the template has it
    QCOMPARE(tabs->Bar()->currentIndex(), int(SkyTabs::kChartTab));
    QVERIFY(bench.dlg->Chart()->isVisible() && !tabs->SkyPlot()->isVisible());
    QCOMPARE(tabs->SkyPlot()->geometry(), chart);
    QCOMPARE(tabs->History()->geometry(), chart);
    QVERIFY(tabs->Bar()->geometry().top() > chart.bottom());
    QVERIFY(tabs->Bar()->geometry().bottom() < tabs->Bar()->parentWidget()->height());

    bench.Button(1011)->click();  // one hot run
    QTRY_VERIFY_WITH_TIMEOUT(chart::HasSignals(bench.dlg->Chart()->Bars()), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(bench.dlg->RunState() == 0 && bench.Enabled(1011), 30000);
    // Pixels near a constellation's colour on a tab.
    const auto count = [&](int tab, int system) {
      tabs->Bar()->setCurrentIndex(tab);
      const QImage image = bench.dlg->grab(chart).toImage();
      const QColor want = report::ConstellationColor(system);
      int n = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
          const QColor c = image.pixelColor(x, y);
          n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                   std::abs(c.blue() - want.blue()) <
               30;
        }
      return n;
    };
    QVERIFY(count(SkyTabs::kSkyTab, kGnssGalileo) > 100);  // used, filled markers
    QVERIFY(tabs->SkyPlot()->isVisible() && !bench.dlg->Chart()->isVisible());
    QVERIFY(count(SkyTabs::kHistoryTab, kGnssBeidou) > 50);  // its B1I and B2a lines
    QVERIFY(count(SkyTabs::kChartTab, kGnssBeidou) == 0);    // the chart: its own colours
    QVERIFY(bench.dlg->Chart()->isVisible());
    QCOMPARE(boxes.texts, QStringList());
  }

  void BetweenTestsTheStreamDoesNotPileUp() {
    Bench bench;
    BoxRecorder boxes;
    QVERIFY(bench.Start(/*gnss_on=*/true));
    LineQueue& queue = bench.dlg->Hub().NmeaQueue();
    QTRY_VERIFY_WITH_TIMEOUT(queue.Size() > 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!bench.dlg->ItemAs<CLabel>(1030)->Text().isEmpty(), 5000);
    bench.dlg->OnTimer(CZUVEKDlg::kStatusTimerId);
    QCOMPARE(queue.Size(), std::size_t(0));
    QCOMPARE(queue.DroppedBytes(), std::uint64_t(0));
  }

  void StopEndsATestEarly() {
    Bench bench;
    BoxRecorder boxes;
    QVERIFY(bench.Start());
    bench.Button(1012)->click();  // ten runs
    bench.Button(1011)->click();
    QTRY_VERIFY_WITH_TIMEOUT(bench.Rows() >= 1, 20000);
    bench.Button(1010)->click();  // Stop
    QTRY_VERIFY_WITH_TIMEOUT(bench.dlg->RunState() == 0 && bench.Enabled(1011), 20000);
    QVERIFY(!bench.Enabled(1010));
    QVERIFY(bench.Rows() < 10);
    for (int id : kSetupIds)
      QVERIFY(bench.Enabled(id));
    QCOMPARE(boxes.texts, QStringList());
  }
};

QTEST_MAIN(ZuvekRunTest)
#include "zuvek_run_test.moc"
