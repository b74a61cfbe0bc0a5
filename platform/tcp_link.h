// A TCP connection that carries lines of text, every step bounded by a
// deadline on the monotonic clock and ended early when the caller's
// cancelled() says so. IPv4 and IPv6; host names are resolved within the
// deadline too.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

enum class LinkStatus {
  kOk,
  kUnknownHost,  // the host name did not resolve
  kRefused,      // the host answered that nothing listens on the port
  kUnreachable,  // no route to the host or its network
  kClosed,       // the other end closed the connection
  kTimedOut,     // the deadline passed
  kCancelled,    // cancelled() said so
  kTooLong,      // a line longer than the link takes
  kError,        // another system error (see the detail)
};

class TcpLink {
 public:
  using Deadline = std::chrono::steady_clock::time_point;
  using Cancelled = std::function<bool()>;  // may be empty: never cancelled

  // The longest line ReadLine takes.
  static constexpr std::size_t kMaxLine = 1 << 20;

  TcpLink() = default;
  ~TcpLink();
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  // Resolves host (a name, an IPv4 or an IPv6 address without brackets) and
  // connects to the first of its addresses that accepts. On failure, detail
  // holds the system's words for the last error.
  LinkStatus Connect(const std::string& host, std::uint16_t port, Deadline deadline,
                     const Cancelled& cancelled, std::string* detail);
  // Sends line followed by "\n".
  LinkStatus WriteLine(std::string_view line, Deadline deadline, const Cancelled& cancelled);
  // Reads up to the next "\n" and returns what came before it (a "\r" stays).
  LinkStatus ReadLine(std::string* line, Deadline deadline, const Cancelled& cancelled);
  void Close();

 private:
  int fd_ = -1;
  std::string pending_;  // bytes received after the last line returned
};

}  // namespace platform
