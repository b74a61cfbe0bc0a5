// Waiting for the module's replies on the AT queue.
//
// Every wait polls the queue each 100 ms, logs every reply line it takes
// to the AT log, and returns 0 at the first line its matcher accepts, 1
// once its time-out has passed (tested between polls only), or 2 at once
// when a line refuses the command (IsRefusal) before one is accepted; that
// line is then in WaitContext::refusal.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/at_matchers.h"
#include "engine/wait_context.h"
#include "profiles/module_commands.h"
#include "serial/line_queue.h"

// The last module time captured from a "+CCLK:" reply, e.g.
// "2024/01/15,08:30:00"; empty until the first capture.
extern std::string g_strXtraTime;

inline constexpr int kWaitAnswered = 0;
inline constexpr int kWaitTimedOut = 1;
inline constexpr int kWaitRefused = 2;

// Where the module time is in the clock reply: the line holding `marker`;
// `cclk` is the rule below, otherwise the text between the quotes.
struct ClockCapture {
  std::string marker = module::kReplyClock;
  bool cclk = true;
};

int WaitGnssState(LineQueue& queue, unsigned timeout_s, GnssStateMatcher& matcher,
                  std::FILE* at_log, WaitContext& ctx);
int WaitAtReply(LineQueue& queue, unsigned timeout_s, const ContainsMatcher& matcher,
                std::FILE* at_log, WaitContext& ctx);
int WaitClockReply(LineQueue& queue, unsigned timeout_s, const ContainsMatcher& matcher,
                   std::FILE* at_log, WaitContext& ctx, const ClockCapture& capture = {});
// A wait that keeps every line it took, in order (the one that ended it
// included); `ends` decides which line ends it.
int WaitReplyLines(LineQueue& queue, unsigned timeout_s,
                   const std::function<bool(const std::string&)>& ends, std::FILE* at_log,
                   WaitContext& ctx, std::vector<std::string>& lines);

// One AT-log entry: "yyyy-mm-dd hh:mm:ss\t" and the line (with its own
// "\r\n"). Lines of any length are kept whole.
std::string FormatAtLogEntry(const platform::LocalTime& t, const std::string& line);

// The clock capture of a "+CCLK:" line: returns true and sets the text
// ("20" and the quoted date and time, without a "+" zone) when it finds one.
bool CaptureClock(const std::string& line, std::string& time_text,
                  const ClockCapture& capture = {});
