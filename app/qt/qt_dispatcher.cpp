#include "app/qt/qt_dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <utility>

namespace qtui {

QtDispatcher::QtDispatcher(QObject* parent) : QObject(parent) {
  // Once the event loop has ended nothing would run the queue: release its
  // waiters instead of leaving them blocked.
  if (auto* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &QtDispatcher::Close);
}

QtDispatcher::~QtDispatcher() {
  Close();
}

bool QtDispatcher::PostTask(std::function<void()> task) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) {
    lock.unlock();
    task = nullptr;  // destroyed unrun, outside the lock
    return false;
  }
  tasks_.push_back(std::move(task));
  // Posted under the lock, so Close (which the destructor calls before the
  // object goes) cannot slip between the check and the post.
  QMetaObject::invokeMethod(this, &QtDispatcher::RunOne, Qt::QueuedConnection);
  return true;
}

bool QtDispatcher::IsOwnerThread() const {
  return QThread::currentThread() == thread();
}

void QtDispatcher::Close() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
  // `dropped` goes here, outside the lock: the tasks' discard logic may post.
}

bool QtDispatcher::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

std::size_t QtDispatcher::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

void QtDispatcher::RunOne() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tasks_.empty())
      return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  if (task)
    task();
}

}  // namespace qtui
