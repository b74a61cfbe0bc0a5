// Everything a test is asked to be beyond TTFF.cfg's four values, and its one
// resolution from what the user chose (the command line, the window's menus)
// over zuvek.toml and TTFF.cfg. Both front ends resolve a test's settings here
// and hand the result to the engine; the session owns ports, not test policy.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/plan_label.h"
#include "engine/reset_check.h"
#include "geo/position_error.h"
#include "hooks/hook.h"
#include "profiles/module_profile.h"
#include "stats/sequential_verdict.h"

struct TestSettings {
  // The module's AT dialect (null: the built-in default).
  std::shared_ptr<const ModuleProfile> profile;
  // The name of the test's fix rule (fix_rules/registry.h); empty or an
  // unknown name: the default, the first "$GPRMC" with status "A".
  std::string fix_rule;
  // The reference position the errors at the fix are counted from (none:
  // no position columns, no errors).
  std::optional<ReferenceChoice> reference;
  // Fixes of cold and warm starts faster than these are "reset suspect".
  ResetThresholds reset_thresholds;
  // The limits of the test's verdict (none: no verdict, the summary has
  // none) and the confidence of the summary's intervals and of the verdict.
  // With stop_when_decided the run that decides the verdict is the last.
  std::optional<stats::VerdictLimits> verdict_limits;
  double confidence = 0.95;
  bool stop_when_decided = false;
  // Seconds to wait for a lost port to come back; 0 (no reconnection): a
  // lost port ends nothing early and the runs go on failing, as always.
  unsigned reconnect_s = 0;
  // Where the results store is, as given (store/store_location.h); empty:
  // the per-user default.
  std::string store;
  // The test plan the options came from, named in the summary.
  std::optional<PlanLabel> plan;
  // The commands run at the moments of the test (hooks/hook.h), and what
  // their environment names the module and its ports by (the front end
  // sets these three once it knows them).
  hooks::HookList hooks;
  std::string module_name, at_port, nmea_port;
  // More of the hooks' environment ("NAME=VALUE"): the built-in
  // simulator's control pipe, ZUVEK_SIM_CONTROL.
  std::vector<std::string> hook_environment;
};

// Seconds a power-cycle run waits for the ports to come back when the
// test has no reconnect time of its own.
inline constexpr unsigned kPowerCycleWaitS = 60;

// Why a test of this restart type cannot run with these settings (a
// power-cycle test without its hook), or empty.
std::string RestartTypeProblem(const TestSettings& settings, int restart_type);

// What the user chose for one test; what is unset comes from zuvek.toml
// (g_side_settings) and, for TTFF.cfg's values, from g_config.
struct TestChoices {
  std::optional<std::string> profile, fix_rule, reference, store;
  std::optional<unsigned> reconnect_s;
  std::optional<double> suspect_cold_s, suspect_warm_s;
  // TTFF.cfg's values for this test only: they go into g_config, which the
  // engine reads at the moment of use; the file is not written.
  std::optional<int> timeout_s, interval_sleep_s;
  std::optional<unsigned> uncertainty_ms;
  std::optional<std::string> xtra_command;
  // The verdict's limits; a good attempt's fix also within limit_error_m of
  // a given reference, which needs both.
  std::optional<stats::VerdictLimits> verdict_limits;
  std::optional<double> limit_error_m;
  double confidence = 0.95;
  bool stop_when_decided = false;
  std::optional<PlanLabel> plan;
  // The command line's hooks: a moment they have replaces zuvek.toml's.
  hooks::HookList hooks;
};

struct TestSettingsResolution {
  std::optional<TestSettings> settings;  // none: the test is refused
  // The profile asked for, and its problems when it does not load
  // ("FILE:LINE: what is wrong", one a sentence).
  std::string profile_asked;
  std::vector<std::string> profile_problems;
  // Any other refusal, one sentence.
  std::string problem;
};

TestSettingsResolution ResolveTestSettings(const TestChoices& choices);
