// A success rate k of n with its exact (Clopper–Pearson) confidence interval.
#pragma once

namespace stats {

inline constexpr const char* kProportionMethod = "Clopper-Pearson";

struct ProportionInterval {
  unsigned k = 0, n = 0;
  double rate = 0;  // k / n; 0 when n is 0
  double low = 0, high = 1;
};

// The two-sided interval at `confidence` (0.95 for 95 %): the binomial
// proportions whose tail probability of k or more (low) and of k or fewer
// (high) successes is (1 - confidence) / 2 (Clopper & Pearson, Biometrika
// 26, 1934), from the beta distribution's quantiles:
//   low  = B^-1(a/2;  k, n-k+1),   0 when k = 0,
//   high = B^-1(1-a/2; k+1, n-k),  1 when k = n.
// Exact rather than Wilson's score interval: its coverage is never below the
// confidence, also for the small n of a bench test. k and n need not be
// whole (an effective sample size); n 0 gives [0, 1].
ProportionInterval ClopperPearson(double k, double n, double confidence);

}  // namespace stats
