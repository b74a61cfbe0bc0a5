// The main window offscreen: its layout and first state, the button states
// through Open, Run, the worker's messages and Close, the result list, the
// status line's dots, the menus, a vanished port, a full disk, and closing
// the window while a test runs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <cerrno>
#include <fstream>

#include "app/about_dlg.h"
#include "app/options_dialog.h"
#include "app/qt/dialog_units.h"
#include "app/zuvek_dlg.h"
#include "config/side_settings.h"
#include "controls/elided_combo_box.h"
#include "controls/label.h"
#include "engine/results.h"
#include "platform/file_writes.h"
#include "tests/gui/window_fixture.h"

using guitest::BoxRecorder;
using guitest::Pty;
using guitest::Scratch;

namespace {

const int kSetupIds[] = {1004, 1012, 1005, 1006, 1007, 1008, 1000, 1001, 1002, 1037};
const int kPortIds[] = {1013, 1019, 1014, 1020};

bool Enabled(CZUVEKDlg& dlg, int id) {
  return dlg.Item(id)->isEnabled();
}

QString Cell(CZUVEKDlg& dlg, int row, int col) {
  const QTableWidgetItem* item = dlg.ItemAs<QTableWidget>(1025)->item(row, col);
  return item ? item->text() : QString();
}

// Puts a device path into a port list and selects it.
void ChoosePort(CZUVEKDlg& dlg, int id, const std::string& path) {
  auto* combo = dlg.ItemAs<QComboBox>(id);
  combo->addItem(QString::fromStdString(path));
  combo->setCurrentIndex(combo->count() - 1);
}

QAction* MenuAction(CZUVEKDlg& dlg, const char* id) {
  return dlg.MenuBar()->findChild<QAction*>(QString::fromLatin1(id));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

class ZuvekDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsAsTheTemplateSays() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ZUVEK_V1.3"));
    QVERIFY(!dlg.windowIcon().isNull());

    // The list: three equal centred columns with their titles.
    auto* list = dlg.ItemAs<QTableWidget>(1025);
    QCOMPARE(list->columnCount(), 3);
    const QStringList titles = {"TIMES", "Duration Time(s)", "RESULT"};
    for (int c = 0; c < 3; ++c) {
      QCOMPARE(list->horizontalHeaderItem(c)->text(), titles[c]);
      QCOMPARE(list->columnWidth(c), list->columnWidth(0));
    }
    QVERIFY(list->columnWidth(0) * 3 <= list->width());
    QVERIFY(list->columnWidth(0) * 3 > list->width() - 12);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(list->showGrid());
    QCOMPARE(list->rowCount(), 0);

    QVERIFY(dlg.ItemAs<QRadioButton>(1000)->isChecked());
    QVERIFY(dlg.ItemAs<QRadioButton>(1004)->isChecked());
    for (int id : {1001, 1002, 1012, 1005, 1006, 1007, 1008})
      QVERIFY2(!dlg.ItemAs<QRadioButton>(id)->isChecked(), qPrintable(QString::number(id)));
    QVERIFY(Enabled(dlg, 1016));
    for (int id : {1017, 1011, 1010})
      QVERIFY2(!Enabled(dlg, id), qPrintable(QString::number(id)));
    for (int id : kPortIds)
      QVERIFY(Enabled(dlg, id));
    for (int id : kSetupIds)
      QVERIFY(Enabled(dlg, id));

    // The eight value labels and the status line start empty, in their styling.
    for (int id : {1030, 1031, 1032, 1033, 1034, 1035, 1038, 1039}) {
      auto* label = dlg.ItemAs<CLabel>(id);
      QVERIFY2(label->Text().isEmpty(), qPrintable(QString::number(id)));
      QCOMPARE(label->TextColor(), RGB(0, 10, 250));
      QCOMPARE(label->GetLogFont().face_name, QStringLiteral("San Serif"));
    }
    QVERIFY(dlg.ItemAs<CLabel>(1023)->Text().isEmpty());
    QCOMPARE(dlg.ItemAs<CLabel>(1023)->TextColor(), RGB(0, 0, 255));

    // Hidden controls, the baud lists' default and the chart over box 1028.
    QVERIFY(!dlg.Item(1015)->isVisible());
    QVERIFY(!dlg.Item(1021)->isVisible());
    QCOMPARE(dlg.ItemAs<QComboBox>(1014)->currentIndex(), app_config().m_at_baud_index);
    QCOMPARE(dlg.ItemAs<QComboBox>(1020)->currentText(), QStringLiteral("115200"));
    QCOMPARE(dlg.Chart()->geometry(), dlg.Item(1028)->geometry());
    QCOMPARE(dlg.Chart()->geometry(), qtui::DialogRectToPixels(198, 129, 529, 152));
    QCOMPARE(dlg.Item(1011)->geometry(), qtui::DialogRectToPixels(640, 79, 53, 18));
    QCOMPARE(dlg.ItemAs<QPushButton>(1016)->text(), QStringLiteral("Open"));

    if (qEnvironmentVariableIsSet("ZUVEK_GRAB"))
      dlg.grab().save(qEnvironmentVariable("ZUVEK_GRAB"));
    QCOMPARE(MenuAction(dlg, "32771")->text(), QStringLiteral("Option"));
    QCOMPARE(MenuAction(dlg, "16")->text(), QStringLiteral("&About ZUVEK..."));
  }

