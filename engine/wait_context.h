// What every wait on the module needs besides its queue: the clock it polls
// on, the flags it watches, and where it reports the matching line's time.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"
#include "serial/line_queue.h"

#include <string>
#include <type_traits>
#include <vector>

// The stop flag of a running test: 0 normally, 1 once Stop was pressed.
extern std::atomic<int> bExitThread;

struct WaitContext {
  explicit WaitContext(platform::Clock& c, const std::atomic<bool>* shutdown_flag = nullptr)
      : clock(c), shutdown(shutdown_flag) {}

  platform::Clock& clock;
  // Set when the program is ending: every wait and pause returns at its next
  // poll as if its time ran out.
  const std::atomic<bool>* shutdown = nullptr;
  // Set while a port is lost: every wait and pause returns at its next poll
  // as if its time ran out.
  const std::atomic<bool>* port_lost = nullptr;
  // Filled with the arrival stamp (monotonic us) of the line that ended a
  // wait successfully; 0 when unknown.
  std::int64_t matched_stamp_us = 0;
  // The line by which the module refused the command of the last wait
  // ("ERROR", "+CME ERROR: 3"), without its line end; empty otherwise.
  std::string refusal;

  bool ShuttingDown() const { return shutdown && shutdown->load(); }
  bool PortLost() const { return port_lost && port_lost->load(); }
};

// The poll period of every wait.
inline constexpr DWORD kPollMs = 100;

// The poll loop of every wait: until `seconds` have passed or stop() holds,
// sleep one poll period, take the complete lines out of the queue and hand
// them to on_line in order (with their arrival stamp, monotonic us or 0, when
// on_line takes two arguments); the first line for which on_line returns true
// ends the wait with 0 (the lines after it in the batch are dropped; only
// on_rest, when given, sees them with their stamps), and its arrival stamp
// goes to ctx.matched_stamp_us. Returns 1 at the end of the time or on
// stop. The time is tested between polls only.
template <class Stop, class OnLine, class OnRest>
int PollQueue(LineQueue& queue, unsigned seconds, WaitContext& ctx, Stop stop, OnLine on_line,
              OnRest on_rest) {
  ctx.matched_stamp_us = 0;
  const DWORD start = ctx.clock.GetTickCount();
  const DWORD limit = static_cast<DWORD>(static_cast<std::uint64_t>(seconds) * 1000u);
  std::vector<std::string> batch;
  std::vector<std::int64_t> stamps;
  for (;;) {
    if (ctx.clock.GetTickCount() - start >= limit || stop() || ctx.ShuttingDown() || ctx.PortLost())
      return 1;
    batch.clear();
    ctx.clock.Sleep(kPollMs);
    queue.Extract(batch, &stamps);
    for (size_t i = 0; i < batch.size(); ++i) {
      const std::int64_t stamp = i < stamps.size() ? stamps[i] : 0;
      bool matched = false;
      if constexpr (std::is_invocable_v<OnLine&, const std::string&, std::int64_t>)
        matched = on_line(batch[i], stamp);
      else
        matched = on_line(batch[i]);
      if (matched) {
        ctx.matched_stamp_us = stamp;
        for (size_t j = i + 1; j < batch.size(); ++j)
          on_rest(batch[j], j < stamps.size() ? stamps[j] : 0);
        return 0;
      }
    }
  }
}

template <class Stop, class OnLine>
int PollQueue(LineQueue& queue, unsigned seconds, WaitContext& ctx, Stop stop, OnLine on_line) {
  return PollQueue(queue, seconds, ctx, stop, on_line, [](const std::string&, std::int64_t) {});
}
