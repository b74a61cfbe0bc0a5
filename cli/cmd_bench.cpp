// zuvek-cli bench: a TTFF test of several modules at the same time, one
// child `zuvek-cli run` per module (a module that hangs, floods, vanishes or
// crashes costs the others nothing), from a bench file or against simulated
// modules.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "cli/command.h"
#include "cli/end_signals.h"
#include "cli/fix_rule_option.h"
#include "cli/metrics_option.h"
#include "cli/profile_option.h"
#include "cli/sim_choices.h"
#include "engine/run_logs.h"
#include "fix_rules/registry.h"
#include "hooks/hook_table.h"
#include "metrics/event_feed.h"
#include "metrics/ttff_metrics.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/working_folders.h"
#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "sim/simulator.h"
#include "supervisor/bench_display.h"
#include "supervisor/bench_file.h"
#include "supervisor/bench_report.h"
#include "supervisor/bench_supervisor.h"

namespace {

namespace fs = std::filesystem;

// The bench's start and end, written as a test's start is in its summary.
std::string Now() {
  return FormatTimestamp(platform::RealClock().Now());
}

// The options of `run` that every module's test gets as they are given.
constexpr const char* kPassedOptions[][2] = {
    {"--timeout", "fix time-out in seconds (default: TTFF.cfg, 200)"},
    {"--interval-sleep", "seconds of NMEA logging after a fix (default: TTFF.cfg, 10)"},
    {"--uncrtn", "XTRA time uncertainty in ms (default: TTFF.cfg, 3500)"},
    {"--xtra-cmd", "XTRA data command (default: TTFF.cfg)"},
    {"--reconnect", "wait up to SECONDS for a lost port to come back (0: off)"},
    {"--suspect-cold", "a cold start fixing faster than SECONDS is reset suspect"},
    {"--suspect-warm", "a warm start fixing faster than SECONDS is reset suspect"},
    {"--limit-ttff", "verdict: an attempt is good when it fixed within SECONDS"},
    {"--yield", "verdict: the share of good attempts asked for"},
    {"--confidence", "the confidence of the intervals and of the verdict"},
    {"--indifference", "verdict: a receiver with a yield this much below is bad"},
    {"--limit-error", "verdict: a good attempt's fix is also within METRES of --reference"},
    {"--store", "the results store: a SQLite file, postgresql://... or none"},
};

class BenchCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    auto* sub = app.add_subcommand(
        "bench",
        "Test several modules at the same time: those of a bench file, or N simulated "
        "modules (--sim N). Each module's logs go to DAY/NAME/.");
    sub->add_option("file", file_, "the bench file (TOML): a [[module]] table per module")
        ->check(CLI::ExistingFile);
    sub->add_option("--sim", sim_, "instead of a file: N simulated modules, sim1 ... simN")
        ->check(CLI::Range(1u, 64u));
    sub->add_option("--restart", restart_, "restart type: hot, cold, warm or power-cycle")
        ->check(CLI::IsMember(AskableRestartWords()))
        ->capture_default_str();
    sub->add_option("--runs", runs_, "number of runs of every module")
        ->check(CLI::Range(1u, 1000000u))
        ->capture_default_str();
    sub->add_flag("--xtra", xtra_, "inject the module time and XTRA data before each start");
    sub->add_option("--fix", fix_rule_,
                    "the sentence that counts as the fix: " + fix_rules::KnownNamesText() +
                        " (wins over the bench file)")
        ->check(cli::FixRuleValidator());
    sub->add_option("--profile", profile_,
                    "the modules' AT dialect (wins over the bench file; with --sim the "
                    "simulators speak it)")
        ->check(cli::ProfileChoices(true));
    sub->add_option("--reference", reference_,
                    "the antenna's true position, LAT,LON[,ALT] or auto (wins over the bench "
                    "file)");
    for (const auto& [name, help] : kPassedOptions)
      sub->add_option(name, passed_[name], help);
    sub->add_option("--hook", hook_args_,
                    "MOMENT=COMMAND for every module's test (see run --help); a moment given "
                    "here replaces the bench file's hooks of it")
        ->type_name("MOMENT=COMMAND");
    sub->add_flag("--stop-when-decided", stop_when_decided_,
                  "end a module's test after the run that decides its verdict");
    sub->add_option("--time-scale", scale_,
                    "with --sim: run the simulators' and the tests' clocks N times faster")
        ->check(CLI::Range(1.0, 1000.0))
        ->capture_default_str();
    sub->add_option("--sim-seed", seed_, "with --sim: module i's simulator draws with seed + i - 1")
        ->capture_default_str();
    sub->add_option("--sim-ttff", sim_ttff_,
                    "with --sim: TTFF of every start, SECONDS or MIN:MAX (default: by type)");
    sub->add_option("--sim-rate", sim_rate_, "with --sim: epochs per second, 1 to 10")
        ->check(CLI::Range(1.0, 10.0))
        ->capture_default_str();
    sub->add_option("--sim-faults", sim_faults_,
                    "with --sim: [NAME=]FILE, a fault script for module NAME (without NAME=: for "
                    "every module); repeatable");
    sub->add_option("--silence", silence_s_,
                    "a module's test that says nothing for SECONDS (real time) is ended as failed")
        ->check(CLI::Range(2.0, 86400.0))
        ->capture_default_str();
    cli::AddMetricsOptions(sub, metrics_options_);
    sub->add_flag("--json", json_, "print the bench summary JSON instead of the table");
    sub->add_flag("-q,--quiet", quiet_, "no progress, only the table");
    sub->footer(
        "Other options are given to every module's `zuvek-cli run` (see run --help); the\n"
        "command line wins over the bench file. Settings come from TTFF.cfg and zuvek.toml\n"
        "in the working directory as for run.\n"
        "Exit codes: 0 every module's test exited 0; 1 a module failed (a failed run, a FAIL\n"
        "or UNDECIDED verdict, a test that could not start, died or stopped talking); 2 bad\n"
        "command line or bench file; 130 interrupted (Ctrl-C, SIGTERM, SIGHUP), after every\n"
        "module's test wrote what it has.");
    return sub;
  }

  int Run() override;

 private:
  int Usage(const std::string& sentence) const {
    std::cerr << "zuvek-cli bench: " << sentence << "\n";
    return cli::kExitUsage;
  }
  // The simulators of --sim N: their common options, their fault scripts
  // (by module name, or for every module) and, once started, themselves.
  struct SimulatedModules {
    sim::SimOptions base;
    std::map<std::string, sim::FaultScript> named_faults;
    std::optional<sim::FaultScript> every_faults;
    std::vector<std::unique_ptr<sim::Simulator>> simulators;
  };
  // Where the bench writes: the day folder, its stem and its summary.
  struct BenchDay {
    std::string folder, stem, json_path;
  };

  bool UseSim() const { return sim_ > 0; }
  // A usage error's exit code after telling it, or 0.
  int CheckOptions();
  // The modules of the file or of --sim; false after telling what is wrong.
  bool LoadModules(std::vector<supervisor::BenchModule>& modules) const;
  // The simulated modules' settings; false after telling what is wrong.
  bool PrepareSimOptions(SimulatedModules& simulated);
  bool LoadSimFaults(SimulatedModules& simulated);
  BenchDay PrepareDay() const;
  // A launch per module; with --sim, each module's simulator started.
  std::vector<supervisor::ModuleLaunch> LaunchPlan(std::vector<supervisor::BenchModule>& modules,
                                                   const BenchDay& day, const std::string& exe,
                                                   SimulatedModules& simulated) const;
  void StartSimulator(std::size_t i, supervisor::BenchModule& m, const BenchDay& day,
                      const std::shared_ptr<platform::Clock>& clock, SimulatedModules& simulated,
                      supervisor::ModuleState& state) const;
  // The bench's summary file and its table or JSON; the exit code.
  int Finish(const supervisor::SuperviseResult& result, supervisor::BenchInfo info,
             const std::string& json_path) const;
  std::vector<std::string> ChildArgs(const supervisor::BenchModule& m, const std::string& folder,
                                     const std::string& exe) const;

  std::string file_;
  unsigned sim_ = 0;
  std::string restart_ = "cold";
  std::vector<std::string> hook_args_;
  unsigned runs_ = 3;
  bool xtra_ = false, stop_when_decided_ = false;
  std::optional<std::string> fix_rule_, profile_, reference_;
  std::map<std::string, std::optional<std::string>> passed_;
  double scale_ = 1.0;
  std::uint32_t seed_ = 1;
  std::string sim_ttff_;
  double sim_rate_ = 1.0;
  std::vector<std::string> sim_faults_;
  double silence_s_ = 30;
  bool json_ = false, quiet_ = false;
  cli::MetricsOptions metrics_options_;
};

