// The Tools menu's choice of module profile and fix rule: what it stores
// (g_side_settings and zuvek.toml, never TTFF.cfg), how a profile file that
// does not load is refused, that a test runs with the chosen profile and
// cannot change it, and that a "$GNRMC" receiver shows its position in the
// live fields once a rule other than the default is chosen.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/zuvek_dlg.h"
#include "config/app_config.h"
#include "config/side_settings.h"
#include "controls/label.h"
#include "fix_rules/registry.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"
#include "profiles/bundled_profiles.h"
#include "tests/gui/window_fixture.h"
#include "tests/nmea/recording_lines.h"

using guitest::BoxRecorder;
using guitest::Pty;
using guitest::Scratch;

namespace {

// A profile of a made-up module: its commands are nobody else's.
constexpr const char* kLabProfile =
    "name = \"lab\"\n"
    "description = \"a bench module\"\n"
    "[query]\n"
    "command = \"AT+LABQ?\"\n"
    "on = \"+LABQ: 1\"\n"
    "off = \"+LABQ: 0\"\n"
    "[stop]\n"
    "command = \"AT+LABQ=0\"\n"
    "[start]\n"
    "command = \"AT+LABQ=1\"\n";

// The same with a key no step has, on line 6.
constexpr const char* kBrokenProfile =
    "name = \"lab\"\n"
    "[query]\n"
    "command = \"AT+LABQ?\"\n"
    "on = \"+LABQ: 1\"\n"
    "off = \"+LABQ: 0\"\n"
    "answer = \"+LABQ: 0\"\n"
    "[start]\n"
    "command = \"AT+LABQ=1\"\n";

std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const QString& path, const std::string& text) {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
  out << text;
}

QAction* Entry(CZUVEKDlg& dlg, const QString& name) {
  return dlg.MenuBar()->findChild<QAction*>(name);
}

QString Checked(QMenu* menu) {
  QString names;
  for (QAction* a : menu->actions()) {
    if (a->isChecked())
      names += (names.isEmpty() ? "" : " ") + a->objectName();
  }
  return names;
}

// The name of the profile the window's next test runs with.
std::string ProfileOf(CZUVEKDlg& dlg) {
  const auto& profile = dlg.Engine().Profile();
  return profile ? profile->name : std::string("(none)");
}

QString Label(CZUVEKDlg& dlg, int id) {
  return dlg.ItemAs<CLabel>(id)->Text();
}

void ChoosePort(CZUVEKDlg& dlg, int id, const std::string& path) {
  auto* combo = dlg.ItemAs<QComboBox>(id);
  combo->addItem(QString::fromStdString(path));
  combo->setCurrentIndex(combo->count() - 1);
}

// The settings of a fresh start in the scratch folder: no zuvek.toml yet,
// a TTFF.cfg record with values of its own.
void FreshSettings() {
  QVERIFY(LoadSideSettings().empty());
  QCOMPARE(g_side_settings, SideSettings{});
  g_config.SetTimeout(200);
  g_config.SetUncrtn(3000);
}

}  // namespace

class ModuleChoiceTest : public QObject {
  Q_OBJECT

