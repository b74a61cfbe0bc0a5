// A plain message loop: the owner thread of the CLI and of the tests.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/dispatcher.h"
#include "platform/win_types.h"

namespace platform {

class MessageLoop final : public Dispatcher {
 public:
  // The thread that constructs the loop owns it, until Run or a Process call
  // is made from another thread, which then becomes the owner.
  MessageLoop();
  ~MessageLoop() override;

  bool PostTask(std::function<void()> task) override;
  bool IsOwnerThread() const override;

  // Runs tasks until Quit or Close.
  void Run();
  // Runs tasks until done() holds (checked after every task and at least
  // every check_ms) or real_timeout_ms passes. Returns done().
  bool RunUntil(const std::function<bool()>& done, DWORD real_timeout_ms = INFINITE,
                DWORD check_ms = 10);
  // Runs the tasks queued now, without waiting. Returns how many ran.
  std::size_t ProcessPending();
  // Makes Run return after the task in progress.
  void Quit();
  // Refuses further tasks and destroys those still queued without running
  // them (so blocked senders are released). Idempotent.
  void Close();
  bool IsClosed() const;
  // Tasks queued and not yet run.
  std::size_t PendingCount() const;

 private:
  bool RunOne(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool quit_ = false;
  bool closed_ = false;
  std::thread::id owner_;
};

}  // namespace platform