// The bench's metrics: every module's events, and how many modules run.
void FeedMetrics(supervisor::SuperviseOptions& options, metrics::TtffMetrics* m) {
  if (!m)
    return;
  options.on_event = [m](const std::string& module, const std::string& line) {
    metrics::ApplyEventLine(*m, module, line);
  };
  options.on_progress = [m](const std::vector<supervisor::ModuleState>& modules) {
    unsigned running = 0;
    for (const supervisor::ModuleState& state : modules) {
      running += state.ended ? 0 : 1;
      // A test that died without its end event has ended all the same.
      if (state.ended && state.phase != "ended")
        m->Phase(state.name, "ended");
    }
    m->BenchModules(static_cast<unsigned>(modules.size()), running);
  };
}

bool BenchCommand::PrepareSimOptions(SimulatedModules& simulated) {
  sim::SimOptions& base = simulated.base;
  base.publish = true;
  base.rate_hz = sim_rate_;
  if (std::string error; !cli::ApplySimTtff(sim_ttff_, base, &error)) {
    Usage(error);
    return false;
  }
  const std::string profile = profile_.value_or("");
  if (!profile.empty()) {
    const ProfileLoad load = ResolveProfile(profile);
    if (!load.profile) {
      for (const std::string& problem : load.problems)
        std::cerr << "zuvek-cli bench: " << problem << "\n";
      Usage("the profile is refused; mend it (zuvek-cli profiles check) or choose another");
      return false;
    }
    base.profile = std::make_shared<const ModuleProfile>(*load.profile);
  }
  base.replay_fix_rule = fix_rule_.value_or("");
  return LoadSimFaults(simulated);
}

