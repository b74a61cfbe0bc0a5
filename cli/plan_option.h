// `zuvek-cli run --plan FILE`: the options a test plan fixes, applied to
// the run's options where the command line left them out (the command
// line wins, and a sentence says so).
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "engine/plan_label.h"

namespace cli {

struct PlanApplied {
  std::optional<PlanLabel> label;     // none: the plan was refused
  std::vector<std::string> problems;  // "FILE:LINE: what is wrong"
  // What the plan set and where the command line won, a sentence each.
  std::vector<std::string> notes;
};

// Reads the plan `o.plan` names and applies it to `o`; `sub` is the run's
// subcommand, whose options tell what the command line gave.
PlanApplied ApplyPlan(const CLI::App& sub, RunOptions& o);

}  // namespace cli
