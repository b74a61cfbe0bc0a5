// The Options dialog through its widgets: which entries are stored, which
// are refused with which message, and that cancelling stores nothing.
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/options_dialog.h"
#include "config/app_config.h"
#include "tests/gui/window_fixture.h"

using guitest::BoxRecorder;

namespace {

const QString kTooLong = QStringLiteral("ImportXTRA Command too long, please fix it!");
const QString kNotPositive =
    QString::fromUtf8("时间设置不能小于等于0\nThe time settings must be greater than 0.");

// The box of a refused field: the message, then the field on a line of its own.
QString Box(const QString& message, const char* field) {
  return message + QStringLiteral("\nField: ") + QString::fromLatin1(field);
}

struct Entry {
  const char* legend;
  QString timeout, interval, uncrtn, command;
  bool stored;
  QStringList messages;
};

void Fill(CDialogOptions& dlg, const Entry& e) {
  dlg.findChild<QLineEdit*>("1024")->setText(e.timeout);
  dlg.findChild<QLineEdit*>("1025")->setText(e.interval);
  dlg.findChild<QLineEdit*>("1026")->setText(e.uncrtn);
  dlg.findChild<QLineEdit*>("1038")->setText(e.command);
}

bool SameRecord(const app_config& a, const app_config& b) {
  return a.m_timeout == b.m_timeout && a.m_interval_sleep == b.m_interval_sleep &&
         a.m_uncrtn == b.m_uncrtn && a.GetImportXtraCmd() == b.GetImportXtraCmd();
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    g_config = app_config();
    g_config.SetTimeout(200);
    g_config.SetIntervalSleep(10);
    g_config.SetUncrtn(3000);
    g_config.SetImportXtraCmd("AT+WGPSXTRADATA=\"RAM:xtra2.bin\"");
  }

  void OpensWithTheRecordsValues() {
    CDialogOptions dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Options"));
    QCOMPARE(dlg.findChild<QLineEdit*>("1024")->text(), QStringLiteral("200"));
    QCOMPARE(dlg.findChild<QLineEdit*>("1025")->text(), QStringLiteral("10"));
    QCOMPARE(dlg.findChild<QLineEdit*>("1026")->text(), QStringLiteral("3000"));
    QCOMPARE(dlg.findChild<QLineEdit*>("1038")->text(),
             QStringLiteral("AT+WGPSXTRADATA=\"RAM:xtra2.bin\""));
    QVERIFY(!dlg.findChild<QPushButton*>("2")->isVisibleTo(&dlg));
  }

  void SaveStoresOrRefuses() {
    const QString c99(99, 'C');
    const QString c100(100, 'C');
    const Entry entries[] = {
        {"unchanged values are stored as they were",
         "200",
         "10",
         "3000",
         "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"",
         true,
         {}},
        {"a time-out of 0 is refused",
         "0",
         "10",
         "3000",
         "AT",
         false,
         {Box(kNotPositive, "Timeout")}},
        {"an interval sleep of -1 is refused",
         "200",
         "-1",
         "3000",
         "AT",
         false,
         {Box(kNotPositive, "Interval sleep")}},
        {"an uncertainty of 0 is refused",
         "200",
         "10",
         "0",
         "AT",
         false,
         {Box(kNotPositive, "UNCRTN")}},
        {"an uncertainty of 1 is enough", "5", "6", "1", "AT", true, {}},
        {"a command of 99 characters is stored whole", "200", "10", "3000", c99, true, {}},
        {"a command of 100 characters is refused",
         "200",
         "10",
         "3000",
         c100,
         false,
         {Box(kTooLong, "Import XTRA")}},
        {"the command is checked first: one message only",
         "0",
         "0",
         "0",
         c100,
         false,
         {Box(kTooLong, "Import XTRA")}},
        {"an empty command is accepted", "200", "10", "3000", "", true, {}},
        {"a time-out beyond a day",
         "2147483647",
         "10",
         "3000",
         "AT",
         false,
         {Box(QStringLiteral("Timeout can be at most 86400 s."), "Timeout")}},
        {"an uncertainty beyond an hour",
         "200",
         "10",
         "3000000000",
         "AT",
         false,
         {Box(QStringLiteral("UNCRTN can be at most 3600000 ms."), "UNCRTN")}},
    };
    for (const Entry& e : entries) {
      init();
      const app_config before = g_config;
      CDialogOptions dlg;
      dlg.show();
      Fill(dlg, e);
      BoxRecorder boxes;
      dlg.findChild<QPushButton*>("1")->click();
      QVERIFY2(boxes.texts == e.messages, e.legend);
      QVERIFY2(dlg.isVisible() != e.stored, e.legend);  // stored: the dialog closed
      QVERIFY2(dlg.result() == (e.stored ? QDialog::Accepted : QDialog::Rejected), e.legend);
      if (!e.stored) {
        QVERIFY2(SameRecord(g_config, before), e.legend);
        continue;
      }
      QCOMPARE(QString::number(g_config.GetTimeout()), e.timeout);
      QCOMPARE(QString::number(g_config.GetIntervalSleep()), e.interval);
      QCOMPARE(QString::number(g_config.GetUncrtn()), e.uncrtn);
      QCOMPARE(QString::fromStdString(g_config.GetImportXtraCmd()), e.command);
    }
  }

