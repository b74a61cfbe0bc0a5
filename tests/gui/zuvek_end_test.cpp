// How the window tells the end of a test, against the module simulator on a
// clock fifty times faster than real time: the status line says how every
// test ended and stays until the next Open or Run; a lost port ends the run
// at once as "port lost" everywhere and empties the live view; Stop and
// closing the window account for an interrupted run alike; Run on a port
// that did not open starts nothing and says which; names and stamps take
// the wall clock; the window grows and shrinks with every control reachable
// and the tabs under the chart following it.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <chrono>
#include <ctime>
#include <fstream>

#include "app/run_clock_label.h"
#include "app/sky_tabs.h"
#include "app/zuvek_dlg.h"
#include "config/side_settings.h"
#include "controls/label.h"
#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "sim/models/module_models.h"
#include "sim/simulator.h"
#include "tests/gui/sim_window.h"
#include "tests/gui/window_fixture.h"
#include "tests/store/store_db.h"
#include "tests/support/temp_dir.h"

using guitest::BoxRecorder;
using guitest::Scratch;

namespace {

using testsupport::ReadFile;

struct Bench : guitest::SimWindow {
  std::shared_ptr<const ModuleProfile> sim_profile;  // the module's dialect; null: default
  std::string sim_module;                            // a module model of its own; empty: none

  // The simulator with this fault script, the window open on its links
  // (the NMEA list: `nmea` instead, or the AT link for "AT").
  bool Open(const char* script_text = "", const std::string& nmea = {}) {
    sim::SimOptions options;
    options.name = "end";
    options.ports_folder = scratch.Path().toStdString() + "/ports";
    options.ttff.hot = {2.0, 2.0};
    options.profile = sim_profile;
    options.module = sim_module;
    return StartSimulator(options, script_text) &&
           OpenWindow(simulator.AtLinkPath(), nmea.empty()   ? simulator.NmeaLinkPath()
                                              : nmea == "AT" ? simulator.AtLinkPath()
                                                             : nmea);
  }
  QString Status() { return dlg->ItemAs<CLabel>(1023)->Text(); }
  QStringList Row(int row) {
    QStringList cells;
    auto* list = dlg->ItemAs<QTableWidget>(1025);
    for (int c = 0; c < 3; ++c)
      cells << (list->item(row, c) ? list->item(row, c)->text() : QString());
    return cells;
  }
  // Waits until run n waits for its fix.
  bool InFixWaitOf(int n) {
    const QString lead = QStringLiteral("Run %1 of").arg(n);
    return QTest::qWaitFor([&] { return dlg->RunClock()->text().startsWith(lead); }, 30000);
  }
};

// An interrupted test as every output tells it, to compare two ends.
QStringList Accounting(Bench& bench) {
  const TestOutcome out = bench.dlg->Engine().LastOutcome();
  QStringList facts;
  const int rows = bench.dlg->ItemAs<QTableWidget>(1025)->rowCount();
  for (int r = 0; r < rows; ++r) {
    const QStringList cells = bench.Row(r);
    const QString duration = cells[1] == QStringLiteral("N/A") ? cells[1] : QStringLiteral("t");
    facts << cells[0] + " " + duration + " " + cells[2];
  }
  const std::string log = ReadFile(out.logs.result);
  facts << QString::fromStdString(log.substr(log.find("runtimes")).substr(0, 27));
  facts << QString::number(log.find("FAIL") == std::string::npos);
  const std::string summary = ReadFile(out.summary_path);
  for (const char* key :
       {"\"runs\": 2", "\"failures\": 1", "\"success_rate\": 1.0", "\"stopped\": 1"})
    facts << QString::fromLatin1(key) + QString::number(summary.find(key) != std::string::npos);
  const std::string store = bench.scratch.StorePath();
  facts << QString::fromStdString(testsupport::One(
      store, "SELECT group_concat(reason, '|') FROM (SELECT reason FROM runs ORDER BY run)"));
  facts << QString::fromStdString(testsupport::One(store, "SELECT end_reason FROM tests"));
  facts << bench.Status();
  return facts;
}

// Seconds between a "yyyy-mm-dd hh:mm:ss" local time and now.
double SecondsFromNow(const std::string& stamp) {
  std::tm tm{};
  if (!strptime(stamp.c_str(), "%Y-%m-%d %H:%M:%S", &tm))
    return 1e9;
  tm.tm_isdst = -1;
  return std::difftime(std::time(nullptr), std::mktime(&tm));
}

}  // namespace

class ZuvekEndTest : public QObject {
  Q_OBJECT

