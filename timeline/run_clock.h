// The live clock of a run for a window's status: the time since the start's
// "OK" counting up while the run waits for its fix, and the phases reached
// so far, as text. GUI-free: the window only calls Text() on a timer.
//
//   "Run 3 of 10 · 00:12.4 since start"
//   "first satellite 2.1 s · 2D 8.0 s"
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "timeline/timeline_record.h"

namespace timeline {

class RunClock {
 public:
  // Run `run` of `runs` got its start's "OK" at ok_us (monotonic us; 0 when
  // unknown: the clock counts from `now_us`, the moment it was told).
  void Start(unsigned run, unsigned runs, std::int64_t ok_us, std::int64_t now_us);
  // A phase of that run, ms after its "OK" (other runs are ignored).
  void Reach(unsigned run, TimelinePhase phase, std::int64_t ms);
  // No run waits any more (the test ended).
  void Clear() { *this = RunClock(); }
  bool Running() const { return run_ != 0; }

  // The text at now_us: empty without a run; the clock stops at the fix.
  std::string Text(std::int64_t now_us) const;

 private:
  unsigned run_ = 0, runs_ = 0;
  std::int64_t ok_us_ = 0;
  std::optional<std::int64_t> first_snr_ms_, first_2d_ms_, first_3d_ms_, fix_ms_;
};

// "00:12.4": minutes and seconds to the tenth (negative counts as 0).
std::string ClockText(std::int64_t ms);

}  // namespace timeline
