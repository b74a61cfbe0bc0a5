#include "supervisor/bench_file.h"

#include <toml++/toml.h>

#include <iterator>
#include <map>
#include <set>

#include "fix_rules/registry.h"
#include "geo/position_error.h"
#include "hooks/hook_table.h"
#include "platform/file_reads.h"
#include "profiles/profile_loader.h"
#include "serial/posix_tty.h"

namespace supervisor {

namespace {

constexpr const char* kModuleKeys =
    "name, at_port, nmea_port, at_baud, nmea_baud, profile, fix_rule, reference and "
    "[[module.hook]] tables";
constexpr const char* kTopKeys =
    "profile, fix_rule, reference, [[hook]] tables (for every module) and [[module]] tables";

// The [[hook]] tables at `node` added to `into`, their problems told.
void ReadHooks(const toml::node& node, const std::string& source, hooks::HookList& into,
               std::vector<std::string>& problems) {
  hooks::HookTableLoad load = hooks::ReadHookTables(node, source);
  into.insert(into.end(), load.hooks.begin(), load.hooks.end());
  problems.insert(problems.end(), load.problems.begin(), load.problems.end());
}

std::string At(const std::string& source, const toml::node& node) {
  return source + ":" + std::to_string(node.source().begin.line) + ": ";
}

// The problem with a profile, fix rule or reference text; empty when good.
std::string CheckSetting(const std::string& key, const std::string& value) {
  if (key == "fix_rule" && !fix_rules::IsKnown(value))
    return "unknown fix rule \"" + value + "\"; choose one of " + fix_rules::KnownNamesText();
  if (key == "reference") {
    std::string error;
    if (!ParseReference(value, &error))
      return error;
  }
  if (key == "profile") {
    const ProfileLoad load = ResolveProfile(value);
    if (!load.profile)
      return "the profile \"" + value + "\" is refused" +
             (load.problems.empty() ? "" : ": " + load.problems.front()) +
             "; see zuvek-cli profiles";
  }
  return {};
}

bool IsSetting(const std::string& key) {
  return key == "profile" || key == "fix_rule" || key == "reference";
}

// Reads a quoted text value, or tells what is wrong.
std::optional<std::string> Text(const std::string& source, const std::string& key,
                                const toml::node& node, std::vector<std::string>& problems) {
  const auto v = node.value_exact<std::string>();
  if (!v) {
    problems.push_back(At(source, node) + key + " must be a quoted text");
    return std::nullopt;
  }
  if (IsSetting(key)) {
    if (std::string why = CheckSetting(key, *v); !why.empty()) {
      problems.push_back(At(source, node) + key + ": " + why);
      return std::nullopt;
    }
  }
  return *v;
}

}  // namespace

bool IsGoodModuleName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 64)
    return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

