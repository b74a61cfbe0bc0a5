// Start-up of the window: the clock it runs on (real time, scaled only for
// a simulator's ports), the demonstration options it accepts or refuses and
// the settings side file it reads.
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "app/demo_driver.h"
#include "app/zuvek_app.h"
#include "config/side_settings.h"
#include "session/module_hub.h"
#include "sim/simulator.h"
#include "tests/gui/window_fixture.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

class StartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void TheTimeScaleAskedComesFromTheEnvironment() {
    struct Case {
      const char* legend;
      const char* value;  // null: unset
      std::optional<double> asked;
    };
    const Case cases[] = {
        {"unset: nothing asked", nullptr, std::nullopt},
        {"a number: that scale", "20", 20.0},
        {"a fraction is a scale too", "0.5", 0.5},
        {"zero is no scale", "0", std::nullopt},
        {"negative: nothing asked", "-3", std::nullopt},
        {"not a number: nothing asked", "fast", std::nullopt},
        {"beyond 1000: nothing asked", "5000", std::nullopt},
    };
    for (const Case& c : cases) {
      if (c.value)
        qputenv("ZUVEK_TIME_SCALE", c.value);
      else
        qunsetenv("ZUVEK_TIME_SCALE");
      QVERIFY2(WindowTimeScaleAsked() == c.asked, c.legend);
      // Whatever is asked, the window starts at real time: the ports decide.
      QVERIFY2(MakeWindowClock()->Scale() == 1.0, c.legend);
    }
    qunsetenv("ZUVEK_TIME_SCALE");
  }

  void TheClockIsScaledOnlyForTheSimulatorsPorts() {
    QTemporaryDir folder;
    qputenv("ZUVEK_SIM_DIR", folder.path().toUtf8());
    sim::Simulator simulator(std::make_shared<platform::ScaledClock>(20));
    sim::SimOptions options;
    options.name = "shot";
    std::string error;
    QVERIFY2(simulator.Start(options, &error), error.c_str());
    guitest::Pty at, nmea;
    QVERIFY(at.Ok() && nmea.Ok());
    auto clock = MakeWindowClock();
    // Plain pseudo-terminals stand in for a module: real time.
    ChooseWindowClockScale(*clock, 20.0, PortRequest{at.Path(), 115200, nmea.Path(), 115200, ""});
    QCOMPARE(clock->Scale(), 1.0);
    ChooseWindowClockScale(
        *clock, 20.0,
        PortRequest{simulator.AtLinkPath(), 115200, simulator.NmeaLinkPath(), 115200, ""});
    QCOMPARE(clock->Scale(), 20.0);
    // Back on a module's ports: real time again.
    ChooseWindowClockScale(*clock, 20.0, PortRequest{at.Path(), 115200, nmea.Path(), 115200, ""});
    QCOMPARE(clock->Scale(), 1.0);
    simulator.Stop();
    qunsetenv("ZUVEK_SIM_DIR");
  }

  void AWrongValueInZuvekTomlIsToldWithItsLine() {
    platform::RealClock clock;
    guitest::Scratch scratch(clock);
    const std::string path = scratch.Path().toStdString() + "/zuvek.toml";
    WriteText(path, "# bench\nreconnect = 30\n");
    QCOMPARE(ReadSideSettings(), QString());
    QCOMPARE(g_side_settings.reconnect_s, 30u);
    WriteText(path, "# bench\n\nreconnect = -30\n");
    QCOMPARE(
        ReadSideSettings(),
        QStringLiteral("zuvek.toml:3: reconnect must be a whole number from 0 to 86400; using 0"));
    QCOMPARE(g_side_settings.reconnect_s, 0u);
    g_side_settings = SideSettings{};
  }

  void DemoOptionsAreCheckedBeforeUse() {
    struct Case {
      const char* legend;
      QStringList args;
      bool ok;
    };
    const Case cases[] = {
        {"no options", {"zuvek"}, true},
        {"ports and runs", {"zuvek", "--demo-ports", "A,N", "--demo-run", "3"}, true},
        {"a picture", {"zuvek", "--demo-ports", "A,N", "--screenshot", "/tmp/x.png"}, true},
        {"one port name only", {"zuvek", "--demo-ports", "A"}, false},
        {"an empty port name", {"zuvek", "--demo-ports", "A,"}, false},
        {"three port names", {"zuvek", "--demo-ports", "A,B,C"}, false},
        {"zero runs", {"zuvek", "--demo-ports", "A,N", "--demo-run", "0"}, false},
        {"runs not a number", {"zuvek", "--demo-ports", "A,N", "--demo-run", "x"}, false},
        {"runs without ports", {"zuvek", "--demo-run", "2"}, false},
        {"a value missing", {"zuvek", "--demo-ports"}, false},
        {"an unknown option", {"zuvek", "--fast"}, false},
    };
    for (const Case& c : cases) {
      DemoOptions options;
      std::string error;
      QVERIFY2(ParseDemoOptions(c.args, options, &error) == c.ok, c.legend);
      QVERIFY2(c.ok == error.empty(), c.legend);
    }
    DemoOptions options;
    std::string error;
    QVERIFY(ParseDemoOptions({"zuvek", "--demo-ports", "sim-AT,sim-NMEA", "--demo-run", "4"},
                             options, &error));
    QCOMPARE(options.at_port, QStringLiteral("sim-AT"));
    QCOMPARE(options.nmea_port, QStringLiteral("sim-NMEA"));
    QCOMPARE(options.runs, 4);
  }
};

QTEST_MAIN(StartUpTest)
#include "start_up_test.moc"
