// zuvek-cli run: a TTFF test without the window, against real ports or the
// built-in module simulator.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/builtin_simulator.h"
#include "cli/command.h"
#include "cli/end_signals.h"
#include "cli/metrics_option.h"
#include "cli/plan_option.h"
#include "cli/run_options.h"
#include "cli/run_outcome.h"
#include "cli/run_session.h"
#include "config/app_config.h"
#include "config/config_checks.h"
#include "config/side_settings.h"
#include "engine/ttff_settings.h"
#include "fix_rules/registry.h"
#include "platform/debug_log.h"
#include "platform/working_folders.h"
#include "profiles/module_commands.h"
#include "profiles/module_profile.h"
#include "session/time_scale_choice.h"

namespace {

std::string ScaleText(double scale) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", scale);
  return text;
}

int Usage(const std::string& sentence) {
  std::cerr << "zuvek-cli run: " << sentence << "\n";
  return cli::kExitUsage;
}

class RunCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    auto* sub = app.add_subcommand(
        "run",
        "Run a TTFF test. Without ports it starts the built-in module simulator and runs "
        "against it.");
    cli::AddRunOptions(sub, o_);
    sub_ = sub;
    return sub;
  }

  int Run() override;

 private:
  // The clock of the test: scaled only against a simulator. False after
  // telling why the asked scale cannot be.
  bool MakeClock();
  // TTFF.cfg, zuvek.toml and the options into the test's settings; false
  // after telling why the test is refused.
  bool ResolveSettings();
  // The test's folders and its debug log; false after telling why the
  // test's logs could not be written (nothing starts then).
  bool PrepareFolders();
  // The test's line on standard error: what runs against what.
  void Describe() const;
  int Finish(const TestOutcome& out);
  // The test plan's options under the command line's; false after telling
  // why the plan is refused.
  bool ApplyPlan();

  CLI::App* sub_ = nullptr;
  std::optional<PlanLabel> plan_;
  cli::RunOptions o_;
  std::shared_ptr<platform::Clock> clock_;
  TestSettings settings_;
  WorkingFolders folders_;
  bool simulated_ = false;  // against the built-in simulator
};

int RunCommand::Run() {
  cli::CatchEndSignals();
  if (!ApplyPlan())
    return cli::kExitUsage;
  if (const std::string problem = cli::RunOptionsProblem(o_); !problem.empty())
    return Usage(problem);
  if (!MakeClock())
    return cli::kExitUsage;
  cli::MetricsService metrics;
  if (!metrics.Start(o_.metrics, "run"))
    return cli::kExitUsage;
  if (!ResolveSettings())
    return cli::kExitUsage;
  if (!PrepareFolders())
    return cli::kExitFailure;

  simulated_ = o_.UseSimulator();
  std::string module = o_.module_name;
  if (module.empty())
    module = simulated_ ? "simulator" : o_.at_port;
  std::unique_ptr<sim::Simulator> simulator;
  if (simulated_) {
    cli::BuiltinSimulator started = cli::StartBuiltinSimulator(o_, settings_, clock_);
    if (!started.simulator) {
      std::cerr << "zuvek-cli run: " << started.problem << "\n";
      return started.usage ? cli::kExitUsage : cli::kExitFailure;
    }
    simulator = std::move(started.simulator);
    // A power cycle renews its devices: the links come back, as a by-id name does.
    const bool links = !simulator->AtLinkPath().empty();
    o_.at_port = links ? simulator->AtLinkPath() : simulator->AtDevicePath();
    o_.nmea_port = links ? simulator->NmeaLinkPath() : simulator->NmeaDevicePath();
  }

  settings_.module_name = module;
  settings_.at_port = o_.at_port;
  settings_.nmea_port = o_.nmea_port;
  if (simulator && !simulator->ControlPath().empty())
    settings_.hook_environment.push_back("ZUVEK_SIM_CONTROL=" + simulator->ControlPath());
  cli::RunSession session(*clock_, folders_, o_, module);
  if (metrics.Metrics())
    session.FeedMetrics(*metrics.Metrics());
  Describe();
  if (!session.OpenPorts(
          RestartTypeWord(RecordedRestartType(*settings_.profile, o_.RestartType())))) {
    CloseDebugLog();
    return cli::kExitFailure;
  }
  const TestOutcome out = session.RunTest(settings_);
  if (simulator)
    simulator->Stop();
  const int code = Finish(out);
  if (RunEvents* events = session.Events())
    events->Emit("end", {{"exit", code},
                         {"runs", out.runs_recorded},
                         {"failures", out.failures},
                         {"ended", out.end_reason},
                         {"summary", out.summary_path},
                         {"csv", out.csv_path},
                         {"result_log", out.logs.result}});
  metrics.HoldAfterEnd();
  return code;
}

bool RunCommand::MakeClock() {
  if (!o_.UseSimulator()) {
    // A scaled clock only against a simulator: the ports' own, at its scale.
    const TimeScaleChoice choice = ChooseRunTimeScale(
        o_.scale_option->count() > 0 ? std::optional<double>(o_.scale) : std::nullopt, o_.at_port,
        o_.nmea_port);
    if (!choice.note.empty())
      std::cerr << choice.note << "\n";
    if (choice.refused)
      return false;
    o_.scale = choice.scale;
  }
  if (o_.scale != 1.0)
    clock_ = std::make_shared<platform::ScaledClock>(o_.scale);
  else
    clock_ = std::make_shared<platform::RealClock>();
  platform::SetProcessClock(clock_);
  return true;
}

