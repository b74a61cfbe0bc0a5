#include "engine/at_exchange.h"

#include <cstdio>

#include "engine/run_logs.h"
#include "profiles/module_commands.h"

std::string g_strXtraTime;

namespace {

// The wait loop shared by the waits. `per_line` runs on every line before
// it is logged; `match` decides whether it ends the wait, and a refusal it
// does not take ends it too.
template <class PerLine, class Match>
int WaitLoop(LineQueue& queue, unsigned timeout_s, std::FILE* at_log, WaitContext& ctx,
             PerLine per_line, Match match) {
  ctx.refusal.clear();
  const int result = PollQueue(
      queue, timeout_s, ctx, [] { return false; },
      [&](const std::string& line) {
        per_line(line);
        if (at_log)
          WriteLog(at_log, FormatAtLogEntry(ctx.clock.WallNow(), line));
        if (match(line))
          return true;
        if (IsRefusal(line))
          ctx.refusal = ReplyText(line);
        return !ctx.refusal.empty();
      });
  return result == kWaitAnswered && !ctx.refusal.empty() ? kWaitRefused : result;
}

}  // namespace

std::string FormatAtLogEntry(const platform::LocalTime& t, const std::string& line) {
  return FormatTimestamp(t) + "\t" + line;
}

bool CaptureClock(const std::string& line, std::string& time_text, const ClockCapture& capture) {
  const std::string copy = line.c_str();  // the text as a C string sees it
  const auto p = copy.find(capture.marker);
  if (p == std::string::npos)
    return false;
  const auto q1 = copy.find('"', p);
  if (q1 == std::string::npos)
    return false;
  std::string captured;
  if (!capture.cclk) {
    const auto q2 = copy.find('"', q1 + 1);
    if (q2 == std::string::npos)
      return false;
    time_text = copy.substr(q1 + 1, q2 - (q1 + 1));
    return true;
  }
  const auto plus = copy.find('+', q1 + 1);
  if (plus != std::string::npos) {
    captured = copy.substr(q1 + 1, plus - (q1 + 1));
  } else {
    const auto q2 = copy.find('"', q1 + 1);
    if (q2 == std::string::npos)
      return false;
    captured = copy.substr(q1 + 1, q2 - (q1 + 1));
  }
  time_text = "20" + captured;
  return true;
}

int WaitGnssState(LineQueue& queue, unsigned timeout_s, GnssStateMatcher& matcher,
                  std::FILE* at_log, WaitContext& ctx) {
  return WaitLoop(
      queue, timeout_s, at_log, ctx, [](const std::string&) {},
      [&](const std::string& line) { return matcher(line); });
}

int WaitAtReply(LineQueue& queue, unsigned timeout_s, const ContainsMatcher& matcher,
                std::FILE* at_log, WaitContext& ctx) {
  return WaitLoop(
      queue, timeout_s, at_log, ctx, [](const std::string&) {},
      [&](const std::string& line) { return matcher(line); });
}

int WaitClockReply(LineQueue& queue, unsigned timeout_s, const ContainsMatcher& matcher,
                   std::FILE* at_log, WaitContext& ctx, const ClockCapture& capture) {
  return WaitLoop(
      queue, timeout_s, at_log, ctx,
      [&](const std::string& line) { CaptureClock(line, g_strXtraTime, capture); },
      [&](const std::string& line) { return matcher(line); });
}

int WaitReplyLines(LineQueue& queue, unsigned timeout_s,
                   const std::function<bool(const std::string&)>& ends, std::FILE* at_log,
                   WaitContext& ctx, std::vector<std::string>& lines) {
  return WaitLoop(
      queue, timeout_s, at_log, ctx, [&](const std::string& line) { lines.push_back(line); },
      [&](const std::string& line) { return ends(line); });
}