 private slots:
  void TheChoiceGoesToZuvekTomlAndLeavesTtffCfgAsItWas() {
    platform::RealClock clock;
    Scratch scratch(clock);
    FreshSettings();
    {  // a session without a choice: the TTFF.cfg to compare with
      CZUVEKDlg dlg(clock, scratch.folders);
      dlg.show();
      dlg.close();
    }
    const std::string ttff_before = ReadFile(scratch.Path() + "/TTFF.cfg");
    QVERIFY(!ttff_before.empty());
    const QString lab = scratch.Path() + "/lab.toml";
    const QString broken = scratch.Path() + "/broken.toml";
    WriteFile(lab, kLabProfile);
    WriteFile(broken, kBrokenProfile);
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      dlg.show();
      QMenu* profiles = dlg.ModuleChoice().ProfileMenu();
      QMenu* rules = dlg.ModuleChoice().FixRuleMenu();
      QCOMPARE(profiles->menuAction()->text(), QStringLiteral("Module profile"));
      QCOMPARE(rules->menuAction()->text(), QStringLiteral("Fix rule"));
      // Every bundled profile and every rule, each with what it is.
      for (const BundledProfile& b : BundledProfiles()) {
        QAction* a = Entry(dlg, QStringLiteral("profile.") + b.name);
        QVERIFY2(a && a->text().startsWith(QString(b.name) + ": "), b.name);
      }
      QCOMPARE(Entry(dlg, "profile.default")->text(),
               QStringLiteral("default: the built-in command set (AT+WGPS, AT+WGPSDEL, "
                              "AT+WGPSXTRATIME)"));
      for (const std::string& name : fix_rules::KnownNames()) {
        QAction* a = Entry(dlg, QString::fromStdString("fix_rule." + name));
        QVERIFY2(a, name.c_str());
        QCOMPARE(a->text(), QString::fromStdString(name + ": " + fix_rules::Description(name)));
      }
      QCOMPARE(Checked(profiles), QStringLiteral("profile.default"));
      QCOMPARE(ProfileOf(dlg), std::string("default"));
      QCOMPARE(Checked(rules), QStringLiteral("fix_rule.gprmc"));
      QVERIFY(!Entry(dlg, "profile.file")->isVisible());

      BoxRecorder boxes;
      Entry(dlg, "profile.sim7600")->trigger();
      QCOMPARE(g_side_settings.profile, std::string("sim7600"));
      QCOMPARE(ProfileOf(dlg), std::string("sim7600"));
      QCOMPARE(Checked(profiles), QStringLiteral("profile.sim7600"));

      // A file that does not load: its line in a box, the choice kept.
      QString picked = broken;
      dlg.ModuleChoice().SetFilePicker([&picked] { return picked; });
      Entry(dlg, "profile.pick")->trigger();
      QCOMPARE(boxes.texts.size(), 1);
      QVERIFY2(boxes.texts[0].startsWith("The module profile " + broken + " is refused:\n" +
                                         broken + ":6: unknown key \"answer\" in [query]"),
               qPrintable(boxes.texts[0]));
      QCOMPARE(boxes.texts[0].count('\n'), 2);  // the one problem
      QVERIFY(boxes.texts[0].endsWith(
          "The previous profile stays chosen; mend the file or choose another."));
      QCOMPARE(g_side_settings.profile, std::string("sim7600"));
      QCOMPARE(ProfileOf(dlg), std::string("sim7600"));
      QCOMPARE(Checked(profiles), QStringLiteral("profile.sim7600"));

      picked.clear();  // the file dialog cancelled
      Entry(dlg, "profile.pick")->trigger();
      QCOMPARE(g_side_settings.profile, std::string("sim7600"));

      picked = lab;
      Entry(dlg, "profile.pick")->trigger();
      QCOMPARE(boxes.texts.size(), 1);
      QCOMPARE(g_side_settings.profile, lab.toStdString());
      QCOMPARE(ProfileOf(dlg), std::string("lab"));
      QAction* file = Entry(dlg, "profile.file");
      QVERIFY(file->isVisible());
      QCOMPARE(file->text(), lab);
      QCOMPARE(Checked(profiles), QStringLiteral("profile.file"));

      Entry(dlg, "fix_rule.rmc")->trigger();
      QCOMPARE(g_side_settings.fix_rule, std::string("rmc"));
      QCOMPARE(dlg.Engine().FixRuleName(), std::string("rmc"));
      QCOMPARE(Checked(rules), QStringLiteral("fix_rule.rmc"));
      // Nothing is written before the window closes.
      QCOMPARE(ReadFile(scratch.Path() + "/TTFF.cfg"), ttff_before);
      dlg.close();
    }
    QCOMPARE(ReadFile(scratch.Path() + "/TTFF.cfg"), ttff_before);
    const SideSettingsLoad saved =
        LoadSideSettingsFrom((scratch.Path() + "/" + kSideSettingsFileName).toStdString());
    QVERIFY(saved.problems.empty());
    QCOMPARE(saved.settings.profile, lab.toStdString());
    QCOMPARE(saved.settings.fix_rule, std::string("rmc"));
    QCOMPARE(saved.settings.reconnect_s, 0u);

