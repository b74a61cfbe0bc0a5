#include "store/statement_deadline.h"

#include <sys/socket.h>

namespace store {

StatementDeadline::StatementDeadline(int fd, std::chrono::milliseconds limit) {
  watch_ = std::thread([this, fd, limit] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!done_.wait_for(lock, limit, [this] { return finished_; }) && fd >= 0) {
      expired_ = true;
      ::shutdown(fd, SHUT_RDWR);
    }
  });
}

StatementDeadline::~StatementDeadline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  done_.notify_all();
  watch_.join();
}

bool StatementDeadline::Expired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return expired_;
}

}  // namespace store
