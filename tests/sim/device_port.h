// The tool's side of a simulator port for tests: the device path opened with
// plain POSIX calls in raw mode, reads polled against a real-time deadline.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

namespace simtest {

class DevicePort {
 public:
  // `flush` throws away what waited before the open, as serial ports do.
  explicit DevicePort(const std::string& path, bool flush = true) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
      return;
    termios tio{};
    if (tcgetattr(fd_, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(fd_, TCSANOW, &tio);
    }
    if (flush)
      tcflush(fd_, TCIFLUSH);
  }
  ~DevicePort() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  DevicePort(const DevicePort&) = delete;
  DevicePort& operator=(const DevicePort&) = delete;

  bool ok() const { return fd_ >= 0; }
  bool Write(const std::string& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads what arrives until `done(received)` holds or real_ms pass; returns
  // false at the deadline or when the port hangs up.
  bool ReadUntil(const std::function<bool(const std::string&)>& done, int real_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
    while (!done(received_)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0)
        return false;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) <= 0)
        continue;
      if (p.revents & POLLIN) {
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
          received_.append(buffer, static_cast<std::size_t>(n));
          ++reads_;
          continue;
        }
        if (n < 0 && errno == EAGAIN)
          continue;
      }
      hung_up_ = true;
      return false;
    }
    return true;
  }
  bool ReadUntilContains(const std::string& text, int real_ms) {
    return ReadUntil([&](const std::string& r) { return r.find(text) != std::string::npos; },
                     real_ms);
  }
  std::string& received() { return received_; }
  int reads() const { return reads_; }
  bool hung_up() const { return hung_up_; }

 private:
  int fd_ = -1;
  std::string received_;
  int reads_ = 0;
  bool hung_up_ = false;
};

// Polls `pred` until it holds or real_ms pass (for state the simulator
// updates right after it wrote the bytes a test has just read).
inline bool WaitFor(const std::function<bool()>& pred, int real_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    ::poll(nullptr, 0, 2);
  }
  return true;
}

// The truth of start `index` once its fix is recorded (the simulator notes
// the moment right after the write that the test may already have read).
inline bool WaitForFixTruth(const sim::Simulator& simulator, std::size_t index, int real_ms) {
  return WaitFor(
      [&] {
        const auto truth = simulator.Truth();
        return truth.size() > index && truth[index].fix_us >= 0;
      },
      real_ms);
}

// Complete "\r\n" lines of a byte stream, without their line ends.
inline std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", start)) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (auto comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

// A simulator on a fast clock publishing into a scratch folder.
struct SimFixture {
  explicit SimFixture(double scale = 50) : clock(std::make_shared<platform::ScaledClock>(scale)) {
    options.ports_folder = dir.path().string();
    options.reply_delay_ms = 0;
  }
  bool Start(std::string* error = nullptr) {
    simulator = std::make_unique<sim::Simulator>(clock);
    return simulator->Start(options, error);
  }
  testsupport::TempDir dir;
  std::shared_ptr<platform::ScaledClock> clock;
  sim::SimOptions options;
  std::unique_ptr<sim::Simulator> simulator;
};

}  // namespace simtest