bool BenchCommand::LoadSimFaults(SimulatedModules& simulated) {
  for (const std::string& entry : sim_faults_) {
    std::string name, path = entry;
    if (const auto eq = entry.find('='); eq != std::string::npos && !fs::exists(entry)) {
      name = entry.substr(0, eq);
      path = entry.substr(eq + 1);
    }
    if (!name.empty()) {
      const bool known = name.rfind("sim", 0) == 0 && name.size() > 3 && name.size() <= 6 &&
                         name.find_first_not_of("0123456789", 3) == std::string::npos &&
                         std::stoul(name.substr(3)) >= 1 && std::stoul(name.substr(3)) <= sim_;
      if (!known) {
        Usage("--sim-faults " + entry + ": there is no module \"" + name +
              "\"; the modules are sim1 to sim" + std::to_string(sim_));
        return false;
      }
    }
    std::string error;
    auto script = sim::FaultScript::Load(path, &error);
    if (!script) {
      Usage("--sim-faults " + entry + ": " + error);
      return false;
    }
    if (name.empty())
      simulated.every_faults = *script;
    else
      simulated.named_faults[name] = *script;
  }
  return true;
}

std::vector<std::string> BenchCommand::ChildArgs(const supervisor::BenchModule& m,
                                                 const std::string& folder,
                                                 const std::string& exe) const {
  std::vector<std::string> args{exe,
                                "run",
                                "--at-port",
                                m.at_port,
                                "--nmea-port",
                                m.nmea_port,
                                "--log-dir",
                                folder,
                                "--module-name",
                                m.name,
                                "--events",
                                "-q",
                                "--restart",
                                restart_,
                                "--runs",
                                std::to_string(runs_)};
  if (m.at_baud)
    args.insert(args.end(), {"--at-baud", std::to_string(*m.at_baud)});
  if (m.nmea_baud)
    args.insert(args.end(), {"--nmea-baud", std::to_string(*m.nmea_baud)});
  if (xtra_)
    args.push_back("--xtra");
  if (stop_when_decided_)
    args.push_back("--stop-when-decided");
  const std::pair<const char*, std::string> settings[] = {
      {"--fix", fix_rule_.value_or(m.fix_rule)},
      {"--profile", profile_.value_or(m.profile)},
      {"--reference", reference_.value_or(m.reference)}};
  for (const auto& [name, value] : settings)
    if (!value.empty())
      args.insert(args.end(), {name, value});
  for (const auto& [name, value] : passed_)
    if (value)
      args.insert(args.end(), {name, *value});
  if (!m.hooks.empty())
    args.insert(args.end(), {"--hooks", folder + "/hooks.toml"});
  for (const std::string& hook : hook_args_)
    args.insert(args.end(), {"--hook", hook});
  return args;
}

