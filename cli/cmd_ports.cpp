// zuvek-cli ports: the serial ports the port lists offer, by index.
#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "serial/port_discovery.h"

namespace {

class PortsCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    sub_ = app.add_subcommand("ports", "List the serial ports (real devices and simulator ports)");
    sub_->add_flag("--json", json_, "Print a JSON array instead of a table");
    sub_->add_option("--sysfs-root", roots_.sysfs_tty, "tty class folder to scan")
        ->capture_default_str();
    sub_->add_option("--dev-root", roots_.dev, "device folder (for serial/by-id)")
        ->capture_default_str();
    return sub_;
  }

  int Run() override {
    if (!sub_->parsed())
      return cli::kExitOk;
    const auto ports = DiscoverPorts(roots_);
    if (json_) {
      auto out = nlohmann::json::array();
      for (std::size_t i = 0; i < ports.size(); ++i) {
        out.push_back({{"index", i},
                       {"name", ports[i].text},
                       {"device", ports[i].device},
                       {"by_id", ports[i].by_id},
                       {"simulated", ports[i].simulated}});
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
      std::cout << "\n";
    }
    return cli::kExitOk;
  }

 private:
  CLI::App* sub_ = nullptr;
  bool json_ = false;
  DiscoveryRoots roots_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(PortsCommand);
