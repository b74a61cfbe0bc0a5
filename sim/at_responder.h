// The module's side of the AT dialogue: cuts the bytes the tool writes into
// commands and answers each one. Faults and delays are applied by the caller.
//
// Commands end at CR or LF (an empty line is ignored); anything before the
// first "AT" of a line (line noise, binary garbage) is dropped; a line that
// grows past kMaxCommand bytes without an end is thrown away, as a modem's
// command buffer overflows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace sim {

enum class AtAction { kNone, kStart, kStop, kDelete, kXtraTime, kXtraData };

struct AtReply {
  std::string echo;                // the command echoed as a line, or empty
  std::vector<std::string> lines;  // reply lines, each ending in "\r\n"
  AtAction action = AtAction::kNone;
  int restart_type = 0;  // for kDelete: 0 hot, 1 cold, 2 warm
};

class AtResponder {
 public:
  static constexpr std::size_t kMaxCommand = 512;

  explicit AtResponder(bool echo = true) : echo_(echo) {}

  // Bytes in, complete command texts out (without their line end).
  std::vector<std::string> Feed(std::string_view bytes);
  // The reply to one command given the receiver state and the module's local
  // time; ATE0/ATE1 switch the echo for the commands after them.
  AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                 int utc_offset_minutes);
  bool echo() const { return echo_; }

 private:
  std::string pending_;
  bool echo_;
};

// "+CCLK: \"yy/MM/dd,hh:mm:ss+zz\"" with zz the offset in quarter hours.
std::string FormatCclk(const platform::LocalTime& local, int utc_offset_minutes);

}  // namespace sim
