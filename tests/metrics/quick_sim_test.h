// The command line of the short simulated tests the metrics are checked on:
// `lead`, then hot starts at a time scale of 50 with TTFFs of 1 to 8 s and a
// 10-s time-out (a run the fault script denies its fix fails in 0.2 s), no
// results store, then `more`.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::string> QuickSimTest(std::vector<std::string> lead, unsigned runs,
                                             const std::string& faults,
                                             const std::vector<std::string>& more) {
  const std::vector<std::string> test{"--restart",    "hot", "--runs",       std::to_string(runs),
                                      "--time-scale", "50",  "--timeout",    "10",
                                      "--sim-ttff",   "1:8", "--sim-faults", faults,
                                      "--store",      "none"};
  lead.insert(lead.end(), test.begin(), test.end());
  lead.insert(lead.end(), more.begin(), more.end());
  return lead;
}

}  // namespace testsupport
