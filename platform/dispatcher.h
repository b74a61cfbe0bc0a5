// Runs tasks on one owner thread. The plain message loop (CLI, tests) and the
// window's event loop each provide one.
#pragma once

#include <functional>

namespace platform {

class Dispatcher {
 public:
  virtual ~Dispatcher() = default;
  // Queues the task to run later on the owner thread, in posting order.
  // Returns false when the dispatcher no longer runs tasks; the task is then
  // destroyed without running. A dispatcher that shuts down destroys the
  // tasks still queued without running them.
  virtual bool PostTask(std::function<void()> task) = 0;
  // True on the thread that runs the tasks.
  virtual bool IsOwnerThread() const = 0;
};

}  // namespace platform
