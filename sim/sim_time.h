// Time helpers of the simulator: UTC and the zone offset from the clock's
// local time, and a stoppable wait for a moment on the clock's timeline.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace sim {

// The UTC time of a local time of this host, and the local zone's offset
// from UTC in minutes at that moment.
platform::LocalTime LocalToUtc(const platform::LocalTime& local, int* offset_minutes);

// Real milliseconds until the clock reaches `target_us`, at most cap_ms, at
// least 0 (the clock's scale converts its time to real time).
int RealMsUntil(const platform::Clock& clock, std::int64_t target_us, int cap_ms);

}  // namespace sim
