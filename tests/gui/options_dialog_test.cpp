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
const QString kNotPositive = QString::fromUtf8("时间设置不能小于等于0");

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
        {"a time-out of 0 is refused", "0", "10", "3000", "AT", false, {kNotPositive}},
        {"an interval sleep of -1 is refused", "200", "-1", "3000", "AT", false, {kNotPositive}},
        {"an uncertainty of 0 is refused", "200", "10", "0", "AT", false, {kNotPositive}},
        {"an uncertainty of 1 is enough", "5", "6", "1", "AT", true, {}},
        {"a command of 99 characters is stored whole", "200", "10", "3000", c99, true, {}},
        {"a command of 100 characters is refused", "200", "10", "3000", c100, false, {kTooLong}},
        {"the command is checked first: one message only", "0", "0", "0", c100, false, {kTooLong}},
        {"an empty command is accepted", "200", "10", "3000", "", true, {}},
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

  void ANumberThatDoesNotParseKeepsItsValue() {
    CDialogOptions dlg;
    dlg.show();
    Fill(dlg, {"", "abc", "7", "9", "AT", true, {}});
    BoxRecorder boxes;
    dlg.findChild<QPushButton*>("1")->click();
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Please enter an integer.")});
    QCOMPARE(g_config.GetTimeout(), 200);  // the value the dialog opened with
    QCOMPARE(g_config.GetIntervalSleep(), 7);
  }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
