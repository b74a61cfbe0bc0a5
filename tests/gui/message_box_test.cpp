// Message boxes from the GUI thread and from a worker, answered by the test
// hook instead of a user.
#include <QAbstractButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/qt/message_box.h"

namespace {

struct Seen {
  QString title;
  QString text;
  bool on_gui_thread = false;
  bool only_ok = false;
  int count = 0;
};

// Answers every box by pressing its OK button once it runs.
void AnswerWithOk(Seen& seen) {
  QThread* gui = QThread::currentThread();
  qtui::MessageBoxTestHook() = [&seen, gui](QMessageBox& box) {
    ++seen.count;
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.on_gui_thread = QThread::currentThread() == gui;
    seen.only_ok = box.standardButtons() == QMessageBox::Ok;
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    QTimer::singleShot(0, &box, [ok] { ok->click(); });
  };
}

}  // namespace

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { qtui::MessageBoxTestHook() = nullptr; }

  void FromTheGuiThreadShowsAtOnce() {
    Seen seen;
    AnswerWithOk(seen);
    QVERIFY(qtui::ShowMessageBox(QStringLiteral("Open serial port failed!")));
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("ZUVEK"));
    QCOMPARE(seen.text, QStringLiteral("Open serial port failed!"));
    QVERIFY(seen.only_ok);
  }

  void FromAWorkerRunsOnTheGuiThreadWhileTheWorkerWaits() {
    Seen seen;
    AnswerWithOk(seen);
    std::atomic<bool> returned{false};
    std::atomic<bool> shown{false};
    std::atomic<int> count_at_return{-1};
    std::thread worker([&] {
      shown = qtui::ShowMessageBox(QStringLiteral("AT command timeout!check will break"));
      count_at_return = seen.count;
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 10000);
    worker.join();
    QVERIFY(shown.load());
    QCOMPARE(count_at_return.load(), 1);  // the box had been answered before the worker went on
    QVERIFY(seen.on_gui_thread);
    QCOMPARE(seen.text, QStringLiteral("AT command timeout!check will break"));
  }

  void WorkerStaysBlockedWhileTheBoxIsOpen() {
    // The box's own event loop runs the answer; the test's wait cannot look
    // in while the box is up, so the hook notes what it sees when it answers.
    std::atomic<bool> returned{false};
    bool returned_while_open = true;
    bool visible_when_answered = false;
    qtui::MessageBoxTestHook() = [&](QMessageBox& box) {
      QTimer::singleShot(20, &box, [&] {
        returned_while_open = returned.load();
        visible_when_answered = box.isVisible();
        box.button(QMessageBox::Ok)->click();
      });
    };
    std::thread worker([&] {
      qtui::ShowMessageBox(QStringLiteral("fopen failed!"));
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 10000);
    worker.join();
    QVERIFY(visible_when_answered);
    QVERIFY(!returned_while_open);
  }
};

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
