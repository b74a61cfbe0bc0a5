// The options of a non-inferiority question (--margin, --percentile,
// --confidence), as `compare` and `report` take them.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "stats/non_inferiority.h"

namespace cli {

// Adds the three options into `question`; returns --margin's option.
// `prefix` opens the help of --percentile and --confidence ("with
// --margin: " where the margin is optional).
CLI::Option* AddMarginOptions(CLI::App* sub, stats::NonInferiorityQuestion& question,
                              const std::string& margin_help, const std::string& prefix);

}  // namespace cli