bool RunCommand::ResolveSettings() {
  LoadConfig();
  if (const std::string damaged = DamagedConfigSentence(LastConfigLoad(), kConfigFileName);
      !damaged.empty())
    std::cerr << "zuvek-cli: " << damaged << "\n";
  for (const std::string& problem : LoadSideSettings())
    std::cerr << "zuvek-cli: " << problem << "\n";
  // A test with commands the user did not choose measures the wrong thing.
  if (o_.profile.empty() && SideSettingRefused("profile")) {
    Usage(
        "the profile zuvek.toml names cannot be used (see above); mend its profile line or "
        "give --profile NAME (zuvek-cli profiles lists them)");
    return false;
  }
  TestChoices choices = cli::ChoicesOf(o_);
  choices.plan = plan_;
  if (const auto problems = cli::CommandLineHooks(o_, &choices.hooks); !problems.empty()) {
    for (const std::string& problem : problems)
      std::cerr << "zuvek-cli run: " << problem << "\n";
    Usage("the hooks are refused; mend them (nothing was started)");
    return false;
  }
  TestSettingsResolution resolved = ResolveTestSettings(choices);
  if (!resolved.profile_problems.empty()) {
    for (const std::string& problem : resolved.profile_problems)
      std::cerr << "zuvek-cli run: " << problem << "\n";
    Usage(
        "the profile is refused; mend it (zuvek-cli profiles check) or choose another "
        "(zuvek-cli profiles)");
    return false;
  }
  if (!resolved.settings) {
    Usage(resolved.problem);
    return false;
  }
  settings_ = std::move(*resolved.settings);
  if (const std::string why = RestartTypeProblem(settings_, o_.RestartType()); !why.empty()) {
    Usage(why);
    return false;
  }
  // Never a plain start labelled as a cold or warm one without a word.
  if (const std::string why = NoResetSentence(*settings_.profile, o_.RestartType()); !why.empty()) {
    if (!o_.plain_start) {
      Usage(why +
            "; choose another --restart, or give --plain-start to run them anyway "
            "(recorded as plain starts)");
      return false;
    }
    std::cerr << "zuvek-cli: " << why << "; recorded as plain starts (--plain-start)\n";
  }
  return true;
}

bool RunCommand::ApplyPlan() {
  if (o_.plan.empty())
    return true;
  const cli::PlanApplied applied = cli::ApplyPlan(*sub_, o_);
  for (const std::string& problem : applied.problems)
    std::cerr << "zuvek-cli run: " << problem << "\n";
  if (!applied.label) {
    Usage("the test plan is refused; mend it or choose another (nothing was started)");
    return false;
  }
  for (const std::string& note : applied.notes)
    std::cerr << "zuvek-cli: " << note << "\n";
  plan_ = applied.label;
  return true;
}

bool RunCommand::PrepareFolders() {
  folders_.Init(*clock_);
  if (!o_.log_dir.empty())
    folders_.UseTestFolder(o_.log_dir);
  if (folders_.UsesUserDataFolder() && !IsInstalledProgramFolder(folders_.ExeDir())) {
    std::cerr << "zuvek-cli: the program's folder cannot be written; logs go to "
              << folders_.BaseDir() << "\n";
  }
  for (const std::string& problem : folders_.Problems())
    std::cerr << "zuvek-cli: " << problem << "\n";
  // A test whose result log, CSV and summary cannot be written records
  // nothing a lab can sign: it does not start.
  if (!FolderWriteProblem("The day folder", folders_.GetDayDir()).empty()) {
    std::cerr << "zuvek-cli run: the test's logs cannot be written in " << folders_.GetDayDir()
              << "; nothing was started (free the folder, or give another with --log-dir)\n";
    return false;
  }
  if (o_.log_dir.empty())
    PrepareDebugLog();
  else
    OpenDebugLogIn(folders_.GetDayDir(), *clock_);
  return true;
}

void RunCommand::Describe() const {
  const bool sim = simulated_;
  const bool scaled = o_.scale != 1.0;
  std::cerr << "zuvek-cli: " << RestartTypeName(o_.RestartType()) << ", " << o_.runs << " run"
            << (o_.runs == 1 ? "" : "s") << (o_.xtra ? ", XTRA" : "") << ", fix time-out "
            << g_config.GetTimeout() << " s" << (sim ? ", built-in simulator" : "") << " (AT "
            << o_.at_port << ", NMEA " << o_.nmea_port << ")" << (scaled ? ", time scale " : "")
            << (scaled ? ScaleText(o_.scale) : "")
            << (fix_rules::IsDefault(settings_.fix_rule) ? "" : ", fix rule " + settings_.fix_rule)
            << "\n";
  if (settings_.reconnect_s > 0)
    std::cerr << "zuvek-cli: a lost port is waited for up to " << settings_.reconnect_s << " s\n";
  if (settings_.profile->name != "default") {
    std::cerr << "zuvek-cli: module profile \"" << settings_.profile->name << "\""
              << (sim ? ", spoken by the built-in simulator" : "") << "\n";
  }
}

int RunCommand::Finish(const TestOutcome& out) {
  if (o_.json)
    std::cout << out.summary_json;  // the runs in memory, whatever the file holds
  else if (!o_.events)
    cli::PrintOutcome(out);
  CloseDebugLog();
  return cli::RunExitCode(out, cli::EndRequested());
}

}  // namespace

ZUVEK_REGISTER_COMMAND(RunCommand);
