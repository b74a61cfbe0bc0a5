#include "platform/sim_ports.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinkSuffixes[] = {"-AT", "-NMEA"};

struct ScaleFile {
  double scale = 0;
  long pid = 0;
};

std::optional<ScaleFile> ReadScaleFile(const std::string& path) {
  std::ifstream in(path);
  if (!in)
    return std::nullopt;
  ScaleFile file;
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos)
      continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (key == "time_scale")
      std::from_chars(first, last, file.scale);
    else if (key == "pid")
      std::from_chars(first, last, file.pid);
  }
  if (!(file.scale > 0) || file.pid <= 0)
    return std::nullopt;
  return file;
}

bool ProcessAlive(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The simulator's name when `link` is named like one of its links.
std::optional<std::string> SimulatorName(const fs::path& link) {
  const std::string file = link.filename().string();
  for (const std::string_view suffix : kLinkSuffixes) {
    if (file.size() > suffix.size() &&
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
      return file.substr(0, file.size() - suffix.size());
  }
  return std::nullopt;
}

std::optional<SimPort> FromLink(const fs::path& link) {
  const auto name = SimulatorName(link);
  if (!name)
    return std::nullopt;
  std::error_code ec;
  const fs::path folder = fs::absolute(link, ec).lexically_normal().parent_path();
  SimPort port;
  port.name = *name;
  port.scale_path = SimScalePath(folder.string(), *name);
  const auto file = ReadScaleFile(port.scale_path);
  if (!file || !ProcessAlive(file->pid))
    return std::nullopt;
  port.scale = file->scale;
  return port;
}

}  // namespace

std::string SimPortsFolder() {
  if (const char* dir = std::getenv("ZUVEK_SIM_DIR"); dir && *dir)
    return dir;
  return "/tmp/zuvek-sim-" + std::to_string(static_cast<unsigned long>(getuid()));
}

std::string SimScalePath(const std::string& folder, const std::string& name) {
  return folder + "/" + name + ".scale";
}

bool PublishSimScale(const std::string& path, double scale, std::string* error) {
  std::ostringstream text;
  text.precision(17);
  text << "time_scale=" << scale << "\npid=" << static_cast<long>(::getpid()) << "\n";
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
      if (error)
        *error = "cannot write " + path + " (is the ports folder writable?)";
      std::remove(tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    if (error)
      *error = "cannot write " + path + ": " + ec.message();
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

void RemoveSimScale(const std::string& path) {
  const auto file = ReadScaleFile(path);
  if (file && file->pid == static_cast<long>(::getpid()))
    std::remove(path.c_str());
}

std::optional<SimPort> FindSimPort(const std::string& path) {
  std::error_code ec;
  const fs::path given(path);
  const fs::path device = fs::canonical(given, ec);
  if (ec)
    return std::nullopt;  // nothing there
  if (fs::is_symlink(given, ec)) {
    if (auto port = FromLink(given))
      return port;
  }
  // A device path: find the link that points at it.
  const std::string folder = SimPortsFolder();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code lec;
    if (!it->is_symlink(lec) || fs::canonical(it->path(), lec) != device || lec)
      continue;
    if (auto port = FromLink(it->path()))
      return port;
  }
  return std::nullopt;
}

}  // namespace platform
