// The report's section of the sky and the signals of runs: per test, the sky
// at the fix of each run (the first kSkyRunsShown) or of a chosen run, and
// the S/N per signal over the chosen run, by default the one with the
// median TTFF.
#pragma once

#include <string>
#include <vector>

#include "report/ttff_files.h"

namespace report {

inline constexpr std::size_t kSkyRunsShown = 12;

// The run a test's history is shown of: `run` when the test has it, else
// the fixed run with the median TTFF (the lower of two), else the first run
// the signal file has; 0 when there is none.
unsigned ChosenRun(const TestData& test, unsigned run);

// The section's HTML; empty when no test has a sky or a signal file.
std::string SkySection(const std::vector<TestData>& tests, unsigned run, double width);

}  // namespace report
