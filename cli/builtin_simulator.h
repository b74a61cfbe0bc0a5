// The module simulator that `zuvek-cli run` starts when no ports are given:
// it speaks the test's profile (the family's module model for a bundled
// family's profile), counts a replay's fix by the test's rule and takes the
// --sim-... options.
#pragma once

#include <memory>
#include <string>

#include "cli/run_options.h"
#include "engine/ttff_settings.h"
#include "platform/clock.h"
#include "sim/simulator.h"

namespace cli {

struct BuiltinSimulator {
  std::unique_ptr<sim::Simulator> simulator;  // null: not started
  std::string problem;                        // why not, one sentence
  bool usage = false;                         // an option was wrong (not a start that failed)
};

BuiltinSimulator StartBuiltinSimulator(const RunOptions& o, const TestSettings& settings,
                                       std::shared_ptr<platform::Clock> clock);

}  // namespace cli
