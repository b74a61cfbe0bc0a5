// The Kaplan–Meier estimate of the share of starts still without a fix, S(t),
// where a run that timed out is right-censored at its time-out, and its
// percentiles with confidence intervals (Kaplan & Meier, Journal of the
// American Statistical Association 53, 1958; the variance is Greenwood's,
// 1926).
#pragma once

#include <optional>
#include <vector>

namespace stats {

inline constexpr const char* kPercentileMethod =
    "Kaplan-Meier, time-outs right-censored; intervals by inverting the Clopper-Pearson band of "
    "S(t) at Greenwood's effective sample size";

struct Observation {
  double time_s = 0;
  bool fixed = true;  // false: censored at time_s (no fix by then)
};

// One step of the estimate, at a time with at least one fix.
struct KmStep {
  double time_s = 0;
  unsigned at_risk = 0, fixes = 0;
  double survival = 1;      // S(t) from this time on
  double greenwood_se = 0;  // sqrt(S^2 * sum d / (n (n - d))); 0 where S is 0
  double effective_n = 0;   // S (1 - S) / Var, Dorey & Korn (1987)
};

// A percentile's estimate and interval; an empty optional is a value the
// data do not reach: the estimate or the upper bound lies above the
// time-out (or, without time-outs, above the longest TTFF).
struct PercentileEstimate {
  double p = 0;
  std::optional<double> estimate, low, high;
};

class KaplanMeier {
 public:
  explicit KaplanMeier(std::vector<Observation> observations);

  const std::vector<KmStep>& Steps() const { return steps_; }
  std::size_t Count() const { return n_; }
  // S(t) just after t.
  double Survival(double t) const;
  // The p-th percentile (0 < p < 1): the first time at which the estimated
  // share fixed, 1 - S, reaches p; where S stays exactly at 1 - p up to the
  // next fix, the midpoint to it (as R's survival and SAS LIFETEST do).
  // Without censoring this is the inverse of the empirical distribution.
  //
  // Its interval inverts the pointwise interval of S (Brookmeyer & Crowley,
  // Biometrics 38, 1982): the interval of S(t) is Clopper–Pearson's for
  // n_eff (1 - S) fixes of n_eff, where n_eff is Greenwood's effective
  // sample size (Dorey & Korn, Statistics in Medicine 6, 1987; where S is 0
  // the last defined one). low is the first time whose upper bound of the
  // share fixed reaches p (0 when that holds before the first fix), high the
  // first time whose lower bound exceeds p. When only the time-out censors,
  // n_eff is n and this is the exact distribution-free interval between two
  // order statistics.
  PercentileEstimate Percentile(double p, double confidence) const;
  // The estimate alone (Percentile's), without its interval.
  std::optional<double> Estimate(double p) const;

 private:
  std::size_t n_ = 0;
  std::vector<KmStep> steps_;
};

}  // namespace stats
