#include "app/qt/message_box.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace qtui {
namespace {

void RunBox(const QString& text, QWidget* parent) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("ZUVEK"), text, QMessageBox::Ok, parent);
  if (auto& hook = MessageBoxTestHook())
    hook(box);
  box.exec();
}

// The box handed to the GUI thread. If the event carrying it is destroyed
// unrun (the application goes away), the waiter is released all the same.
class PendingBox {
 public:
  PendingBox(QString text, QWidget* parent) : text_(std::move(text)), parent_(parent) {}
  ~PendingBox() { Finish(false); }

  void Run() {
    RunBox(text_, parent_.data());
    Finish(true);
  }
  // Waits until the box is done or `give_up` holds; checks every 100 ms.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      cv_.wait_for(lock, std::chrono::milliseconds(100));
      if (!done_ && (QCoreApplication::instance() == nullptr || QCoreApplication::closingDown()))
        return false;
    }
    return shown_;
  }

 private:
  void Finish(bool shown) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (done_)
        return;
      done_ = true;
      shown_ = shown;
    }
    cv_.notify_all();
  }

  QString text_;
  QPointer<QWidget> parent_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  bool shown_ = false;
};

}  // namespace

std::function<void(QMessageBox&)>& MessageBoxTestHook() {
  static std::function<void(QMessageBox&)> hook;
  return hook;
}

bool AskYesNo(const QString& text, QWidget* parent) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("ZUVEK"), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  if (auto& hook = MessageBoxTestHook())
    hook(box);
  return box.exec() == QMessageBox::Yes;
}

bool ShowMessageBox(const QString& text, QWidget* parent) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    return false;
  if (QThread::currentThread() == app->thread()) {
    RunBox(text, parent);
    return true;
  }
  auto pending = std::make_shared<PendingBox>(text, parent);
  {
    // The functor holds the only other reference: running it shows the box,
    // destroying it unrun releases the wait.
    auto carried = pending;
    QMetaObject::invokeMethod(
        app, [carried]() { carried->Run(); }, Qt::QueuedConnection);
  }
  return pending->Wait();
}

}  // namespace qtui
