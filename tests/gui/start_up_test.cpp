// Start-up of the window: the clock it runs on and the demonstration
// options it accepts or refuses, the settings side file it reads.
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "app/demo_driver.h"
#include "app/zuvek_app.h"
#include "config/side_settings.h"
#include "tests/gui/window_fixture.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

class StartUpTest : public QObject {
  Q_OBJECT

 private slots:
  void TheTimeScaleComesFromTheEnvironment() {
    struct Case {
      const char* legend;
      const char* value;  // null: unset
      double scale;
    };
    const Case cases[] = {
        {"unset: real time", nullptr, 1.0},        {"a number: that scale", "20", 20.0},
        {"a fraction is a scale too", "0.5", 0.5}, {"zero is no scale: real time", "0", 1.0},
        {"negative: real time", "-3", 1.0},        {"not a number: real time", "fast", 1.0},
        {"beyond 1000: real time", "5000", 1.0},
    };
    for (const Case& c : cases) {
      if (c.value)
        qputenv("ZUVEK_TIME_SCALE", c.value);
      else
        qunsetenv("ZUVEK_TIME_SCALE");
      QVERIFY2(MakeWindowClock()->Scale() == c.scale, c.legend);
    }
    qunsetenv("ZUVEK_TIME_SCALE");
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
