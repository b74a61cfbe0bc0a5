// zuvek-cli run: a TTFF test without the window, against real ports or the
// built-in module simulator.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/cli_host.h"
#include "cli/command.h"
#include "cli/fix_rule_option.h"
#include "cli/run_events.h"
#include "cli/sim_form_options.h"
#include "config/app_config.h"
#include "config/side_settings.h"
#include "engine/module_commands.h"
#include "engine/ttff_engine.h"
#include "fix_rules/registry.h"
#include "platform/debug_log.h"
#include "platform/file_writes.h"
#include "platform/message_loop.h"
#include "platform/working_folders.h"
#include "profiles/profile_loader.h"
#include "session/module_hub.h"
#include "session/time_scale_choice.h"
#include "sim/simulator.h"
#include "stats/statistics_output.h"
#include "store/opening_store_sink.h"
#include "store/store_location.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnSignal(int) {
  g_interrupted = true;
}

std::string ScaleText(double scale) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", scale);
  return text;
}

// "; incomplete files: a, b" when a log or result file lost a write.
std::string IncompleteNote(const TestOutcome& out) {
  std::vector<std::string> files = out.incomplete_files;
  for (const auto& f : platform::WriteFailures()) {
    if (std::find(files.begin(), files.end(), f.path) == files.end())
      files.push_back(f.path);
  }
  std::string note;
  for (const auto& f : files)
    note += (note.empty() ? "; incomplete files: " : ", ") + f;
  return note;
}

class RunCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    auto* sub = app.add_subcommand(
        "run",
        "Run a TTFF test. Without ports it starts the built-in module simulator and runs "
        "against it.");
    sub->add_option("--at-port", at_port_, "AT port (ttyUSB2 means /dev/ttyUSB2)");
    sub->add_option("--nmea-port", nmea_port_, "NMEA port");
    sub->add_option("--at-baud", at_baud_, "AT port baud rate")->capture_default_str();
    sub->add_option("--nmea-baud", nmea_baud_, "NMEA port baud rate")->capture_default_str();
    sub->add_option("--restart", restart_, "restart type: hot, cold or warm")
        ->check(CLI::IsMember({"hot", "cold", "warm"}))
        ->capture_default_str();
    sub->add_option("--runs", runs_, "number of runs")
        ->check(CLI::Range(1u, 1000000u))
        ->capture_default_str();
    sub->add_flag("--xtra", xtra_, "inject the module time and XTRA data before each start");
    sub->add_option("--timeout", timeout_, "fix time-out in seconds (default: TTFF.cfg, 200)")
        ->check(CLI::Range(1, 1000000));
    sub->add_option("--interval-sleep", interval_,
                    "seconds of NMEA logging after a fix (default: TTFF.cfg, 10)")
        ->check(CLI::Range(1, 1000000));
    sub->add_option("--uncrtn", uncrtn_, "XTRA time uncertainty in ms (default: TTFF.cfg, 3500)")
        ->check(CLI::Range(1u, 4294967295u));
    sub->add_option("--xtra-cmd", xtra_cmd_, "XTRA data command (default: TTFF.cfg)");
    scale_option_ = sub->add_option("--time-scale", scale_,
                                    "run the clock N times faster, only against a simulator (20 "
                                    "makes a 10-s pause last 0.5 s); on ports of `zuvek-cli sim` "
                                    "the simulator's own scale is the default")
                        ->check(CLI::Range(1.0, 1000.0))
                        ->capture_default_str();
    sub->add_option("--sim-seed", seed_, "simulator: seed of the TTFF draws")
        ->capture_default_str();
    sub->add_option("--sim-ttff", sim_ttff_,
                    "simulator: TTFF of every start, SECONDS or MIN:MAX (default: by type)");
    sub->add_option("--sim-faults", sim_faults_, "simulator: fault script file");
    sub->add_option("--sim-truth", sim_truth_, "simulator: write its ground truth (JSON lines)");
    sub->add_option("--sim-replay", sim_replay_,
                    "simulator: stream this recorded NMEA capture after each start (its truth "
                    "follows --fix)")
        ->check(CLI::ExistingFile);
    sim_form_.Add(sub, "--sim-", "simulator: ");
    sub->add_option("--reconnect", reconnect_,
                    "when a port vanishes, wait up to SECONDS for both to come back under "
                    "their names and go on with the next run (0: off; default: zuvek.toml)")
        ->check(CLI::Range(0u, 86400u));
    sub->add_option("--fix", fix_rule_,
                    "the sentence that counts as the fix: " + fix_rules::KnownNamesText() +
                        " (default: zuvek.toml, gprmc: the first $GPRMC with status A)")
        ->check(cli::FixRuleValidator());
    sub->add_option("--profile", profile_,
                    "the module's AT dialect: a bundled profile (zuvek-cli profiles) or a "
                    "profile file (default: zuvek.toml, else \"default\")");
    sub->add_option("--reference", reference_,
                    "the antenna's true position, LAT,LON[,ALT] in degrees and metres, or auto "
                    "(the median of the positions after the fixes): the CSV and the summary get "
                    "the error of each fix (default: zuvek.toml, else none)");
    sub->add_option("--suspect-cold", suspect_cold_,
                    "a cold start fixing faster than SECONDS is flagged reset suspect (default: "
                    "zuvek.toml, 10)")
        ->check(CLI::Range(0.0, 3600.0));
    sub->add_option("--suspect-warm", suspect_warm_,
                    "a warm start fixing faster than SECONDS is flagged reset suspect (default: "
                    "zuvek.toml, 5)")
        ->check(CLI::Range(0.0, 3600.0));
    limit_option_ =
        sub->add_option("--limit-ttff", limit_ttff_,
                        "verdict: an attempt is good when it fixed within SECONDS; with it the "
                        "test states PASS, FAIL or UNDECIDED after every run")
            ->check(CLI::PositiveNumber);
    sub->add_option("--yield", yield_, "verdict: the share of good attempts asked for")
        ->check(CLI::Range(0.01, 0.999))
        ->capture_default_str();
    sub->add_option("--confidence", confidence_,
                    "the confidence of the statistics' intervals and of the verdict")
        ->check(CLI::Range(0.5, 0.9999))
        ->capture_default_str();
    sub->add_option("--indifference", indifference_,
                    "verdict: a receiver with a yield this much below is bad (default: "
                    "min(1 - yield, yield / 2))")
        ->check(CLI::Range(0.001, 0.99));
    sub->add_option("--limit-error", limit_error_,
                    "verdict: a good attempt's fix is also within METRES of --reference (a "
                    "given position, not auto)")
        ->check(CLI::PositiveNumber);
    sub->add_flag("--stop-when-decided", stop_when_decided_,
                  "end the test after the run that decides the verdict (needs --limit-ttff)");
    sub->add_option("--store", store_,
                    "the results store every test and run is written to as well: a SQLite file, "
                    "postgresql://... or none (default: zuvek.toml, else results.sqlite in the "
                    "per-user data folder)");
    sub->add_option("--log-dir", log_dir_,
                    "the test's logs go to DIR (instead of the day folder) and the continuous "
                    "NMEA log to DIR/NMEA_LOG");
    sub->add_option("--module-name", module_name_,
                    "the module's name in the results store (default: \"simulator\" or the AT "
                    "port)");
    sub->add_flag("--events", events_,
                  "progress as JSON lines on standard output, one per event (start, run, phase, "
                  "result, end), instead of the progress and the end text");
    sub->add_flag("--json", json_, "print the summary as JSON on standard output");
    sub->add_flag("-q,--quiet", quiet_, "no progress, only the summary");
    sub->footer(
        "Settings not given come from TTFF.cfg in the working directory (never written here).\n"
        "Exit codes: 0 every run found a fix; 1 a run failed, the test ended early or the\n"
        "ports could not be opened; 2 bad command line (or --time-scale on ports that are\n"
        "not a simulator's); 130 interrupted (Ctrl-C), after the finished runs were written.\n"
        "Exit code 1 also when a log or result file lost a write (a full disk): the\n"
        "test goes on, standard error names the file, the summary lists it.\n"
        "SIGTERM and SIGHUP (a closed terminal) end the test like Ctrl-C.\n"
        "With --limit-ttff the exit code is the verdict's: 0 PASS, 1 FAIL, 3 UNDECIDED\n"
        "(1 still when the test ended by a fault or a file lost a write; 130 when\n"
        "interrupted).");
    return sub;
  }

  int Run() override;

 private:
  int Restart() const { return restart_ == "cold" ? 1 : restart_ == "warm" ? 2 : 0; }

  std::string at_port_, nmea_port_;
  DWORD at_baud_ = 115200, nmea_baud_ = 115200;
  std::string restart_ = "cold";
  unsigned runs_ = 3;
  bool xtra_ = false;
  int timeout_ = 0, interval_ = 0;
  unsigned uncrtn_ = 0;
  std::string xtra_cmd_;
  double scale_ = 1.0;
  CLI::Option* scale_option_ = nullptr;
  std::uint32_t seed_ = 1;
  std::string sim_ttff_, sim_faults_, sim_truth_, sim_replay_;
  cli::SimFormChoice sim_form_;
  std::optional<unsigned> reconnect_;
  std::optional<std::string> fix_rule_;
  std::string profile_;
  std::optional<std::string> reference_;
  std::optional<double> suspect_cold_, suspect_warm_;
  std::optional<double> limit_error_;
  std::string store_;
  std::string log_dir_, module_name_;
  bool events_ = false;
  bool json_ = false, quiet_ = false;
  double limit_ttff_ = 0, yield_ = 0.95, confidence_ = 0.95, indifference_ = 0;
  CLI::Option* limit_option_ = nullptr;
  bool stop_when_decided_ = false;
};

