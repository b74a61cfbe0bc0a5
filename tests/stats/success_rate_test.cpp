// The success rate's exact interval against the binomial itself, and the
// sample standard deviation against hand-worked values.
#include <gtest/gtest.h>

#include <cmath>

#include "stats/sample_stddev.h"
#include "stats/success_rate.h"
#include "tests/stats/binomial.h"

namespace {

using stats_test::BinomialCdf;

// The p at which `above(p)` turns true, by bisection.
template <class F>
double Bisect(F above) {
  double lo = 0, hi = 1;
  for (int i = 0; i < 100; ++i) {
    const double mid = (lo + hi) / 2;
    (above(mid) ? hi : lo) = mid;
  }
  return (lo + hi) / 2;
}

struct CpCase {
  int k, n;
  double low, high;  // 95 %, the exact binomial limits as textbook tables give them
  const char* legend;
};

TEST(ClopperPearson, MatchesTheExactBinomialLimits) {
  const CpCase cases[] = {
      {0, 10, 0.0, 0.3085, "no success: the lower limit is 0, the upper 1 - 0.025^(1/10)"},
      {1, 10, 0.0025, 0.4450, "one success of ten"},
      {10, 10, 0.6915, 1.0, "every run: the upper limit is 1, the lower 0.025^(1/10)"},
      {18, 20, 0.6830, 0.9877, "18 of 20"},
      {15, 148, 0.0578, 0.1617, "a large n"},
  };
  for (const CpCase& c : cases) {
    const stats::ProportionInterval ci = stats::ClopperPearson(c.k, c.n, 0.95);
    EXPECT_EQ(ci.k, static_cast<unsigned>(c.k)) << c.legend;
    EXPECT_DOUBLE_EQ(ci.rate, static_cast<double>(c.k) / c.n) << c.legend;
    EXPECT_NEAR(ci.low, c.low, 5e-5) << c.legend;
    EXPECT_NEAR(ci.high, c.high, 5e-5) << c.legend;
    // The defining tail equations, solved here by summing the binomial.
    const double low =
        c.k == 0 ? 0.0
                 : Bisect([&](double p) { return 1 - BinomialCdf(c.k - 1, c.n, p) >= 0.025; });
    const double high =
        c.k == c.n ? 1.0 : Bisect([&](double p) { return BinomialCdf(c.k, c.n, p) <= 0.025; });
    EXPECT_NEAR(ci.low, low, 1e-9) << c.legend;
    EXPECT_NEAR(ci.high, high, 1e-9) << c.legend;
  }
  // The closed forms of the edge cases, at another confidence.
  EXPECT_NEAR(stats::ClopperPearson(0, 7, 0.9).high, 1 - std::pow(0.05, 1.0 / 7), 1e-12);
  EXPECT_NEAR(stats::ClopperPearson(7, 7, 0.9).low, std::pow(0.05, 1.0 / 7), 1e-12);
  const stats::ProportionInterval none = stats::ClopperPearson(0, 0, 0.95);
  EXPECT_EQ(none.n, 0u);
  EXPECT_EQ(none.low, 0.0);
  EXPECT_EQ(none.high, 1.0);
}

TEST(SampleStddev, DividesByNMinusOne) {
  // Sum of squares 32 around the mean 5: population 2, sample sqrt(32 / 7).
  EXPECT_NEAR(*stats::SampleStddev({2, 4, 4, 4, 5, 5, 7, 9}), std::sqrt(32.0 / 7), 1e-12);
  EXPECT_NEAR(*stats::SampleStddev({1, 2}), std::sqrt(0.5), 1e-12);
  EXPECT_FALSE(stats::SampleStddev({3}).has_value()) << "one value has no spread";
  EXPECT_FALSE(stats::SampleStddev({}).has_value());
}

}  // namespace
