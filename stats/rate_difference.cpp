#include "stats/rate_difference.h"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>

namespace stats {

RateInterval WilsonInterval(unsigned k, unsigned n, double confidence) {
  RateInterval r;
  if (n == 0)
    return r;
  const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - confidence) / 2);
  const double nn = n, kk = std::min(k, n), z2 = z * z;
  r.rate = kk / nn;
  const double centre = (kk + z2 / 2) / (nn + z2);
  const double half = z / (nn + z2) * std::sqrt(kk * (nn - kk) / nn + z2 / 4);
  r.low = std::max(0.0, centre - half);
  r.high = std::min(1.0, centre + half);
  return r;
}

RateDifference NewcombeDifference(unsigned k_a, unsigned n_a, unsigned k_b, unsigned n_b,
                                  double confidence) {
  RateDifference d{k_a, n_a, k_b, n_b};
  const RateInterval a = WilsonInterval(k_a, n_a, confidence);
  const RateInterval b = WilsonInterval(k_b, n_b, confidence);
  d.difference = b.rate - a.rate;
  d.low = d.difference - std::hypot(b.rate - b.low, a.high - a.rate);
  d.high = d.difference + std::hypot(b.high - b.rate, a.rate - a.low);
  return d;
}

}  // namespace stats
