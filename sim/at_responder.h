// The module's side of the AT dialogue: cuts the bytes the tool writes into
// commands and answers each one in its dialect (sim/at_dialect.h). Faults
// and delays are applied by the caller.
//
// Commands end at CR or LF (an empty line is ignored); anything before the
// first "AT" of a line (line noise, binary garbage) is dropped; a line that
// grows past kMaxCommand bytes without an end is thrown away, as a modem's
// command buffer overflows.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "sim/at_dialect.h"

namespace sim {

class AtResponder {
 public:
  static constexpr std::size_t kMaxCommand = 512;

  // The default profile's dialect unless another speaker is given.
  explicit AtResponder(bool echo = true);
  AtResponder(bool echo, std::shared_ptr<const ModuleSpeaker> speaker)
      : echo_(echo), speaker_(std::move(speaker)) {}

  // Bytes in, complete command texts out (without their line end).
  std::vector<std::string> Feed(std::string_view bytes);
  // The reply to one command given the receiver state and the module's local
  // time; ATE0/ATE1 switch the echo for the commands after them.
  AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                 int utc_offset_minutes);
  bool echo() const { return echo_; }
  const ModuleSpeaker& speaker() const { return *speaker_; }

 private:
  std::string pending_;
  bool echo_;
  std::shared_ptr<const ModuleSpeaker> speaker_;
};

}  // namespace sim
