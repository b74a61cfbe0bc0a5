#include "platform/clock.h"

#include <cstdio>
#include <ctime>
#include <thread>

namespace platform {

namespace {

std::int64_t RealMonotonicUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t RealWallMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::mutex g_process_clock_mutex;
std::shared_ptr<Clock> g_process_clock = std::make_shared<RealClock>();

}  // namespace

LocalTime ToLocalTime(std::int64_t epoch_ms) {
  std::time_t secs = static_cast<std::time_t>(epoch_ms / 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(epoch_ms % 1000);
  return t;
}

std::string FormatTimestamp(const LocalTime& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

void RealClock::Sleep(DWORD ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t RealClock::MonotonicUs() const {
  return RealMonotonicUs();
}

LocalTime RealClock::Now() const {
  return ToLocalTime(RealWallMs());
}

ScaledClock::ScaledClock(double scale)
    : scale_(scale > 0 ? scale : 1.0),
      real_origin_(std::chrono::steady_clock::now()),
      mono_origin_us_(RealMonotonicUs()),
      wall_origin_ms_(RealWallMs()) {}

void ScaledClock::Sleep(DWORD ms) {
  auto real_us = static_cast<std::int64_t>(static_cast<double>(ms) * 1000.0 / scale_);
  std::this_thread::sleep_for(std::chrono::microseconds(real_us));
}

std::int64_t ScaledClock::MonotonicUs() const {
  auto real = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - real_origin_)
                  .count();
  return mono_origin_us_ + static_cast<std::int64_t>(static_cast<double>(real) * scale_);
}

LocalTime ScaledClock::Now() const {
  return ToLocalTime(wall_origin_ms_ + (MonotonicUs() - mono_origin_us_) / 1000);
}

AdjustableClock::AdjustableClock() {
  origin_.real = std::chrono::steady_clock::now();
  origin_.mono_us = RealMonotonicUs();
  origin_.wall_ms = RealWallMs();
}

AdjustableClock::Origin AdjustableClock::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return origin_;
}

std::int64_t AdjustableClock::MonotonicAt(const Origin& o) const {
  const auto real = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - o.real)
                        .count();
  return o.mono_us + static_cast<std::int64_t>(static_cast<double>(real) * o.scale);
}

void AdjustableClock::SetScale(double scale) {
  std::lock_guard<std::mutex> lock(mutex_);
  Origin next;
  next.scale = scale > 0 ? scale : 1.0;
  next.mono_us = MonotonicAt(origin_);
  next.real = std::chrono::steady_clock::now();
  next.wall_ms = RealWallMs();
  origin_ = next;
}

void AdjustableClock::Sleep(DWORD ms) {
  const double scale = Current().scale;
  std::this_thread::sleep_for(std::chrono::microseconds(
      static_cast<std::int64_t>(static_cast<double>(ms) * 1000.0 / scale)));
}

std::int64_t AdjustableClock::MonotonicUs() const {
  return MonotonicAt(Current());
}

LocalTime ScaledClock::WallNow() const {
  return ToLocalTime(RealWallMs());
}

LocalTime AdjustableClock::WallNow() const {
  return ToLocalTime(RealWallMs());
}

LocalTime AdjustableClock::Now() const {
  const Origin o = Current();
  return ToLocalTime(o.wall_ms + (MonotonicAt(o) - o.mono_us) / 1000);
}

double AdjustableClock::Scale() const {
  return Current().scale;
}

FakeClock::FakeClock(std::int64_t start_us, std::int64_t wall_epoch_ms)
    : now_us_(start_us), start_us_(start_us), wall_epoch_ms_(wall_epoch_ms) {}

void FakeClock::Sleep(DWORD ms) {
  std::function<void(std::int64_t)> hook;
  {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    hook = hook_;
  }
  slept_ms_ += ms;
  now_us_ += static_cast<std::int64_t>(ms) * 1000;
  if (hook)
    hook(now_us_.load());
}

std::int64_t FakeClock::MonotonicUs() const {
  return now_us_.load();
}

LocalTime FakeClock::Now() const {
  return ToLocalTime(wall_epoch_ms_ + (now_us_.load() - start_us_) / 1000);
}

void FakeClock::Advance(std::int64_t us) {
  now_us_ += us;
}

void FakeClock::SetSleepHook(std::function<void(std::int64_t)> hook) {
  std::lock_guard<std::mutex> lock(hook_mutex_);
  hook_ = std::move(hook);
}

Clock& ProcessClock() {
  std::lock_guard<std::mutex> lock(g_process_clock_mutex);
  return *g_process_clock;
}

std::shared_ptr<Clock> SetProcessClock(std::shared_ptr<Clock> clock) {
  std::lock_guard<std::mutex> lock(g_process_clock_mutex);
  auto previous = g_process_clock;
  g_process_clock = clock ? std::move(clock) : std::make_shared<RealClock>();
  return previous;
}

bool SleepUnless(Clock& clock, DWORD ms, const std::function<bool()>& stop, DWORD slice_ms) {
  if (slice_ms == 0)
    slice_ms = 1;
  DWORD left = ms;
  while (left > 0) {
    if (stop && stop())
      return true;
    DWORD slice = left < slice_ms ? left : slice_ms;
    clock.Sleep(slice);
    left -= slice;
  }
  return stop && stop();
}

}  // namespace platform
