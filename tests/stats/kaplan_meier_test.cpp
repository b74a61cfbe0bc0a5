// The censored TTFF percentiles: a published Kaplan–Meier table, a
// hand-worked censored sample, "above the time-out", and the property that
// without censoring inside the data the estimate is the inverse empirical
// distribution and its interval the exact one between two order statistics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "stats/kaplan_meier.h"
#include "stats/statistics_output.h"
#include "stats/ttff_statistics.h"
#include "tests/stats/binomial.h"

namespace {

using stats_test::BinomialCdf;

using stats::KaplanMeier;
using stats::Observation;

TEST(KaplanMeier, MatchesThePublishedRemissionTable) {
  // Gehan's 6-MP remission times (weeks; + censored), the textbook example;
  // its estimate and Greenwood standard errors as published.
  std::vector<Observation> obs;
  for (double t : {6, 6, 6, 7, 10, 13, 16, 22, 23})
    obs.push_back({t, true});
  for (double t : {6, 9, 10, 11, 17, 19, 20, 25, 32, 32, 34, 35})
    obs.push_back({t, false});
  const KaplanMeier km(obs);
  const struct {
    double t, s, se;
    unsigned at_risk;
  } table[] = {{6, 0.8571, 0.0764, 21},  {7, 0.8067, 0.0869, 17},  {10, 0.7529, 0.0963, 15},
               {13, 0.6902, 0.1068, 12}, {16, 0.6275, 0.1141, 11}, {22, 0.5378, 0.1282, 7},
               {23, 0.4482, 0.1346, 6}};
  ASSERT_EQ(km.Steps().size(), std::size(table));
  for (std::size_t i = 0; i < std::size(table); ++i) {
    EXPECT_EQ(km.Steps()[i].time_s, table[i].t);
    EXPECT_EQ(km.Steps()[i].at_risk, table[i].at_risk) << table[i].t;
    EXPECT_NEAR(km.Steps()[i].survival, table[i].s, 5e-5) << table[i].t;
    EXPECT_NEAR(km.Steps()[i].greenwood_se, table[i].se, 5e-5) << table[i].t;
  }
  EXPECT_EQ(km.Percentile(0.5, 0.95).estimate, 23.0) << "the published median";
  EXPECT_FALSE(km.Percentile(0.67, 0.95).estimate) << "S never falls below 0.4482";
}

TEST(KaplanMeier, HandWorkedCensoredSample) {
  // 3, 5+, 6, 8+, 10, 12.  S: 5/6 at 3; 5/6 * 3/4 = 0.625 at 6; 0.3125 at 10;
  // 0 at 12. Greenwood at 6: 1/(6*5) + 1/(4*3) = 7/60, se 0.625 sqrt(7/60);
  // effective size (1 - S) / (S * 7/60) = 36/7 (fewer than the 6 runs).
  const KaplanMeier km({{3, true}, {5, false}, {6, true}, {8, false}, {10, true}, {12, true}});
  ASSERT_EQ(km.Steps().size(), 4u);
  EXPECT_NEAR(km.Steps()[0].survival, 5.0 / 6, 1e-12);
  EXPECT_NEAR(km.Steps()[0].effective_n, 6.0, 1e-9) << "no censoring before the first fix";
  EXPECT_NEAR(km.Steps()[1].survival, 0.625, 1e-12);
  EXPECT_NEAR(km.Steps()[1].greenwood_se, 0.625 * std::sqrt(7.0 / 60), 1e-12);
  EXPECT_NEAR(km.Steps()[1].effective_n, 36.0 / 7, 1e-9);
  EXPECT_NEAR(km.Steps()[2].survival, 0.3125, 1e-12);
  EXPECT_EQ(km.Steps()[3].survival, 0.0);
  EXPECT_NEAR(km.Survival(7), 0.625, 1e-12);
  EXPECT_EQ(km.Percentile(0.5, 0.95).estimate, 10.0);
  EXPECT_EQ(km.Percentile(0.67, 0.95).estimate, 10.0) << "0.3125 <= 0.33";
  EXPECT_EQ(km.Percentile(0.95, 0.95).estimate, 12.0);
  // Six runs bound the median from below only by 0: with none of n fixed,
  // the upper limit of the share fixed is 1 - 0.025^(1/6) = 0.459 < 0.5,
  // so the lower limit is the first fix whose band reaches 0.5.
  const auto median = km.Percentile(0.5, 0.95);
  ASSERT_TRUE(median.low);
  EXPECT_EQ(*median.low, 3.0) << "1 of 6 fixed: upper limit 0.641 >= 0.5";
  EXPECT_FALSE(median.high) << "the lower limit of the share fixed never exceeds 0.5";
}

TEST(KaplanMeier, APercentileTheTimeOutsHideIsAboveTheTimeOut) {
  // 18 fixes at 1..18 s and two time-outs at 30 s: 10 % never fixed.
  std::vector<stats::RunOutcome> runs;
  for (unsigned i = 1; i <= 18; ++i)
    runs.push_back({i, stats::RunOutcome::Kind::kFixed, static_cast<double>(i)});
  runs.push_back({19, stats::RunOutcome::Kind::kTimedOut, 0});
  runs.push_back({20, stats::RunOutcome::Kind::kTimedOut, 0});
  runs.push_back({21, stats::RunOutcome::Kind::kInvalid, 0});
  const stats::TtffStatistics s = stats::ComputeTtffStatistics(runs, {30, 0.95, std::nullopt});
  EXPECT_EQ(s.valid, 20u);
  EXPECT_EQ(s.recorded, 21u);
  EXPECT_EQ(s.censored, 2u);
  EXPECT_EQ(s.success.k, 18u);
  EXPECT_EQ(s.success.n, 20u);
  EXPECT_EQ(s.percentiles[0].estimate, 10.5) << "S = 10/20 exactly from 10 s to 11 s";
  EXPECT_EQ(s.percentiles[1].estimate, 14.0) << "the 14th of 20: S = 0.30 <= 0.33";
  EXPECT_FALSE(s.percentiles[2].estimate) << "S never falls below 0.10";
  EXPECT_FALSE(s.percentiles[2].high);
  const nlohmann::json j = stats::StatisticsJson(s);
  const auto& p95 = j.at("ttff_km_s").at("p95");
  EXPECT_TRUE(p95.at("estimate").is_null());
  EXPECT_EQ(p95.at("above_timeout"), true);
  EXPECT_EQ(p95.at("text"), "above the time-out");
  EXPECT_EQ(j.at("ttff_km_s").at("p50").at("estimate"), 10.5);
  EXPECT_EQ(j.at("valid_runs").at("L"), 20);
  EXPECT_EQ(j.at("valid_runs").at("M"), 21);
  const auto lines = stats::StatisticsLines(s);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "success 18 of 20 (90.0 %, 95 % CI 68.3\u201398.8 %, Clopper\u2013Pearson)");
  EXPECT_NE(lines[1].find("p95 = above the time-out"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("valid runs 20 of 21"), std::string::npos) << lines[2];

  // Exactly 5 % timed out: p95 is the last fix, S stays at 0.05 after it.
  runs.erase(runs.begin() + 19, runs.end());
  runs.push_back({20, stats::RunOutcome::Kind::kFixed, 19.0});
  const stats::TtffStatistics five = stats::ComputeTtffStatistics(runs, {30, 0.95, std::nullopt});
  EXPECT_EQ(five.percentiles[2].estimate, 19.0);
}

// Property: on runs where only the time-out censors (after every fix), the
// estimate is the inverse empirical distribution over all n (averaging at a
// jump, Hyndman & Fan's type 2), lies between the two order statistics the
// plain (interpolated) percentile of a complete sample uses, and its
// interval is [x(r), x(s)] with r, s from the binomial's tails.
TEST(KaplanMeier, OnlyTheTimeOutCensoringGivesTheOrderStatisticInterval) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> ttff(1.0, 60.0);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 5 + trial % 40;
    const int timeouts = trial % 3 == 0 ? trial % 7 : 0;
    std::vector<double> x;
    std::vector<Observation> obs;
    for (int i = 0; i < n - timeouts; ++i) {
      x.push_back(ttff(rng));
      obs.push_back({x.back(), true});
    }
    for (int i = 0; i < timeouts; ++i)
      obs.push_back({100.0, false});
    std::sort(x.begin(), x.end());
    const int k = static_cast<int>(x.size());
    const KaplanMeier km(obs);
    for (double p : stats::kPercentiles) {
      const auto e = km.Percentile(p, 0.95);
      const double np = n * p;
      const int j = static_cast<int>(std::ceil(np - 1e-9));
      const bool flat = std::fabs(np - std::round(np)) < 1e-9;
      if (j > k) {
        EXPECT_FALSE(e.estimate) << "n " << n << " p " << p;
      } else {
        ASSERT_TRUE(e.estimate) << "n " << n << " p " << p;
        const double type2 = flat && j < k ? (x[j - 1] + x[j]) / 2 : x[j - 1];
        EXPECT_DOUBLE_EQ(*e.estimate, type2) << "n " << n << " p " << p;
        if (timeouts == 0) {
          const double pos = (n - 1) * p;  // 0-based, interpolated
          EXPECT_GE(*e.estimate, x[static_cast<int>(std::floor(pos))]);
          EXPECT_LE(*e.estimate, x[std::min(n - 1, static_cast<int>(std::floor(pos)) + 1)]);
        }
      }
      // r: the fewest fixes whose chance of being at most r is 2.5 % or more.
      int r = 0;
      while (BinomialCdf(r, n, p) < 0.025)
        ++r;
      int s = 1;
      while (s <= n && 1 - BinomialCdf(s - 1, n, p) >= 0.025)
        ++s;
      if (r == 0) {
        EXPECT_EQ(e.low, 0.0);
      } else if (r <= k) {
        EXPECT_EQ(e.low, x[r - 1]) << "n " << n << " p " << p;
      } else {
        EXPECT_FALSE(e.low);
      }
      if (s <= k) {
        EXPECT_EQ(e.high, x[s - 1]) << "n " << n << " p " << p;
      } else {
        EXPECT_FALSE(e.high) << "n " << n << " p " << p;
      }
      if (e.estimate && e.low) {
        EXPECT_LE(*e.low, *e.estimate);
      }
      if (e.estimate && e.high) {
        EXPECT_GE(*e.high, *e.estimate);
      }
    }
  }
}

}  // namespace
