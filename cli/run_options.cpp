#include "cli/run_options.h"

#include "cli/fix_rule_option.h"
#include "cli/profile_option.h"
#include "config/config_checks.h"
#include "fix_rules/registry.h"
#include "hooks/hook_table.h"
#include "profiles/module_commands.h"

namespace cli {

namespace {

void AddModuleOptions(CLI::App* sub, RunOptions& o) {
  sub->add_option("--at-port", o.at_port, "AT port (ttyUSB2 means /dev/ttyUSB2)");
  sub->add_option("--nmea-port", o.nmea_port, "NMEA port");
  sub->add_option("--at-baud", o.at_baud, "AT port baud rate")->capture_default_str();
  sub->add_option("--nmea-baud", o.nmea_baud, "NMEA port baud rate")->capture_default_str();
  sub->add_option("--restart", o.restart,
                  "restart type: hot, cold, warm or power-cycle (a power-cycle hook cuts and "
                  "restores the module's power before each start)")
      ->check(CLI::IsMember(AskableRestartWords()))
      ->capture_default_str();
  sub->add_option("--runs", o.runs, "number of runs")
      ->check(CLI::Range(1u, 1000000u))
      ->capture_default_str();
  sub->add_flag("--xtra", o.xtra, "inject the module time and XTRA data before each start");
  sub->add_flag("--plain-start", o.plain_start,
                "run a cold or warm test although the profile has no command for it: its runs "
                "are plain starts, and recorded so");
  sub->add_option("--timeout", o.timeout, "fix time-out in seconds (default: TTFF.cfg, 200)")
      ->check(CLI::Range(kTimeoutRange.min, kTimeoutRange.max));
  sub->add_option("--interval-sleep", o.interval,
                  "seconds of NMEA logging after a fix (default: TTFF.cfg, 10)")
      ->check(CLI::Range(kIntervalSleepRange.min, kIntervalSleepRange.max));
  sub->add_option("--uncrtn", o.uncrtn, "XTRA time uncertainty in ms (default: TTFF.cfg, 3500)")
      ->check(CLI::Range(kUncertaintyRange.min, kUncertaintyRange.max));
  sub->add_option("--xtra-cmd", o.xtra_cmd, "XTRA data command (default: TTFF.cfg)");
}

void AddSimulatorOptions(CLI::App* sub, RunOptions& o) {
  o.scale_option = sub->add_option("--time-scale", o.scale,
                                   "run the clock N times faster, only against a simulator (20 "
                                   "makes a 10-s pause last 0.5 s); on ports of `zuvek-cli sim` "
                                   "the simulator's own scale is the default")
                       ->check(CLI::Range(1.0, 1000.0))
                       ->capture_default_str();
  sub->add_option("--sim-seed", o.seed, "simulator: seed of the TTFF draws")->capture_default_str();
  sub->add_option("--sim-ttff", o.sim_ttff,
                  "simulator: TTFF of every start, SECONDS or MIN:MAX (default: by type)");
  sub->add_option("--sim-faults", o.sim_faults, "simulator: fault script file");
  sub->add_option("--sim-truth", o.sim_truth, "simulator: write its ground truth (JSON lines)");
  sub->add_option("--sim-replay", o.sim_replay,
                  "simulator: stream this recorded NMEA capture after each start (its truth "
                  "follows --fix)")
      ->check(CLI::ExistingFile);
  o.sim_form.Add(sub, "--sim-", "simulator: ");
}

void AddTestOptions(CLI::App* sub, RunOptions& o) {
  sub->add_option("--reconnect", o.reconnect,
                  "when a port vanishes, wait up to SECONDS for both to come back under "
                  "their names and go on with the next run (0: off; default: zuvek.toml)")
      ->check(CLI::Range(0u, 86400u));
  sub->add_option("--fix", o.fix_rule,
                  "the sentence that counts as the fix: " + fix_rules::KnownNamesText() +
                      " (default: zuvek.toml, gprmc: the first $GPRMC with status A)")
      ->check(FixRuleValidator());
  sub->add_option("--profile", o.profile,
                  "the module's AT dialect: a bundled profile (zuvek-cli profiles) or a "
                  "profile file (default: zuvek.toml, else \"default\")")
      ->check(ProfileChoices(true));
  sub->add_option("--reference", o.reference,
                  "the antenna's true position, LAT,LON[,ALT] in degrees and metres, or auto "
                  "(the median of the positions after the fixes): the CSV and the summary get "
                  "the error of each fix (default: zuvek.toml, else none)");
  sub->add_option("--suspect-cold", o.suspect_cold,
                  "a cold start fixing faster than SECONDS is flagged reset suspect (default: "
                  "zuvek.toml, 10)")
      ->check(CLI::Range(0.0, 3600.0));
  sub->add_option("--suspect-warm", o.suspect_warm,
                  "a warm start fixing faster than SECONDS is flagged reset suspect (default: "
                  "zuvek.toml, 5)")
      ->check(CLI::Range(0.0, 3600.0));
}

void AddHookOptions(CLI::App* sub, RunOptions& o) {
  sub->add_option("--hook", o.hook_args,
                  "run COMMAND (/bin/sh -c) at MOMENT: " + hooks::MomentNamesText() +
                      "; its environment has ZUVEK_RUN, ZUVEK_TTFF, ... (man zuvek.toml); "
                      "repeatable; a moment given here replaces zuvek.toml's hooks of it")
      ->type_name("MOMENT=COMMAND");
  sub->add_option("--hooks", o.hooks_file,
                  "a file of [[hook]] tables (name, at, command or scpi and commands, timeout, "
                  "on_failure), as in zuvek.toml; a moment it has replaces zuvek.toml's hooks "
                  "of it, and --hook replaces its")
      ->check(CLI::ExistingFile);
}

void AddVerdictOptions(CLI::App* sub, RunOptions& o) {
  o.limit_option =
      sub->add_option("--limit-ttff", o.limit_ttff,
                      "verdict: an attempt is good when it fixed within SECONDS; with it the "
                      "test states PASS, FAIL or UNDECIDED after every run")
          ->check(CLI::PositiveNumber);
  sub->add_option("--yield", o.yield, "verdict: the share of good attempts asked for")
      ->check(CLI::Range(0.01, 0.999))
      ->capture_default_str();
  sub->add_option("--confidence", o.confidence,
                  "the confidence of the statistics' intervals and of the verdict")
      ->check(CLI::Range(0.5, 0.9999))
      ->capture_default_str();
  sub->add_option("--indifference", o.indifference,
                  "verdict: a receiver with a yield this much below is bad (default: "
                  "min(1 - yield, yield / 2))")
      ->check(CLI::Range(0.001, 0.99));
  sub->add_option("--limit-error", o.limit_error,
                  "verdict: a good attempt's fix is also within METRES of --reference (a "
                  "given position, not auto)")
      ->check(CLI::PositiveNumber);
  sub->add_flag("--stop-when-decided", o.stop_when_decided,
                "end the test after the run that decides the verdict (needs --limit-ttff)");
}

void AddPlanOption(CLI::App* sub, RunOptions& o) {
  sub->add_option("--plan", o.plan,
                  "a test plan file (TOML: name, source, and the restart type, runs, time-out, "
                  "limits, yield, confidence and attempts a lab method fixes); an option given "
                  "here wins over the plan's value, and a line says so");
}

void AddOutputOptions(CLI::App* sub, RunOptions& o) {
  sub->add_option("--store", o.store,
                  "the results store every test and run is written to as well: a SQLite file, "
                  "postgresql://... or none (default: zuvek.toml, else results.sqlite in the "
                  "per-user data folder)");
  sub->add_option("--log-dir", o.log_dir,
                  "the test's logs go to DIR (instead of the day folder) and the continuous "
                  "NMEA log to DIR/NMEA_LOG");
  sub->add_option("--module-name", o.module_name,
                  "the module's name in the results store (default: \"simulator\" or the AT "
                  "port)");
  sub->add_flag("--events", o.events,
                "progress as JSON lines on standard output, one per event (start, run, phase, "
                "result, end), instead of the progress and the end text");
  AddMetricsOptions(sub, o.metrics);
  sub->add_flag("--json", o.json, "print the summary as JSON on standard output");
  sub->add_flag("-q,--quiet", o.quiet, "no progress, only the summary");
}

constexpr const char* kRunFooter =
    "Settings not given come from TTFF.cfg in the working directory (never written here).\n"
    "Exit codes: 0 every run found a fix; 1 a run failed, the test ended early or the\n"
    "ports could not be opened; 2 bad command line (or --time-scale on ports that are\n"
    "not a simulator's); 130 interrupted (Ctrl-C), after the finished runs were written.\n"
    "Exit code 1 also when a log or result file lost a write (a full disk): the\n"
    "test goes on, standard error names the file, the summary lists it.\n"
    "SIGTERM and SIGHUP (a closed terminal) end the test like Ctrl-C.\n"
    "With --limit-ttff the exit code is the verdict's: 0 PASS, 1 FAIL, 3 UNDECIDED\n"
    "(1 still when the test ended by a fault or a file lost a write; 130 when\n"
    "interrupted).";

}  // namespace

void AddRunOptions(CLI::App* sub, RunOptions& o) {
  AddModuleOptions(sub, o);
  AddSimulatorOptions(sub, o);
  AddTestOptions(sub, o);
  AddHookOptions(sub, o);
  AddVerdictOptions(sub, o);
  AddPlanOption(sub, o);
  AddOutputOptions(sub, o);
  sub->footer(kRunFooter);
}

std::string RunOptionsProblem(const RunOptions& o) {
  if (o.at_port.empty() != o.nmea_port.empty())
    return "give both --at-port and --nmea-port, or neither for the simulator";
  if (o.stop_when_decided && !o.HasLimit())
    return "--stop-when-decided needs a verdict; give its limit with --limit-ttff SECONDS";
  return {};
}

std::vector<std::string> CommandLineHooks(const RunOptions& o, hooks::HookList* out) {
  hooks::HookTableLoad file;
  if (!o.hooks_file.empty())
    file = hooks::LoadHookFile(o.hooks_file);
  hooks::HookList given;
  for (const std::string& arg : o.hook_args) {
    std::string error;
    if (auto hook = hooks::ParseHookArgument(arg, &error))
      given.push_back(std::move(*hook));
    else
      file.problems.push_back(error);
  }
  *out = hooks::MergeHooks(file.hooks, given);
  return file.problems;
}

TestChoices ChoicesOf(const RunOptions& o) {
  TestChoices c;
  if (!o.profile.empty())
    c.profile = o.profile;
  c.fix_rule = o.fix_rule;
  c.reference = o.reference;
  if (!o.store.empty())
    c.store = o.store;
  c.reconnect_s = o.reconnect;
  c.suspect_cold_s = o.suspect_cold;
  c.suspect_warm_s = o.suspect_warm;
  if (o.timeout > 0)
    c.timeout_s = o.timeout;
  if (o.interval > 0)
    c.interval_sleep_s = o.interval;
  if (o.uncrtn > 0)
    c.uncertainty_ms = o.uncrtn;
  if (!o.xtra_cmd.empty())
    c.xtra_command = o.xtra_cmd;
  if (o.HasLimit())
    c.verdict_limits =
        stats::VerdictLimits{o.limit_ttff, o.yield, o.confidence, o.indifference, o.limit_error};
  c.limit_error_m = o.limit_error;
  c.confidence = o.confidence;
  c.stop_when_decided = o.stop_when_decided;
  return c;
}

}  // namespace cli