constexpr int kExitUndecided = 3;

int RunCommand::Run() {
  // First of all, so that a Ctrl-C during the start (opening the ports,
  // starting the simulator) ends the test cleanly instead of killing it.
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A dropped SSH session or a closed terminal ends the test the same way,
  // and a reader of our output that went with it does not kill us.
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  if (at_port_.empty() != nmea_port_.empty()) {
    std::cerr << "zuvek-cli run: give both --at-port and --nmea-port, or neither for the "
                 "simulator\n";
    return cli::kExitUsage;
  }
  const bool use_sim = at_port_.empty();
  if (stop_when_decided_ && limit_option_->count() == 0) {
    std::cerr << "zuvek-cli run: --stop-when-decided needs a verdict; give its limit with "
                 "--limit-ttff SECONDS\n";
    return cli::kExitUsage;
  }
  std::optional<stats::VerdictLimits> limits;
  if (limit_option_->count() > 0)
    limits = stats::VerdictLimits{limit_ttff_, yield_, confidence_, indifference_, limit_error_};
  if (!use_sim) {
    // A scaled clock only against a simulator: the ports' own, at its scale.
    const TimeScaleChoice choice = ChooseRunTimeScale(
        scale_option_->count() > 0 ? std::optional<double>(scale_) : std::nullopt, at_port_,
        nmea_port_);
    if (!choice.note.empty())
      std::cerr << choice.note << "\n";
    if (choice.refused)
      return cli::kExitUsage;
    scale_ = choice.scale;
  }

  std::shared_ptr<platform::Clock> clock;
  if (scale_ != 1.0) {
    clock = std::make_shared<platform::ScaledClock>(scale_);
  } else {
    clock = std::make_shared<platform::RealClock>();
  }
  platform::SetProcessClock(clock);

  LoadConfig();
  for (const std::string& problem : LoadSideSettings())
    std::cerr << "zuvek-cli: " << problem << "\n";
  const unsigned reconnect_s = reconnect_.value_or(g_side_settings.reconnect_s);
  const std::string fix_rule = fix_rule_.value_or(g_side_settings.fix_rule);
  const ProfileLoad profile = ResolveProfile(profile_.empty() ? g_side_settings.profile : profile_);
  if (!profile.profile) {
    for (const std::string& problem : profile.problems)
      std::cerr << "zuvek-cli run: " << problem << "\n";
    std::cerr << "zuvek-cli run: the profile is refused; mend it (zuvek-cli profiles check) or "
                 "choose another (zuvek-cli profiles)\n";
    return cli::kExitUsage;
  }
  std::optional<ReferenceChoice> reference;
  if (const std::string text = reference_.value_or(g_side_settings.reference); !text.empty()) {
    std::string error;
    reference = ParseReference(text, &error);
    if (!reference) {
      std::cerr << "zuvek-cli run: " << error << "\n";
      return cli::kExitUsage;
    }
  }
  if (limit_error_ && (!limits || !reference || reference->automatic)) {
    std::cerr << "zuvek-cli run: --limit-error needs --limit-ttff and a given --reference "
                 "LAT,LON[,ALT] (with auto the errors are known only at the end)\n";
    return cli::kExitUsage;
  }
  if (timeout_ > 0)
    g_config.SetTimeout(timeout_);
  if (interval_ > 0)
    g_config.SetIntervalSleep(interval_);
  if (uncrtn_ > 0)
    g_config.SetUncrtn(static_cast<std::int32_t>(uncrtn_));
  if (!xtra_cmd_.empty()) {
    if (xtra_cmd_.size() >= 100) {
      std::cerr << "zuvek-cli run: ImportXTRA Command too long, please fix it!\n";
      return cli::kExitUsage;
    }
    g_config.SetImportXtraCmd(xtra_cmd_);
  }

  WorkingFolders folders;
  folders.Init(*clock);
  if (!log_dir_.empty()) {
    // A folder of the test's own (a module of a bench): its logs and its
    // continuous NMEA log there.
    std::error_code ec;
    const std::string dir = std::filesystem::absolute(log_dir_, ec).lexically_normal().string();
    folders.m_strDayDir = ec ? log_dir_ : dir;
    folders.m_strNmeaLogDir = folders.m_strDayDir + "/NMEA_LOG";
    std::filesystem::create_directories(folders.m_strNmeaLogDir, ec);
  }
  if (folders.UsesUserDataFolder()) {
    std::cerr << "zuvek-cli: the program's folder cannot be written; logs go to "
              << folders.BaseDir() << "\n";
  }
  for (const std::string& problem : folders.Problems())
    std::cerr << "zuvek-cli: " << problem << "\n";
  if (log_dir_.empty()) {
    PrepareDebugLog();
  } else {
    // A module of a bench keeps its debug log in its own folder, and the
    // other modules' debug logs of the same second stay theirs.
    const std::string path = folders.m_strDayDir + "/" + DebugLogName(clock->Now());
    std::FILE* fp = std::fopen(path.c_str(), "w");
    platform::TrackFile(fp, path);
    SetDebugLogStream(fp);
  }

  std::unique_ptr<sim::Simulator> simulator;
  if (use_sim) {
    sim::SimOptions options;
    options.publish = false;
    options.seed = seed_;
    options.truth_path = sim_truth_;
    // It speaks the test's profile and counts a replay's fix by the test's rule.
    options.profile = std::make_shared<const ModuleProfile>(*profile.profile);
    options.replay_path = sim_replay_;
    options.replay_fix_rule = fix_rule;
    if (std::string error; !sim_form_.ApplyTo(options, &error)) {
      std::cerr << "zuvek-cli run: " << error << "\n";
      return cli::kExitUsage;
    }
    if (!sim_ttff_.empty()) {
      sim::TtffRange range;
      if (!sim::ParseTtffRange(sim_ttff_, range)) {
        std::cerr << "zuvek-cli run: --sim-ttff takes SECONDS or MIN:MAX\n";
        return cli::kExitUsage;
      }
      options.ttff = {range, range, range, range, range, range};
    }
    if (!sim_faults_.empty()) {
      std::string error;
      auto script = sim::FaultScript::Load(sim_faults_, &error);
      if (!script) {
        std::cerr << "zuvek-cli run: " << error << "\n";
        return cli::kExitUsage;
      }
      options.script = *script;
    }
    simulator = std::make_unique<sim::Simulator>(clock);
    std::string error;
    if (!simulator->Start(options, &error)) {
      std::cerr << "zuvek-cli run: cannot start the simulator: " << error << "\n";
      return cli::kExitFailure;
    }
    at_port_ = simulator->AtDevicePath();
    nmea_port_ = simulator->NmeaDevicePath();
  }

  platform::MessageLoop loop;
  platform::MessageTarget target(loop);
  ModuleHub hub(target, *clock, folders);
  std::unique_ptr<RunEvents> events;
  if (events_)
    events = std::make_unique<RunEvents>();
  CliHost host(hub, target, *clock, runs_, xtra_, quiet_ || events_);
  host.SetReconnect(reconnect_s);
  host.SetEvents(events.get());

  std::cerr << "zuvek-cli: " << RestartTypeName(Restart()) << ", " << runs_ << " run"
            << (runs_ == 1 ? "" : "s") << (xtra_ ? ", XTRA" : "") << ", fix time-out "
            << g_config.GetTimeout() << " s" << (use_sim ? ", built-in simulator" : "") << " (AT "
            << at_port_ << ", NMEA " << nmea_port_ << ")" << (scale_ != 1.0 ? ", time scale " : "")
            << (scale_ != 1.0 ? ScaleText(scale_) : "")
            << (fix_rules::IsDefault(fix_rule) ? "" : ", fix rule " + fix_rule) << "\n";
  if (reconnect_s > 0)
    std::cerr << "zuvek-cli: a lost port is waited for up to " << reconnect_s << " s\n";
  if (profile.profile->name != "default") {
    std::cerr << "zuvek-cli: module profile \"" << profile.profile->name << "\""
              << (use_sim ? ", spoken by the built-in simulator" : "") << "\n";
  }

  PortRequest request{at_port_, at_baud_, nmea_port_, nmea_baud_, false};
  const auto messages = hub.OpenPorts(request);
  for (const auto& m : messages)
    std::cerr << "zuvek-cli: " << m << "\n";
  if (!messages.empty()) {
    hub.ClosePorts();
    CloseDebugLog();
    if (events) {
      // The reasons, without the message-box texts that only say that it failed.
      std::string problem;
      for (const auto& m : messages)
        if (m != kOpenPortFailed && m != kSerialFailed && problem.find(m) == std::string::npos)
          problem += (problem.empty() ? "" : " ") + m;
      if (problem.empty())
        problem = messages.front();
      events->Emit("end", {{"exit", cli::kExitFailure}, {"problem", problem}});
    }
    return cli::kExitFailure;
  }
  if (events)
    events->Emit("start", {{"runs", runs_},
                           {"restart", restart_},
                           {"at_port", at_port_},
                           {"nmea_port", nmea_port_},
                           {"time_scale", scale_},
                           {"pid", static_cast<long>(getpid())}});
  hub.SetPortLostHandler([&host, reconnect_s](int port, const std::string& text) {
    if (reconnect_s == 0)
      host.Say("zuvek-cli: " + text);
    else
      host.Say(std::string("zuvek-cli: the ") + (port == 0 ? "AT" : "NMEA") +
               " port is gone: the device disappeared or was unplugged");
  });

  target.On(kMsgTestResult, [&host](WPARAM w, LPARAM) -> LRESULT {
    std::unique_ptr<TestResult> result(reinterpret_cast<TestResult*>(w));
    host.OnResult(*result);
    return 0;
  });
  target.On(kMsgTestStarted, [&hub](WPARAM, LPARAM) -> LRESULT {
    hub.OnTestStarted();
    return 1;
  });
  target.On(kMsgTestFinished, [](WPARAM, LPARAM) -> LRESULT { return 1; });

  EngineEnvironment env = hub.MakeEngineEnvironment(host);
  env.fix_rule = fix_rule;
  hub.SetFixRule(fix_rule);
  env.profile = std::make_shared<const ModuleProfile>(*profile.profile);
  env.reference = reference;
  env.reset_thresholds = {suspect_cold_.value_or(g_side_settings.suspect_cold_s),
                          suspect_warm_.value_or(g_side_settings.suspect_warm_s)};
  env.verdict_limits = limits;
  env.confidence = confidence_;
  env.stop_when_decided = stop_when_decided_;
  // A store that cannot be opened costs the test nothing: a sentence, and
  // the text logs as ever.
  const std::string where = store::ChooseStoreLocation(store_, g_side_settings.store);
  std::string module = module_name_;
  if (module.empty())
    module = use_sim ? "simulator" : at_port_;
  store::OpeningStoreSink sink([where] { return where; }, [module] { return module; },
                               [&host](const std::string& s) { host.Say(s); });
  if (!store::IsNoStore(where))
    env.result_sink = &sink;
  TestEngine engine(std::move(env));
  engine.Start(Restart(), runs_);
  auto last_tick = std::chrono::steady_clock::now();
  // Every message wakes the loop; between them a look ten times a second is
  // enough for Ctrl-C and the end, and a bench of many modules does not pay
  // a wake-up per module every 10 ms.
  loop.RunUntil(
      [&] {
        if (g_interrupted && !engine.ShutdownRequested()) {
          host.Say("zuvek-cli: interrupted; writing what the test has");
          engine.RequestShutdown();
        }
        if (std::chrono::steady_clock::now() - last_tick > std::chrono::seconds(1)) {
          last_tick = std::chrono::steady_clock::now();
          host.Tick();
          if (events)
            events->Emit("alive");  // a supervisor tells a hung test from a slow one
        }
        return !engine.IsRunning();
      },
      INFINITE, 100);
  engine.Join();
  loop.ProcessPending();
  host.EndLine();
  hub.ClosePorts();
  if (simulator)
    simulator->Stop();

  const TestOutcome out = engine.LastOutcome();
  const stats::TtffStatistics& statistics = out.ttff_statistics;
  std::string summary_json;
  {
    std::FILE* fp = std::fopen(out.summary_path.c_str(), "rb");
    if (fp) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        summary_json.append(buf, n);
      std::fclose(fp);
    }
  }
  bool summary_missing = false;
  if (json_) {
    summary_missing = summary_json.empty() || !nlohmann::json::accept(summary_json);
    if (summary_missing) {
      std::cerr << "zuvek-cli run: no summary to print: " << out.summary_path
                << " could not be written or read back; make the day folder writable (and "
                   "free space on it) and run the test again.\n";
    } else {
      std::cout << summary_json;
    }
  } else if (!events) {
    std::cout << "runtimes = " << out.statistics.nRuntimes << "\nfail times = " << out.failures
              << "\n";
    if (!out.durations.empty()) {
      char line[160];
      std::snprintf(line, sizeof line, "average = %.2f,max = %.2f,min = %.2f\n",
                    static_cast<double>(out.statistics.fAverage),
                    static_cast<double>(out.statistics.fMax),
                    static_cast<double>(out.statistics.fMin));
      std::cout << line;
      try {
        const auto j = nlohmann::json::parse(summary_json);
        const auto& t = j.at("ttff_s");
        std::snprintf(line, sizeof line,
                      "median = %.2f, p67 = %.2f, p95 = %.2f, stddev = %.2f (seconds)\n",
                      t.at("median").get<double>(), t.at("p67").get<double>(),
                      t.at("p95").get<double>(), t.at("stddev").get<double>());
        std::cout << line;
      } catch (...) {
      }
    }
    if (!out.records.empty())
      for (const std::string& text : stats::StatisticsLines(statistics))
        std::cout << text << "\n";
    std::string lost;
    for (const RunRecord& r : out.records)
      if (r.reason == "port lost")
        lost += (lost.empty() ? "" : ", ") + std::to_string(r.run);
    if (!lost.empty())
      std::cout << "port lost in run " << lost << "\n";
    std::string suspects;
    for (const RunRecord& r : out.records)
      if (!r.reset_suspect.empty())
        suspects += (suspects.empty() ? "" : ", ") + std::to_string(r.run);
    if (!suspects.empty())
      std::cout << "reset suspect in run " << suspects << " (see the CSV's reset_suspect)\n";
    std::cout << "ended: " << out.end_reason << IncompleteNote(out) << "\n";
    std::cout << "logs: " << out.logs.result << "\n      " << out.logs.at << "\n      "
              << out.logs.nmea << "\n      " << out.csv_path << "\n      " << out.summary_path
              << "\n";
    if (!out.signal_path.empty())
      std::cout << "      " << out.signal_path << "\n";
  }
  CloseDebugLog();
  const int code = [&] {
    if (g_interrupted)
      return cli::kExitInterrupted;
    if (summary_missing)
      return cli::kExitFailure;
    if (!platform::WriteFailures().empty())
      return cli::kExitFailure;  // a log or result file is incomplete
    if (statistics.verdict && out.completed) {
      switch (statistics.verdict->Current()) {
        case stats::Verdict::kPass:
          return cli::kExitOk;
        case stats::Verdict::kFail:
          return cli::kExitFailure;
        case stats::Verdict::kUndecided:
          return kExitUndecided;
      }
    }
    return out.completed && out.failures == 0 ? cli::kExitOk : cli::kExitFailure;
  }();
  if (events)
    events->Emit("end", {{"exit", code},
                         {"runs", out.runs_recorded},
                         {"failures", out.failures},
                         {"ended", out.end_reason},
                         {"summary", out.summary_path},
                         {"csv", out.csv_path},
                         {"result_log", out.logs.result}});
  return code;
}

}  // namespace

ZUVEK_REGISTER_COMMAND(RunCommand);
