// A time-out for one exchange with a results server, kept on this side: a
// server that does not answer in time (a held lock, a frozen process whose
// kernel still acknowledges every packet) has its connection cut, so that
// the statement fails at once with the connection's error and the caller
// takes the run to its local spool as when the server is gone.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace store {

class StatementDeadline {
 public:
  // Cuts the socket `fd` (shutdown, not close: the connection still owns
  // it) when `seconds` pass before the deadline is destroyed.
  StatementDeadline(int fd, std::chrono::milliseconds limit);
  ~StatementDeadline();
  StatementDeadline(const StatementDeadline&) = delete;
  StatementDeadline& operator=(const StatementDeadline&) = delete;
  // True when the time ran out and the connection was cut.
  bool Expired() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false, expired_ = false;
  std::thread watch_;
};

}  // namespace store