 private slots:
  void ACompletedTestSaysDoneUntilTheNextOpen() {
    Bench bench;
    BoxRecorder boxes;
    QVERIFY(bench.Open());
    bench.Run(2);
    QVERIFY(bench.WaitForEnd());
    const QString done = QStringLiteral("Done: 2 runs, 2 SUCC, 0 FAIL");
    QCOMPARE(bench.dlg->EndStatus(), done);
    bench.dlg->OnTimer(CZUVEKDlg::kStatusTimerId);
    QCOMPARE(bench.Status(), done);  // the timer keeps it
    // Stamped by the wall clock although the test's clock ran 50 times
    // faster since the bench was made.
    const std::string store = bench.scratch.StorePath();
    const double ended = SecondsFromNow(testsupport::One(store, "SELECT ended_at FROM tests"));
    QVERIFY2(ended > -3 && ended < 10, qPrintable(QString::number(ended)));
    const std::string stem = bench.dlg->Engine().LastOutcome().logs.result;
    const std::string started = testsupport::One(store, "SELECT started_at FROM tests");
    QVERIFY2(stem.find("/" + started.substr(11, 2) + "-" + started.substr(14, 2) + "-") !=
                 std::string::npos,
             stem.c_str());
    bench.Button(1017)->click();  // Close
    bench.Button(1016)->click();  // Open: a new start
    QCOMPARE(bench.dlg->EndStatus(), QString());
    QCOMPARE(boxes.texts, QStringList());
  }

  // A profile of another family: the module refuses the query, the test
  // ends at once with no box, and the status says what to do.
  void ARefusedCommandIsTold() {
    Bench bench;
    BoxRecorder boxes;
    g_side_settings.profile = "sim7600";
    QVERIFY(bench.Open());
    bench.Run(1);
    QVERIFY(bench.WaitForEnd());
    QCOMPARE(bench.dlg->EndStatus(),
             QStringLiteral("Ended in run 1: the module refused AT+CGPS? (\"ERROR\"): check the "
                            "profile against its manual, zuvek-cli profiles show sim7600"));
    QCOMPARE(bench.Status(), bench.dlg->EndStatus());
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(bench.dlg->ModuleChoiceLabel()->text(),
             QStringLiteral("Profile: sim7600 \u00b7 Fix rule: gprmc"));
  }

  // A warm test with a profile that has no warm-start command asks first:
  // No starts nothing; Yes runs plain starts, recorded so, never "Warm Start".
  void AWarmTestWithoutAWarmStartCommandAsksFirst() {
    for (bool yes : {false, true}) {
      Bench bench;
      BoxRecorder boxes;
      boxes.answer_yes = yes;
      g_side_settings.profile = "sim7600";
      const ProfileLoad load = ResolveProfile("sim7600");
      QVERIFY(load.profile);
      bench.sim_profile = std::make_shared<const ModuleProfile>(*load.profile);
      QVERIFY(bench.Open());
      bench.Button(1002)->click();  // "Warm Start"
      bench.Run(1);
      QCOMPARE(boxes.texts,
               QStringList{QStringLiteral(
                   "The profile sim7600 has no command for a warm start: its warm runs would be "
                   "plain starts (AT+CGPS=1,1), hot or cold as the module chooses, not warm "
                   "starts. Run them anyway, recorded as plain starts?")});
      if (!yes) {
        QTest::qWait(200);
        QVERIFY(!bench.dlg->Engine().IsRunning());
        QCOMPARE(bench.dlg->Engine().LastOutcome().records.size(), std::size_t{0});
        continue;
      }
      QVERIFY(bench.WaitForEnd());
      const TestOutcome out = bench.dlg->Engine().LastOutcome();
      QCOMPARE(out.records.size(), std::size_t{1});
      QCOMPARE(out.records[0].restart_type, int(RESTART_PLAIN));
      const std::string csv = ReadFile(out.csv_path);
      QVERIFY2(csv.find(",Plain Start,") != std::string::npos, csv.c_str());
      QVERIFY(csv.find("Warm Start") == std::string::npos);
      QVERIFY(ReadFile(out.summary_path).find("\"restart_type\": \"plain\"") != std::string::npos);
      QCOMPARE(QString::fromStdString(
                   testsupport::One(bench.scratch.StorePath(), "SELECT restart_type FROM tests")),
               QStringLiteral("Plain Start"));
    }
  }

  // Every bundled family's profile, chosen in the window, against that
  // family's own module model: a cold test finds its fix.
  void EveryBundledProfileAgainstItsFamilysModel() {
    for (const std::string& family : sim::ModuleModelNames()) {
      Bench bench;
      BoxRecorder boxes;
      bench.sim_module = family;
      g_side_settings.profile = family;
      QVERIFY(bench.Open());
      bench.Button(1001)->click();  // "Cold Start"
      bench.Run(1);
      QVERIFY2(bench.WaitForEnd(), family.c_str());
      QCOMPARE(bench.dlg->EndStatus(), QStringLiteral("Done: 1 run, 1 SUCC, 0 FAIL"));
      QCOMPARE(boxes.texts, QStringList());
    }
  }

