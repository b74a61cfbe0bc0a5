// A test through the window whose module vanishes in run 2 and comes back
// under the same links (new pseudo-terminals), with `reconnect` set in
// zuvek.toml: run 2 is a failure in the list, the result log and the CSV
// (reason "port lost"), runs 1 and 3 find their fix, no box interrupts the
// test, and the hand-written zuvek.toml is left as it was. Ports that stay
// away end the test with one box that says so.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/zuvek_dlg.h"
#include "config/side_settings.h"
#include "sim/simulator.h"
#include "tests/gui/sim_window.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/timeline_columns.h"

using guitest::BoxRecorder;
using guitest::Scratch;
namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The window on a clock fifty times faster than real time, against a
// simulator that publishes its links in the scratch folder.
struct Bench : guitest::SimWindow {
  std::string first_at_device;

  std::string File(const char* name) const { return scratch.Path().toStdString() + "/" + name; }
  // Starts the simulator with the fault script, opens the window on its
  // links and runs a test of `runs` hot starts to its end.
  bool RunTest(const char* script_text, int runs) {
    sim::SimOptions options;
    options.name = "replug";
    options.ports_folder = File("ports");
    options.ttff.hot = {2.0, 2.0};
    if (!StartSimulator(options, script_text))
      return false;
    first_at_device = simulator.AtDevicePath();
    if (!OpenWindow(simulator.AtLinkPath(), simulator.NmeaLinkPath()))
      return false;
    Run(runs);
    return WaitForEnd();
  }
};

}  // namespace

class ZuvekReplugTest : public QObject {
  Q_OBJECT

 private slots:
  void ARunThatLosesItsPortsFailsAndTheTestGoesOn() {
    Bench bench;
    BoxRecorder boxes;
    const std::string toml = "# the bench in room 2\nreconnect = 300\n";
    { std::ofstream(bench.File("zuvek.toml")) << toml; }
    QVERIFY(LoadSideSettings().empty());
    QCOMPARE(g_side_settings.reconnect_s, 300u);
    // Run 2 would never fix, so its ports surely go during its fix wait.
    QVERIFY(bench.RunTest("run 2: vanish=1:10 no-fix\n", 3));
    auto& dlg = bench.dlg;
    auto& simulator = bench.simulator;
    auto* list = dlg->ItemAs<QTableWidget>(1025);
    QCOMPARE(list->rowCount(), 3);
    // Newest first: run 3, 2, 1.
    QCOMPARE(list->item(0, 2)->text(), QStringLiteral("SUCC"));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("2"));
    QCOMPARE(list->item(1, 2)->text(), QStringLiteral("FAIL"));
    QCOMPARE(list->item(2, 2)->text(), QStringLiteral("SUCC"));
    QCOMPARE(boxes.texts, QStringList());
    QVERIFY(dlg->Hub().PortsOpen());
    // The same link, a new device behind it.
    QVERIFY(simulator.AtDevicePath() != bench.first_at_device);
    QVERIFY(fs::read_symlink(simulator.AtLinkPath()) == simulator.AtDevicePath());

    const TestOutcome out = dlg->Engine().LastOutcome();
    QCOMPARE(out.end_reason, std::string("completed"));
    QCOMPARE(out.failures, 1);
    const std::string result = Read(out.logs.result);
    QVERIFY2(result.find("2\t\t\tFAIL\t\t\t") != std::string::npos, result.c_str());
    QVERIFY2(result.find("runtimes = 3\nfail times = 1\n") != std::string::npos, result.c_str());
    std::istringstream csv(Read(out.csv_path));
    std::vector<std::string> rows;
    for (std::string row; std::getline(csv, row);)
      rows.push_back(row);
    QCOMPARE(rows.size(), std::size_t(4));
    QVERIFY2(rows[2].rfind("2,FAIL,", 0) == 0, rows[2].c_str());
    const std::string lost_row = testsupport::WithoutTimeline(rows[2]);
    QCOMPARE(lost_row.substr(lost_row.rfind(',') + 1), std::string("port lost"));
    QVERIFY(Read(out.summary_path).find("\"port_lost\": 1") != std::string::npos);
    const std::string nmea = Read(out.logs.nmea);
    QVERIFY(nmea.find("times : 3-") != std::string::npos);
    QVERIFY(nmea.find("$GPRMC", nmea.find("times : 3-")) != std::string::npos);

    dlg->ItemAs<QAbstractButton>(1017)->click();  // Close
    dlg.reset();                                  // saves its settings on the way out
    QCOMPARE(Read(bench.File("zuvek.toml")), toml);
  }

  void PortsThatStayAwayEndTheTestWithABox() {
    Bench bench;
    BoxRecorder boxes;
    g_side_settings.reconnect_s = 5;
    QVERIFY(bench.RunTest("run 2: vanish=1:100000 no-fix\n", 3));
    QCOMPARE(bench.dlg->ItemAs<QTableWidget>(1025)->rowCount(), 2);
    QCOMPARE(bench.Cell(0, 2), QStringLiteral("FAIL"));
    QCOMPARE(bench.Cell(1, 2), QStringLiteral("SUCC"));
    const TestOutcome out = bench.dlg->Engine().LastOutcome();
    QCOMPARE(out.end_reason, std::string("port lost"));
    QVERIFY(!out.completed);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts[0].startsWith(QStringLiteral("The ports did not come back: ")) &&
                 boxes.texts[0].contains(QStringLiteral("within 5 s")),
             qPrintable(boxes.texts[0]));
    QVERIFY(Read(out.logs.result).find("runtimes = 2\nfail times = 1\n") != std::string::npos);
    bench.dlg.reset();
    // A missing zuvek.toml is written on the way out, with the session's value.
    QCOMPARE(LoadSideSettingsFrom(bench.File("zuvek.toml")).settings.reconnect_s, 5u);
  }

  // A power-cycle test loses its ports in every run by design: no box, the
  // live view kept, every run with its fix, as many power cycles as runs.
  void APowerCycleTestLosesItsPortsWithoutABox() {
    Bench bench;
    BoxRecorder boxes;
    sim::SimOptions options;
    options.name = "power";
    options.ports_folder = bench.File("ports");
    options.ttff.cold = {2.0, 2.0};
    QVERIFY(bench.StartSimulator(options));
    const SideSettingsLoad load =
        ParseSideSettings("[[hook]]\nat = \"power-cycle\"\ncommand = \"echo power-cycle 1 > '" +
                              bench.simulator.ControlPath() + "'\"\n",
                          "zuvek.toml");
    QVERIFY(load.problems.empty());
    g_side_settings.hooks = load.settings.hooks;
    QVERIFY(bench.OpenWindow(bench.simulator.AtLinkPath(), bench.simulator.NmeaLinkPath()));
    auto* power = bench.dlg->MenuBar()->findChild<QAction*>(QStringLiteral("power-cycle"));
    QVERIFY(power && power->isEnabled());
    power->setChecked(true);
    bench.Run(2);
    QVERIFY(bench.WaitForEnd());
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(bench.Cell(0, 2), QStringLiteral("SUCC"));
    QCOMPARE(bench.Cell(1, 2), QStringLiteral("SUCC"));
    QCOMPARE(bench.simulator.PowerCycles(), 2);
    const TestOutcome out = bench.dlg->Engine().LastOutcome();
    QCOMPARE(out.end_reason, std::string("completed"));
  }
};

QTEST_MAIN(ZuvekReplugTest)
#include "zuvek_replug_test.moc"
