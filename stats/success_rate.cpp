#include "stats/success_rate.h"

#include <algorithm>
#include <boost/math/distributions/beta.hpp>
#include <cmath>

namespace stats {

ProportionInterval ClopperPearson(double k, double n, double confidence) {
  ProportionInterval r;
  r.k = static_cast<unsigned>(std::lround(std::max(0.0, k)));
  r.n = static_cast<unsigned>(std::lround(std::max(0.0, n)));
  if (!(n > 0))
    return r;
  // Counts built from an effective sample size land a rounding error off a
  // whole number.
  for (double* v : {&k, &n})
    if (std::fabs(*v - std::round(*v)) < 1e-9)
      *v = std::round(*v);
  k = std::clamp(k, 0.0, n);
  const double alpha = 1.0 - std::clamp(confidence, 1e-9, 1.0 - 1e-9);
  r.rate = k / n;
  r.low = k <= 0 ? 0.0
                 : boost::math::quantile(boost::math::beta_distribution<>(k, n - k + 1), alpha / 2);
  r.high =
      k >= n ? 1.0
             : boost::math::quantile(boost::math::beta_distribution<>(k + 1, n - k), 1 - alpha / 2);
  return r;
}

}  // namespace stats
