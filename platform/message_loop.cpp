#include "platform/message_loop.h"

#include <chrono>

namespace platform {

MessageLoop::MessageLoop() : owner_(std::this_thread::get_id()) {}

MessageLoop::~MessageLoop() {
  Close();
}

bool MessageLoop::PostTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_)
      return false;
    tasks_.push_back(std::move(task));
    // Notified under the lock: once Close has taken the lock, no poster
    // touches the condition any more, so the loop may be destroyed then.
    cv_.notify_all();
  }
  return true;
}

bool MessageLoop::IsOwnerThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return owner_ == std::this_thread::get_id();
}

bool MessageLoop::RunOne(std::unique_lock<std::mutex>& lock) {
  if (tasks_.empty())
    return false;
  auto task = std::move(tasks_.front());
  tasks_.pop_front();
  lock.unlock();
  task();
  task = nullptr;  // a task's captures go before the lock is taken again
  lock.lock();
  return true;
}

void MessageLoop::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  owner_ = std::this_thread::get_id();
  quit_ = false;
  while (!quit_ && !closed_) {
    if (!RunOne(lock))
      cv_.wait(lock, [this] { return quit_ || closed_ || !tasks_.empty(); });
  }
}

bool MessageLoop::RunUntil(const std::function<bool()>& done, DWORD real_timeout_ms,
                           DWORD check_ms) {
  using namespace std::chrono;
  const auto deadline = real_timeout_ms == INFINITE
                            ? steady_clock::time_point::max()
                            : steady_clock::now() + milliseconds(real_timeout_ms);
  std::unique_lock<std::mutex> lock(mutex_);
  owner_ = std::this_thread::get_id();
  for (;;) {
    lock.unlock();
    bool finished = done();
    lock.lock();
    if (finished)
      return true;
    if (closed_ || steady_clock::now() >= deadline)
      break;
    if (!RunOne(lock)) {
      auto until = std::min(deadline, steady_clock::now() + milliseconds(check_ms));
      cv_.wait_until(lock, until, [this] { return closed_ || !tasks_.empty(); });
    }
  }
  lock.unlock();
  return done();
}

std::size_t MessageLoop::ProcessPending() {
  std::unique_lock<std::mutex> lock(mutex_);
  owner_ = std::this_thread::get_id();
  std::size_t n = tasks_.size();
  std::size_t ran = 0;
  while (ran < n && RunOne(lock))
    ++ran;
  return ran;
}

void MessageLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  cv_.notify_all();
}

void MessageLoop::Close() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
  cv_.notify_all();
  dropped.clear();  // outside the lock: destroying a task may release a sender
}

std::size_t MessageLoop::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

bool MessageLoop::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

}  // namespace platform
