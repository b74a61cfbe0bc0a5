// The end of a bench: the table of its modules and its summary JSON.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "supervisor/module_state.h"

namespace supervisor {

struct BenchInfo {
  std::string source;  // the bench file, or "sim"
  std::string restart;
  unsigned runs = 0;
  std::string started, ended;  // "yyyy-mm-ddThh:mm:ss", local time
  int exit_code = 0;
  double wall_s = 0, supervisor_cpu_s = 0;
};

// A module's figures, from the summary its test named in its own events (or,
// without one, from the results its events told): the TTFF percentiles are
// its Kaplan-Meier ones over every attempt, none where the time-outs hide
// them (above_timeout) or without runs.
struct ModuleFigures {
  unsigned runs = 0, failures = 0;
  double success_rate = 0;
  std::optional<double> median, p67, p95;
  bool median_above = false, p67_above = false, p95_above = false;
  double timeout_s = 200;
};
ModuleFigures ReadFigures(const ModuleState& state);

// {"bench": {...}, "modules": [...]}.
nlohmann::json BenchJson(const BenchInfo& info, const std::vector<ModuleState>& modules);

// One row per module (name, runs, failures, success rate, TTFF median, p67,
// p95, exit code), then "bench summary: PATH".
std::string EndTable(const std::vector<ModuleState>& modules, const std::string& json_path);

// DAY/hh-mm-ss_bench.json, or "hh-mm-ss-2_bench.json", ... when a bench of
// that stem is already there.
std::string UniqueBenchJsonPath(const std::string& day_dir, const std::string& stem);

}  // namespace supervisor
