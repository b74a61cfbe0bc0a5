// The one clock through which everything sleeps or measures time.
//
// The engine, the waits and the simulator never call the operating system's
// clock directly: they are handed a Clock. The real clock runs at wall speed;
// a scaled clock runs N times faster (a 10-s pause lasts 10/N s and is read
// back as 10 s), so a test with its fixed pauses finishes in seconds; a fake
// clock only moves when a test advances it or something sleeps on it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win_types.h"

namespace platform {

// A broken-down local time, as the logs print it.
struct LocalTime {
  int year = 1970;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Converts seconds since the epoch (plus milliseconds) to local time.
LocalTime ToLocalTime(std::int64_t epoch_ms);
// "%04d-%02d-%02d %02d:%02d:%02d", the time stamp of log entries.
std::string FormatTimestamp(const LocalTime& t);

class Clock {
 public:
  virtual ~Clock() = default;

  // Sleep for ms milliseconds of this clock's time.
  virtual void Sleep(DWORD ms) = 0;
  // Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
  virtual DWORD GetTickCount() const { return static_cast<DWORD>(MonotonicUs() / 1000); }
  // Monotonic time in microseconds of this clock (scaled where the clock is).
  virtual std::int64_t MonotonicUs() const = 0;
  std::int64_t MonotonicMs() const { return MonotonicUs() / 1000; }
  // Local wall time as this clock sees it (a scaled clock's runs faster).
  virtual LocalTime Now() const = 0;
  // The local time that names and stamps what a test writes: the real wall
  // clock's, also on a scaled clock (only durations are scaled), so that the
  // tests of one day are named in the order they ran. A fake clock's own.
  virtual LocalTime WallNow() const { return Now(); }
  // How many of this clock's milliseconds pass per real millisecond.
  virtual double Scale() const { return 1.0; }
};

// Wall-speed clock on the operating system's monotonic and local clocks.
class RealClock final : public Clock {
 public:
  void Sleep(DWORD ms) override;
  std::int64_t MonotonicUs() const override;
  LocalTime Now() const override;
};

// Runs `scale` times faster than real time. Its monotonic time and its local
// time both start at the real values of the moment it was made and then
// advance `scale` times faster; sleeping ms takes ms/scale real milliseconds.
class ScaledClock final : public Clock {
 public:
  explicit ScaledClock(double scale);
  void Sleep(DWORD ms) override;
  std::int64_t MonotonicUs() const override;
  LocalTime Now() const override;
  LocalTime WallNow() const override;
  double Scale() const override { return scale_; }

 private:
  double scale_;
  std::chrono::steady_clock::time_point real_origin_;
  std::int64_t mono_origin_us_;
  std::int64_t wall_origin_ms_;
};

// A clock whose speed is chosen late: the window makes it at start-up and
// sets its scale when the ports are opened, real speed for a module and the
// simulator's speed for the simulator's ports. Its monotonic time goes on
// from where it was when the scale changes; its local time restarts from
// the real local time and then advances at the new speed. Thread-safe.
class AdjustableClock final : public Clock {
 public:
  AdjustableClock();
  void SetScale(double scale);  // scale <= 0 means 1
  void Sleep(DWORD ms) override;
  std::int64_t MonotonicUs() const override;
  LocalTime Now() const override;
  LocalTime WallNow() const override;
  double Scale() const override;

 private:
  struct Origin {
    double scale = 1.0;
    std::chrono::steady_clock::time_point real;
    std::int64_t mono_us = 0;
    std::int64_t wall_ms = 0;
  };
  Origin Current() const;
  std::int64_t MonotonicAt(const Origin& o) const;

  mutable std::mutex mutex_;
  Origin origin_;
};

// A clock that only moves when told to. Sleep advances it at once by the
// time asked, then runs the sleep hook, so a test can make things "arrive"
// while the code under test sleeps. Thread-safe.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::int64_t start_us = 1'000'000, std::int64_t wall_epoch_ms = 1709280000000);
  void Sleep(DWORD ms) override;
  std::int64_t MonotonicUs() const override;
  LocalTime Now() const override;
  void Advance(std::int64_t us);
  // Called with this clock's time (us) at the end of every Sleep.
  void SetSleepHook(std::function<void(std::int64_t now_us)> hook);
  // Total milliseconds slept so far.
  std::int64_t SleptMs() const { return slept_ms_.load(); }

 private:
  std::atomic<std::int64_t> now_us_;
  std::atomic<std::int64_t> slept_ms_{0};
  std::int64_t start_us_;
  std::int64_t wall_epoch_ms_;
  mutable std::mutex hook_mutex_;
  std::function<void(std::int64_t)> hook_;
};

// The clock of the process: real unless start-up or a test installs another.
// Leaves that have no clock argument (log time stamps) read it.
Clock& ProcessClock();
std::shared_ptr<Clock> SetProcessClock(std::shared_ptr<Clock> clock);

// Sleeps up to ms on the clock in slices of at most slice_ms, returning early
// (true) as soon as `stop` holds. Returns false when the whole time passed.
bool SleepUnless(Clock& clock, DWORD ms, const std::function<bool()>& stop, DWORD slice_ms = 100);

}  // namespace platform
