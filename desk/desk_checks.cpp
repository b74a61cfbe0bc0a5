#include "desk/desk_checks.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

#include "config/app_config.h"
#include "config/config_checks.h"
#include "config/side_settings.h"
#include "platform/folders.h"
#include "platform/group_name.h"
#include "platform/working_folders.h"
#include "serial/open_diagnosis.h"

namespace {

constexpr const char* kModemManagerWayOut =
    "stop it (sudo systemctl stop ModemManager) or tell it to leave the module alone (a udev "
    "rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\", see the README).";

std::string DevicePathOf(const PortEntry& p, const DeskRoots& roots) {
  return p.simulated ? p.text : roots.diagnosis.discovery.dev + "/" + p.device;
}

bool GroupListsUser(gid_t gid, const std::string& user) {
  const group* g = ::getgrgid(gid);
  if (!g || user.empty())
    return false;
  for (char** m = g->gr_mem; m && *m; ++m) {
    if (user == *m)
      return true;
  }
  return false;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i)
    out += (i ? ", " : "") + items[i];
  return out;
}

std::string Pids(const std::vector<PortHolder>& procs) {
  std::vector<std::string> pids;
  for (const auto& p : procs)
    pids.push_back(std::to_string(p.pid));
  return (pids.size() == 1 ? "pid " : "pids ") + Join(pids);
}

// udev's database entry of a character device says whether ModemManager is
// told to leave it alone.
bool UdevTellsModemManagerToIgnore(const std::string& path, const std::string& udev_data) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
    return false;
  std::ifstream in(udev_data + "/c" + std::to_string(major(st.st_rdev)) + ":" +
                   std::to_string(minor(st.st_rdev)));
  std::string line;
  while (std::getline(in, line)) {
    if (line == "E:ID_MM_DEVICE_IGNORE=1")
      return true;
  }
  return false;
}

}  // namespace

DeskIdentity CurrentIdentity() {
  DeskIdentity who;
  who.uid = ::getuid();
  if (const passwd* pw = ::getpwuid(who.uid))
    who.user = pw->pw_name;
  who.session_groups.push_back(::getegid());
  const int n = ::getgroups(0, nullptr);
  if (n > 0) {
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, groups.data());
    if (got > 0)
      who.session_groups.insert(who.session_groups.end(), groups.begin(), groups.begin() + got);
  }
  return who;
}

DeskCheck CheckSerialGroup(const std::vector<PortEntry>& ports, const DeskIdentity& who,
                           const DeskRoots& roots) {
  DeskCheck c{"serial port group", true, {}};
  std::set<gid_t> gids;
  for (const auto& p : ports) {
    struct stat st {};
    if (!p.simulated && ::stat(DevicePathOf(p, roots).c_str(), &st) == 0)
      gids.insert(st.st_gid);
  }
  if (gids.empty()) {
    const group* dialout = ::getgrnam("dialout");
    if (!dialout) {
      c.text = "no real serial port and no dialout group here; nothing to join.";
      return c;
    }
    gids.insert(dialout->gr_gid);
  }
  std::vector<std::string> missing, relogin, names;
  for (gid_t gid : gids) {
    const std::string name = platform::GroupName(gid);
    names.push_back(name);
    const bool in_session = std::find(who.session_groups.begin(), who.session_groups.end(), gid) !=
                            who.session_groups.end();
    if (in_session || who.uid == 0)
      continue;
    (GroupListsUser(gid, who.user) ? relogin : missing).push_back(name);
  }
  const std::string groups = Join(names);
  if (who.uid == 0) {
    c.text = "running as root, every port opens (a user needs the group " + groups + ").";
  } else if (std::find(missing.begin(), missing.end(), "root") != missing.end()) {
    c.ok = false;  // nobody should join root
    c.text = std::string("a serial port belongs to root alone. ") + kRootDeviceAdvice;
  } else if (!missing.empty()) {
    c.ok = false;
    c.text = "you are not in the group " + Join(missing) +
             ", which owns the serial ports: run sudo usermod -aG " + Join(missing) +
             " $USER, then log out and in again.";
  } else if (!relogin.empty()) {
    c.ok = false;
    c.text = "you were added to the group " + Join(relogin) +
             ", but this session began before: log out and in again.";
  } else {
    c.text = "you are in the group " + groups + ", which owns the serial ports.";
  }
  return c;
}

DeskCheck CheckModemManager(const std::vector<PortEntry>& ports, const DeskRoots& roots) {
  DeskCheck c{"ModemManager", true, {}};
  const auto mm = FindProcessesNamed("ModemManager", roots.diagnosis.proc);
  if (mm.empty()) {
    c.text = "not running.";
    return c;
  }
  std::vector<std::string> held, exposed;
  bool unseen = false;
  for (const auto& p : ports) {
    const std::string path = DevicePathOf(p, roots);
    const HolderScan scan = FindPortHolders(path, roots.diagnosis.proc);
    const auto is_mm = [](const PortHolder& h) { return h.name == "ModemManager"; };
    if (std::any_of(scan.holders.begin(), scan.holders.end(), is_mm))
      held.push_back(path);
    unseen = unseen || std::any_of(scan.unreadable.begin(), scan.unreadable.end(), is_mm);
    if (!p.simulated && !UdevTellsModemManagerToIgnore(path, roots.udev_data))
      exposed.push_back(path);
  }
  const std::string running = "running (" + Pids(mm) + ")";
  if (!held.empty()) {
    c.ok = false;
    c.text = running + " and holds " + Join(held) + ": " + kModemManagerWayOut;
  } else if (!exposed.empty()) {
    c.ok = false;
    c.text = running + "; it may open " + Join(exposed) + " and take the module's replies" +
             (unseen ? " (which ports it holds now cannot be seen without root)" : "") + ": " +
             kModemManagerWayOut;
  } else if (std::any_of(ports.begin(), ports.end(),
                         [](const PortEntry& p) { return !p.simulated; })) {
    c.text = running + ", told to leave every serial port alone (ID_MM_DEVICE_IGNORE).";
  } else {
    c.text =
        running + "; no module is plugged in. Before one is, " + std::string(kModemManagerWayOut);
  }
  return c;
}