  // The module vanishes in run 2 and stays away; without `reconnect` the
  // run fails at once as "port lost" in every output, the test ends, the
  // status says so and the live view empties.
  void ALostPortEndsTheRunAtOnce() {
    Bench bench;
    BoxRecorder boxes;
    g_config.SetTimeout(2000);  // 40 s of real time: never waited out here
    QVERIFY(bench.Open("run 2: vanish=1:100000 no-fix\n"));
    bench.Run(3);
    QVERIFY(bench.InFixWaitOf(2));
    const auto lost = std::chrono::steady_clock::now();
    QVERIFY(bench.WaitForEnd(30000));
    QVERIFY(std::chrono::steady_clock::now() - lost < std::chrono::seconds(15));
    const TestOutcome out = bench.dlg->Engine().LastOutcome();
    QCOMPARE(out.end_reason, std::string("port lost"));
    QCOMPARE(bench.Row(0), (QStringList{"2", "N/A", "FAIL"}));
    QVERIFY(ReadFile(out.logs.result).find("2\t\t\tFAIL\t\t\tN/A\r\n") != std::string::npos);
    QVERIFY(ReadFile(out.csv_path).find(",port lost") != std::string::npos);
    QVERIFY(ReadFile(out.summary_path).find("\"port_lost\": 1") != std::string::npos);
    const std::string store = bench.scratch.StorePath();
    QCOMPARE(testsupport::One(store, "SELECT end_reason FROM tests"), std::string("port lost"));
    QCOMPARE(testsupport::One(store, "SELECT reason FROM runs WHERE run = 2"),
             std::string("port lost"));
    QVERIFY2(bench.Status().startsWith(QStringLiteral("Ended in run 2: port lost")),
             qPrintable(bench.Status()));
    QTRY_VERIFY(bench.dlg->Chart()->Bars().empty());
    QVERIFY(bench.dlg->ItemAs<CLabel>(1030)->Text().isEmpty());
    QVERIFY(!boxes.texts.isEmpty());
    for (const QString& text : boxes.texts)
      QVERIFY2(text.contains(QStringLiteral(" port is gone")), qPrintable(text));
  }

  // Stop in run 2's fix wait, and closing the window there (answering the
  // one question with Yes), account for the interrupted run alike.
  void StopAndClosingAccountAlike() {
    QStringList by_stop, by_close;
    for (bool closing : {false, true}) {
      Bench bench;
      BoxRecorder boxes;
      QVERIFY(bench.Open("run 2: no-fix\n"));
      bench.Run(3);
      QVERIFY(bench.InFixWaitOf(2));
      if (closing) {
        boxes.answer_yes = false;  // No: the window stays, the test goes on
        bench.dlg->close();
        QVERIFY(bench.dlg->isVisible());
        QVERIFY(bench.dlg->Engine().IsRunning());
        boxes.answer_yes = true;
        bench.dlg->close();
        QVERIFY(!bench.dlg->Engine().IsRunning());
        QCOMPARE(boxes.texts,
                 QStringList(2, QString::fromUtf8(kStopTestToClose)));  // asked once a close
        bench.dlg->OnTestFinished(0, 0);  // the status as the window had it
      } else {
        bench.Button(1010)->click();  // Stop
        QVERIFY(bench.WaitForEnd());
        QCOMPARE(boxes.texts, QStringList());
      }
      (closing ? by_close : by_stop) = Accounting(bench);
    }
    QCOMPARE(by_close, by_stop);
    const QStringList expected = {"2 N/A FAIL",
                                  "1 t SUCC",
                                  "runtimes = 1\nfail times = 1",
                                  "1",
                                  "\"runs\": 21",
                                  "\"failures\": 11",
                                  "\"success_rate\": 1.01",
                                  "\"stopped\": 11",
                                  "|stopped",
                                  "stopped",
                                  "Stopped in run 2: 2 runs, 1 SUCC, 1 FAIL"};
    QCOMPARE(by_stop.size(), expected.size());
    QCOMPARE(by_stop, expected);
  }

  void RunOnAPortThatDidNotOpenStartsNothing() {
    Bench bench;
    BoxRecorder boxes;
    const std::string missing = bench.scratch.Path().toStdString() + "/no-such-port";
    QVERIFY(bench.Open("", missing));  // the open state, after its boxes
    const int open_boxes = boxes.texts.size();
    QVERIFY(open_boxes > 0);
    bench.Run(1);
    QVERIFY(!bench.dlg->Engine().IsRunning());
    QCOMPARE(bench.dlg->EndStatus(),
             QStringLiteral("Not started: the NMEA port %1 is not open (Open failed); close the "
                            "ports, check it and open them again")
                 .arg(QString::fromStdString(missing)));
    QCOMPARE(bench.Status(), bench.dlg->EndStatus());
    QCOMPARE(boxes.texts.size(), open_boxes);
  }

