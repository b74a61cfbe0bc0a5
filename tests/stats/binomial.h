// The binomial distribution summed term by term: the tests' own reference,
// free of the library the statistics use.
#pragma once

#include <cmath>

namespace stats_test {

// P(X <= k) for X ~ Binomial(n, p).
inline double BinomialCdf(int k, int n, double p) {
  double sum = 0;
  for (int i = 0; i <= k; ++i) {
    double term = 1;
    for (int j = 0; j < i; ++j)
      term = term * (n - j) / (j + 1);
    sum += term * std::pow(p, i) * std::pow(1 - p, n - i);
  }
  return sum;
}

}  // namespace stats_test
