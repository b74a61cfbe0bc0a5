// The options of `zuvek-cli run`, and what they ask of a test.
#pragma once

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/metrics_option.h"
#include "cli/sim_form_options.h"
#include "engine/ttff_settings.h"
#include "platform/win_types.h"
#include "profiles/module_commands.h"

namespace cli {

struct RunOptions {
  std::string at_port, nmea_port;
  DWORD at_baud = 115200, nmea_baud = 115200;
  std::string restart = "cold";
  unsigned runs = 3;
  bool xtra = false;
  int timeout = 0, interval = 0;
  unsigned uncrtn = 0;
  std::string xtra_cmd;
  double scale = 1.0;
  CLI::Option* scale_option = nullptr;
  std::uint32_t seed = 1;
  std::string sim_ttff, sim_faults, sim_truth, sim_replay;
  SimFormChoice sim_form;
  std::optional<unsigned> reconnect;
  std::optional<std::string> fix_rule;
  std::string profile;
  std::optional<std::string> reference;
  std::optional<double> suspect_cold, suspect_warm;
  std::optional<double> limit_error;
  std::string store;
  std::string log_dir, module_name;
  bool events = false;
  MetricsOptions metrics;  // --metrics, --metrics-hold
  bool json = false, quiet = false;
  double limit_ttff = 0, yield = 0.95, confidence = 0.95, indifference = 0;
  CLI::Option* limit_option = nullptr;
  bool stop_when_decided = false;
  bool plain_start = false;            // run a restart type the profile has no command for
  std::string plan;                    // a test plan file (plans/plan_file.h)
  std::vector<std::string> hook_args;  // --hook MOMENT=COMMAND, in order
  std::string hooks_file;              // --hooks FILE
  bool limit_from_plan = false;        // the plan gave the TTFF limit

  // A verdict was asked for: its TTFF limit given here or by the plan.
  bool HasLimit() const { return limit_from_plan || limit_option->count() > 0; }

  // Against the built-in simulator: no ports were given.
  bool UseSimulator() const { return at_port.empty(); }
  // The restart type asked for (hot when the word is none).
  int RestartType() const { return std::max(RestartTypeOfWord(restart), 0); }
};

// Adds every option of `run` to its subcommand, with its help and footer.
void AddRunOptions(CLI::App* sub, RunOptions& o);
// A sentence for what the options cannot mean together; empty when they can.
std::string RunOptionsProblem(const RunOptions& o);
// What the options ask of the test, over zuvek.toml and TTFF.cfg.
TestChoices ChoicesOf(const RunOptions& o);
// The command line's hooks (--hooks FILE, then each --hook over it, moment
// by moment) into *hooks; the sentences of what is wrong (none: good).
std::vector<std::string> CommandLineHooks(const RunOptions& o, hooks::HookList* hooks);

}  // namespace cli
