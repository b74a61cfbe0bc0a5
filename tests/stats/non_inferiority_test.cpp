// Firmware B against A: the success rates' difference against the
// published table of Newcombe's hybrid score interval; the bootstrap
// interval of the median's difference against the exact bootstrap
// distribution of a small case, enumerated here apart from the code; a
// percentile hidden by time-outs bounding the interval from one side only;
// and the verdicts with their sentences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "stats/non_inferiority.h"

namespace {

using stats::Observation;

std::vector<Observation> Fixed(std::initializer_list<double> times) {
  std::vector<Observation> obs;
  for (double t : times)
    obs.push_back({t, true});
  return obs;
}

TEST(RateDifference, MatchesNewcombesPublishedTable) {
  // R. G. Newcombe, Statistics in Medicine 17 (1998), table II, method 10:
  // k1/n1 - k2/n2 with its 95 % interval (B is the first proportion here).
  const struct {
    unsigned k_b, n_b, k_a, n_a;
    double low, high;
  } table[] = {
      {56, 70, 48, 80, 0.0524, 0.3339}, {9, 10, 3, 10, 0.1705, 0.8090},
      {6, 7, 2, 7, 0.0582, 0.8062},     {5, 56, 0, 29, -0.0381, 0.1926},
      {0, 10, 0, 20, -0.1611, 0.2775},  {0, 10, 0, 10, -0.2775, 0.2775},
      {10, 10, 0, 20, 0.6791, 1.0000},  {10, 10, 0, 10, 0.6075, 1.0000},
  };
  for (const auto& v : table) {
    const stats::RateDifference d = stats::NewcombeDifference(v.k_a, v.n_a, v.k_b, v.n_b, 0.95);
    const double diff = double(v.k_b) / v.n_b - double(v.k_a) / v.n_a;
    EXPECT_NEAR(d.difference, diff, 1e-12) << v.k_b << "/" << v.n_b;
    EXPECT_NEAR(d.low, v.low, 5e-5) << v.k_b << "/" << v.n_b << " - " << v.k_a << "/" << v.n_a;
    EXPECT_NEAR(d.high, v.high, 5e-5) << v.k_b << "/" << v.n_b << " - " << v.k_a << "/" << v.n_a;
  }
}

// Every resample of five runs, each with weight 1/5^5: without time-outs
// the median of five is the third smallest, so the bootstrap distribution
// of the difference of medians is known exactly, as value -> probability.
std::map<double, double> MedianDistribution(const std::vector<double>& s) {
  std::map<double, double> out;
  const std::size_t n = s.size();
  std::size_t count = 1;
  for (std::size_t i = 0; i < n; ++i)
    count *= n;
  for (std::size_t code = 0; code < count; ++code) {
    std::vector<double> r;
    for (std::size_t c = code, i = 0; i < n; ++i, c /= n)
      r.push_back(s[c % n]);
    std::sort(r.begin(), r.end());
    out[r[n / 2]] += 1.0 / double(count);
  }
  return out;
}

std::map<double, double> ExactMedianDifferences(const std::vector<double>& a,
                                                const std::vector<double>& b) {
  std::map<double, double> d;
  for (const auto& [mb, pb] : MedianDistribution(b))
    for (const auto& [ma, pa] : MedianDistribution(a))
      d[mb - ma] += pb * pa;
  return d;
}

double ShareBelow(const std::map<double, double>& d, double x, bool or_equal) {
  double share = 0;
  for (const auto& [v, p] : d)
    share += (or_equal ? v <= x : v < x) ? p : 0;
  return share;
}

TEST(PercentileDifference, TheIntervalIsTheExactBootstrapDistributionsQuantiles) {
  const std::vector<double> a = {10, 17, 20, 26, 35}, b = {15, 22, 29, 33, 47};
  const auto exact = ExactMedianDifferences(a, b);
  const auto d = stats::BootstrapPercentileDifference(
      Fixed({10, 17, 20, 26, 35}), Fixed({15, 22, 29, 33, 47}), 0.5, 0.95, 40000);
  EXPECT_EQ(d.estimate.low, 9.0);
  EXPECT_TRUE(d.estimate.Known());
  // The 2.5 % and 97.5 % quantiles of the exact distribution, within the
  // Monte Carlo error of 40000 resamples.
  constexpr double kTol = 0.004;
  EXPECT_LE(ShareBelow(exact, d.low, false), 0.025 + kTol) << d.low;
  EXPECT_GE(ShareBelow(exact, d.low, true), 0.025 - kTol) << d.low;
  EXPECT_LE(ShareBelow(exact, d.high, false), 0.975 + kTol) << d.high;
  EXPECT_GE(ShareBelow(exact, d.high, true), 0.975 - kTol) << d.high;
  // From the enumeration: P(D < -11) = 0.0184, P(D <= -11) = 0.0334;
  // P(D < 27) = 0.9605, P(D <= 27) = 0.9816.
  EXPECT_EQ(d.low, -11.0);
  EXPECT_EQ(d.high, 27.0);
  // The same runs, the same interval.
  const auto again = stats::BootstrapPercentileDifference(
      Fixed({10, 17, 20, 26, 35}), Fixed({15, 22, 29, 33, 47}), 0.5, 0.95, 40000);
  EXPECT_EQ(again.low, d.low);
  EXPECT_EQ(again.high, d.high);
}

TEST(PercentileDifference, AHiddenPercentileBoundsTheIntervalFromOneSideOnly) {
  // B never fixed within its 60-s time-out: its median lies above 60 s,
  // so B - A is at least 60 minus A's resampled median, whose largest value
  // (13 s, in more than 5 % of resamples) makes the low end; no high end.
  std::vector<Observation> b(4, Observation{60, false});
  const auto d = stats::BootstrapPercentileDifference(Fixed({10, 11, 12, 13}), b, 0.5, 0.95);
  EXPECT_FALSE(d.b.has_value());
  EXPECT_EQ(*d.a, 11.5) << "S is exactly 0.5 from 11 to 12 s: the midpoint";
  EXPECT_EQ(d.estimate.low, 60 - 11.5);
  EXPECT_TRUE(std::isinf(d.estimate.high));
  EXPECT_EQ(d.low, 47.0);
  EXPECT_TRUE(std::isinf(d.high) && d.high > 0);

  stats::NonInferiority n =
      stats::CompareNonInferiority(Fixed({10, 11, 12, 13}), b, {5, 0.5, 0.95});
  EXPECT_EQ(n.verdict, stats::NonInferiorityVerdict::kWorse);
  n = stats::CompareNonInferiority(Fixed({10, 11, 12, 13}), b, {50, 0.5, 0.95});
  EXPECT_EQ(n.verdict, stats::NonInferiorityVerdict::kCannotTell);
  EXPECT_EQ(stats::NonInferioritySentence(n, "A", "B"),
            "the data cannot tell whether B is worse than A by more than 50.00 s: B's p50 is "
            "above its time-out (60.00 s); the 95 % interval of the difference, [47.00, "
            "unbounded] s, holds the margin; more runs or a longer time-out would narrow it");
  EXPECT_EQ(n.success.k_b, 0u);
  EXPECT_EQ(n.success.difference, -1.0);
}

TEST(NonInferiority, EachVerdictAndItsSentence) {
  // The same 3 runs against themselves shifted: the interval [-16, 21] of
  // the first test moves with the shift.
  const auto a = Fixed({10, 20, 30});
  struct Case {
    std::vector<Observation> b;
    double margin;
    stats::NonInferiorityVerdict verdict;
    const char* starts;
  } cases[] = {
      {Fixed({10, 20, 30}), 25, stats::NonInferiorityVerdict::kNotWorse,
       "B is not worse than A by more than 25.00 s: the 95 % interval of the difference of the "
       "TTFF p50 (B - A), [-20.00, 20.00] s, lies below the margin"},
      {Fixed({110, 120, 130}), 50, stats::NonInferiorityVerdict::kWorse,
       "B is worse than A by more than 50.00 s: the 95 % interval of the difference of the TTFF "
       "p50 (B - A), [80.00, 120.00] s, lies above the margin"},
      {Fixed({10, 20, 30}), 5, stats::NonInferiorityVerdict::kCannotTell,
       "the data cannot tell whether B is worse than A by more than 5.00 s: the 95 % interval "
       "of the difference, [-20.00, 20.00] s, holds the margin"},
      {{},
       5,
       stats::NonInferiorityVerdict::kCannotTell,
       "the data cannot tell whether B is worse than A by more than 5.00 s: B has no attempt"},
  };
  for (const Case& c : cases) {
    const stats::NonInferiority n = stats::CompareNonInferiority(a, c.b, {c.margin, 0.5, 0.95});
    EXPECT_EQ(n.verdict, c.verdict) << c.starts;
    const std::string s = stats::NonInferioritySentence(n, "A", "B");
    EXPECT_EQ(s.rfind(c.starts, 0), 0u) << s;
  }
}

}  // namespace
