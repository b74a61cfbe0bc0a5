// zuvek-cli ports: the serial ports the port lists offer, by index; with
// --probe, what each one is (NMEA, AT, silent, or held by another program);
// with --start-gnss, the silent ports heard again while GNSS is on.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/command.h"
#include "cli/probe_gnss.h"
#include "cli/profile_option.h"
#include "profiles/profile_loader.h"
#include "serial/port_discovery.h"
#include "serial/port_probe.h"

namespace {

std::string Verdict(const ProbeReport& r) {
  switch (r.kind) {
    case ProbeKind::kNmea: {
      std::string talkers;
      for (const auto& t : r.talkers)
        talkers += (talkers.empty() ? "" : ", ") + t;
      char rate[32];
      std::snprintf(rate, sizeof rate, "%.1f", r.sentences_per_s);
      return "NMEA (" + talkers + "; " + rate + " sentences/s)";
    }
    case ProbeKind::kAt:
      return "AT (answered OK)";
    case ProbeKind::kSilent:
      return r.text.empty() ? "silent" : "silent: " + r.text;
    case ProbeKind::kBusy:
      return "busy: " + r.text;
    case ProbeKind::kFailed:
      return "not opened: " + r.text;
  }
  return {};
}

class PortsCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    sub_ = app.add_subcommand(
        "ports",
        "List the serial ports (real devices and simulator ports); --probe tells which is which");
    sub_->add_flag("--json", json_, "Print a JSON array instead of a table");
    sub_->add_flag("--probe", probe_,
                   "Tell which port is which: open each port no one else holds, listen for NMEA "
                   "for up to 2 s, send \"AT\\r\\n\" once to a port that sent none, and report "
                   "NMEA (talkers, rate), AT (answered OK), silent, or busy (by whom)");
    auto* profile = sub_->add_option("--profile", profile_,
                                     "The module's profile, for --start-gnss: its set-up, start "
                                     "and stop")
                        ->check(cli::ProfileChoices(true));
    sub_->add_flag("--start-gnss", start_gnss_,
                   "With --probe: start GNSS through the AT port found (the profile's set-up and "
                   "start), probe the silent ports again, then stop it (the profile's stop)")
        ->needs(profile);
    sub_->add_option("--sysfs-root", roots_.discovery.sysfs_tty, "tty class folder to scan")
        ->capture_default_str();
    sub_->add_option("--dev-root", roots_.discovery.dev, "device folder (for serial/by-id)")
        ->capture_default_str();
    sub_->add_option("--proc-root", roots_.proc, "process folder (who holds a port)")
        ->capture_default_str();
    return sub_;
  }

  int Run() override {
    if (!sub_->parsed())
      return cli::kExitOk;
    const auto ports = DiscoverPorts(roots_.discovery);
    probe_ = probe_ || start_gnss_;
    std::optional<ModuleProfile> profile;
    if (start_gnss_ && !(profile = LoadProfile()))
      return cli::kExitUsage;
    std::vector<ProbeReport> probes;
    if (probe_)
      cli::ProbePorts(ports, AllOf(ports), roots_, &probes);
    if (profile && !cli::ProbeAgainWithGnssOn(*profile, ports, roots_, &probes, std::cerr))
      exit_ = cli::kExitFailure;
    if (json_) {
      auto out = nlohmann::json::array();
      for (std::size_t i = 0; i < ports.size(); ++i) {
        nlohmann::json entry = {{"index", i},
                                {"name", ports[i].text},
                                {"device", ports[i].device},
                                {"by_id", ports[i].by_id},
                                {"simulated", ports[i].simulated}};
        if (probe_)
          entry["probe"] = ProbeJson(probes[i]);
        out.push_back(entry);
      }
      std::cout << out.dump(2) << "\n";
      return exit_;
    }
    if (ports.empty()) {
      std::cout << "No serial ports found.\n";
      return cli::kExitOk;
    }
    // The index is what the settings keep; the name is what opens the port.
    for (std::size_t i = 0; i < ports.size(); ++i) {
      const auto& p = ports[i];
      std::cout << i << "\t" << (p.by_id.empty() ? p.text : p.device);
      if (!p.by_id.empty())
        std::cout << "\t" << p.by_id;
      if (p.simulated)
        std::cout << "\t(simulator)";
      if (probe_)
        std::cout << "\t" << Verdict(probes[i]);
      std::cout << "\n";
    }
    return exit_;
  }

 private:
  static std::vector<std::size_t> AllOf(const std::vector<PortEntry>& ports) {
    std::vector<std::size_t> all(ports.size());
    for (std::size_t i = 0; i < all.size(); ++i)
      all[i] = i;
    return all;
  }

  std::optional<ModuleProfile> LoadProfile() const {
    ProfileLoad load = ResolveProfile(profile_);
    for (const std::string& problem : load.problems)
      std::cerr << "zuvek-cli: " << problem << "\n";
    return load.profile;
  }

  static nlohmann::json ProbeJson(const ProbeReport& r) {
    nlohmann::json j = {{"result", ProbeKindName(r.kind)}, {"text", r.text}};
    if (r.kind == ProbeKind::kNmea) {
      j["talkers"] = r.talkers;
      j["sentences_per_s"] = r.sentences_per_s;
    }
    if (r.kind == ProbeKind::kBusy) {
      auto holders = nlohmann::json::array();
      for (const auto& h : r.holders)
        holders.push_back({{"pid", h.pid}, {"name", h.name}});
      j["holders"] = holders;
    }
    return j;
  }

  CLI::App* sub_ = nullptr;
  bool json_ = false;
  bool probe_ = false;
  bool start_gnss_ = false;
  std::string profile_;
  int exit_ = cli::kExitOk;
  DiagnosisRoots roots_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(PortsCommand);
