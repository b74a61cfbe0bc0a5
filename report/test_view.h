// What the report needs of a test, from its summary where it has it and
// from its runs CSV where an older summary lacks it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/test_files.h"
#include "stats/kaplan_meier.h"

namespace report {

// The time-out the timed-out runs are censored at (seconds).
double TimeoutS(const TestData& t);
// The verdict's TTFF limit, when the test had one.
std::optional<double> LimitTtffS(const TestData& t);
// The TTFF of a run as the statistics take it (the result log's), or none.
std::optional<double> RunTtffS(const RunRow& r);
// The runs as attempts of the receiver: a fix, or censored at the time-out;
// a lost port is no attempt and left out.
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
