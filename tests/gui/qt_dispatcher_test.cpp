// The GUI-thread dispatcher: order and thread of posted tasks, sends from a
// worker thread, and the release of queued work when it closes.
#include <QMetaMethod>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/qt/qt_dispatcher.h"
#include "platform/message_target.h"

using qtui::QtDispatcher;

class QtDispatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void PostsFromAWorkerRunOnTheGuiThreadInOrder() {
    QtDispatcher dispatcher;
    QThread* gui = QThread::currentThread();
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> off_thread{0};
    std::atomic<bool> worker_owns{true};
    std::thread worker([&] {
      worker_owns = dispatcher.IsOwnerThread();
      for (int i = 0; i < 200; ++i) {
        dispatcher.PostTask([&, i] {
          if (QThread::currentThread() != gui)
            ++off_thread;
          std::lock_guard<std::mutex> lock(mutex);
          order.push_back(i);
        });
      }
    });
    worker.join();
    QVERIFY(!worker_owns.load());
    QTRY_COMPARE(order.size(), std::size_t{200});
    for (int i = 0; i < 200; ++i)
      QCOMPARE(order[static_cast<std::size_t>(i)], i);
    QCOMPARE(off_thread.load(), 0);
    QVERIFY(dispatcher.IsOwnerThread());
  }

  void PostFromTheGuiThreadRunsLater() {
    QtDispatcher dispatcher;
    bool ran = false;
    QVERIFY(dispatcher.PostTask([&] { ran = true; }));
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
  }

  void SendFromAWorkerRunsOnTheGuiThreadWhileItWaits() {
    QtDispatcher dispatcher;
    platform::MessageTarget target(dispatcher);
    QThread* gui = QThread::currentThread();
    std::atomic<bool> handler_on_gui{false};
    std::atomic<bool> handler_done{false};
    target.On(WM_USER + 1005, [&](WPARAM w, LPARAM l) -> LRESULT {
      handler_on_gui = QThread::currentThread() == gui;
      handler_done = true;
      return static_cast<LRESULT>(w + static_cast<WPARAM>(l));
    });
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> handler_done_before_return{false};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      result = target.Send(WM_USER + 1005, 40, 2);
      handler_done_before_return = handler_done.load();
      finished = true;
    });
    QTRY_VERIFY(finished.load());
    worker.join();
    QCOMPARE(result.load(), LRESULT{42});
    QVERIFY(handler_on_gui.load());
    QVERIFY(handler_done_before_return.load());
  }

  void SendFromTheGuiThreadRunsInline() {
    QtDispatcher dispatcher;
    platform::MessageTarget target(dispatcher);
    target.On(WM_USER + 1006, [](WPARAM, LPARAM) -> LRESULT { return 1; });
    QCOMPARE(target.Send(WM_USER + 1006), LRESULT{1});
  }

  void CloseDestroysQueuedTasksUnrunAndRefusesNewOnes() {
    QtDispatcher dispatcher;
    auto payload = std::make_shared<int>(7);
    bool ran = false;
    QVERIFY(dispatcher.PostTask([&ran, payload] { ran = true; }));
    QCOMPARE(payload.use_count(), 2L);
    dispatcher.Close();
    QCOMPARE(payload.use_count(), 1L);
    QVERIFY(!dispatcher.PostTask([&ran, payload] { ran = true; }));
    QCOMPARE(payload.use_count(), 1L);
    QCoreApplication::processEvents();
    QVERIFY(!ran);
    QVERIFY(dispatcher.IsClosed());
  }

  void PostDiscardRunsWhenTheDispatcherGoes() {
    auto dispatcher = std::make_unique<QtDispatcher>();
    platform::MessageTarget target(*dispatcher);
    bool handled = false, discarded = false;
    target.On(WM_USER + 1000, [&](WPARAM, LPARAM) -> LRESULT {
      handled = true;
      return 1;
    });
    QVERIFY(target.Post(WM_USER + 1000, 0, 0, [&] { discarded = true; }));
    dispatcher.reset();
    QCoreApplication::processEvents();
    QVERIFY(discarded);
    QVERIFY(!handled);
  }

  void WaitingSenderIsReleasedWhenTheDispatcherCloses() {
    QtDispatcher dispatcher;
    platform::MessageTarget target(dispatcher);
    bool handled = false;
    target.On(WM_USER + 1006, [&](WPARAM, LPARAM) -> LRESULT {
      handled = true;
      return 5;
    });
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
      result = target.Send(WM_USER + 1006);
      finished = true;
    });
    // Without running the event loop, wait until the send is queued.
    QDeadlineTimer deadline(10000);
    while (dispatcher.PendingCount() == 0 && !deadline.hasExpired())
      std::this_thread::yield();
    QCOMPARE(dispatcher.PendingCount(), std::size_t{1});
    dispatcher.Close();
    worker.join();
    QVERIFY(finished.load());
    QCOMPARE(result.load(), LRESULT{0});
    QVERIFY(!handled);
  }

  void QuittingTheApplicationClosesIt() {
    QtDispatcher dispatcher;
    QVERIFY(!dispatcher.IsClosed());
    QVERIFY(QMetaMethod::fromSignal(&QCoreApplication::aboutToQuit)
                .invoke(QCoreApplication::instance(), Qt::DirectConnection));
    QVERIFY(dispatcher.IsClosed());
  }
};

QTEST_MAIN(QtDispatcherTest)
#include "qt_dispatcher_test.moc"
