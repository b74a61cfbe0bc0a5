// zuvek-cli doctor: checks the desk in one go (the serial group, ModemManager,
// the ports, the log folders, the settings file), one line per check.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command.h"
#include "desk/desk_checks.h"
#include "platform/clock.h"

namespace {

class DoctorCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    sub_ = app.add_subcommand(
        "doctor",
        "Check this desk: the serial group, ModemManager, the serial ports, the log folders, "
        "TTFF.cfg and zuvek.toml; one line per check with what to do. Exit code 0 when all is "
        "fine, 1 when "
        "something needs doing");
    sub_->add_option("--sysfs-root", roots_.diagnosis.discovery.sysfs_tty,
                     "tty class folder to scan")
        ->capture_default_str();
    sub_->add_option("--dev-root", roots_.diagnosis.discovery.dev, "device folder")
        ->capture_default_str();
    sub_->add_option("--proc-root", roots_.diagnosis.proc, "process folder")->capture_default_str();
    sub_->add_option("--udev-root", roots_.udev_data, "udev's device database")
        ->capture_default_str();
    sub_->add_option("--program-dir", roots_.exe_dir,
                     "folder the logs go beside (default: the program's own)");
    return sub_;
  }

  int Run() override {
    if (!sub_->parsed())
      return cli::kExitOk;
    if (!roots_.exe_dir.empty() && roots_.exe_dir.back() != '/')
      roots_.exe_dir += '/';
    platform::RealClock clock;
    bool all_ok = true;
    for (const DeskCheck& c : CheckDesk(roots_, CurrentIdentity(), clock)) {
      std::cout << (c.ok ? "ok       " : "PROBLEM  ") << c.name << ": " << c.text << "\n";
      all_ok = all_ok && c.ok;
    }
    return all_ok ? cli::kExitOk : cli::kExitFailure;
  }

 private:
  CLI::App* sub_ = nullptr;
  DeskRoots roots_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(DoctorCommand);