int BenchCommand::Run() {
  cli::CatchEndSignals();
  const auto wall_start = std::chrono::steady_clock::now();
  const std::string started = Now();
  if (const int usage = CheckOptions(); usage != 0)
    return usage;
  std::vector<supervisor::BenchModule> modules;
  if (!LoadModules(modules))
    return cli::kExitUsage;
  SimulatedModules simulated;
  if (UseSim() && !PrepareSimOptions(simulated))
    return cli::kExitUsage;
  cli::MetricsService metrics;
  if (!metrics.Start(metrics_options_, "bench"))
    return cli::kExitUsage;
  const BenchDay day = PrepareDay();
  const std::string exe = platform::ProgramPath();
  if (exe.empty()) {
    std::cerr << "zuvek-cli bench: cannot find this program's own file (/proc/self/exe) to "
                 "start the modules' tests with\n";
    return cli::kExitFailure;
  }
  std::vector<supervisor::ModuleLaunch> children = LaunchPlan(modules, day, exe, simulated);
  std::cerr << "zuvek-cli bench: " << modules.size() << " module"
            << (modules.size() == 1 ? "" : "s") << (UseSim() ? " (simulated)" : " of " + file_)
            << ", " << restart_ << ", " << runs_ << " run" << (runs_ == 1 ? "" : "s")
            << " each; logs in " << day.folder << "/NAME/\n";

  std::FILE* progress = json_ ? stderr : stdout;
  supervisor::BenchDisplay display(progress, isatty(fileno(progress)) == 1, quiet_);
  supervisor::SuperviseOptions options;
  options.silence_s = silence_s_;
  FeedMetrics(options, metrics.Metrics());
  supervisor::SuperviseResult result =
      supervisor::Supervise(std::move(children), options, cli::EndRequestFlag(), display);
  for (auto& simulator : simulated.simulators)
    simulator->Stop();
  supervisor::BenchInfo info;
  info.started = started;
  info.wall_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  const int code = Finish(result, info, day.json_path);
  metrics.HoldAfterEnd();
  return code;
}

int BenchCommand::CheckOptions() {
  if (file_.empty() == (sim_ == 0))
    return Usage("give a bench file or --sim N (not both)");
  if (!UseSim() && (scale_ != 1.0 || !sim_ttff_.empty() || !sim_faults_.empty()))
    return Usage(
        "--time-scale and the --sim-... options are only for simulated modules (--sim N); real "
        "modules are measured at real time");
  if (stop_when_decided_ && !passed_["--limit-ttff"])
    return Usage("--stop-when-decided needs a verdict; give its limit with --limit-ttff SECONDS");
  return 0;
}

bool BenchCommand::LoadModules(std::vector<supervisor::BenchModule>& modules) const {
  if (UseSim()) {
    for (unsigned i = 1; i <= sim_; ++i)
      modules.push_back({"sim" + std::to_string(i), "", "", {}, {}, "", "", "", {}});
    return true;
  }
  supervisor::BenchFileLoad load = supervisor::LoadBenchFile(file_);
  for (const std::string& problem : load.problems)
    std::cerr << "zuvek-cli bench: " << problem << "\n";
  modules = std::move(load.modules);
  return load.problems.empty();
}

BenchCommand::BenchDay BenchCommand::PrepareDay() const {
  platform::RealClock real_clock;
  WorkingFolders folders;
  folders.Init(real_clock);
  for (const std::string& problem : folders.Problems())
    std::cerr << "zuvek-cli: " << problem << "\n";
  std::error_code ec;
  BenchDay day;
  day.folder = fs::absolute(folders.GetDayDir(), ec).lexically_normal().string();
  day.json_path = supervisor::UniqueBenchJsonPath(day.folder, FormatTimeOfDay(real_clock));
  const std::string name = fs::path(day.json_path).filename().string();
  day.stem = name.substr(0, name.size() - std::string("_bench.json").size());
  return day;
}

