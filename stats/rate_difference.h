// The difference of two success rates, B's minus A's, with its confidence
// interval: Newcombe's hybrid score interval ("method 10" of R. G.
// Newcombe, Interval estimation for the difference between independent
// proportions: comparison of eleven methods, Statistics in Medicine 17,
// 1998), built from each rate's Wilson score interval (E. B. Wilson, JASA
// 22, 1927). It stays inside [-1, 1], is defined for rates of 0 and 1 and
// keeps close to its nominal coverage for the small samples of a bench.
#pragma once

namespace stats {

inline constexpr const char* kRateDifferenceMethod = "Newcombe's hybrid score interval";

struct RateInterval {
  double rate = 0, low = 0, high = 1;
};

// Wilson's score interval of k successes of n at `confidence` ([0, 1] for
// n 0).
RateInterval WilsonInterval(unsigned k, unsigned n, double confidence);

struct RateDifference {
  unsigned k_a = 0, n_a = 0, k_b = 0, n_b = 0;
  double difference = 0;  // rate B - rate A
  double low = -1, high = 1;
};

RateDifference NewcombeDifference(unsigned k_a, unsigned n_a, unsigned k_b, unsigned n_b,
                                  double confidence);

}  // namespace stats