    // The next start shows the choice of the file.
    QVERIFY(LoadSideSettings().empty());
    CZUVEKDlg again(clock, scratch.folders);
    QCOMPARE(Checked(again.ModuleChoice().ProfileMenu()), QStringLiteral("profile.file"));
    QCOMPARE(Entry(again, "profile.file")->text(), lab);
    QCOMPARE(Checked(again.ModuleChoice().FixRuleMenu()), QStringLiteral("fix_rule.rmc"));
    QCOMPARE(ProfileOf(again), std::string("lab"));
    QCOMPARE(again.Engine().FixRuleName(), std::string("rmc"));
    g_side_settings = SideSettings{};
  }

  void ATestRunsWithTheChosenProfileWhichItHoldsUntilItEnds() {
    platform::RealClock clock;
    Scratch scratch(clock);
    FreshSettings();
    Pty at, nmea;  // nobody answers: the test stays in its first wait
    QVERIFY(at.Ok() && nmea.Ok());
    const QString lab = scratch.Path() + "/lab.toml";
    WriteFile(lab, kLabProfile);
    auto dlg = std::make_unique<CZUVEKDlg>(clock, scratch.folders);
    dlg->show();
    dlg->ModuleChoice().SetFilePicker([&lab] { return lab; });
    BoxRecorder boxes;
    Entry(*dlg, "profile.pick")->trigger();
    QCOMPARE(g_side_settings.profile, lab.toStdString());
    ChoosePort(*dlg, 1013, at.Path());
    ChoosePort(*dlg, 1019, nmea.Path());
    dlg->ItemAs<QPushButton>(1016)->click();

    // Spoilt after it was chosen: the test does not start, and says why.
    WriteFile(lab, kBrokenProfile);
    dlg->ItemAs<QPushButton>(1011)->click();
    QCOMPARE(dlg->RunState(), 0);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts[0].contains(lab + ":6: "), qPrintable(boxes.texts[0]));
    QVERIFY(
        boxes.texts[0].endsWith("The test does not start: mend the file, or choose another "
                                "profile under Tools, Module profile."));
    QTest::qWait(200);
    QCOMPARE(at.ReadAll(), std::string());

    // Mended: the test asks the module with the profile's commands.
    WriteFile(lab, kLabProfile);
    dlg->ItemAs<QPushButton>(1011)->click();
    QCOMPARE(dlg->RunState(), 2);
    std::string written;
    QTRY_VERIFY((written += at.ReadAll()).find("AT+LABQ?\r\n") != std::string::npos);
    QVERIFY2(written.find("AT+WGPS") == std::string::npos, written.c_str());

    // While it runs, neither choice can change.
    QMenu* menus[] = {dlg->ModuleChoice().ProfileMenu(), dlg->ModuleChoice().FixRuleMenu()};
    for (QMenu* menu : menus) {
      QVERIFY(!menu->menuAction()->isEnabled());
      for (QAction* a : menu->actions())
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    }
    Entry(*dlg, "fix_rule.gga")->trigger();
    Entry(*dlg, "profile.sim7600")->trigger();
    QCOMPARE(g_side_settings.fix_rule, std::string("gprmc"));
    QCOMPARE(g_side_settings.profile, lab.toStdString());

    // Ended (as closing the window ends it): both can change again.
    dlg->Engine().RequestShutdown();
    QTRY_COMPARE(dlg->RunState(), 0);
    QTRY_VERIFY(menus[0]->menuAction()->isEnabled());
    Entry(*dlg, "fix_rule.gga")->trigger();
    QCOMPARE(g_side_settings.fix_rule, std::string("gga"));
    dlg.reset();
    QCOMPARE(boxes.texts.size(), 1);
    g_side_settings = SideSettings{};
  }

  // A zuvek.toml with a mistake is not written over: a choice made in the
  // window is told once to last only until it closes, and the file stays.
  void AChoiceTheSettingsFileCannotKeepIsToldOnce() {
    platform::RealClock clock;
    Scratch scratch(clock);
    const QString path = scratch.Path() + "/" + kSideSettingsFileName;
    const std::string text = "reconnect = -1\nfix_rule = \"gga\"\n";
    WriteFile(path, text);
    QCOMPARE(LoadSideSettings().size(), std::size_t(1));
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      dlg.show();
      QCOMPARE(Checked(dlg.ModuleChoice().FixRuleMenu()), QStringLiteral("fix_rule.gga"));
      BoxRecorder boxes;
      Entry(dlg, "fix_rule.rmc")->trigger();
      Entry(dlg, "profile.telit")->trigger();
      QCOMPARE(boxes.texts,
               QStringList{"zuvek.toml has a value with a problem (told when the program "
                           "started), so the window does not write it: this choice lasts until "
                           "the window closes. Mend the file to keep it."});
      QCOMPARE(g_side_settings.fix_rule, std::string("rmc"));
      QCOMPARE(ProfileOf(dlg), std::string("telit"));
      dlg.close();
    }
    QCOMPARE(ReadFile(path), text);
    g_side_settings = SideSettings{};
  }

  // ublox-8.log, a u-blox 8 that reports its fixes only in $GNRMC, line by
  // line over the NMEA port: with the default rule the position fields stay
  // empty; once "rmc" is chosen they show the first valid RMC's fields.
  void AGnrmcReceiverShowsItsPositionWithTheRmcRuleOnly() {
    platform::RealClock clock;
    Scratch scratch(clock);
    FreshSettings();
    std::vector<std::string> lines;
    for (const std::string& line :
         nmea_test::ReceivedLines(nmea_test::ReadFile(nmea_test::kRecordingDir / "ublox-8.log"))) {
      if (line.starts_with("$"))  // the sentences, without the binary message
        lines.push_back(line);
    }
    // The lines up to the second valid RMC: the first one's epoch.
    std::vector<std::string> first_fix;
    std::vector<std::string> fields;
    for (const std::string& line : lines) {
      QVERIFY2(line.find("$GPRMC") == std::string::npos, line.c_str());
      const auto f = nmea_test::Fields(line);
      if (line.find("RMC") != std::string::npos && f.size() >= 10 && f[2] == "A") {
        if (!fields.empty())
          break;
        QVERIFY(line.starts_with("$GNRMC,"));
        fields = f;
      }
      first_fix.push_back(line);
    }
    QVERIFY(!fields.empty());
    QCOMPARE(fields[3] + fields[4], std::string("4404.13401N"));

    Pty at, nmea;
    QVERIFY(at.Ok() && nmea.Ok());
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.show();
    ChoosePort(dlg, 1013, at.Path());
    ChoosePort(dlg, 1019, nmea.Path());
    BoxRecorder boxes;
    dlg.ItemAs<QPushButton>(1016)->click();
    QCOMPARE(boxes.texts, QStringList());
    const std::string all_log = dlg.Hub().NmeaAllLogPath();
    // Sends the lines; returns once the window has handled the last (it
    // goes to the all-NMEA log just before the live fields).
    std::size_t logged = 0;
    auto feed = [&](const std::vector<std::string>& part) {
      std::string bytes;
      for (const std::string& line : part)
        bytes += line;
      QVERIFY(nmea.Write(bytes));
      logged += bytes.size();
      QTRY_COMPARE((std::fflush(g_fp_nmea_all), ReadFile(QString::fromStdString(all_log)).size()),
                   logged);
    };

    QCOMPARE(Checked(dlg.ModuleChoice().FixRuleMenu()), QStringLiteral("fix_rule.gprmc"));
    feed(first_fix);
    for (int id : {kIdLat, kIdLon, kIdUtcTime, kIdUtcDate})
      QVERIFY2(Label(dlg, id).isEmpty(), qPrintable(QString::number(id)));

    Entry(dlg, "fix_rule.rmc")->trigger();  // at once, no test needed
    feed(first_fix);
    QCOMPARE(Label(dlg, kIdLat).toStdString(), fields[3] + fields[4]);
    QCOMPARE(Label(dlg, kIdLon).toStdString(), fields[5] + fields[6]);
    QCOMPARE(Label(dlg, kIdUtcTime).toStdString(), fields[1]);
    QCOMPARE(Label(dlg, kIdUtcDate).toStdString(), fields[9]);
    QCOMPARE(boxes.texts, QStringList());
    dlg.ItemAs<QPushButton>(1017)->click();
    g_side_settings = SideSettings{};
  }
};

QTEST_MAIN(ModuleChoiceTest)
#include "module_choice_test.moc"