namespace {

// The top level: the defaults into `defaults`; the [[module]] tables, or
// null.
const toml::array* ReadTop(const toml::table& root, const std::string& source,
                           std::map<std::string, std::string>& defaults, hooks::HookList& hooks,
                           std::vector<std::string>& problems) {
  const toml::array* modules = nullptr;
  for (const auto& [key, node] : root) {
    const std::string k(key.str());
    if (IsSetting(k)) {
      if (auto v = Text(source, k, node, problems))
        defaults[k] = *v;
    } else if (k == "hook") {
      ReadHooks(node, source, hooks, problems);
    } else if (k == "module") {
      modules = node.as_array();
      if (!modules || !modules->is_array_of_tables()) {
        problems.push_back(At(source, node) +
                           "module must be a list of tables, one [[module]] per module");
        modules = nullptr;
      }
    } else {
      problems.push_back(At(source, node) + "unknown key \"" + k + "\"; the file holds " +
                         kTopKeys);
    }
  }
  return modules;
}

// One text key of a module into it; false after telling what is wrong.
bool ReadModuleText(const std::string& source, const std::string& k, const toml::node& node,
                    BenchModule& m, std::vector<std::string>& problems) {
  auto v = Text(source, k, node, problems);
  if (!v)
    return false;
  if (k == "name" && !IsGoodModuleName(*v)) {
    problems.push_back(At(source, node) + "the module name \"" + *v +
                       "\" is a folder name: give it letters, digits, '.', '_' and '-' "
                       "only (at most 64)");
    return false;
  }
  std::string* const fields[] = {&m.name,    &m.at_port,  &m.nmea_port,
                                 &m.profile, &m.fix_rule, &m.reference};
  const char* const names[] = {"name", "at_port", "nmea_port", "profile", "fix_rule", "reference"};
  for (std::size_t i = 0; i < std::size(names); ++i)
    if (k == names[i])
      *fields[i] = *v;
  return true;
}

// Module `number`'s table, over the defaults.
BenchModule ReadModule(const toml::table& table, std::size_t number, const std::string& source,
                       std::map<std::string, std::string>& defaults,
                       const hooks::HookList& every_hooks, std::vector<std::string>& problems) {
  BenchModule m;
  m.profile = defaults["profile"];
  m.fix_rule = defaults["fix_rule"];
  m.reference = defaults["reference"];
  std::set<std::string> seen;
  hooks::HookList own;
  for (const auto& [key, node] : table) {
    const std::string k(key.str());
    seen.insert(k);
    if (k == "name" || k == "at_port" || k == "nmea_port" || IsSetting(k)) {
      ReadModuleText(source, k, node, m, problems);
    } else if (k == "hook") {
      ReadHooks(node, source, own, problems);
    } else if (k == "at_baud" || k == "nmea_baud") {
      const auto v = node.value_exact<std::int64_t>();
      if (!v || *v < 50 || *v > 4000000) {
        problems.push_back(At(source, node) + k +
                           " must be a whole number of bits per second from 50 to 4000000");
        continue;
      }
      (k == "at_baud" ? m.at_baud : m.nmea_baud) = static_cast<unsigned>(*v);
    } else {
      problems.push_back(At(source, node) + "unknown key \"" + k + "\" in module " +
                         std::to_string(number) + "; a module has " + kModuleKeys);
    }
  }
  for (const char* required : {"name", "at_port", "nmea_port"}) {
    if (!seen.count(required))
      problems.push_back(At(source, table) + "module " + std::to_string(number) + " has no " +
                         required + "; give every module a name, an at_port and a nmea_port");
  }
  m.hooks = hooks::MergeHooks(every_hooks, own);
  return m;
}

// Names and ports taken by the modules before.
struct Taken {
  std::map<std::string, std::size_t> names;  // name -> module number
  std::map<std::string, std::string> ports;  // port -> module name
};

// A name or a port that an earlier module has already.
void CheckTaken(const BenchModule& m, std::size_t number, const toml::table& table,
                const std::string& source, Taken& taken, std::vector<std::string>& problems) {
  if (!m.name.empty()) {
    if (auto it = taken.names.find(m.name); it != taken.names.end()) {
      problems.push_back(At(source, table) + "the name \"" + m.name + "\" is taken by module " +
                         std::to_string(it->second) + "; give every module a name of its own");
    } else {
      taken.names[m.name] = number;
    }
  }
  for (const std::string* port : {&m.at_port, &m.nmea_port}) {
    if (port->empty())
      continue;
    const std::string label = m.name.empty() ? "module " + std::to_string(number) : m.name;
    // ttyUSB2 and /dev/ttyUSB2 are one port.
    const std::string device = tty::DevicePath(*port);
    if (auto it = taken.ports.find(device); it != taken.ports.end()) {
      problems.push_back(At(source, table) + "the port " + *port + " of " + label + " is already " +
                         it->second + "'s; every port belongs to one module only");
    } else {
      taken.ports[device] = label;
    }
  }
}

}  // namespace

BenchFileLoad ParseBenchFile(const std::string& text, const std::string& source) {
  BenchFileLoad load;
  auto& problems = load.problems;
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    problems.push_back(source + ":" + std::to_string(e.source().begin.line) + ": " +
                       std::string(e.description()) + "; mend the file and start the bench again");
    return load;
  }
  std::map<std::string, std::string> defaults;
  hooks::HookList every_hooks;
  const toml::array* modules = ReadTop(root, source, defaults, every_hooks, problems);
  if (!modules) {
    if (problems.empty())
      problems.push_back(source +
                         " lists no module; add a [[module]] table with name, at_port and "
                         "nmea_port for each module");
    return load;
  }
  Taken taken;
  std::size_t number = 0;
  for (const toml::node& entry : *modules) {
    ++number;
    const toml::table& table = *entry.as_table();
    BenchModule m = ReadModule(table, number, source, defaults, every_hooks, problems);
    CheckTaken(m, number, table, source, taken, problems);
    load.modules.push_back(std::move(m));
  }
  if (!problems.empty())
    load.modules.clear();
  return load;
}

BenchFileLoad LoadBenchFile(const std::string& path) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    BenchFileLoad load;
    load.problems.push_back("the bench file " + path +
                            " cannot be read; give the path of a bench file you may read");
    return load;
  }
  return ParseBenchFile(*text, path);
}

}  // namespace supervisor
