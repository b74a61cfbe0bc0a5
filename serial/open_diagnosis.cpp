#include "serial/open_diagnosis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/group_name.h"
#include "platform/win_errors.h"
#include "serial/posix_tty.h"

namespace {

bool SessionInGroup(gid_t gid) {
  if (::getegid() == gid)
    return true;
  const int n = ::getgroups(0, nullptr);
  if (n <= 0)
    return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(n));
  const int got = ::getgroups(n, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

std::string PortList(const std::vector<std::string>& ports) {
  if (ports.empty()) {
    return "No serial port is found here: check the cable and the module's power (sudo dmesg "
           "shows what the kernel saw).";
  }
  std::string list;
  for (std::size_t i = 0; i < ports.size(); ++i)
    list += (i ? ", " : "") + ports[i];
  return "The serial ports here are: " + list + " (zuvek-cli ports lists them).";
}

}  // namespace

OpenFacts GatherOpenFacts(const std::string& path, const DiagnosisRoots& roots) {
  OpenFacts facts;
  struct stat st {};
  facts.exists = ::stat(path.c_str(), &st) == 0;
  if (facts.exists) {
    facts.char_device = S_ISCHR(st.st_mode);
    facts.may_open = ::access(path.c_str(), R_OK | W_OK) == 0;
    facts.group = platform::GroupName(st.st_gid);
    facts.in_group = SessionInGroup(st.st_gid);
    HolderScan scan = FindPortHolders(path, roots.proc);
    facts.holders = std::move(scan.holders);
    facts.unreadable = std::move(scan.unreadable);
  }
  for (const PortEntry& p : DiscoverPorts(roots.discovery))
    facts.ports.push_back(p.text);
  return facts;
}

std::string DescribeOpenFailure(const std::string& name, const std::string& path, DWORD error,
                                const OpenFacts& facts) {
  if (name.empty())
    return "No port was chosen. " + PortList(facts.ports);
  switch (error) {
    case win::kFilenameExcedRange:
      return "The port name is longer than " + std::to_string(tty::kMaxPortName) +
             " characters: give its short name (ttyUSB2) or its /dev/serial/by-id name.";
    case win::kFileNotFound:
    case win::kPathNotFound:
      if (facts.exists) {
        return path +
               " is there, but no device answers behind it (unplugged, or a placeholder "
               "port). " +
               PortList(facts.ports);
      }
      return path + " does not exist. " + PortList(facts.ports);
    case win::kNotSupported:
      return path + " is not a serial device. Choose a serial port: " + PortList(facts.ports);
    case win::kAccessDenied:
      if (!facts.holders.empty())
        return DescribeHolders(path, facts.holders);
      if (!facts.may_open) {
        if (!facts.in_group && facts.group == "root")
          return "You may not open " + path + ": it belongs to root alone. " + kRootDeviceAdvice;
        if (!facts.in_group) {
          return "You may not open " + path + ": it belongs to the group " + facts.group +
                 ", which you are not in. " +
                 (facts.group == "dialout" ? std::string(kJoinGroupAdvice)
                                           : "Run sudo usermod -aG " + facts.group +
                                                 " $USER, then log out and in again.");
        }
        return "You may not open " + path +
               " (its permissions refuse it): ask for read and "
               "write access to it (ls -l " +
               path + " shows them).";
      }
      return path +
             " is in use by another program that holds it for itself. Close that "
             "program (sudo fuser -v " +
             path + " shows which), then open the port again.";
    case win::kBusy:
      return path + " is busy. Wait a moment, then open the port again.";
    case win::kTooManyOpenFiles:
      return "This program has too many files open to open " + path +
             ". Close it and start it "
             "again.";
    default:
      return path + " could not be opened (system error " + std::to_string(error) +
             "). Check that it is the module's serial port: " + PortList(facts.ports);
  }
}

std::string CheckNoOtherHolder(const std::string& path, const DiagnosisRoots& roots,
                               std::string* unseen) {
  const HolderScan scan = FindPortHolders(path, roots.proc);
  for (const PortHolder& p : scan.unreadable) {
    if (unseen && p.name == "ModemManager") {
      *unseen = "ModemManager (pid " + std::to_string(p.pid) + ") is running, and whether it has " +
                path +
                " open cannot be seen as this user; if AT replies go missing, run "
                "zuvek-cli doctor.";
    }
  }
  return scan.holders.empty() ? std::string() : DescribeHolders(path, scan.holders);
}
