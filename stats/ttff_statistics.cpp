#include "stats/ttff_statistics.h"

#include <algorithm>

#include "stats/sample_stddev.h"

namespace stats {

bool IsGood(const RunOutcome& run, const VerdictLimits& limits) {
  if (run.kind != RunOutcome::Kind::kFixed || run.ttff_s > limits.ttff_s)
    return false;
  return !limits.error_m || (run.error_m && *run.error_m <= *limits.error_m);
}

TtffStatistics ComputeTtffStatistics(const std::vector<RunOutcome>& runs,
                                     const StatisticsOptions& options) {
  TtffStatistics s;
  s.options = options;
  s.recorded = static_cast<unsigned>(runs.size());
  std::vector<Observation> observations;
  std::vector<double> fixes;
  if (options.limits)
    s.verdict.emplace(*options.limits);
  for (const RunOutcome& r : runs) {
    if (r.kind == RunOutcome::Kind::kInvalid)
      continue;
    const bool fixed = r.kind == RunOutcome::Kind::kFixed;
    const double censored_at = r.censored_at_s.value_or(options.timeout_s);
    observations.push_back({fixed ? r.ttff_s : censored_at, fixed});
    if (fixed) {
      fixes.push_back(r.ttff_s);
    } else {
      s.censored_min_s = s.censored == 0 ? censored_at : std::min(s.censored_min_s, censored_at);
      s.censored_max_s = std::max(s.censored_max_s, censored_at);
      ++s.censored;
    }
    if (s.verdict)
      s.verdict->Add(IsGood(r, *options.limits), r.run);
  }
  s.valid = static_cast<unsigned>(observations.size());
  s.success = ClopperPearson(static_cast<double>(fixes.size()), s.valid, options.confidence);
  const KaplanMeier km(std::move(observations));
  for (double p : kPercentiles)
    s.percentiles.push_back(km.Percentile(p, options.confidence));
  s.stddev_s = SampleStddev(fixes);
  if (!fixes.empty())
    s.first_fix_s = *std::min_element(fixes.begin(), fixes.end());
  return s;
}

}  // namespace stats
