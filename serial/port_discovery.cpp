#include "serial/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "platform/sim_ports.h"

namespace fs = std::filesystem;

namespace {

// Splits "ttyUSB10" into stem "ttyUSB" and number 10; no trailing digits
// gives number -1 (sorting before every numbered name of the same stem).
void SplitNatural(const std::string& name, std::string* stem, long long* number) {
  std::size_t end = name.size();
  while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1])))
    --end;
  *stem = name.substr(0, end);
  const std::string digits = name.substr(end).substr(0, 18);
  *number = digits.empty() ? -1 : std::stoll(digits);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ttyS placeholders report UART type 0 ("unknown").
bool IsRealUart(const fs::path& entry) {
  std::ifstream in(entry / "type");
  int type = 0;
  return (in >> type) && type != 0;
}

// Kernel name -> /dev/serial/by-id link path.
std::map<std::string, std::string> ByIdNames(const std::string& dev_root) {
  std::map<std::string, std::string> names;
  std::error_code ec;
  const fs::path dir = fs::path(dev_root) / "serial" / "by-id";
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code lec;
    if (!it->is_symlink(lec))
      continue;
    const fs::path target = fs::read_symlink(it->path(), lec);
    if (lec)
      continue;
    const std::string kernel = target.filename().string();
    auto [pos, fresh] = names.emplace(kernel, it->path().string());
    // Several links to one device: keep the first in name order.
    if (!fresh && it->path().string() < pos->second)
      pos->second = it->path().string();
  }
  return names;
}

void AddRealDevices(const DiscoveryRoots& roots, std::vector<PortEntry>* out) {
  const auto by_id = ByIdNames(roots.dev);
  std::error_code ec;
  for (fs::directory_iterator it(roots.sysfs_tty, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code dec;
    // Only ttys with a device behind them are hardware.
    if (!fs::exists(it->path() / "device", dec))
      continue;
    if (name.rfind("ttyS", 0) == 0 && !IsRealUart(it->path()))
      continue;
    PortEntry e;
    e.device = name;
    auto id = by_id.find(name);
    if (id != by_id.end())
      e.by_id = id->second;
    e.text = e.by_id.empty() ? name : e.by_id;
    out->push_back(std::move(e));
  }
}

void AddSimulatorPorts(const std::string& folder, std::vector<PortEntry>* out) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code lec;
    if (!it->is_symlink(lec))
      continue;
    // A dangling link (the simulator has gone) is no port.
    if (!fs::exists(it->path(), lec))
      continue;
    PortEntry e;
    e.text = it->path().string();
    e.device = fs::read_symlink(it->path(), lec).string();
    e.simulated = true;
    out->push_back(std::move(e));
  }
}

// The name that decides the order: the kernel name, or the link's name.
std::string SortKey(const PortEntry& e) {
  return e.simulated ? BaseName(e.text) : e.device;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  std::string sa, sb;
  long long na, nb;
  SplitNatural(a, &sa, &na);
  SplitNatural(b, &sb, &nb);
  if (sa != sb)
    return sa < sb;
  if (na != nb)
    return na < nb;
  return a < b;
}

std::vector<PortEntry> DiscoverPorts(const DiscoveryRoots& roots) {
  std::vector<PortEntry> ports;
  AddRealDevices(roots, &ports);
  AddSimulatorPorts(roots.sim.empty() ? platform::SimPortsFolder() : roots.sim, &ports);
  std::stable_sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) {
    const std::string ka = SortKey(a), kb = SortKey(b);
    if (ka != kb)
      return NaturalLess(ka, kb);
    return a.text < b.text;
  });
  if (ports.size() > kMaxPortEntries)
    ports.resize(kMaxPortEntries);
  return ports;
}

void FillPortLists(ComboModel& atPorts, ComboModel& nmeaPorts, const DiscoveryRoots& roots) {
  const auto ports = DiscoverPorts(roots);
  atPorts.ResetContent();
  nmeaPorts.ResetContent();
  for (std::size_t i = 0; i < ports.size(); ++i) {
    atPorts.InsertString(static_cast<int>(i), ports[i].text);
    nmeaPorts.InsertString(static_cast<int>(i), ports[i].text);
  }
}

void FillBaudList(ComboModel& list) {
  // Inserted at explicit indexes, which do not sort.
  list.ResetContent();
  list.InsertString(0, "4800");
  list.InsertString(0, "9600");
  list.InsertString(1, "19200");
  list.InsertString(2, "115200");
  list.SetCurSel(2);
}

void FillChipList(ComboModel& list) {
  list.ResetContent();
  list.InsertString(0, "K57");
  list.InsertString(1, "VK60");
  list.SetCurSel(0);
}

DWORD BaudRateForIndex(int index) {
  switch (index) {
    case 0:
      return 9600;
    case 1:
      return 19200;
    case 2:
    case ComboModel::kErr:
      return 115200;
    default:
      return 4800;
  }
}
