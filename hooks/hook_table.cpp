#include "hooks/hook_table.h"

#include <sstream>

#include "config/toml_text.h"
#include "hooks/scpi_exchange.h"
#include "platform/file_reads.h"

namespace hooks {

namespace {

constexpr const char* kKeys = "name, at, command, scpi, commands, timeout and on_failure";

std::string At(const std::string& source, const toml::node& node) {
  return source + ":" + std::to_string(node.source().begin.line) + ": ";
}

std::string TomlText(const std::string& text) {
  std::ostringstream out;
  out << toml::value<std::string>(text);
  return out.str();
}

// A text key of the hook; false after telling what is wrong.
bool TakeText(const toml::node& node, const std::string& key, std::string& into,
              const std::string& where, std::vector<std::string>& problems) {
  const auto v = node.value_exact<std::string>();
  if (!v) {
    problems.push_back(where + "the hook's " + key + " must be a quoted text");
    return false;
  }
  into = *v;
  return true;
}

bool TakeCommands(const toml::node& node, Hook& hook, const std::string& where,
                  std::vector<std::string>& problems) {
  const toml::array* list = node.as_array();
  bool good = list && !list->empty();
  if (list) {
    for (const toml::node& item : *list) {
      const auto v = item.value_exact<std::string>();
      good = good && v && !v->empty();
      if (v)
        hook.scpi_commands.push_back(*v);
    }
  }
  if (!good)
    problems.push_back(where +
                       "the hook's commands must be a list of quoted SCPI commands, such as "
                       "[\"SOUR:POW -130\"]");
  return good;
}

bool TakeKey(const std::string& key, const toml::node& node, Hook& hook, std::string& moment,
             std::string& policy, const std::string& where, std::vector<std::string>& problems) {
  if (key == "name")
    return TakeText(node, key, hook.name, where, problems);
  if (key == "at")
    return TakeText(node, key, moment, where, problems);
  if (key == "command")
    return TakeText(node, key, hook.command, where, problems);
  if (key == "scpi")
    return TakeText(node, key, hook.scpi, where, problems);
  if (key == "on_failure")
    return TakeText(node, key, policy, where, problems);
  if (key == "commands")
    return TakeCommands(node, hook, where, problems);
  if (key == "timeout") {
    const auto v = node.value_exact<std::int64_t>();
    if (!v || *v < 1 || *v > kMaxTimeoutS) {
      problems.push_back(where + "the hook's timeout must be a whole number of seconds from 1 to " +
                         std::to_string(kMaxTimeoutS));
      return false;
    }
    hook.timeout_s = static_cast<unsigned>(*v);
    return true;
  }
  problems.push_back(where + "unknown key \"" + key + "\" in a hook; a hook has " + kKeys);
  return false;
}

// What the keys say together; false after telling what is wrong.
bool CheckWhole(Hook& hook, const std::string& moment, const std::string& policy,
                const std::string& where, std::vector<std::string>& problems) {
  const auto m = MomentOfName(moment);
  if (!m) {
    problems.push_back(where + "the hook's at must be one of " + MomentNamesText());
    return false;
  }
  hook.moment = *m;
  if (hook.name.empty())
    hook.name = moment;
  hook.policy = DefaultPolicy(*m);
  if (!policy.empty()) {
    const auto p = PolicyOfName(policy);
    if (!p) {
      problems.push_back(where + "the hook's on_failure must be fail-run, end-test or note");
      return false;
    }
    if (!PolicyFits(*p, *m)) {
      problems.push_back(where + "a " + moment +
                         " hook cannot fail a run (there is none in progress, or its result is "
                         "filed): choose end-test or note");
      return false;
    }
    hook.policy = *p;
  }
  if (hook.command.empty() == hook.scpi.empty() ||
      hook.scpi.empty() != hook.scpi_commands.empty()) {
    problems.push_back(where +
                       "give the hook either a command, or an scpi address with its commands");
    return false;
  }
  std::string why;
  if (hook.IsScpi() && !ParseScpiAddress(hook.scpi, &why)) {
    problems.push_back(where + "the hook's scpi: " + why);
    return false;
  }
  return true;
}

}  // namespace

HookTableLoad ReadHookTables(const toml::node& node, const std::string& source) {
  HookTableLoad load;
  const toml::array* array = node.as_array();
  if (!array || !array->is_array_of_tables()) {
    load.problems.push_back(At(source, node) +
                            "hook must be a list of tables, one [[hook]] per hook");
    return load;
  }
  for (const toml::node& entry : *array) {
    const toml::table& table = *entry.as_table();
    const std::string where = At(source, table);
    Hook hook;
    std::string moment, policy;
    bool good = true;
    for (const auto& [key, value] : table)
      good = TakeKey(std::string(key.str()), value, hook, moment, policy, At(source, value),
                     load.problems) &&
             good;
    if (good && CheckWhole(hook, moment, policy, where, load.problems))
      load.hooks.push_back(std::move(hook));
  }
  return load;
}

HookTableLoad ParseHookFile(const std::string& text, const std::string& source) {
  HookTableLoad load;
  const std::optional<toml::table> root = ParseTomlText(text, source, load.problems);
  if (!root)
    return load;
  for (const auto& [key, node] : *root) {
    if (key.str() != "hook") {
      load.problems.push_back(At(source, node) + "unknown key \"" + std::string(key.str()) +
                              "\"; a hooks file holds [[hook]] tables only");
      continue;
    }
    HookTableLoad read = ReadHookTables(node, source);
    load.hooks = std::move(read.hooks);
    load.problems.insert(load.problems.end(), read.problems.begin(), read.problems.end());
  }
  return load;
}

HookTableLoad LoadHookFile(const std::string& path) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    HookTableLoad load;
    load.problems.push_back("the hooks file " + path + " cannot be read");
    return load;
  }
  return ParseHookFile(*text, path);
}

std::string FormatHookTables(const HookList& hooks, const std::string& table) {
  std::string out;
  for (const Hook& h : hooks) {
    out += "\n[[" + table + "]]\nname = " + TomlText(h.name) +
           "\nat = " + TomlText(MomentName(h.moment)) + "\n";
    if (h.IsScpi()) {
      out += "scpi = " + TomlText(h.scpi) + "\ncommands = [";
      for (std::size_t i = 0; i < h.scpi_commands.size(); ++i)
        out += (i ? ", " : "") + TomlText(h.scpi_commands[i]);
      out += "]\n";
    } else {
      out += "command = " + TomlText(h.command) + "\n";
    }
    out += "timeout = " + std::to_string(h.timeout_s) +
           "\non_failure = " + TomlText(PolicyName(h.policy)) + "\n";
  }
  return out;
}

}  // namespace hooks
