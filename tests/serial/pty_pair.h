// A kernel pseudo-terminal pair for the serial tests: the port classes open
// the device side (the slave path); the test plays the module on the
// controller side (the master descriptor).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace testsupport {

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      if (const char* name = ::ptsname(master_))
        path_ = name;
    }
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0 && !path_.empty(); }
  // The device path the port classes open.
  const std::string& path() const { return path_; }
  int master() const { return master_; }

  // Writes all bytes from the controller side (waiting while the pty is full,
  // at most 5 s in all). Returns false if they could not all be written.
  bool Write(const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 50);
    }
    return true;
  }

  // Reads from the controller side until `count` bytes came or timeout_ms
  // passed without any.
  std::string Read(std::size_t count, int timeout_ms = 2000) {
    std::string out;
    char buf[4096];
    while (out.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, timeout_ms) <= 0)
        break;
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0)
        break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }

  // The module goes away: the device side hangs up.
  void CloseMaster() {
    if (master_ >= 0)
      ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

// Polls cond every millisecond until it holds or timeout_ms passes.
template <typename Cond>
bool WaitFor(Cond cond, int timeout_ms = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline)
      return cond();
    ::poll(nullptr, 0, 1);
  }
  return true;
}

}  // namespace testsupport
