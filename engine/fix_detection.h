// Waiting for the first fix on the NMEA queue, and the run clock.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "engine/wait_context.h"
#include "fix_rules/fix_rule.h"
#include "serial/line_queue.h"

// True for a "$GPRMC" line whose status field (field 2) is exactly "A".
class RmcFixMatcher {
 public:
  bool operator()(const std::string& line) const;
};

// Polls the NMEA queue every 100 ms, logs every line to the NMEA log, and
// returns 0 at the first fix line, 1 when the time-out passed or the test
// was stopped (bExitThread) or the program is ending.
int WaitForFix(LineQueue& queue, unsigned timeout_s, const RmcFixMatcher& matcher,
               std::FILE* nmea_log, WaitContext& ctx);
// A line of the NMEA queue with its arrival stamp (monotonic us, 0 unknown).
using NmeaObserver = std::function<void(const std::string& line, std::int64_t stamp_us)>;

// Who besides the NMEA log sees the lines of a fix wait.
struct FixWaitObservers {
  // Every line the wait examines, the fix included.
  NmeaObserver line;
  // The lines that came after the fix line in its batch: the wait drops
  // them unlogged and unexamined (the NMEA log keeps its bytes); only this
  // sees them, such as the GSA and GSV of the fix epoch.
  NmeaObserver after_fix;
};

// The same wait with the test's fix rule; `sentence`, when given, receives
// the address of the fix line ("GNRMC"), and `fix_line` the line itself;
// both are cleared without a fix.
int WaitForFix(LineQueue& queue, unsigned timeout_s, const FixRule& rule, std::FILE* nmea_log,
               WaitContext& ctx, std::string* sentence = nullptr, std::string* fix_line = nullptr,
               const FixWaitObservers& observers = {});

// After a fix: logs the NMEA lines for duration_s, or until a stop; each
// line also goes to `observe` when there is one.
void CaptureNmea(LineQueue& queue, unsigned duration_s, std::FILE* nmea_log, WaitContext& ctx,
                 const NmeaObserver& observe = {});

// The run clock: monotonic, millisecond steps.
class TtffClock {
 public:
  explicit TtffClock(const platform::Clock& clock) : clock_(clock) { Restart(); }
  void Restart() { start_us_ = clock_.MonotonicUs(); }
  // Seconds since the last restart, in millisecond steps.
  double Elapsed() const {
    return static_cast<double>((clock_.MonotonicUs() - start_us_) / 1000) / 1000.0;
  }
  std::int64_t StartUs() const { return start_us_; }

 private:
  const platform::Clock& clock_;
  std::int64_t start_us_ = 0;
};
