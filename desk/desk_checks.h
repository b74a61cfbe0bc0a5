// The checks of the Linux desk the tool runs on, for `zuvek-cli doctor`: what
// stops a bench engineer on a fresh Debian desktop before the first test.
// Each check gives one line: fine or a problem, and what to do.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "serial/open_diagnosis.h"

struct DeskCheck {
  std::string name;  // "dialout group", "ModemManager", ...
  bool ok = true;
  std::string text;  // what was found, and on a problem what to do
};

// Who runs the tool.
struct DeskIdentity {
  uid_t uid = 0;
  std::string user;
  std::vector<gid_t> session_groups;  // effective and supplementary
};
DeskIdentity CurrentIdentity();

struct DeskRoots {
  DiagnosisRoots diagnosis;                  // /proc and the port discovery folders
  std::string udev_data = "/run/udev/data";  // udev's device database
  std::string settings = "TTFF.cfg";         // the settings file
  std::string side_settings = "zuvek.toml";  // the settings TTFF.cfg has no room for
  std::string exe_dir;                       // empty: the program's own folder
};

// The group owning the real serial ports (dialout when there are none), and
// whether the user may open them.
DeskCheck CheckSerialGroup(const std::vector<PortEntry>& ports, const DeskIdentity& who,
                           const DeskRoots& roots);
// ModemManager running, and which ports it holds.
DeskCheck CheckModemManager(const std::vector<PortEntry>& ports, const DeskRoots& roots);
// The serial ports found, with their /dev/serial/by-id names.
DeskCheck CheckPortsFound(const std::vector<PortEntry>& ports);
// The folders the logs go to can be written.
DeskCheck CheckWorkingFolders(const DeskRoots& roots, const platform::Clock& clock);
// The settings file can be read whole (or is absent: the defaults are used).
DeskCheck CheckSettingsFile(const DeskRoots& roots);

// zuvek.toml holds no mistake (or is absent: every default is used).
DeskCheck CheckSideSettingsFile(const DeskRoots& roots);

// Every check above, in that order.
std::vector<DeskCheck> CheckDesk(const DeskRoots& roots, const DeskIdentity& who,
                                 const platform::Clock& clock);
