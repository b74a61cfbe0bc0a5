// The window's dispatcher: runs tasks on the GUI thread's event loop.
//
// PostTask may be called from any thread; tasks run in posting order on the
// thread the dispatcher lives in (the GUI thread). When the dispatcher is
// closed or destroyed, or the application is about to quit, the tasks still
// queued are destroyed without running, so a waiting sender is released.
#pragma once

#include <QObject>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/dispatcher.h"

namespace qtui {

class QtDispatcher final : public QObject, public platform::Dispatcher {
  Q_OBJECT

 public:
  explicit QtDispatcher(QObject* parent = nullptr);
  ~QtDispatcher() override;

  bool PostTask(std::function<void()> task) override;
  bool IsOwnerThread() const override;

  // Refuses further tasks and destroys the queued ones unrun. Idempotent.
  void Close();
  bool IsClosed() const;
  std::size_t PendingCount() const;

 private:
  void RunOne();

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  bool closed_ = false;
};

}  // namespace qtui
