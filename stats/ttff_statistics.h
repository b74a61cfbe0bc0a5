// The statistics of a test's runs with their uncertainty: the success rate
// k of n, the TTFF percentiles with the timed-out runs censored, the sample
// standard deviation, "L of M" valid runs and, with limits, the verdict.
#pragma once

#include <optional>
#include <vector>

#include "stats/kaplan_meier.h"
#include "stats/sequential_verdict.h"
#include "stats/success_rate.h"

namespace stats {

struct RunOutcome {
  enum class Kind {
    kFixed,
    kTimedOut,
    // Not an attempt of the receiver (the bench lost a port): counted in
    // M of "L of M" and nowhere else.
    kInvalid,
  };
  unsigned run = 0;
  Kind kind = Kind::kFixed;
  double ttff_s = 0;  // of a fix
  // The horizontal position error of the fix in metres, when known.
  std::optional<double> error_m = std::nullopt;
  // Where a timed-out run is censored when not at the options' time-out:
  // its own test's, among tests pooled with other time-outs.
  std::optional<double> censored_at_s = std::nullopt;
};

struct StatisticsOptions {
  double timeout_s = 200;  // where a timed-out run is censored
  double confidence = 0.95;
  std::optional<VerdictLimits> limits;
};

inline constexpr double kPercentiles[] = {0.50, 0.67, 0.95};

struct TtffStatistics {
  StatisticsOptions options;
  unsigned valid = 0, recorded = 0;  // L of M
  unsigned censored = 0;             // timed-out runs
  // The least and the largest time at which they are censored (equal but
  // for tests pooled with different time-outs).
  double censored_min_s = 0, censored_max_s = 0;
  ProportionInterval success;                   // fixes of the valid runs
  std::vector<PercentileEstimate> percentiles;  // at kPercentiles
  std::optional<double> stddev_s;               // N - 1, of the fixes
  std::optional<double> first_fix_s;            // the shortest TTFF
  std::optional<SequentialVerdict> verdict;
};

// A good attempt fixed within the TTFF limit and, with an error limit, its
// known position error is within that too (an unknown one is not good).
bool IsGood(const RunOutcome& run, const VerdictLimits& limits);

TtffStatistics ComputeTtffStatistics(const std::vector<RunOutcome>& runs,
                                     const StatisticsOptions& options);

}  // namespace stats
