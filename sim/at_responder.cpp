#include "sim/at_responder.h"

#include <cctype>

namespace sim {

namespace {

// The printable part of a line from its first "AT" on; empty when there is none.
std::string CommandFrom(const std::string& line) {
  std::string printable;
  for (char c : line) {
    if (c >= 0x20 && c < 0x7f)
      printable += c;
  }
  const std::string upper = UpperCase(printable);
  const auto at = upper.find("AT");
  if (at == std::string::npos)
    return {};
  std::string command = printable.substr(at);
  while (!command.empty() && command.back() == ' ')
    command.pop_back();
  return command;
}

}  // namespace

AtResponder::AtResponder(bool echo)
    : echo_(echo), speaker_(std::make_shared<AtDialect>(DefaultProfile())) {}

std::vector<std::string> AtResponder::Feed(std::string_view bytes) {
  std::vector<std::string> commands;
  for (char c : bytes) {
    if (c == '\r' || c == '\n') {
      if (std::string command = CommandFrom(pending_); !command.empty()) {
        commands.push_back(std::move(command));
      }
      pending_.clear();
      continue;
    }
    if (pending_.size() >= kMaxCommand)
      pending_.clear();
    pending_ += c;
  }
  return commands;
}

AtReply AtResponder::Answer(const std::string& command, bool gnss_on,
                            const platform::LocalTime& local, int utc_offset_minutes) {
  AtReply reply = speaker_->Answer(command, gnss_on, local, utc_offset_minutes);
  if (echo_)
    reply.echo = command + "\r\n";
  const std::string c = UpperCase(command);
  if (c == "ATE0" || c == "ATE1")
    echo_ = c == "ATE1";
  return reply;
}

}  // namespace sim
