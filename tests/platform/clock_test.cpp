#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using platform::FakeClock;
using platform::ScaledClock;

TEST(ScaledClock, PauseLastsOneNthAndReadsBackWhole) {
  ScaledClock clock(20.0);
  const auto real_start = std::chrono::steady_clock::now();
  const DWORD tick_start = clock.GetTickCount();
  const auto mono_start = clock.MonotonicUs();
  clock.Sleep(10000);
  const auto real_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - real_start)
                           .count();
  const DWORD ticks = clock.GetTickCount() - tick_start;
  // 10 s at scale 20 take 0.5 s of real time and read back as 10 s.
  EXPECT_GE(real_ms, 495);
  EXPECT_LT(real_ms, 2000);
  EXPECT_GE(ticks, 10000u);
  EXPECT_LT(ticks, 40000u);
  EXPECT_GE(clock.MonotonicUs() - mono_start, 10'000'000);
  EXPECT_DOUBLE_EQ(clock.Scale(), 20.0);
}

TEST(ScaledClock, LocalTimeAdvancesScaled) {
  ScaledClock clock(1000.0);
  auto before = clock.Now();
  clock.Sleep(120000);  // two minutes of clock time, 0.12 s real
  auto after = clock.Now();
  int before_s = before.hour * 3600 + before.minute * 60 + before.second;
  int after_s = after.hour * 3600 + after.minute * 60 + after.second;
  if (after_s < before_s)
    after_s += 24 * 3600;
  EXPECT_GE(after_s - before_s, 119);
}

// Names and stamps take the real wall clock; only durations are scaled.
TEST(ScaledClock, WallTimeIsTheRealOne) {
  ScaledClock clock(1000.0);
  platform::AdjustableClock adjustable;
  adjustable.SetScale(1000.0);
  clock.Sleep(120000);  // two minutes of clock time, 0.12 s real
  adjustable.Sleep(120000);
  const platform::LocalTime real = platform::RealClock().Now();
  for (const platform::LocalTime& wall : {clock.WallNow(), adjustable.WallNow()}) {
    const int apart = std::abs((wall.hour * 3600 + wall.minute * 60 + wall.second) -
                               (real.hour * 3600 + real.minute * 60 + real.second));
    EXPECT_TRUE(apart <= 1 || apart >= 24 * 3600 - 1) << apart;
  }
}

TEST(ScaledClock, NonPositiveScaleMeansRealSpeed) {
  ScaledClock clock(0.0);
  EXPECT_DOUBLE_EQ(clock.Scale(), 1.0);
}

TEST(AdjustableClock, RunsRealUntilScaledAndGoesOnWithoutAJump) {
  platform::AdjustableClock clock;
  EXPECT_DOUBLE_EQ(clock.Scale(), 1.0);
  const std::int64_t real_now = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
  EXPECT_LT(std::llabs(clock.MonotonicUs() - real_now), 100'000);  // the real clock's time
  clock.SetScale(20.0);
  EXPECT_DOUBLE_EQ(clock.Scale(), 20.0);
  const auto real_start = std::chrono::steady_clock::now();
  const auto mono_start = clock.MonotonicUs();
  clock.Sleep(10000);
  const auto real_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - real_start)
                           .count();
  EXPECT_GE(real_ms, 495);
  EXPECT_LT(real_ms, 2000);
  const auto scaled_end = clock.MonotonicUs();
  EXPECT_GE(scaled_end - mono_start, 10'000'000);
  // Back to real time: monotonic goes on from where it was, local time is real again.
  clock.SetScale(0);
  EXPECT_DOUBLE_EQ(clock.Scale(), 1.0);
  EXPECT_GE(clock.MonotonicUs(), scaled_end);
  EXPECT_LT(clock.MonotonicUs() - scaled_end, 100'000);
  const platform::LocalTime local = clock.Now();
  const platform::LocalTime real = platform::RealClock().Now();
  const int apart = std::abs((local.hour * 3600 + local.minute * 60 + local.second) -
                             (real.hour * 3600 + real.minute * 60 + real.second));
  EXPECT_TRUE(apart <= 1 || apart >= 24 * 3600 - 1) << apart;
}

TEST(FakeClock, MovesOnlyWhenSleptOrAdvanced) {
  FakeClock clock;
  const DWORD t0 = clock.GetTickCount();
  EXPECT_EQ(clock.GetTickCount(), t0);
  clock.Sleep(100);
  EXPECT_EQ(clock.GetTickCount() - t0, 100u);
  clock.Advance(2'500'000);
  EXPECT_EQ(clock.GetTickCount() - t0, 2600u);
  EXPECT_EQ(clock.SleptMs(), 100);
}

TEST(FakeClock, SleepHookSeesTimeAfterTheSleep) {
  FakeClock clock(0);
  std::vector<std::int64_t> seen;
  clock.SetSleepHook([&](std::int64_t now) { seen.push_back(now); });
  clock.Sleep(100);
  clock.Sleep(100);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{100'000, 200'000}));
}

TEST(FakeClock, TickCountWrapsLikeA32BitCounter) {
  // Start 50 ms before the 32-bit millisecond counter wraps.
  FakeClock clock((static_cast<std::int64_t>(0xFFFFFFFFu) - 49) * 1000);
  const DWORD start = clock.GetTickCount();
  clock.Sleep(100);
  EXPECT_LT(clock.GetTickCount(), start);         // it wrapped
  EXPECT_EQ(clock.GetTickCount() - start, 100u);  // unsigned difference still right
}

TEST(SleepUnless, ReturnsEarlyWhenAsked) {
  FakeClock clock;
  int polls = 0;
  bool stopped = platform::SleepUnless(clock, 10000, [&] { return ++polls > 3; });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(clock.SleptMs(), 300);
  EXPECT_FALSE(platform::SleepUnless(clock, 250, [] { return false; }));
  EXPECT_EQ(clock.SleptMs(), 550);
}

TEST(ProcessClock, CanBeReplacedAndRestored) {
  auto fake = std::make_shared<FakeClock>(5'000'000);
  auto previous = platform::SetProcessClock(fake);
  EXPECT_EQ(platform::ProcessClock().MonotonicUs(), 5'000'000);
  platform::SetProcessClock(previous);
  EXPECT_NE(&platform::ProcessClock(), fake.get());
}

}  // namespace
