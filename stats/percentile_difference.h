// The difference of a TTFF percentile between two tests, B's minus A's,
// each the Kaplan–Meier estimate over every attempt (a time-out censored at
// its run's time-out), with a percentile bootstrap interval: both tests'
// runs resampled with replacement, each within its own test, the
// difference taken again for every pair of resamples, and the interval
// read between the (1 - C)/2 and (1 + C)/2 quantiles of those differences
// (B. Efron, Censored data and the bootstrap, JASA 76, 1981, for resampling
// censored runs whole; B. Efron & R. J. Tibshirani, An Introduction to the
// Bootstrap, 1993, chapter 13, for the percentile interval). The seed is
// fixed, so the same runs give the same interval.
//
// A percentile hidden by time-outs is only known to lie above the longest
// time of its sample: a difference with such a side is an open range (B's
// hidden: at least B's longest time minus A's percentile), and each bound
// of the interval is taken from the end of those ranges that is least
// favourable to it, so that the interval never claims more than the data
// say. A bound no resample can give is unbounded (infinite).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "stats/kaplan_meier.h"

namespace stats {

inline constexpr const char* kDifferenceMethod =
    "percentile bootstrap over runs (Efron 1981; Efron & Tibshirani 1993)";
inline constexpr unsigned kBootstrapResamples = 2000;
inline constexpr std::uint64_t kBootstrapSeed = 20260101;

// What is known of a difference: the range [low, high] it lies in (equal
// ends when both percentiles are known; infinite ends where unknown).
struct DifferenceRange {
  double low = 0, high = 0;
  bool Known() const { return low == high; }
};

// The percentile p of a sample: the estimate, or, hidden, none, with the
// sample's longest time in `longest`.
std::optional<double> PercentileOf(const std::vector<Observation>& sample, double p,
                                   double& longest);
DifferenceRange RangeOfDifference(const std::vector<Observation>& a,
                                  const std::vector<Observation>& b, double p);

struct PercentileDifference {
  double p = 0.5;
  std::optional<double> a, b;  // the estimates; none: above the time-out
  double a_longest = 0, b_longest = 0;
  DifferenceRange estimate;  // B - A
  double low = 0, high = 0;  // the interval; -inf / +inf: unbounded
  unsigned resamples = 0;
};

PercentileDifference BootstrapPercentileDifference(const std::vector<Observation>& a,
                                                   const std::vector<Observation>& b, double p,
                                                   double confidence,
                                                   unsigned resamples = kBootstrapResamples,
                                                   std::uint64_t seed = kBootstrapSeed);

}  // namespace stats