  // Power cycling is offered only with a hook that can do it, and says so;
  // the Options dialog lists zuvek.toml's hooks, read-only, and is as it
  // always was without any.
  void PowerCycleAndTheHooksListFollowZuvekToml() {
    platform::RealClock clock;
    Scratch scratch(clock);
    const SideSettings kept = g_side_settings;
    g_side_settings.hooks.clear();
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      QAction* power = MenuAction(dlg, "power-cycle");
      QVERIFY(power && !power->isEnabled());
      QVERIFY(power->text().contains(QStringLiteral("needs a power-cycle hook in zuvek.toml")));
      CDialogOptions options;
      QVERIFY(!options.findChild<QPlainTextEdit*>(QStringLiteral("hooks")));
      QCOMPARE(options.size(), qtui::DialogRectToPixels(0, 0, 249, 139).size());
    }
    const SideSettingsLoad load = ParseSideSettings(
        "[[hook]]\nname = \"hub\"\nat = \"power-cycle\"\ncommand = \"uhubctl -l 1-1 -p 2 -a "
        "cycle\"\ntimeout = 30\n",
        "zuvek.toml");
    QVERIFY(load.problems.empty());
    g_side_settings = load.settings;
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      QAction* power = MenuAction(dlg, "power-cycle");
      QVERIFY(power && power->isEnabled() && power->isCheckable());
      QCOMPARE(power->text(), QStringLiteral("Power cycle before each start"));
      CDialogOptions options;
      auto* list = options.findChild<QPlainTextEdit*>(QStringLiteral("hooks"));
      QVERIFY(list && list->isReadOnly());
      QCOMPARE(list->toPlainText(),
               QStringLiteral("power-cycle  hub: uhubctl -l 1-1 -p 2 -a cycle (time-out 30 s, on "
                              "failure fail-run)"));
    }
    g_side_settings = kept;
  }

  void TheWindowHasAMinimiseBox() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    QCOMPARE(dlg.windowType(), Qt::Window);
    const Qt::WindowFlags flags = dlg.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));  // it grows and shrinks
  }

  void LongPortPathsStayApartInTheClosedLists() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.show();
    // A module's AT and NMEA ports: by-id names that differ only at their end.
    const std::string stem =
        "/dev/serial/by-id/usb-Quectel_Incorporated_EC25_Module_0123456789ABCDEF-if0";
    const std::string at = stem + "2-port0", nmea = stem + "1-port0";
    for (int id : {1013, 1019}) {
      auto* combo = dlg.ItemAs<QComboBox>(id);
      ChoosePort(dlg, id, at);
      const QImage shown_at = combo->grab().toImage();
      QCOMPARE(combo->toolTip(), QString::fromStdString(at));
      QCOMPARE(combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString(),
               QString::fromStdString(at));
      ChoosePort(dlg, id, nmea);
      const QImage shown_nmea = combo->grab().toImage();
      QCOMPARE(combo->toolTip(), QString::fromStdString(nmea));
      QVERIFY2(shown_at != shown_nmea, "the closed list shows both paths alike");
      // What it shows: the start, an ellipsis and the end that tells the ports apart.
      auto* elided = qobject_cast<qtui::ElidedComboBox*>(combo);
      QVERIFY(elided);
      const QString shown = elided->DisplayedText();
      QVERIFY2(shown.startsWith("/") && shown.contains(QChar(0x2026)) && shown.endsWith("1-port0"),
               qPrintable(shown));
    }
  }

  void ClosingSavesTheFourSelectionsAndTheyComeBack() {
    platform::RealClock clock;
    Scratch scratch(clock);
    g_config.m_at_baud_index = 0;
    g_config.m_chip_index = 1;
    g_config.m_at_port_index = 999;  // outside the list: no selection
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      QCOMPARE(dlg.ItemAs<QComboBox>(1014)->currentText(), QStringLiteral("9600"));
      QCOMPARE(dlg.ItemAs<QComboBox>(1015)->currentText(), QStringLiteral("VK60"));
      QCOMPARE(dlg.ItemAs<QComboBox>(1013)->currentIndex(), -1);
      dlg.ItemAs<QComboBox>(1014)->setCurrentIndex(3);
      dlg.ItemAs<QComboBox>(1020)->setCurrentIndex(1);
      dlg.ItemAs<QComboBox>(1015)->setCurrentIndex(0);
      dlg.show();
      dlg.close();
      QVERIFY(dlg.Destroyed());
    }
    QVERIFY(QFile::exists(scratch.Path() + "/TTFF.cfg"));
    g_config = app_config();
    LoadConfig();
    QCOMPARE(g_config.m_at_baud_index, 3);
    QCOMPARE(g_config.m_chip_index, 0);
    QCOMPARE(g_config.m_at_port_index, -1);
    CZUVEKDlg again(clock, scratch.folders);
    QCOMPARE(again.ItemAs<QComboBox>(1014)->currentText(), QStringLiteral("4800"));
    // The NMEA rate is not saved: its list default comes back.
    QCOMPARE(again.ItemAs<QComboBox>(1020)->currentText(), QStringLiteral("115200"));
  }

  void ASettingsFileThatCannotBeWrittenIsToldAndTheWindowStillCloses() {
    platform::RealClock clock;
    Scratch scratch(clock);
    QVERIFY(QDir(scratch.Path()).mkdir("TTFF.cfg"));  // a folder where the file goes
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      dlg.show();
      dlg.close();
      QVERIFY(dlg.Destroyed());
      QVERIFY(!dlg.isVisible());
    }
    const QStringList logs = QDir(scratch.Path()).entryList({"ZUVEK_*.txt"}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    const std::string log = ReadFile((scratch.Path() + "/" + logs[0]).toStdString());
    QVERIFY2(log.find("could not write TTFF.cfg") != std::string::npos, log.c_str());
  }

  void OpenWithNothingSelectedShowsEachFailureAndStillOpens() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.ItemAs<QComboBox>(1013)->setCurrentIndex(-1);
    dlg.ItemAs<QComboBox>(1019)->setCurrentIndex(-1);
    BoxRecorder boxes;
    dlg.ItemAs<QPushButton>(1016)->click();
    // After "Open serial port failed!" a box says why (the ports that exist
    // differ from machine to machine).
    QCOMPARE(boxes.texts.size(), 8);
    for (int i : {0, 4})
      QCOMPARE(boxes.texts[i], QStringLiteral("Open serial port failed!"));
    for (int i : {1, 5})
      QVERIFY2(boxes.texts[i].startsWith("No port was chosen. "), qPrintable(boxes.texts[i]));
    for (int i : {2, 3, 6, 7})
      QCOMPARE(boxes.texts[i], QStringLiteral("Serial Failed!"));
    const QStringList expected = boxes.texts;
    QVERIFY(!Enabled(dlg, 1016));
    QVERIFY(Enabled(dlg, 1017));
    QVERIFY(Enabled(dlg, 1011));
    QVERIFY(!Enabled(dlg, 1010));
    for (int id : kPortIds)
      QVERIFY(!Enabled(dlg, id));

    dlg.ItemAs<QPushButton>(1017)->click();
    QVERIFY(Enabled(dlg, 1016));
    for (int id : {1017, 1011, 1010})
      QVERIFY(!Enabled(dlg, id));
    for (int id : kPortIds)
      QVERIFY(Enabled(dlg, id));
    QCOMPARE(boxes.texts.size(), expected.size());
  }

  void OpenWithAutoStartWritesTheProfilesStartAndTheNmeaLog() {
    platform::RealClock clock;
    Scratch scratch(clock);
    Pty at, nmea;
    QVERIFY(at.Ok() && nmea.Ok());
    CZUVEKDlg dlg(clock, scratch.folders);
    ChoosePort(dlg, 1013, at.Path());
    ChoosePort(dlg, 1019, nmea.Path());
    dlg.ItemAs<QCheckBox>(1029)->setChecked(true);
    BoxRecorder boxes;
    dlg.ItemAs<QPushButton>(1016)->click();
    QCOMPARE(boxes.texts, QStringList());
    std::string written;
    QTRY_VERIFY((written += at.ReadAll()).size() >= 11);
    QCOMPARE(QString::fromStdString(written), QStringLiteral("AT+WGPS=1\r\n"));
    const std::string log = dlg.Hub().NmeaAllLogPath();
    QVERIFY(log.starts_with(scratch.folders.GetNmeaLogDir()));
    QVERIFY(log.ends_with("_nmea_log_all.txt"));
    QVERIFY(QFile::exists(QString::fromStdString(log)));
    dlg.ItemAs<QPushButton>(1017)->click();

    // The chosen profile's command that turns GNSS on, never the default's.
    const struct {
      const char* profile;
      const char* written;
    } cases[] = {{"telit", "AT$GPSP=1\r\n"},
                 {"sim7600", "AT+CGPS=1,1\r\n"},
                 {"sim7000", "AT+CGNSPWR=1\r\n"},  // no common start: its power-on
                 {"a76xx", "AT+CGNSSPWR=1\r\n"},
                 {"default", "AT+WGPS=1\r\n"}};
    for (const auto& c : cases) {
      auto* entry = dlg.findChild<QAction*>(QStringLiteral("profile.") + c.profile);
      QVERIFY(entry);
      entry->trigger();
      at.ReadAll();
      dlg.ItemAs<QPushButton>(1016)->click();
      written.clear();
      const std::string want = c.written;
      QTRY_VERIFY((written += at.ReadAll()).size() >= want.size());
      QCOMPARE(QString::fromStdString(written), QString::fromStdString(want));
      dlg.ItemAs<QPushButton>(1017)->click();
    }
    QCOMPARE(boxes.texts, QStringList());
  }

  void ResultRowsGoOnTopAndAStartClearsThem() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.OnTestResult(reinterpret_cast<WPARAM>(new TestResult{true, 12.3456, 1, {}, {}}), 0);
    dlg.OnTestResult(reinterpret_cast<WPARAM>(new TestResult{false, 0.0, 2, {}, "time-out"}), 0);
    QCOMPARE(Cell(dlg, 0, 0), QStringLiteral("2"));
    QCOMPARE(Cell(dlg, 0, 1), QStringLiteral("N/A"));
    QCOMPARE(Cell(dlg, 0, 2), QStringLiteral("FAIL"));
    QCOMPARE(Cell(dlg, 1, 0), QStringLiteral("1"));
    QCOMPARE(Cell(dlg, 1, 1), QStringLiteral("12.346"));
    QCOMPARE(Cell(dlg, 1, 2), QStringLiteral("SUCC"));
    QCOMPARE(dlg.ItemAs<QTableWidget>(1025)->item(0, 1)->textAlignment(), int(Qt::AlignCenter));
    QCOMPARE(dlg.OnTestResult(0, 0), LRESULT(0));  // no record: nothing happens
    QCOMPARE(dlg.ItemAs<QTableWidget>(1025)->rowCount(), 2);
    const QTableWidget* list = dlg.ItemAs<QTableWidget>(1025);
    QCOMPARE(list->item(1, 2)->background().style(), Qt::NoBrush);

    // A reset suspect keeps its texts; its row is marked and tells why.
    dlg.OnTestResult(reinterpret_cast<WPARAM>(new TestResult{true,
                                                             1.5,
                                                             3,
                                                             "fix in 1.50 s, faster than a cold "
                                                             "start can be (10 s)",
                                                             {}}),
                     0);
    QCOMPARE(Cell(dlg, 0, 2), QStringLiteral("SUCC"));
    for (int c = 0; c < 3; ++c) {
      QVERIFY(list->item(0, c)->background().style() != Qt::NoBrush);
      QVERIFY(list->item(0, c)->toolTip().startsWith(QStringLiteral("Reset suspect: fix in 1.50")));
    }
    QCOMPARE(list->item(1, 2)->background().style(), Qt::NoBrush);
    delete dlg.ItemAs<QTableWidget>(1025)->takeItem(0, 0);
    dlg.ItemAs<QTableWidget>(1025)->removeRow(0);
    QCOMPARE(dlg.ItemAs<QTableWidget>(1025)->rowCount(), 2);

    // The hidden debug button adds a row of ones on top.
    dlg.ItemAs<QPushButton>(1021)->click();
    QCOMPARE(dlg.ItemAs<QTableWidget>(1025)->rowCount(), 3);
    for (int c = 0; c < 3; ++c)
      QCOMPARE(Cell(dlg, 0, c), QStringLiteral("1"));

    QCOMPARE(dlg.OnTestStarted(0, 0), LRESULT(1));
    QCOMPARE(dlg.ItemAs<QTableWidget>(1025)->rowCount(), 0);
    QVERIFY(!Enabled(dlg, 1011));
    QVERIFY(Enabled(dlg, 1010));
    QCOMPARE(dlg.OnTestFinished(0, 0), LRESULT(1));
    QVERIFY(!Enabled(dlg, 1010));
    QVERIFY(!Enabled(dlg, 1011));  // the ports are closed: Run stays off
  }

  void RunningTestDisablesSetupShowsDotsRefusesOptionsAndEndsOnClose() {
    platform::RealClock clock;
    Scratch scratch(clock);
    Pty at, nmea;  // nobody answers: the test stays in its first wait
    QVERIFY(at.Ok() && nmea.Ok());
    auto dlg = std::make_unique<CZUVEKDlg>(clock, scratch.folders);
    dlg->show();
    ChoosePort(*dlg, 1013, at.Path());
    ChoosePort(*dlg, 1019, nmea.Path());
    BoxRecorder boxes;
    dlg->ItemAs<QPushButton>(1016)->click();
    dlg->OnTimer(CZUVEKDlg::kStatusTimerId);
    QVERIFY(dlg->ItemAs<CLabel>(1023)->Text().isEmpty());  // idle: empty status

    dlg->ItemAs<QPushButton>(1011)->click();
    QCOMPARE(dlg->RunState(), 2);
    for (int id : kSetupIds)
      QVERIFY2(!Enabled(*dlg, id), qPrintable(QString::number(id)));
    QVERIFY(Enabled(*dlg, 1009));      // the Define edit is not a setup control
    QTRY_VERIFY(Enabled(*dlg, 1010));  // the worker's start message
    QVERIFY(!Enabled(*dlg, 1011));

    // Each tick adds a dot, from none to five, then starts again.
    auto* status = dlg->ItemAs<CLabel>(1023);
    const int first = g_nStatusDots;
    for (int tick = 0; tick < 8; ++tick) {
      dlg->OnTimer(CZUVEKDlg::kStatusTimerId);
      QCOMPARE(status->Text(), "System is running" + QString((first + tick) % 6, '.'));
    }
    const QString shown = status->Text();
    dlg->OnTimer(7);  // another timer: ignored
    QCOMPARE(status->Text(), shown);

    // Options are refused while the test runs: no dialog opens.
    bool opened = false;
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [&opened] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        opened = true;
        modal->close();
      }
    });
    guard.start(10);
    MenuAction(*dlg, "32771")->trigger();
    QVERIFY(!opened);
    guard.stop();

    // Closing asks once, then ends the test: it writes its result log and
    // the settings.
    QElapsedTimer closing;
    closing.start();
    dlg->close();
    QVERIFY(closing.elapsed() < CZUVEKDlg::kShutdownWaitMs);  // ended by itself
    QVERIFY(!dlg->Engine().IsRunning());
    const std::string result_log = dlg->Engine().LastOutcome().logs.result;
    QVERIFY(!result_log.empty());
    QVERIFY(ReadFile(result_log).starts_with("Times\t\t\tResult\t\t\tDuration\r\n"));
    QVERIFY(QFile::exists(scratch.Path() + "/TTFF.cfg"));
    dlg.reset();
    // One question, answered Yes by the recorder: stop the test and close.
    QCOMPARE(boxes.texts, QStringList{QString::fromUtf8(kStopTestToClose)});
  }

  void OptionAndAboutOpenTheirDialogsWhenIdle() {
    platform::RealClock clock;
    Scratch scratch(clock);
    CZUVEKDlg dlg(clock, scratch.folders);
    dlg.show();
    QString seen_title, seen_version;
    bool options_seen = false;
    auto answer = [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal)
        return false;
      seen_title = modal->windowTitle();
      options_seen = qobject_cast<CDialogOptions*>(modal) != nullptr;
      for (auto* label : modal->findChildren<QLabel*>())
        if (label->text().startsWith("ZUVEK"))
          seen_version = label->text();
      modal->close();
      return true;
    };
    QTimer guard;
    connect(&guard, &QTimer::timeout, this, [&] {
      if (answer())
        guard.stop();
    });
    guard.start(10);
    MenuAction(dlg, "32771")->trigger();
    QVERIFY(options_seen);
    QCOMPARE(seen_title, QStringLiteral("Options"));

    guard.start(10);
    MenuAction(dlg, "16")->trigger();
    QCOMPARE(seen_title, QStringLiteral("About ZUVEK"));
    QCOMPARE(seen_version, QStringLiteral("ZUVEK Version 1.1"));
  }

  void AVanishedPortIsToldOnceInWords() {
    platform::RealClock clock;
    Scratch scratch(clock);
    Pty at, nmea;
    QVERIFY(at.Ok() && nmea.Ok());
    CZUVEKDlg dlg(clock, scratch.folders);
    ChoosePort(dlg, 1013, at.Path());
    ChoosePort(dlg, 1019, nmea.Path());
    BoxRecorder boxes;
    dlg.ItemAs<QPushButton>(1016)->click();
    nmea.Close();  // the device side hangs up
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts[0].contains("NMEA port is gone"));
    QTest::qWait(300);  // later events of the dead port add nothing
    QCOMPARE(boxes.texts.size(), 1);
    dlg.ItemAs<QPushButton>(1017)->click();
  }

  void AFullDiskIsToldInOneBoxThenInTheDebugLog() {
    platform::RealClock clock;
    Scratch scratch(clock);
    Pty at, nmea;
    QVERIFY(at.Ok() && nmea.Ok());
    platform::ResetWriteFailures();
    // The all-NMEA log's file system is full.
    auto previous = platform::SetWriteFault([](const std::string& path, std::size_t) {
      return path.ends_with("_nmea_log_all.txt") ? ENOSPC : 0;
    });
    {
      CZUVEKDlg dlg(clock, scratch.folders);
      ChoosePort(dlg, 1013, at.Path());
      ChoosePort(dlg, 1019, nmea.Path());
      BoxRecorder boxes;
      dlg.ItemAs<QPushButton>(1016)->click();
      const std::string log = dlg.Hub().NmeaAllLogPath();
      for (int i = 0; i < 5; ++i)
        QVERIFY(nmea.Write("$GPGGA,,,,,,0,,,,,,,,*66\r\n"));
      QTRY_COMPARE(boxes.texts.size(), 1);
      const QString text = boxes.texts[0];
      QVERIFY2(text.startsWith(
                   QString::fromStdString("Cannot write " + log + ": No space left on device. ")),
               qPrintable(text));
      QVERIFY(text.contains("Free space on ") && text.contains("or choose another folder"));
      QVERIFY(nmea.Write("$GPGGA,,,,,,0,,,,,,,,*66\r\n"));
      QTest::qWait(300);  // later lost lines add no box
      QCOMPARE(boxes.texts.size(), 1);
      // After the box, the debug log has it too.
      QString debug_log;
      for (const QString& name : QDir(scratch.Path()).entryList({"ZUVEK_*.txt"}))
        debug_log = scratch.Path() + "/" + name;
      QVERIFY(!debug_log.isEmpty());
      QVERIFY(QString::fromStdString(ReadFile(debug_log.toStdString())).contains(text));
      dlg.ItemAs<QPushButton>(1017)->click();
    }
    platform::SetWriteFault(std::move(previous));
    platform::ResetWriteFailures();
  }
};

QTEST_MAIN(ZuvekDlgTest)
#include "zuvek_dlg_test.moc"
