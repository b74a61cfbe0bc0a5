// The TTFF model and the ground truth: draws within the ranges of each
// restart type, and the first "A" RMC written when the truth says it was.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "sim/ttff_model.h"
#include "tests/sim/device_port.h"

namespace {

TEST(SimTtffModel, DefaultsDrawWithinTheRangeOfEachRestartType) {
  // Legend: type, assisted, the range modules of this kind show (seconds).
  struct Case {
    int type;
    bool assisted;
    double min_s, max_s;
  } const cases[] = {
      {sim::kRestartHot, false, 1, 2},    {sim::kRestartWarm, false, 25, 35},
      {sim::kRestartCold, false, 30, 45}, {sim::kRestartHot, true, 1, 2},
      {sim::kRestartWarm, true, 5, 15},   {sim::kRestartCold, true, 5, 15},
  };
  sim::TtffModel model(sim::TtffTable{}, 42);
  for (const Case& c : cases) {
    double lo = 1e9, hi = 0;
    for (int i = 0; i < 200; ++i) {
      const double s = static_cast<double>(model.DrawUs(c.type, c.assisted)) / 1e6;
      lo = std::min(lo, s);
      hi = std::max(hi, s);
    }
    EXPECT_GE(lo, c.min_s) << c.type << "/" << c.assisted;
    EXPECT_LE(hi, c.max_s) << c.type << "/" << c.assisted;
    EXPECT_GT(hi - lo, (c.max_s - c.min_s) / 2) << "spread over the range, not one value";
  }
}

TEST(SimTtffModel, SameSeedSameDraws) {
  sim::TtffModel a(sim::TtffTable{}, 9), b(sim::TtffTable{}, 9), c(sim::TtffTable{}, 10);
  bool differs = false;
  for (int i = 0; i < 20; ++i) {
    const auto x = a.DrawUs(sim::kRestartCold, false);
    EXPECT_EQ(x, b.DrawUs(sim::kRestartCold, false));
    differs = differs || x != c.DrawUs(sim::kRestartCold, false);
  }
  EXPECT_TRUE(differs);
}

TEST(SimTtffModel, RangeOptionText) {
  struct Case {
    const char* text;
    bool ok;
    double min_s, max_s;
  } const cases[] = {
      {"3", true, 3, 3},    {"2.5:7", true, 2.5, 7}, {"7:2", false, 0, 0}, {"", false, 0, 0},
      {"a:b", false, 0, 0}, {"-1", false, 0, 0},     {"1:", false, 0, 0},  {"1e7", false, 0, 0},
  };
  for (const Case& c : cases) {
    sim::TtffRange range{-1, -1};
    EXPECT_EQ(sim::ParseTtffRange(c.text, range), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(range.min_s, c.min_s) << c.text;
      EXPECT_EQ(range.max_s, c.max_s) << c.text;
    } else {
      EXPECT_EQ(range.min_s, -1) << "left alone: " << c.text;
    }
  }
}

// Starts the receiver through the AT port and reads the NMEA port as the tool
// would, noting on the shared clock when the "OK" and the first fix arrived.
struct Observed {
  std::int64_t ok_us = -1;
  std::int64_t fix_us = -1;
};

Observed StartAndWatch(simtest::SimFixture& fx, const std::string& before_start) {
  Observed seen;
  simtest::DevicePort at(fx.simulator->AtDevicePath());
  simtest::DevicePort nmea(fx.simulator->NmeaDevicePath());
  if (!at.ok() || !nmea.ok())
    return seen;
  at.Write(before_start + "AT+WGPS=1\r\n");
  if (!at.ReadUntilContains("AT+WGPS=1\r\nOK\r\n", 3000))
    return seen;
  seen.ok_us = fx.clock->MonotonicUs();
  const bool fixed = nmea.ReadUntil(
      [](const std::string& r) {
        for (const std::string& line : simtest::Lines(r)) {
          if (line.rfind("$GPRMC,", 0) == 0 && simtest::Fields(line)[2] == "A")
            return true;
        }
        return false;
      },
      5000);
  if (fixed)
    seen.fix_us = fx.clock->MonotonicUs();
  return seen;
}

TEST(SimTtffTruth, FirstFixWrittenAtTheDrawnTtffRoundedUpToTheNextEpoch) {
  // Legend: rate, TTFF; the fix must leave at the first epoch boundary
  // (ok + k periods) at or after the TTFF.
  struct Case {
    double rate_hz;
    double ttff_s;
    int fix_epoch;  // 0-based epoch after the start, written at ok + (k + 1) periods
  } const cases[] = {{1, 3.4, 3}, {1, 2.0, 1}, {10, 1.25, 12}, {2, 0.2, 0}};
  for (const Case& c : cases) {
    simtest::SimFixture fx(50);
    fx.options.rate_hz = c.rate_hz;
    fx.options.ttff.cold = {c.ttff_s, c.ttff_s};
    fx.options.truth_path = fx.dir.file("truth.jsonl");
    std::string error;
    ASSERT_TRUE(fx.Start(&error)) << error;
    const Observed seen = StartAndWatch(fx, "AT+WGPSDEL=0\r\n");
    ASSERT_GE(seen.fix_us, 0) << c.ttff_s;
    ASSERT_TRUE(simtest::WaitForFixTruth(*fx.simulator, 0, 2000));
    const auto truth = fx.simulator->Truth();
    ASSERT_EQ(truth.size(), 1u);
    const sim::TruthRecord& t = truth[0];
    EXPECT_EQ(t.restart_type, sim::kRestartCold);
    EXPECT_EQ(t.ttff_drawn_us, static_cast<std::int64_t>(c.ttff_s * 1e6));
    EXPECT_EQ(t.fix_epoch, c.fix_epoch) << c.ttff_s;
    const double period_us = 1e6 / c.rate_hz;
    const double boundary_us = (c.fix_epoch + 1) * period_us;
    // Honoured within one epoch: never before the TTFF.
    EXPECT_GE(t.TtffUs(), static_cast<std::int64_t>(c.ttff_s * 1e6)) << c.ttff_s;
    // Written at the boundary, late only by the scheduling of one write
    // (1 s of simulator time is 20 ms of real time at scale 50).
    EXPECT_GE(static_cast<double>(t.TtffUs()), boundary_us) << c.ttff_s;
    EXPECT_LT(static_cast<double>(t.TtffUs()), boundary_us + 1e6) << c.ttff_s;
    // The tool side, on the same clock, sees both moments within an epoch.
    EXPECT_NEAR(static_cast<double>(seen.ok_us - t.ok_us), 0, 1e6);
    EXPECT_NEAR(static_cast<double>(seen.fix_us - seen.ok_us), static_cast<double>(t.TtffUs()),
                period_us + 1e6);
    fx.simulator->Stop();
    std::ifstream file(fx.options.truth_path);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    const auto j = nlohmann::json::parse(line);
    EXPECT_EQ(j["ok_us"].get<std::int64_t>(), t.ok_us);
    EXPECT_EQ(j["fix_us"].get<std::int64_t>(), t.fix_us);
    EXPECT_EQ(j["ttff_drawn_us"].get<std::int64_t>(), t.ttff_drawn_us);
    EXPECT_EQ(j["restart_type"].get<int>(), sim::kRestartCold);
    EXPECT_FALSE(j["assisted"].get<bool>());
    EXPECT_FALSE(std::getline(file, line)) << "one line per start";
  }
}

TEST(SimTtffTruth, AssistedStartUsesTheAssistedRange) {
  simtest::SimFixture fx(50);
  fx.options.ttff.warm = {30, 30};
  fx.options.ttff.assisted_warm = {2, 2};
  std::string error;
  ASSERT_TRUE(fx.Start(&error)) << error;
  const Observed seen =
      StartAndWatch(fx,
                    "AT+WGPSDEL=2\r\nAT+WGPSXTRATIME=0,\"2024/01/15,08:30:05\",1,1,3500\r\n"
                    "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n");
  ASSERT_GE(seen.fix_us, 0);
  ASSERT_TRUE(simtest::WaitForFixTruth(*fx.simulator, 0, 2000));
  const auto truth = fx.simulator->Truth();
  ASSERT_EQ(truth.size(), 1u);
  EXPECT_TRUE(truth[0].assisted);
  EXPECT_EQ(truth[0].restart_type, sim::kRestartWarm);
  EXPECT_EQ(truth[0].ttff_drawn_us, 2'000'000);
}

}  // namespace
