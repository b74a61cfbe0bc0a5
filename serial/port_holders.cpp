#include "serial/port_holders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <memory>

namespace {

bool IsPid(const char* name) {
  if (!*name)
    return false;
  for (const char* p = name; *p; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p)))
      return false;
  }
  return true;
}

std::string ProcessName(const std::string& proc_dir) {
  std::ifstream in(proc_dir + "/comm");
  std::string name;
  std::getline(in, name);
  return name.empty() ? "an unnamed process" : name;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Calls f(pid, "/proc/PID") for every process folder.
template <typename F>
void ForEachProcess(const std::string& proc_root, F f) {
  DirPtr proc(::opendir(proc_root.c_str()));
  if (!proc)
    return;
  while (const dirent* e = ::readdir(proc.get())) {
    if (!IsPid(e->d_name) || std::char_traits<char>::length(e->d_name) > 9)
      continue;
    f(std::atoi(e->d_name), proc_root + "/" + e->d_name);
  }
}

enum class Holds { kNo, kYes, kUnreadable };

Holds ProcessHolds(const std::string& proc_dir, dev_t rdev) {
  const std::string fd_dir = proc_dir + "/fd";
  DirPtr fds(::opendir(fd_dir.c_str()));
  if (!fds)
    return errno == EACCES || errno == EPERM ? Holds::kUnreadable : Holds::kNo;
  while (const dirent* e = ::readdir(fds.get())) {
    if (!IsPid(e->d_name))
      continue;
    // stat follows the link to the open file itself, whatever name it had.
    struct stat st {};
    if (::stat((fd_dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
        st.st_rdev == rdev)
      return Holds::kYes;
  }
  return Holds::kNo;
}

void SortByPid(std::vector<PortHolder>* v) {
  std::sort(v->begin(), v->end(),
            [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
}

}  // namespace

HolderScan FindPortHolders(const std::string& device_path, const std::string& proc_root,
                           pid_t self_pid) {
  HolderScan scan;
  struct stat dev {};
  if (::stat(device_path.c_str(), &dev) != 0 || !S_ISCHR(dev.st_mode))
    return scan;
  const pid_t self = self_pid < 0 ? ::getpid() : self_pid;
  ForEachProcess(proc_root, [&](int pid, const std::string& dir) {
    if (pid == self)
      return;
    switch (ProcessHolds(dir, dev.st_rdev)) {
      case Holds::kYes:
        scan.holders.push_back({pid, ProcessName(dir)});
        break;
      case Holds::kUnreadable:
        scan.unreadable.push_back({pid, ProcessName(dir)});
        break;
      case Holds::kNo:
        break;
    }
  });
  AddModemManagerHolder(device_path, platform::AskModemManagerForPorts(), &scan);
  SortByPid(&scan.holders);
  SortByPid(&scan.unreadable);
  return scan;
}

void AddModemManagerHolder(const std::string& device_path, const platform::ModemManagerPorts& mm,
                           HolderScan* scan, const std::string& dev_root) {
  struct stat dev {};
  if (mm.pid <= 0 || ::stat(device_path.c_str(), &dev) != 0 || !S_ISCHR(dev.st_mode))
    return;
  const auto is_mm = [&](const PortHolder& h) { return h.pid == mm.pid; };
  auto& hidden = scan->unreadable;
  hidden.erase(std::remove_if(hidden.begin(), hidden.end(), is_mm), hidden.end());
  if (std::any_of(scan->holders.begin(), scan->holders.end(), is_mm))
    return;
  for (const std::string& port : mm.ports) {
    const std::string path = port.rfind('/', 0) == 0 ? port : dev_root + "/" + port;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == dev.st_rdev) {
      scan->holders.push_back({mm.pid, "ModemManager"});
      return;
    }
  }
}

std::vector<PortHolder> FindProcessesNamed(const std::string& name, const std::string& proc_root) {
  std::vector<PortHolder> found;
  ForEachProcess(proc_root, [&](int pid, const std::string& dir) {
    if (ProcessName(dir) == name)
      found.push_back({pid, name});
  });
  SortByPid(&found);
  return found;
}

std::string DescribeHolders(const std::string& device_path,
                            const std::vector<PortHolder>& holders) {
  std::string who;
  bool modem_manager = false;
  for (std::size_t i = 0; i < holders.size(); ++i) {
    if (i > 0)
      who += i + 1 == holders.size() ? " and " : ", ";
    who += holders[i].name + " (pid " + std::to_string(holders[i].pid) + ")";
    modem_manager = modem_manager || holders[i].name == "ModemManager";
  }
  std::string text = device_path + " is in use by " + who + ".";
  if (modem_manager && holders.size() == 1) {
    text +=
        " Stop it (systemctl stop ModemManager) or tell it to leave the module alone (udev: "
        "ENV{ID_MM_DEVICE_IGNORE}=\"1\").";
  } else if (modem_manager) {
    text +=
        " Close the other programs; stop ModemManager (systemctl stop ModemManager) or tell it "
        "to leave the module alone (udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\").";
  } else {
    text += holders.size() == 1 ? " Close that program, then open the port again."
                                : " Close those programs, then open the port again.";
  }
  return text;
}
