// What every wait on the module needs besides its queue: the clock it polls
// on, the flags it watches, and where it reports the matching line's time.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

// The stop flag of a running test: 0 normally, 1 once Stop was pressed.
extern std::atomic<int> bExitThread;

struct WaitContext {
  platform::Clock& clock;
  // Set when the program is ending: every wait and pause returns at its next
  // poll as if its time ran out.
  const std::atomic<bool>* shutdown = nullptr;
  // Filled with the arrival stamp (monotonic us) of the line that ended a
  // wait successfully; 0 when unknown.
  std::int64_t matched_stamp_us = 0;

  bool ShuttingDown() const { return shutdown && shutdown->load(); }
};

// The poll period of every wait.
inline constexpr DWORD kPollMs = 100;
