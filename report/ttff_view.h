// What the report needs of a test, from its summary where it has it and
// from its runs CSV where an older summary lacks it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/ttff_files.h"
#include "stats/kaplan_meier.h"

namespace report {

// The time-out the timed-out runs are censored at (seconds).
double TimeoutS(const TestData& t);
// The verdict's TTFF limit, when the test had one.
std::optional<double> LimitTtffS(const TestData& t);
// The TTFF of a run as the statistics take it (the result log's), or none.
std::optional<double> RunTtffS(const RunRecord& r);
// A moment of a run's timeline in milliseconds, as a number.
std::optional<double> MomentMs(const std::optional<std::int64_t>& ms);
// The precise TTFF of a fix, when known.
std::optional<double> PreciseTtffS(const RunRecord& r);
// "44 42 41 39": the strongest S/N at the fix.
std::string SnrAtFixText(const RunRecord& r);
// The runs as attempts of the receiver: a fix, or censored at its time-out
// (its own test's, when tests with other time-outs are pooled); a lost port
// is no attempt and left out.
std::vector<stats::Observation> Observations(const TestData& t);
// The summary's "statistics", or, for a summary without them (an older
// program's, or none), the same computed from the runs CSV.
nlohmann::json StatisticsOf(const TestData& t);
// The conditions of the test as (name, value) rows: the tests pooled in
// it (a store selector's), module identity,
// profile, fix rule, restart type, XTRA, time-out, runs, time scale (when
// not 1), tool version, host, start.
std::vector<std::pair<std::string, std::string>> Conditions(const TestData& t);

}  // namespace report
