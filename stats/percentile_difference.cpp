#include "stats/percentile_difference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace stats {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<Observation> Resample(const std::vector<Observation>& sample, std::mt19937_64& rng) {
  std::vector<Observation> out;
  out.reserve(sample.size());
  for (std::size_t i = 0; i < sample.size(); ++i)
    out.push_back(sample[rng() % sample.size()]);
  return out;
}

// The value below which a share q of the sorted values lies (the
// ceil(q B)-th smallest of B).
double Quantile(std::vector<double>& values, double q) {
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(q * static_cast<double>(values.size()));
  const std::size_t i = static_cast<std::size_t>(std::max(rank, 1.0)) - 1;
  return values[std::min(i, values.size() - 1)];
}

}  // namespace

std::optional<double> PercentileOf(const std::vector<Observation>& sample, double p,
                                   double& longest) {
  longest = 0;
  for (const Observation& o : sample)
    longest = std::max(longest, o.time_s);
  if (sample.empty())
    return std::nullopt;
  return KaplanMeier(sample).Estimate(p);
}

DifferenceRange RangeOfDifference(const std::vector<Observation>& a,
                                  const std::vector<Observation>& b, double p) {
  double a_longest = 0, b_longest = 0;
  const std::optional<double> qa = PercentileOf(a, p, a_longest);
  const std::optional<double> qb = PercentileOf(b, p, b_longest);
  if (qa && qb)
    return {*qb - *qa, *qb - *qa};
  if (qa)  // B's lies above its longest time
    return {b_longest - *qa, kInf};
  if (qb)  // A's lies above its longest time
    return {-kInf, *qb - a_longest};
  return {-kInf, kInf};
}

PercentileDifference BootstrapPercentileDifference(const std::vector<Observation>& a,
                                                   const std::vector<Observation>& b, double p,
                                                   double confidence, unsigned resamples,
                                                   std::uint64_t seed) {
  PercentileDifference r;
  r.p = p;
  r.a = PercentileOf(a, p, r.a_longest);
  r.b = PercentileOf(b, p, r.b_longest);
  r.estimate = RangeOfDifference(a, b, p);
  r.low = -kInf;
  r.high = kInf;
  if (a.empty() || b.empty() || resamples == 0)
    return r;
  std::mt19937_64 rng(seed);
  std::vector<double> lows, highs;
  for (unsigned i = 0; i < resamples; ++i) {
    const std::vector<Observation> ra = Resample(a, rng);
    const DifferenceRange d = RangeOfDifference(ra, Resample(b, rng), p);
    lows.push_back(d.low);
    highs.push_back(d.high);
  }
  const double tail = (1 - confidence) / 2;
  r.low = Quantile(lows, tail);
  r.high = Quantile(highs, 1 - tail);
  r.resamples = resamples;
  return r;
}

}  // namespace stats
