// The sequential verdict on constructed sequences of good and bad attempts;
// the run counts are worked out by hand from Wald's boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "stats/sequential_verdict.h"
#include "stats/statistics_output.h"
#include "stats/ttff_statistics.h"

namespace {

using stats::Verdict;

// 'g' good, 'b' bad; returns the verdict after the whole sequence.
stats::SequentialVerdict Feed(const stats::VerdictLimits& limits, const std::string& attempts) {
  stats::SequentialVerdict v(limits);
  unsigned n = 0;
  for (char c : attempts)
    v.Add(c == 'g', ++n);
  return v;
}

TEST(SequentialVerdict, DecidesAfterTheRunsWaldsBoundariesNeed) {
  // Boundaries at confidence 0.95: +-ln(0.95 / 0.05) = +-2.9444.
  const struct {
    double yield;
    std::string attempts;
    Verdict verdict;
    unsigned after;
    const char* legend;
  } cases[] = {
      {0.95, std::string(60, 'g'), Verdict::kPass, 55,
       "p1 0.90: each good adds ln(0.90/0.95) = -0.05407; 2.9444 / 0.05407 = 54.5"},
      {0.95, std::string(54, 'g'), Verdict::kUndecided, 0, "one short of 55"},
      {0.95, "bbbbb", Verdict::kFail, 5, "each bad adds ln(0.10/0.05) = ln 2; 5 ln 2 = 3.47"},
      {0.95, "bbbb", Verdict::kUndecided, 0, "4 ln 2 = 2.77 < 2.9444"},
      {0.80, std::string(11, 'g'), Verdict::kPass, 11,
       "p1 0.60: ln(0.6/0.8) = -0.2877; 2.9444 / 0.2877 = 10.2"},
      {0.80, "gggbbbbbb", Verdict::kFail, 9, "3 x -0.2877 + 6 ln 2 = 3.296; after 5 bad only 2.60"},
  };
  for (const auto& c : cases) {
    const stats::SequentialVerdict v = Feed({5, c.yield, 0.95, 0}, c.attempts);
    EXPECT_EQ(v.Current(), c.verdict) << c.legend;
    EXPECT_EQ(v.DecidedAfter(), c.after) << c.legend;
    EXPECT_EQ(v.Attempts(), c.attempts.size()) << c.legend;
  }
}

TEST(SequentialVerdict, BorderlineStaysUndecidedAndAVerdictStands) {
  // Yield 0.9 (p1 0.8): six good and one bad per cycle move the ratio by
  // 6 ln(8/9) + ln 2 = -0.0137, so seventy attempts stay inside the bounds.
  std::string cycle = "ggggggb", seventy;
  for (int i = 0; i < 10; ++i)
    seventy += cycle;
  const stats::SequentialVerdict borderline = Feed({5, 0.9, 0.95, 0}, seventy);
  EXPECT_EQ(borderline.Current(), Verdict::kUndecided);
  EXPECT_NEAR(borderline.LogRatio(), 60 * std::log(8.0 / 9) + 10 * std::log(2.0), 1e-9);
  // Once decided, later attempts are in the statistics, not the verdict.
  const stats::SequentialVerdict passed =
      Feed({5, 0.8, 0.95, 0}, std::string(11, 'g') + "bbbbbbbbbb");
  EXPECT_EQ(passed.Current(), Verdict::kPass);
  EXPECT_EQ(passed.DecidedAfter(), 11u);
  // A wider indifference decides sooner: p1 0.5 for yield 0.8.
  EXPECT_EQ(Feed({5, 0.8, 0.95, 0.3}, std::string(20, 'g')).DecidedAfter(), 7u)
      << "ln(0.5/0.8) = -0.47; 2.9444 / 0.47 = 6.3";
}

TEST(SequentialVerdict, AnAttemptIsGoodOnlyWhenItFixedWithinTheLimit) {
  std::vector<stats::RunOutcome> runs;
  using Kind = stats::RunOutcome::Kind;
  // Yield 0.8: bad, bad, a lost port (no attempt), bad, bad, bad -> FAIL at run 6.
  runs.push_back({1, Kind::kFixed, 5.5});  // too slow
  runs.push_back({2, Kind::kTimedOut, 0});
  runs.push_back({3, Kind::kInvalid, 0});
  runs.push_back({4, Kind::kFixed, 7});
  runs.push_back({5, Kind::kTimedOut, 0});
  runs.push_back({6, Kind::kFixed, 9});
  runs.push_back({7, Kind::kFixed, 5});  // exactly at the limit: good
  const stats::TtffStatistics s =
      stats::ComputeTtffStatistics(runs, {30, 0.95, stats::VerdictLimits{5, 0.8, 0.95, 0}});
  ASSERT_TRUE(s.verdict);
  EXPECT_EQ(s.verdict->Current(), Verdict::kFail);
  EXPECT_EQ(s.verdict->DecidedAfter(), 6u) << "the run number, a lost port counted";
  EXPECT_EQ(s.verdict->Attempts(), 6u);
  EXPECT_EQ(s.verdict->Good(), 1u);
  // With an error limit a fix must also be near enough, and known to be.
  stats::VerdictLimits with_error{5, 0.8, 0.95, 0};
  with_error.error_m = 10;
  EXPECT_TRUE(stats::IsGood({1, Kind::kFixed, 4, 9.5}, with_error));
  EXPECT_FALSE(stats::IsGood({1, Kind::kFixed, 4, 10.5}, with_error)) << "too far off";
  EXPECT_FALSE(stats::IsGood({1, Kind::kFixed, 4, std::nullopt}, with_error)) << "unknown error";
  EXPECT_TRUE(stats::IsGood({1, Kind::kFixed, 4, std::nullopt}, {5, 0.8, 0.95, 0}));
  const nlohmann::json j = stats::VerdictJson(s);
  EXPECT_EQ(j.at("verdict"), "FAIL");
  EXPECT_EQ(j.at("decided_after_run"), 6);
  EXPECT_EQ(j.at("indifference"), 0.2);
  EXPECT_EQ(j.at("alpha"), 0.05);
  EXPECT_EQ(stats::VerdictLine(s),
            "FAIL after 6 runs (yield 0.8, TTFF \u2264 5 s, confidence 0.95)");
}

}  // namespace
