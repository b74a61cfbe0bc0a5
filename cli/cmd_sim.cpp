// zuvek-cli sim: runs the module simulator from a shell until Ctrl-C.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <ctime>
#include <iostream>
#include <memory>

#include "cli/command.h"
#include "cli/profile_option.h"
#include "cli/sim_form_options.h"
#include "fix_rules/registry.h"
#include "platform/clock.h"
#include "sim/models/module_models.h"
#include "sim/simulator.h"

namespace {

class SimCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* sub = app.add_subcommand(
        "sim", "Simulate a cellular module: AT and NMEA ports on pseudo-terminals");
    sub->add_option("--name", options_.name, "Name of the published ports (<name>-AT, <name>-NMEA)")
        ->capture_default_str();
    sub->add_option("--ports-dir", options_.ports_folder,
                    "Folder of the published links (default: the simulator ports folder)");
    sub->add_flag("--no-publish", no_publish_, "Do not publish links, only print the device paths");
    sub->add_option("--time-scale", time_scale_, "Run every delay and epoch N times faster")
        ->check(CLI::Range(0.01, 1000.0))
        ->capture_default_str();
    sub->add_option("--rate", options_.rate_hz, "Epochs per second (1 to 10)")
        ->check(CLI::Range(1.0, 10.0))
        ->capture_default_str();
    sub->add_option("--seed", options_.seed, "Seed of the TTFF draws and the model")
        ->capture_default_str();
    sub->add_flag("--no-echo", no_echo_, "Start with command echo off (ATE1 turns it on)");
    sub->add_option("--reply-ms", options_.reply_delay_ms, "Reply latency of every AT command (ms)")
        ->check(CLI::Range(0, 60000))
        ->capture_default_str();
    sub->add_flag("--gnss-on", options_.gnss_on,
                  "Receiver already running (and fixed) at start-up");
    sub->add_option("--truth", options_.truth_path, "Write the ground truth to FILE (JSON lines)");
    sub->add_option("--replay", options_.replay_path,
                    "Stream this recorded NMEA capture after each start")
        ->check(CLI::ExistingFile);
    sub->add_option("--fix", options_.replay_fix_rule,
                    "Fix rule of the replay's truth (default gprmc; rmc for a $GNRMC capture)");
    sub->add_option("--profile", profile_,
                    "Answer in this module profile's dialect: a bundled profile (zuvek-cli "
                    "profiles) or a profile file (default: \"default\")")
        ->check(cli::ProfileChoices(true));
    sub->add_option("--module", options_.module,
                    "Behave as this module family does as far as its manuals tell (its own "
                    "model, not a profile; wins over --profile)")
        ->check(CLI::IsMember(sim::ModuleModelNames()));
    form_.Add(sub, "--", "");
    sub->add_option("--fault", fault_words_,
                    "Fault in every run: silent, late=MS, no-delete-ack, error[=PREFIX], gnss-on, "
                    "no-fix, reset-ignored, garbage, split-crlf, burst, drop-nmea=S, drop-at=S, "
                    "vanish=S:D");
    sub->add_option("--script", script_path_, "Per-run faults: lines like \"run 2: no-delete-ack\"")
        ->check(CLI::ExistingFile);
    AddRange(sub, "--ttff-hot", ttff_hot_, "Hot start TTFF in s, SECONDS or MIN:MAX (default 1:2)");
    AddRange(sub, "--ttff-warm", ttff_warm_, "Warm start TTFF (default 25:35)");
    AddRange(sub, "--ttff-cold", ttff_cold_, "Cold start TTFF (default 30:45)");
    AddRange(sub, "--ttff-assisted-hot", ttff_ahot_, "Hot start TTFF with XTRA (default 1:2)");
    AddRange(sub, "--ttff-assisted-warm", ttff_awarm_, "Warm start TTFF with XTRA (default 5:15)");
    AddRange(sub, "--ttff-assisted-cold", ttff_acold_, "Cold start TTFF with XTRA (default 5:15)");
    sub->add_option("--duration", duration_s_, "Stop by itself after this many seconds (real time)")
        ->check(CLI::PositiveNumber);
    sub->footer("Ends cleanly on Ctrl-C or SIGTERM (exit 0), removing the published links.");
    return sub;
  }

  int Run() override {
    if (const int usage = ApplyOptions(); usage != 0)
      return usage;
    // Signals are taken synchronously below; the simulator's threads inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::shared_ptr<platform::Clock> clock;
    if (time_scale_ == 1.0)
      clock = std::make_shared<platform::RealClock>();
    else
      clock = std::make_shared<platform::ScaledClock>(time_scale_);
    sim::Simulator simulator(clock);
    std::string error;
    if (!simulator.Start(options_, &error)) {
      std::cerr << "zuvek-cli sim: " << error << "\n";
      return cli::kExitFailure;
    }
    PrintPorts(simulator);
    timespec slice{0, 200'000'000};
    double waited_s = 0;
    while (duration_s_ <= 0 || waited_s < duration_s_) {
      if (sigtimedwait(&signals, nullptr, &slice) > 0)
        break;
      waited_s += 0.2;
    }
    simulator.Stop();
    std::cout << "Simulator stopped.\n";
    return cli::kExitOk;
  }

 private:
  // The options into the simulator's; a usage error's exit code after
  // telling it, or 0.
  int ApplyOptions() {
    options_.publish = !no_publish_;
    options_.echo = !no_echo_;
    const std::pair<const std::string*, sim::TtffRange*> ranges[] = {
        {&ttff_hot_, &options_.ttff.hot},
        {&ttff_warm_, &options_.ttff.warm},
        {&ttff_cold_, &options_.ttff.cold},
        {&ttff_ahot_, &options_.ttff.assisted_hot},
        {&ttff_awarm_, &options_.ttff.assisted_warm},
        {&ttff_acold_, &options_.ttff.assisted_cold}};
    for (const auto& [text, range] : ranges) {
      if (!text->empty() && !sim::ParseTtffRange(*text, *range)) {
        std::cerr << "zuvek-cli sim: bad TTFF range '" << *text << "' (SECONDS or MIN:MAX)\n";
        return cli::kExitUsage;
      }
    }
    for (const std::string& word : fault_words_) {
      if (!sim::ApplyFaultWord(word, options_.faults)) {
        std::cerr << "zuvek-cli sim: unknown fault '" << word << "'\n";
        return cli::kExitUsage;
      }
    }
    if (!options_.replay_fix_rule.empty() && !fix_rules::IsKnown(options_.replay_fix_rule)) {
      std::cerr << "zuvek-cli sim: unknown fix rule '" << options_.replay_fix_rule
                << "'; choose one of " << fix_rules::KnownNamesText() << "\n";
      return cli::kExitUsage;
    }
    std::string error;
    if (!form_.ApplyTo(options_, &error)) {
      std::cerr << "zuvek-cli sim: " << error << "\n";
      return cli::kExitUsage;
    }
    if (!profile_.empty() && !cli::ApplySimProfile(profile_, options_, &error)) {
      std::cerr << error
                << "\nzuvek-cli sim: the profile is refused; mend it (zuvek-cli profiles "
                   "check) or choose another (zuvek-cli profiles)\n";
      return cli::kExitUsage;
    }
    if (!script_path_.empty()) {
      auto script = sim::FaultScript::Load(script_path_, &error);
      if (!script) {
        std::cerr << "zuvek-cli sim: " << script_path_ << ": " << error << "\n";
        return cli::kExitUsage;
      }
      options_.script = *script;
    }

    return 0;
  }

  void PrintPorts(const sim::Simulator& simulator) const {
    std::cout << "AT port:   " << simulator.AtDevicePath();
    if (!simulator.AtLinkPath().empty())
      std::cout << "  (" << simulator.AtLinkPath() << ")";
    std::cout << "\nNMEA port: " << simulator.NmeaDevicePath();
    if (!simulator.NmeaLinkPath().empty())
      std::cout << "  (" << simulator.NmeaLinkPath() << ")";
    if (!simulator.ControlPath().empty())
      std::cout << "\nControl:   " << simulator.ControlPath()
                << "  (echo power-cycle > it: the module's power off for 2 s)";
    std::cout << "\nTime scale " << time_scale_ << ", " << options_.rate_hz << " Hz"
              << (options_.replay_path.empty() ? "" : ", replaying " + options_.replay_path)
              << (options_.module.empty() ? "" : ", module " + options_.module)
              << (options_.profile && options_.module.empty()
                      ? ", profile " + options_.profile->name
                      : "")
              << (options_.nmea_form == sim::NmeaForm{}
                      ? ""
                      : std::string(", talker ") + (options_.nmea_form.gn ? "GN" : "GP") +
                            ", NMEA " + sim::NmeaVersionText(options_.nmea_form) +
                            (options_.nmea_form.HasSignalIds()
                                 ? ", signals " + sim::SignalsText(options_.nmea_form)
                                 : std::string()))
              << ". Ctrl-C ends.\n"
              << std::flush;
  }

  static void AddRange(CLI::App* sub, const char* name, std::string& target, const char* help) {
    sub->add_option(name, target, help);
  }

  sim::SimOptions options_;
  std::string profile_;
  cli::SimFormChoice form_;
  bool no_publish_ = false;
  bool no_echo_ = false;
  double time_scale_ = 1.0;
  double duration_s_ = 0;
  std::vector<std::string> fault_words_;
  std::string script_path_;
  std::string ttff_hot_, ttff_warm_, ttff_cold_, ttff_ahot_, ttff_awarm_, ttff_acold_;
};

ZUVEK_REGISTER_COMMAND(SimCommand);

}  // namespace
