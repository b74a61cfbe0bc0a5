// The comparison of two tests' TTFFs: Mann–Whitney U against a textbook
// example and a hand count, its tie-corrected variance against the exact
// permutation variance, the log-rank test against the published 6-MP
// trial, and the properties identical samples → p = 1 and A/B swapped →
// the same p with the direction reversed.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "stats/rank_tests.h"

namespace {

using stats::RankComparison;

TEST(MannWhitney, HandCountOfTheMostExtremeSplit) {
  // B holds the three largest of six values: 1 of C(6,3) = 20 splits has
  // U_B = 9, one has U_B = 0: two-sided p = 2/20.
  const RankComparison c = stats::MannWhitney({1, 2, 3}, {4, 5, 6});
  EXPECT_EQ(c.method, RankComparison::Method::kMannWhitneyExact);
  EXPECT_DOUBLE_EQ(c.u_b, 9);
  EXPECT_NEAR(c.p, 0.1, 1e-12);
  EXPECT_TRUE(c.b_slower);
}

TEST(MannWhitney, MatchesTheTextbookPermeabilityExample) {
  // Hollander & Wolfe (1973), p. 69: permeability constants at term (x)
  // and at 12-26 weeks (y); W = 35, one-sided exact p = 0.1272 (R's
  // wilcox.test example), so two-sided 0.2544.
  const std::vector<double> x = {0.80, 0.83, 1.89, 1.04, 1.45, 1.38, 1.91, 1.64, 0.73, 1.46};
  const std::vector<double> y = {1.15, 0.88, 0.90, 0.74, 1.21};
  const RankComparison c = stats::MannWhitney(x, y);
  EXPECT_EQ(c.method, RankComparison::Method::kMannWhitneyExact);
  EXPECT_DOUBLE_EQ(c.u_b, 50 - 35);
  EXPECT_NEAR(c.p, 0.2544, 1e-4);
  EXPECT_FALSE(c.b_slower);
}

TEST(MannWhitney, TieCorrectedVarianceIsThePermutationVariance) {
  // With ties the normal approximation is used; its variance must be the
  // exact variance of U over all C(12,6) = 924 splits of the pooled values.
  const std::vector<double> a = {10, 12, 12, 15, 15, 15};
  const std::vector<double> b = {12, 15, 18, 18, 20, 22};
  std::vector<double> pooled = a;
  pooled.insert(pooled.end(), b.begin(), b.end());
  double sum = 0, sum_sq = 0, count = 0;
  for (unsigned mask = 0; mask < (1u << 12); ++mask) {
    if (__builtin_popcount(mask) != 6)
      continue;
    double u = 0;  // pairs where the second group's value is larger
    for (int i = 0; i < 12; ++i)
      for (int j = 0; j < 12; ++j)
        if ((mask >> i & 1) && !(mask >> j & 1))
          u += pooled[j] > pooled[i] ? 1 : pooled[j] == pooled[i] ? 0.5 : 0;
    sum += u;
    sum_sq += u * u;
    count += 1;
  }
  ASSERT_EQ(count, 924);
  const double exact_variance = sum_sq / count - (sum / count) * (sum / count);
  const RankComparison c = stats::MannWhitney(a, b);
  ASSERT_EQ(c.method, RankComparison::Method::kMannWhitneyNormal);
  const double diff = c.u_b - 18 - 0.5;  // minus the continuity correction
  const double variance = diff * diff / (c.z * c.z);
  EXPECT_NEAR(variance, exact_variance, 1e-9);
  EXPECT_TRUE(c.b_slower);
}

TEST(LogRank, MatchesThePublished6MpTrial) {
  // Freireich et al. (1963), remission weeks, + censored; survdiff gives
  // observed 21 / expected 10.7 for placebo, chi-square 16.8 (16.79), p = 4.17e-5.
  std::vector<stats::Observation> mp, placebo;
  for (double t : {6, 6, 6, 7, 10, 13, 16, 22, 23})
    mp.push_back({t, true});
  for (double t : {6, 9, 10, 11, 17, 19, 20, 25, 32, 32, 34, 35})
    mp.push_back({t, false});
  for (double t : {1, 1, 2, 2, 3, 4, 4, 5, 5, 8, 8, 8, 8, 11, 11, 12, 12, 15, 17, 22, 23})
    placebo.push_back({t, true});
  const RankComparison c = stats::CompareTtff(mp, placebo);
  EXPECT_EQ(c.method, RankComparison::Method::kLogRank);
  EXPECT_NEAR(c.observed_b, 21, 1e-12);
  EXPECT_NEAR(c.expected_b, 10.75, 0.005);
  EXPECT_NEAR(c.chi_square, 16.79, 0.005);
  EXPECT_NEAR(c.p, 4.17e-5, 0.01e-5);
  EXPECT_FALSE(c.b_slower);  // placebo relapses sooner: the "fix" comes faster
  EXPECT_EQ(stats::ComparisonSentence(c, "6-MP", "placebo"),
            "placebo is faster than 6-MP; the difference is unlikely to be chance, p < 0.001");
}

TEST(RankTests, IdenticalSamplesGiveOneAndSwappingGivesTheSameP) {
  std::mt19937 rng(7);
  std::lognormal_distribution<double> ttff(3.3, 0.3);
  for (std::size_t n : {5u, 15u, 40u}) {
    std::vector<stats::Observation> a, b;
    for (std::size_t i = 0; i < n; ++i) {
      a.push_back({std::round(ttff(rng) * 10) / 10, true});
      b.push_back({std::round(ttff(rng) * 13) / 10, i % 7 != 3});  // some censored
    }
    for (const auto& [x, y] : {std::pair{a, a}, std::pair{b, b}})
      EXPECT_NEAR(stats::CompareTtff(x, y).p, 1.0, 1e-12) << n;
    const RankComparison ab = stats::CompareTtff(a, b), ba = stats::CompareTtff(b, a);
    EXPECT_NEAR(ab.p, ba.p, 1e-12) << n;
    EXPECT_NE(ab.b_slower, ba.b_slower) << n;
    std::vector<double> ta, tb;
    for (std::size_t i = 0; i < n; ++i) {
      ta.push_back(a[i].time_s);
      tb.push_back(b[i].time_s);
    }
    EXPECT_NEAR(stats::MannWhitney(ta, tb).p, stats::MannWhitney(tb, ta).p, 1e-12) << n;
    EXPECT_NEAR(stats::MannWhitney(ta, ta).p, 1.0, 1e-12) << n;
  }
}

TEST(RankTests, SentencesAnEngineerReads) {
  RankComparison c;
  c.method = RankComparison::Method::kMannWhitneyNormal;
  c.p = 0.0031;
  c.b_slower = true;
  EXPECT_EQ(stats::ComparisonSentence(c, "A", "B"),
            "B is slower than A; the difference is unlikely to be chance, p = 0.0031");
  c.p = 0.41;
  EXPECT_EQ(stats::ComparisonSentence(c, "A", "B"),
            "no clear difference between A and B; a difference this large often arises by "
            "chance, p = 0.41");
  EXPECT_EQ(stats::ComparisonSentence(stats::MannWhitney({}, {1}), "A", "B"),
            "A and B cannot be compared: one of them has no run with a fix");
}

}  // namespace
