#include "sim/at_responder.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

std::string Upper(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// The printable part of a line from its first "AT" on; empty when there is none.
std::string CommandFrom(const std::string& line) {
  std::string printable;
  for (char c : line) {
    if (c >= 0x20 && c < 0x7f)
      printable += c;
  }
  const std::string upper = Upper(printable);
  const auto at = upper.find("AT");
  if (at == std::string::npos)
    return {};
  std::string command = printable.substr(at);
  while (!command.empty() && command.back() == ' ')
    command.pop_back();
  return command;
}

}  // namespace

std::string FormatCclk(const platform::LocalTime& t, int utc_offset_minutes) {
  const int quarters = utc_offset_minutes / 15;
  char text[64];
  std::snprintf(text, sizeof text, "+CCLK: \"%02d/%02d/%02d,%02d:%02d:%02d%c%02d\"\r\n",
                t.year % 100, t.month, t.day, t.hour, t.minute, t.second, quarters < 0 ? '-' : '+',
                std::abs(quarters));
  return text;
}

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
  AtReply reply;
  if (echo_)
    reply.echo = command + "\r\n";
  const std::string c = Upper(command);
  const std::string ok = "OK\r\n";
  if (c == "AT") {
    reply.lines = {ok};
  } else if (c == "ATE0" || c == "ATE1") {
    echo_ = c == "ATE1";
    reply.lines = {ok};
  } else if (c == "AT+WGPS?") {
    reply.lines = {gnss_on ? "+WGPS: 1\r\n" : "+WGPS: 0\r\n", ok};
  } else if (c == "AT+WGPS=1") {
    reply.lines = {ok};
    reply.action = AtAction::kStart;
  } else if (c == "AT+WGPSEND") {
    reply.lines = {ok};
    reply.action = AtAction::kStop;
  } else if (c == "AT+WGPSDEL=0" || c == "AT+WGPSDEL=1" || c == "AT+WGPSDEL=2") {
    // 0 deletes everything (cold), 1 nothing that matters (hot), 2 the ephemeris (warm).
    static constexpr int kTypeOf[] = {1, 0, 2};
    reply.lines = {ok};
    reply.action = AtAction::kDelete;
    reply.restart_type = kTypeOf[c.back() - '0'];
  } else if (c == "AT+CCLK?") {
    reply.lines = {FormatCclk(local, utc_offset_minutes), ok};
  } else if (StartsWith(c, "AT+WGPSXTRATIME=")) {
    reply.lines = {ok};
    reply.action = AtAction::kXtraTime;
  } else if (StartsWith(c, "AT+WGPSXTRADATA")) {
    reply.lines = {ok};
    reply.action = AtAction::kXtraData;
  } else {
    reply.lines = {"ERROR\r\n"};
  }
  return reply;
}

}  // namespace sim