std::vector<supervisor::ModuleLaunch> BenchCommand::LaunchPlan(
    std::vector<supervisor::BenchModule>& modules, const BenchDay& day, const std::string& exe,
    SimulatedModules& simulated) const {
  std::shared_ptr<platform::Clock> sim_clock;
  if (UseSim() && scale_ != 1.0)
    sim_clock = std::make_shared<platform::ScaledClock>(scale_);
  else if (UseSim())
    sim_clock = std::make_shared<platform::RealClock>();
  std::vector<supervisor::ModuleLaunch> children;
  for (std::size_t i = 0; i < modules.size(); ++i) {
    supervisor::BenchModule& m = modules[i];
    supervisor::ModuleLaunch launch;
    launch.state.name = m.name;
    launch.state.folder = day.folder + "/" + m.name;
    launch.state.runs = runs_;
    launch.stderr_path = launch.state.folder + "/bench-stderr.txt";
    std::error_code ec;
    fs::create_directories(launch.state.folder, ec);
    if (UseSim())
      StartSimulator(i, m, day, sim_clock, simulated, launch.state);
    launch.state.at_port = m.at_port;
    launch.state.nmea_port = m.nmea_port;
    // A module whose simulator did not start has failed already: nothing to start.
    // The bench file's hooks reach the module's test as a hooks file.
    if (!m.hooks.empty())
      std::ofstream(launch.state.folder + "/hooks.toml") << hooks::FormatHookTables(m.hooks);
    if (launch.state.problem.empty())
      launch.argv = ChildArgs(m, launch.state.folder, exe);
    children.push_back(std::move(launch));
  }
  return children;
}

void BenchCommand::StartSimulator(std::size_t i, supervisor::BenchModule& m, const BenchDay& day,
                                  const std::shared_ptr<platform::Clock>& clock,
                                  SimulatedModules& simulated,
                                  supervisor::ModuleState& state) const {
  sim::SimOptions options = simulated.base;
  // The bench's own names: another bench on this machine has a sim1 too.
  options.name = "zuvek-bench" + std::to_string(getpid()) + "-" + m.name;
  options.seed = seed_ + static_cast<std::uint32_t>(i);
  options.truth_path = state.folder + "/" + day.stem + "_truth.jsonl";
  if (simulated.every_faults)
    options.script = *simulated.every_faults;
  if (auto it = simulated.named_faults.find(m.name); it != simulated.named_faults.end())
    options.script = it->second;
  auto simulator = std::make_unique<sim::Simulator>(clock);
  std::string error;
  if (!simulator->Start(options, &error)) {
    state.problem = "its simulator did not start: " + error;
  } else {
    m.at_port =
        simulator->AtLinkPath().empty() ? simulator->AtDevicePath() : simulator->AtLinkPath();
    m.nmea_port =
        simulator->NmeaLinkPath().empty() ? simulator->NmeaDevicePath() : simulator->NmeaLinkPath();
    state.truth = options.truth_path;
  }
  simulated.simulators.push_back(std::move(simulator));
}

int BenchCommand::Finish(const supervisor::SuperviseResult& result, supervisor::BenchInfo info,
                         const std::string& json_path) const {
  int code = cli::kExitOk;
  for (const supervisor::ModuleState& m : result.modules)
    if (m.exit_code != 0)
      code = cli::kExitFailure;
  if (result.interrupted || cli::EndRequested())
    code = cli::kExitInterrupted;
  std::error_code ec;
  info.source = UseSim() ? "sim" : fs::absolute(file_, ec).lexically_normal().string();
  info.restart = restart_;
  info.runs = runs_;
  info.ended = Now();
  info.exit_code = code;
  info.supervisor_cpu_s = platform::OwnCpuSeconds();
  const std::string text = supervisor::BenchJson(info, result.modules).dump(2) + "\n";
  std::ofstream out(json_path, std::ios::binary);
  out << text;
  if (!out.flush()) {
    std::cerr << "zuvek-cli bench: the bench summary " << json_path
              << " could not be written; make the day folder writable (and free space on "
                 "it). The modules' own logs are in their folders.\n";
    if (code == cli::kExitOk)
      code = cli::kExitFailure;
  }
  if (json_)
    std::cout << text;
  else
    std::cout << supervisor::EndTable(result.modules, json_path);
  std::cout.flush();
  return code;
}

}  // namespace

ZUVEK_REGISTER_COMMAND(BenchCommand);
