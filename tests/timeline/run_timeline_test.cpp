// The timeline core: lines with their arrival stamps in, the moments of a
// run out. Vectors walk a whole run each; a property shuffles epochs.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "fix_rules/registry.h"
#include "nmea/nmea_checksum.h"
#include "timeline/run_timeline.h"

namespace {

using timeline::RunTimeline;
using timeline::TimelinePhase;
using Ms = std::optional<std::int64_t>;

constexpr std::int64_t kOkUs = 5'000'000;

struct Line {
  std::int64_t ms;   // arrival after the "OK"
  std::string body;  // between "$" and "*"
};

// Epoch pieces of the module's form.
Line RmcV(std::int64_t ms) {
  return {ms, "GPRMC,120000.000,V,,,,,,,010324,,,N"};
}
Line RmcA(std::int64_t ms) {
  return {ms, "GPRMC,120001.000,A,4807.0380,N,01131.0000,E,0.1,54.7,010324,,,A"};
}
Line GgaFix(std::int64_t ms) {
  return {ms, "GPGGA,120001.000,4807.0380,N,01131.0000,E,1,05,0.9,520.3,M,47.0,M,,"};
}
Line GgaNone(std::int64_t ms) {
  return {ms, "GPGGA,120000.000,,,,,0,00,,,M,,M,,"};
}
Line Gsa(std::int64_t ms, int mode, const std::string& prns = ",,,,,,,,,,,,") {
  return {ms, "GPGSA,A," + std::to_string(mode) + prns + ",1.6,0.9,1.3,1"};
}
Line Gsv(std::int64_t ms, const std::string& sats) {
  return {ms, "GPGSV,1,1,04" + sats};
}

struct Expected {
  Ms first_nmea, first_snr, first_2d, first_3d, fix;
  std::vector<Ms> rules;  // gprmc, rmc, gga, gns, gsa3d
  std::optional<int> used;
  std::vector<int> snr;
  bool position = false;
  std::optional<double> alt_m;
};

struct Case {
  const char* legend;
  std::string rule;
  std::vector<Line> lines;
  Expected expected;
  std::int64_t first_byte_ms = 0;  // 0: not given (the first line stands for it)
};

timeline::TimelineRecord Play(const Case& c, std::vector<std::int64_t>* samples = nullptr) {
  RunTimeline t(c.rule);
  if (samples)
    t.SetSampleListener(
        [samples](std::int64_t ms, const timeline::SkySample&) { samples->push_back(ms); });
  t.Begin(kOkUs);
  if (c.first_byte_ms != 0)
    t.SetFirstNmeaStamp(kOkUs + c.first_byte_ms * 1000);
  for (const Line& l : c.lines)
    t.Feed(BuildNmeaSentence(l.body), kOkUs + l.ms * 1000);
  t.Finish();
  return t.Record();
}

const std::string kFour = ",05,62,048,44,13,45,296,42,20,35,160,39,29,25,240,37";
const std::string kNoSnr = ",05,62,048,,13,45,296,,20,35,160,,29,25,240,";
const std::string kOneWeak = ",05,62,048,18,13,45,296,,20,35,160,,29,25,240,";

TEST(RunTimeline, VectorsOfWholeRuns) {
  const std::vector<Case> cases = {
      {"a hot start: the fix RMC at 2D, its GSA and GSV after it in the same epoch; 3D one "
       "epoch later",
       "",
       {RmcV(1000), GgaNone(1000), Gsa(1000, 1), Gsv(1001, kOneWeak),  // epoch 0: one tracked
        RmcA(2000), GgaNone(2000), Gsa(2000, 2, ",05,13,20,,,,,,,,,"), Gsv(2001, kFour), RmcA(3000),
        GgaFix(3000), Gsa(3000, 3, ",05,13,20,29,,,,,,,,"), Gsv(3001, kFour)},
       {1000,
        1001,
        2000,
        3000,
        2000,
        {2000, 2000, 3000, std::nullopt, 3000},
        3,
        {44, 42, 39, 37},
        true,
        std::nullopt}},
      {"the gsa3d rule: the fix is the 3D GSA; its position from the epoch's RMC before it, "
       "its altitude from the GGA",
       "gsa3d",
       {RmcV(900), Gsv(901, kNoSnr), RmcA(1900), Gsa(1900, 2, ",05,13,20,,,,,,,,,"), RmcA(2900),
        GgaFix(2900), Gsa(2900, 3, ",05,13,20,29,,,,,,,,"), Gsv(2901, kFour)},
       {900,
        2901,
        1900,
        2900,
        2900,
        {1900, 1900, 2900, std::nullopt, 2900},
        4,
        {44, 42, 39, 37},
        true,
        520.3}},
      {"NMEA before the OK: negative moments; the first byte given by the queue wins over "
       "the first line",
       "",
       {Gsv(-300, kFour), RmcA(-200), Gsa(-200, 3, ",05,13,20,29,,,,,,,,")},
       {-350,
        -300,
        std::nullopt,
        -200,
        -200,
        {-200, -200, std::nullopt, std::nullopt, -200},
        4,
        {44, 42, 39, 37},
        true,
        std::nullopt},
       -350},
      {"no fix: the phases reached are kept, nothing at the fix",
       "",
       {RmcV(1000), Gsa(1000, 1), Gsv(1001, kOneWeak), RmcV(2000), Gsa(2000, 1),
        Gsv(2001, kOneWeak)},
       {1000,
        1001,
        std::nullopt,
        std::nullopt,
        std::nullopt,
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        std::nullopt,
        {},
        false,
        std::nullopt}},
      {"a GN receiver with the rmc rule: $GPRMC never comes; GGA's count when no GSA",
       "rmc",
       {{1000, "GNRMC,120001.000,A,4807.0380,N,01131.0000,E,0.1,54.7,010324,,,A"},
        {1000, "GNGGA,120001.000,4807.0380,N,01131.0000,E,1,07,0.9,520.3,M,47.0,M,,"},
        {1001, "GPGSV,1,1,02,05,62,048,44,13,45,296,42"}},
       {1000,
        1001,
        std::nullopt,
        std::nullopt,
        1000,
        {std::nullopt, 1000, 1000, std::nullopt, std::nullopt},
        7,
        {44, 42},
        true,
        520.3}},
      {"the same satellites in $GPGSA and $GNGSA (system 1) count once; another system "
       "adds",
       "",
       {RmcA(1000),
        {1000, "GPGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3,1"},
        {1000, "GNGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3,1"},
        {1000, "GNGSA,A,3,67,,,,,,,,,,,,1.6,0.9,1.3,2"}},
       {1000,
        std::nullopt,
        std::nullopt,
        1000,
        1000,
        {1000, 1000, std::nullopt, std::nullopt, 1000},
        3,
        {},
        true,
        std::nullopt}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const auto r = Play(c);
    const Expected& e = c.expected;
    EXPECT_EQ(r.first_nmea_ms, e.first_nmea);
    EXPECT_EQ(r.first_snr_ms, e.first_snr);
    EXPECT_EQ(r.first_2d_ms, e.first_2d);
    EXPECT_EQ(r.first_3d_ms, e.first_3d);
    EXPECT_EQ(r.fix_ms, e.fix);
    EXPECT_EQ(r.rule_fix_ms, e.rules);
    EXPECT_EQ(r.used_at_fix, e.used);
    EXPECT_EQ(r.snr_at_fix, e.snr);
    ASSERT_EQ(r.position_at_fix.has_value(), e.position);
    if (e.position) {
      EXPECT_NEAR(r.position_at_fix->lat_deg, 48 + 7.038 / 60, 1e-9);
      EXPECT_NEAR(r.position_at_fix->lon_deg, 11 + 31.0 / 60, 1e-9);
      EXPECT_EQ(r.position_at_fix->alt_m.has_value(), e.alt_m.has_value());
      if (e.alt_m && r.position_at_fix->alt_m) {
        EXPECT_NEAR(*r.position_at_fix->alt_m, *e.alt_m, 1e-9);
      }
    }
  }
}

TEST(RunTimeline, UnknownStampsRecordNothing) {
  RunTimeline t;
  t.Begin(0);  // the "OK" came without a stamp
  t.Feed(BuildNmeaSentence(RmcA(0).body), 1'000'000);
  t.Finish();
  EXPECT_FALSE(t.Record().fix_ms);
  EXPECT_FALSE(t.Record().first_nmea_ms);
}

TEST(RunTimeline, OneSignalSamplePerEpochAtItsFirstLine) {
  Case c{"", "", {RmcV(1000), Gsv(1001, kFour), RmcV(2000), Gsv(2001, kFour), RmcA(3000)}, {}};
  std::vector<std::int64_t> samples;
  Play(c, &samples);
  EXPECT_EQ(samples, (std::vector<std::int64_t>{1000, 2000, 3000}));
}

TEST(RunTimeline, PhasesAreToldOnceInTheOrderReached) {
  RunTimeline t;
  std::vector<std::pair<TimelinePhase, std::int64_t>> told;
  t.SetPhaseListener([&](TimelinePhase p, std::int64_t ms) { told.push_back({p, ms}); });
  t.Begin(kOkUs);
  for (const Line& l : {RmcV(1000), Gsv(1001, kFour), RmcA(2000), Gsa(2000, 2), RmcA(3000),
                        Gsa(3000, 3), RmcA(4000), Gsa(4000, 3)})
    t.Feed(BuildNmeaSentence(l.body), kOkUs + l.ms * 1000);
  using P = TimelinePhase;
  EXPECT_EQ(told, (std::vector<std::pair<P, std::int64_t>>{{P::kFirstNmea, 1000},
                                                           {P::kFirstSnr, 1001},
                                                           {P::kFix, 2000},
                                                           {P::kFirst2d, 2000},
                                                           {P::kFirst3d, 3000}}));
}

// Property: whatever pace a receiver's acquisition takes (tracked, then
// 2D, then 3D, with epochs of any length and any sentence order inside an
// epoch), the moments keep first_nmea <= first_snr <= first_2d <= first_3d,
// and the gsa3d rule's fix is the first 3D.
TEST(RunTimeline, RandomAcquisitionsNeverBreakTheOrder) {
  std::mt19937 rng(13);
  for (int trial = 0; trial < 300; ++trial) {
    std::uniform_int_distribution<int> epochs(1, 12);
    const int tracked_at = epochs(rng) - 1;
    const int two_d_at = tracked_at + 1 + epochs(rng) % 4;  // tracked before used
    const int three_d_at = two_d_at + epochs(rng) % 5;
    RunTimeline t;
    t.Begin(kOkUs);
    std::int64_t ms = std::uniform_int_distribution<int>(-500, 500)(rng);
    for (int k = 0; k <= three_d_at + 1; ++k) {
      const int mode = k >= three_d_at ? 3 : k >= two_d_at ? 2 : 1;
      std::vector<Line> rest = {Gsa(ms, mode, mode > 1 ? ",05,13,20,,,,,,,,," : ",,,,,,,,,,,,"),
                                Gsv(ms, k >= tracked_at ? kFour : kNoSnr),
                                mode > 1 ? GgaFix(ms) : GgaNone(ms)};
      std::shuffle(rest.begin(), rest.end(), rng);
      t.Feed(BuildNmeaSentence((mode > 1 ? RmcA(ms) : RmcV(ms)).body), kOkUs + ms * 1000);
      for (Line& l : rest) {
        ms += std::uniform_int_distribution<int>(0, 3)(rng);
        t.Feed(BuildNmeaSentence(l.body), kOkUs + ms * 1000);
      }
      ms += std::uniform_int_distribution<int>(200, 1000)(rng);
    }
    t.Finish();
    const auto& r = t.Record();
    ASSERT_TRUE(r.first_nmea_ms && r.first_snr_ms && r.first_3d_ms && r.fix_ms) << trial;
    EXPECT_LE(*r.first_nmea_ms, *r.first_snr_ms) << trial;
    if (r.first_2d_ms) {
      EXPECT_LE(*r.first_snr_ms, *r.first_2d_ms) << trial;
      EXPECT_LE(*r.first_2d_ms, *r.first_3d_ms) << trial;
    }
    EXPECT_EQ(r.rule_fix_ms[4], r.first_3d_ms) << trial;
    EXPECT_LE(*r.fix_ms, *r.first_3d_ms) << trial;
  }
}

}  // namespace