  void EnterSavesIntoTheRecordNotTheFile() {
    platform::RealClock clock;
    guitest::Scratch scratch(clock);
    init();
    CDialogOptions dlg;
    dlg.show();
    dlg.findChild<QLineEdit*>("1024")->setText("77");
    QTest::keyClick(dlg.findChild<QLineEdit*>("1024"), Qt::Key_Return);
    QCOMPARE(g_config.GetTimeout(), 77);
    QVERIFY(!dlg.isVisible());
    QVERIFY(!QFile::exists(scratch.Path() + "/TTFF.cfg"));  // written when the window closes
  }

  void EscapeAndTheCloseBoxStoreNothing() {
    for (bool escape : {true, false}) {
      init();
      const app_config before = g_config;
      CDialogOptions dlg;
      dlg.show();
      Fill(dlg, {"", "5", "5", "5", "AT+X", true, {}});
      if (escape)
        QTest::keyClick(&dlg, Qt::Key_Escape);
      else
        dlg.close();
      QVERIFY(!dlg.isVisible());
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
      QVERIFY(SameRecord(g_config, before));
    }
  }

  // A typo keeps the dialog open on its field, names the field and stores
  // nothing, not even the fields that were right; corrected, all is stored.
  void ATypoKeepsTheDialogOpenOnItsField() {
    CDialogOptions dlg;
    dlg.show();
    Fill(dlg, {"", "150", "1O", "9", "AT+Y", true, {}});
    BoxRecorder boxes;
    dlg.findChild<QPushButton*>("1")->click();
    QCOMPARE(boxes.texts,
             QStringList{Box(QStringLiteral("Please enter an integer."), "Interval sleep")});
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.focusWidget(), dlg.findChild<QLineEdit*>("1025"));
    QCOMPARE(g_config.GetTimeout(), 200);
    QCOMPARE(g_config.GetIntervalSleep(), 10);
    QCOMPARE(g_config.GetUncrtn(), 3000);
    dlg.findChild<QLineEdit*>("1025")->setText(QStringLiteral("10"));
    dlg.findChild<QPushButton*>("1")->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(g_config.GetTimeout(), 150);
    QCOMPARE(g_config.GetUncrtn(), 9);
    QCOMPARE(g_config.GetImportXtraCmd(), std::string("AT+Y"));
  }

  // Each box is wide enough for its largest value and says its range.
  void TheBoundsFit() {
    CDialogOptions dlg;
    const std::pair<const char*, int> largest[] = {
        {"1024", 86400}, {"1025", 86400}, {"1026", 3600000}};
    for (auto [id, value] : largest) {
      QLineEdit* edit = dlg.findChild<QLineEdit*>(id);
      edit->setText(QString::number(value));
      const int text = edit->fontMetrics().horizontalAdvance(edit->text());
      QVERIFY2(edit->width() >= text + 8, id);  // the frame and margins beside the digits
      QVERIFY2(edit->toolTip().contains(QString::number(value)), id);
    }
  }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
