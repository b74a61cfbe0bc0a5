// A test through the window whose module vanishes in run 2 and comes back
// under the same links (new pseudo-terminals), with `reconnect` set in
// zuvek.toml: run 2 is a failure in the list, the result log and the CSV
// (reason "port lost"), runs 1 and 3 find their fix, no box interrupts the
// test, and the hand-written zuvek.toml is left as it was.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/zuvek_dlg.h"
#include "config/side_settings.h"
#include "sim/simulator.h"
#include "tests/gui/window_fixture.h"

using guitest::BoxRecorder;
using guitest::Scratch;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

}  // namespace

class ZuvekReplugTest : public QObject {
  Q_OBJECT

 private slots:
  void ARunThatLosesItsPortsFailsAndTheTestGoesOn() {
    auto clock = std::make_shared<platform::ScaledClock>(50);
    Scratch scratch(*clock);
    BoxRecorder boxes;
    const std::string toml = "# the bench in room 2\nreconnect = 300\n";
    { std::ofstream(scratch.Path().toStdString() + "/zuvek.toml") << toml; }
    QVERIFY(LoadSideSettings().empty());
    QCOMPARE(g_side_settings.reconnect_s, 300u);

    sim::Simulator simulator(clock);
    sim::SimOptions options;
    options.name = "replug";
    options.ports_folder = scratch.Path().toStdString() + "/ports";
    options.ttff.hot = {2.0, 2.0};
    std::string error;
    // Run 2 would never fix, so its ports surely go during its fix wait.
    auto script = sim::FaultScript::Parse("run 2: vanish=1:10 no-fix\n", &error);
    QVERIFY2(script.has_value(), error.c_str());
    options.script = *script;
    QVERIFY2(simulator.Start(options, &error), error.c_str());
    const std::string at_device = simulator.AtDevicePath();

    g_config.m_interval_sleep = 2;
    auto dlg = std::make_unique<CZUVEKDlg>(*clock, scratch.folders);
    dlg->show();
    for (auto [id, path] :
         {std::pair{1013, simulator.AtLinkPath()}, std::pair{1019, simulator.NmeaLinkPath()}}) {
      auto* combo = dlg->ItemAs<QComboBox>(id);
      combo->addItem(QString::fromStdString(path));
      combo->setCurrentIndex(combo->count() - 1);
    }
    dlg->ItemAs<QAbstractButton>(1016)->click();  // Open
    QVERIFY(dlg->Hub().PortsOpen());
    dlg->ItemAs<QAbstractButton>(1008)->click();  // "Define"
    dlg->ItemAs<QLineEdit>(1009)->setText(QStringLiteral("3"));
    dlg->ItemAs<QAbstractButton>(1011)->click();  // Run
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Engine().IsRunning(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!dlg->Engine().IsRunning(), 60000);

    auto* list = dlg->ItemAs<QTableWidget>(1025);
    QCOMPARE(list->rowCount(), 3);
    // Newest first: run 3, 2, 1.
    QCOMPARE(list->item(0, 2)->text(), QStringLiteral("SUCC"));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("2"));
    QCOMPARE(list->item(1, 2)->text(), QStringLiteral("FAIL"));
    QCOMPARE(list->item(2, 2)->text(), QStringLiteral("SUCC"));
    QCOMPARE(boxes.texts, QStringList());
    QVERIFY(dlg->Hub().PortsOpen());
    QVERIFY(simulator.AtDevicePath() != at_device);  // it came back as a new device

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
    QCOMPARE(rows[2].substr(rows[2].rfind(',') + 1), std::string("port lost"));
    QVERIFY(Read(out.summary_path).find("\"port_lost\": 1") != std::string::npos);
    const std::string nmea = Read(out.logs.nmea);
    QVERIFY(nmea.find("times : 3-") != std::string::npos);
    QVERIFY(nmea.find("$GPRMC", nmea.find("times : 3-")) != std::string::npos);

    dlg->ItemAs<QAbstractButton>(1017)->click();  // Close
    dlg.reset();                                  // saves its settings on the way out
    QCOMPARE(Read(scratch.Path().toStdString() + "/zuvek.toml"), toml);
    simulator.Stop();
    g_side_settings = SideSettings{};
  }
};

QTEST_MAIN(ZuvekReplugTest)
#include "zuvek_replug_test.moc"