DeskCheck CheckPortsFound(const std::vector<PortEntry>& ports) {
  DeskCheck c{"serial ports", true, {}};
  if (ports.empty()) {
    c.ok = false;
    c.text =
        "none found: plug in the module and see what the kernel made of it (sudo dmesg | tail); "
        "zuvek-cli sim gives simulator ports.";
    return c;
  }
  std::vector<std::string> names;
  for (const auto& p : ports) {
    if (p.simulated)
      names.push_back(p.text + " (simulator)");
    else if (!p.by_id.empty())
      names.push_back(p.device + " (" + p.by_id + ")");
    else
      names.push_back(p.device);
  }
  c.text = std::to_string(ports.size()) + " found: " + Join(names) + ".";
  return c;
}

DeskCheck CheckWorkingFolders(const DeskRoots& roots, const platform::Clock& clock) {
  DeskCheck c{"log folders", true, {}};
  const std::string exe = roots.exe_dir.empty() ? platform::GetProgramFolder() : roots.exe_dir;
  std::string base = exe;
  std::string moved;
  if (!LogsGoBesideProgram(exe)) {
    base = platform::UserDataFolder();
    moved = " (the program's folder " + exe +
            (IsInstalledProgramFolder(exe) ? " is an installed program's)" : " cannot be written)");
    if (base.empty()) {
      c.ok = false;
      c.text = FolderWriteProblem("The program's folder", exe.empty() ? "." : exe) +
               " No per-user data folder could be made either.";
      return c;
    }
  }
  // What exists is checked as it is; what is missing is made in `base`.
  for (const auto& [what, dir] : {std::pair<std::string, std::string>{
                                      "The day folder", base + FormatDayFolderName(clock.Now())},
                                  {"The NMEA log folder", base + "NMEA_LOG"},
                                  {"The log folder", base.empty() ? "." : base}}) {
    struct stat st {};
    if (what != "The log folder" && ::stat(dir.c_str(), &st) != 0)
      continue;
    const std::string problem = FolderWriteProblem(what, dir);
    if (!problem.empty()) {
      c.ok = false;
      c.text = problem;
      return c;
    }
  }
  c.text = "the logs go to " + (base.empty() ? std::string(".") : base) + moved + ", writable.";
  return c;
}

DeskCheck CheckSettingsFile(const DeskRoots& roots) {
  DeskCheck c{"settings file", true, {}};
  const std::string& path = roots.settings;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    c.text = path + " is not there: the defaults are used (the window writes it when it closes).";
    return c;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string bytes;
  int err = fd < 0 ? errno : 0;
  if (fd >= 0) {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && bytes.size() < (1u << 20))
      bytes.append(buf, static_cast<std::size_t>(n));
    if (n < 0)
      err = errno;
    ::close(fd);
  }
  if (err != 0) {
    c.ok = false;
    c.text = path + " cannot be read: " + std::strerror(err) +
             ". Fix its rights or move it away; until then the defaults are used.";
    return c;
  }
  app_config config;
  LoadConfigFromBytes(bytes, config);
  if (config.LoadedMembers() < kConfigMembers) {
    c.ok = false;
    c.text = path + " is damaged: " + std::to_string(config.LoadedMembers()) + " of its " +
             std::to_string(kConfigMembers) +
             " settings could be read, the rest keep their defaults. Move it away and set the "
             "options again in the window.";
    return c;
  }
  if (const auto unusable = UnusableConfigValues(config, path); !unusable.empty()) {
    c.ok = false;
    c.text = unusable.front() + ".";
    return c;
  }
  c.text = path + " reads whole (fix time-out " + std::to_string(config.GetTimeout()) + " s).";
  return c;
}

DeskCheck CheckSideSettingsFile(const DeskRoots& roots) {
  DeskCheck c{kSideSettingsFileName, true, {}};
  const SideSettingsLoad load = LoadSideSettingsFrom(roots.side_settings);
  if (!load.found) {
    c.text = roots.side_settings + " is not there: every setting keeps its default.";
  } else if (load.problems.empty()) {
    c.text = roots.side_settings + " holds no mistake.";
  } else {
    c.ok = false;
    for (const std::string& problem : load.problems)
      c.text += (c.text.empty() ? "" : "; ") + problem;
    c.text += ". Mend it (man zuvek.toml); until then each of those settings keeps its default.";
  }
  return c;
}

std::vector<DeskCheck> CheckDesk(const DeskRoots& roots, const DeskIdentity& who,
                                 const platform::Clock& clock) {
  const auto ports = DiscoverPorts(roots.diagnosis.discovery);
  return {CheckSerialGroup(ports, who, roots),
          CheckModemManager(ports, roots),
          CheckPortsFound(ports),
          CheckWorkingFolders(roots, clock),
          CheckSettingsFile(roots),
          CheckSideSettingsFile(roots)};
}