  // With no TTFF.cfg the NMEA list names another port than the AT list:
  // here the simulator's two, published where the lists look.
  void AFirstStartNamesTwoPorts() {
    auto clock = std::make_shared<platform::ScaledClock>(50);
    Scratch scratch(*clock);
    sim::Simulator simulator(clock);
    sim::SimOptions options;
    options.name = "first-start";
    std::string error;
    QVERIFY2(simulator.Start(options, &error), error.c_str());
    CZUVEKDlg dlg(*clock, scratch.folders);
    auto* at = dlg.ItemAs<QComboBox>(1013);
    auto* nmea = dlg.ItemAs<QComboBox>(1019);
    QVERIFY(nmea->count() >= 2);
    QVERIFY(at->currentIndex() >= 0);
    QVERIFY(nmea->currentIndex() >= 0);
    QVERIFY(nmea->currentIndex() != at->currentIndex());
    simulator.Stop();
  }

  void BothListsNamingOnePortAreToldPlainly() {
    Bench bench;
    BoxRecorder boxes;
    QVERIFY(!bench.Open("", "AT"));
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(
        boxes.texts[0].startsWith(QStringLiteral("The AT and NMEA lists both name %1.")
                                      .arg(QString::fromStdString(bench.simulator.AtLinkPath()))),
        qPrintable(boxes.texts[0]));
    QVERIFY(bench.Button(1016)->isEnabled());  // still closed: Open again once chosen
  }

  // At the template's size by default; smaller, the client scrolls so that
  // Run and Stop stay reachable; larger, the chart takes the room.
  void TheWindowGrowsAndShrinks() {
    Bench bench;
    QVERIFY(bench.Open());
    CZUVEKDlg& dlg = *bench.dlg;
    QVERIFY(dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(dlg.minimumWidth() <= 1024 && dlg.minimumHeight() <= 768);
    const QSize template_size = dlg.ItemAs<QWidget>(1011)->parentWidget()->minimumSize();
    QCOMPARE(dlg.ClientScroll()->horizontalScrollBar()->maximum(), 0);  // all of it in view
    QCOMPARE(dlg.ClientScroll()->verticalScrollBar()->maximum(), 0);
    const QRect chart = dlg.Chart()->geometry();
    const QRect list = dlg.Item(1025)->geometry();
    const QRect run_place = dlg.Item(1011)->geometry();

    dlg.resize(900, 600);
    QTRY_COMPARE(dlg.size(), QSize(900, 600));
    QScrollBar* across = dlg.ClientScroll()->horizontalScrollBar();
    QVERIFY(across->maximum() > 0);
    dlg.ClientScroll()->ensureWidgetVisible(dlg.Item(1011));
    QWidget* run = dlg.Item(1011);
    const QRect seen(run->mapTo(dlg.ClientScroll()->viewport(), QPoint(0, 0)), run->size());
    QVERIFY(dlg.ClientScroll()->viewport()->rect().contains(seen));

    dlg.resize(template_size.width() + 300, dlg.height() + 400);
    QTRY_VERIFY(dlg.Chart()->width() == chart.width() + 300);
    QVERIFY(dlg.Chart()->height() > chart.height() + 300);
    QCOMPARE(dlg.Item(1025)->height() - list.height(), dlg.Chart()->height() - chart.height());
    QCOMPARE(dlg.Item(1011)->geometry(), run_place);  // the controls keep their places
    // The sky plot and the S/N history take the chart's new place; the tabs
    // stay just under it, inside the client.
    QCOMPARE(dlg.Tabs()->SkyPlot()->geometry(), dlg.Chart()->geometry());
    QCOMPARE(dlg.Tabs()->History()->geometry(), dlg.Chart()->geometry());
    const QRect tabs = dlg.Tabs()->Bar()->geometry();
    QCOMPARE(tabs.top(), dlg.Chart()->geometry().bottom() + 1);
    QVERIFY(tabs.height() > 10 && tabs.bottom() < tabs.top() + 40);
    QVERIFY(tabs.bottom() < dlg.Tabs()->Bar()->parentWidget()->height());
    // The run clock's place fits its longest text on two lines.
    QVERIFY(dlg.RunClock()->width() >= dlg.RunClock()->fontMetrics().horizontalAdvance(
                                           QStringLiteral("first satellite 999.9 s")));
    QCOMPARE(dlg.ModuleChoiceLabel()->text(),
             QStringLiteral("Profile: default \u00b7 Fix rule: gprmc"));
  }
};

QTEST_MAIN(ZuvekEndTest)
#include "zuvek_end_test.moc"
