// The statistics of a test as the summary JSON and the CLI show them.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stats/ttff_statistics.h"

namespace stats {

// The summary's "statistics": "confidence", "valid_runs" {"L", "M"},
// "success" {"k", "n", "rate", "ci_low", "ci_high", "method"},
// "ttff_km_s" {"method", "censored", "censored_at", "p50", "p67", "p95"}
// and "stddev_s" {"value", "n", "divisor": "N-1"}. A percentile is
// {"estimate", "ci_low", "ci_high", "above_timeout"}: a null estimate
// (then "above_timeout" is true and "text" is "above the time-out") or
// bound is one the data do not reach; a null "value": fewer than two fixes.
nlohmann::json StatisticsJson(const TtffStatistics& s);
// The summary's "verdict" (only with limits): "limit_ttff_s", "yield",
// "confidence", "indifference", "method", "alpha", "beta", "verdict",
// "decided_after_run" (null while undecided), "attempts", "good",
// "log_likelihood_ratio", "pass_at", "fail_at".
nlohmann::json VerdictJson(const TtffStatistics& s);

// The lines the CLI prints after the result log's statistics:
// "success 18 of 20 (90.0 %, 95 % CI 68.3–98.8 %, Clopper–Pearson)",
// the censored percentiles, the standard deviation with "L of M", and,
// with limits, the verdict line.
std::vector<std::string> StatisticsLines(const TtffStatistics& s);
// "TTFF percentiles, Kaplan–Meier over every attempt (1 timed-out run
// censored at 200 s), 95 % CI: p50 = 44.04 s [41.20, 47.90], p67 = ...,
// p95 = above the time-out": the percentiles a lab quotes. A bound the data
// cannot give reads as such ("under 41.20": below the first fix; "unbounded").
std::string PercentilesLine(const TtffStatistics& s);
// "PASS after 14 runs (yield 0.95, TTFF ≤ 30 s, confidence 0.95)"; needs limits.
std::string VerdictLine(const TtffStatistics& s);

}  // namespace stats
