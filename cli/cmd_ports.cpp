// zuvek-cli ports: the serial ports the port lists offer, by index; with
// --probe, what each one is (NMEA, AT, silent, or held by another program).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/command.h"
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
    std::vector<ProbeReport> probes;
    if (probe_)
      probes = ProbeAll(ports);
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
      return cli::kExitOk;
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
    return cli::kExitOk;
  }

 private:
  // All ports at once: the listening windows overlap.
  std::vector<ProbeReport> ProbeAll(const std::vector<PortEntry>& ports) const {
    std::vector<ProbeReport> out(ports.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < ports.size(); ++i) {
      threads.emplace_back(
          [this, &ports, &out, i] { out[i] = ProbePort(ports[i].text, ProbeTiming{}, roots_); });
    }
    for (auto& t : threads)
      t.join();
    return out;
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
  DiagnosisRoots roots_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(PortsCommand);
