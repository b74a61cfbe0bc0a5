#include "config/side_settings.h"

#include "fix_rules/registry.h"
#include "geo/position_error.h"
#include "hooks/hook_table.h"
#include "platform/file_reads.h"
#include "profiles/bundled_profiles.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <utility>

SideSettings g_side_settings;

namespace {

// The kinds of value, each a pair of functions on one member: Take reads
// the node into the settings (a sentence when the value is wrong), Text
// writes the member as TOML.
template <auto Member, std::int64_t Min, std::int64_t Max>
struct Whole {
  static std::optional<std::string> Take(const toml::node& node, SideSettings& s) {
    const auto v = node.value_exact<std::int64_t>();
    if (!v || *v < Min || *v > Max)
      return "must be a whole number from " + std::to_string(Min) + " to " + std::to_string(Max);
    s.*Member = static_cast<std::remove_reference_t<decltype(s.*Member)>>(*v);
    return std::nullopt;
  }
  static std::string Text(const SideSettings& s) { return std::to_string(s.*Member); }
};

template <auto Member, double Min, double Max>
struct Number {
  static std::optional<std::string> Take(const toml::node& node, SideSettings& s) {
    const auto v = node.value<double>();  // a whole number is a number too
    if (!v || !std::isfinite(*v) || *v < Min || *v > Max) {
      std::ostringstream why;
      why << "must be a number from " << Min << " to " << Max;
      return why.str();
    }
    s.*Member = *v;
    return std::nullopt;
  }
  static std::string Text(const SideSettings& s) {
    std::ostringstream out;
    out.precision(10);
    out << std::showpoint << s.*Member;
    return out.str();
  }
};

template <auto Member>
struct Switch {
  static std::optional<std::string> Take(const toml::node& node, SideSettings& s) {
    const auto v = node.value_exact<bool>();
    if (!v)
      return std::string("must be true or false");
    s.*Member = *v;
    return std::nullopt;
  }
  static std::string Text(const SideSettings& s) { return s.*Member ? "true" : "false"; }
};

inline std::string Quoted(const std::string& text) {
  std::ostringstream out;
  out << toml::value<std::string>(text);
  return out.str();
}

// A quoted text; Valid (a function of the text, null for any) names what
// is wrong with one it refuses.
template <auto Member, std::optional<std::string> (*Valid)(const std::string&) = nullptr>
struct Word {
  static std::optional<std::string> Take(const toml::node& node, SideSettings& s) {
    const auto v = node.value_exact<std::string>();
    if (!v)
      return std::string("must be a quoted text");
    if constexpr (Valid != nullptr) {
      if (auto why = Valid(*v))
        return why;
    }
    s.*Member = *v;
    return std::nullopt;
  }
  static std::string Text(const SideSettings& s) { return Quoted(s.*Member); }
};

std::optional<std::string> KnownFixRule(const std::string& name) {
  if (fix_rules::IsKnown(name))
    return std::nullopt;
  return "must be one of " + fix_rules::KnownNamesText();
}

// A bundled profile's name or a file that is there (what the file holds is
// checked when a test loads it, and told with its own file and line).
std::optional<std::string> KnownProfile(const std::string& text) {
  if (text.empty())
    return std::string("must name a profile");
  std::error_code ec;
  if (FindBundledProfile(text) || std::filesystem::is_regular_file(text, ec))
    return std::nullopt;
  return "names no bundled profile (" + BundledProfileNames() + ") and no profile file \"" + text +
         "\"";
}

std::optional<std::string> ReferenceText(const std::string& text) {
  std::string why;
  if (text.empty() || ParseReference(text, &why))
    return std::nullopt;
  return std::string("must be \"LAT,LON[,ALT]\" in decimal degrees and metres, \"auto\" or \"\"");
}

std::optional<std::string> AnyText(const std::string&) {
  return std::nullopt;
}

struct SideKey {
  const char* name;  // a dotted name goes into a table ("reference.lat")
  const char* help;  // the comment written above it
  std::optional<std::string> (*take)(const toml::node&, SideSettings&);
  std::string (*text)(const SideSettings&);
};

template <class Kind>
constexpr SideKey Key(const char* name, const char* help) {
  return {name, help, &Kind::Take, &Kind::Text};
}

// The key table: one row per setting, in the order of the written file.
const SideKey kKeys[] = {
    Key<Whole<&SideSettings::reconnect_s, 0, 86400>>(
        "reconnect", "Seconds to wait for lost ports to come back before the next run (0 = off)."),
    Key<Word<&SideSettings::fix_rule, &KnownFixRule>>(
        "fix_rule",
        "The sentence that counts as the fix: gprmc (the first $GPRMC with status A), rmc "
        "(any talker's RMC), gga, gns or gsa3d."),
    Key<Word<&SideSettings::profile, &KnownProfile>>(
        "profile", "The module profile: a bundled one's name (zuvek-cli profiles) or a file."),
    Key<Word<&SideSettings::reference, &ReferenceText>>(
        "reference",
        "The antenna's true position for the error at each fix: \"LAT,LON[,ALT]\" (degrees, "
        "metres), \"auto\" (the median of the positions after the fixes) or \"\" (none)."),
    Key<Whole<&SideSettings::suspect_cold_s, 0, 3600>>(
        "suspect_cold_s", "A cold start fixing faster than this many seconds is a reset suspect."),
    Key<Whole<&SideSettings::suspect_warm_s, 0, 3600>>(
        "suspect_warm_s", "A warm start fixing faster than this many seconds is a reset suspect."),
    Key<Word<&SideSettings::store, &AnyText>>(
        "store",
        "The results store: a SQLite file, \"postgresql://...\" or \"none\"; \"\" is "
        "results.sqlite in the per-user data folder."),
};

bool KnownKey(const std::string& dotted) {
  for (const SideKey& key : kKeys) {
    if (dotted == key.name)
      return true;
  }
  return false;
}

bool KnownTable(const std::string& dotted) {
  for (const SideKey& key : kKeys) {
    const std::string name = key.name;
    if (name.size() > dotted.size() && name.compare(0, dotted.size(), dotted) == 0 &&
        name[dotted.size()] == '.') {
      return true;
    }
  }
  return false;
}

// Every leaf that is not a setting of the table: told, then ignored.
void FindUnknown(const toml::table& table, const std::string& prefix, const std::string& source,
                 std::vector<std::string>& problems) {
  for (const auto& [name, node] : table) {
    const std::string dotted = prefix + std::string(name.str());
    if (KnownKey(dotted) || dotted == "hook")
      continue;
    if (const toml::table* inner = node.as_table(); inner && KnownTable(dotted)) {
      FindUnknown(*inner, dotted + ".", source, problems);
      continue;
    }
    problems.push_back(source + ":" + std::to_string(node.source().begin.line) +
                       ": unknown setting \"" + dotted + "\" (ignored)");
  }
}

SideSettingsLoad g_loaded;  // what LoadSideSettings read, for SaveSideSettings

}  // namespace

SideSettingsLoad ParseSideSettings(const std::string& text, const std::string& source) {
  SideSettingsLoad load;
  load.found = true;
  toml::table table;
  try {
    table = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    load.problems.push_back(source + ":" + std::to_string(e.source().begin.line) + ": " +
                            std::string(e.description()) + "; every setting keeps its default");
    return load;
  }
  for (const SideKey& key : kKeys) {
    const toml::node_view<const toml::node> view = std::as_const(table).at_path(key.name);
    if (!view)
      continue;
    if (auto why = key.take(*view.node(), load.settings)) {
      load.problems.push_back(source + ":" + std::to_string(view.node()->source().begin.line) +
                              ": " + key.name + " " + *why + "; using " + key.text(SideSettings{}));
      load.refused_keys.push_back(key.name);
    }
  }
  if (const toml::node* hook_node = table.get("hook")) {
    hooks::HookTableLoad read = hooks::ReadHookTables(*hook_node, source);
    load.settings.hooks = std::move(read.hooks);
    load.problems.insert(load.problems.end(), read.problems.begin(), read.problems.end());
  }
  FindUnknown(table, "", source, load.problems);
  return load;
}

SideSettingsLoad LoadSideSettingsFrom(const std::string& path) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    SideSettingsLoad load;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {  // there but unreadable: say so
      load.found = true;
      load.problems.push_back(path + ": cannot be read; every setting keeps its default");
    }
    return load;
  }
  return ParseSideSettings(*text, path);
}

std::string FormatSideSettings(const SideSettings& settings) {
  std::string out =
      "# ZUVEK settings beside TTFF.cfg. Edit with any text editor; a wrong value is\n"
      "# reported with its line when the program starts, and its default is used.\n";
  std::string table;
  for (const SideKey& key : kKeys) {
    std::string name = key.name;
    const auto dot = name.rfind('.');
    const std::string in_table = dot == std::string::npos ? "" : name.substr(0, dot);
    if (in_table != table) {
      out += "\n[" + in_table + "]";
      table = in_table;
    }
    out += std::string("\n# ") + key.help + "\n" + name.substr(dot + 1) + " = " +
           key.text(settings) + "\n";
  }
  if (!settings.hooks.empty())
    out += "\n# Commands run at the moments of a test (man zuvek.toml, \"hook\")." +
           hooks::FormatHookTables(settings.hooks);
  return out;
}

bool SaveSideSettingsTo(const std::string& path, const SideSettings& settings) {
  const std::string tmp = path + ".tmp";
  std::FILE* fp = std::fopen(tmp.c_str(), "wb");
  if (!fp)
    return false;
  const std::string text = FormatSideSettings(settings);
  const bool written = std::fwrite(text.data(), 1, text.size(), fp) == text.size();
  if (std::fclose(fp) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

std::vector<std::string> LoadSideSettings() {
  g_loaded = LoadSideSettingsFrom(kSideSettingsFileName);
  g_side_settings = g_loaded.settings;
  return g_loaded.problems;
}

bool SaveSideSettings() {
  if (g_loaded.found && (!g_loaded.problems.empty() || g_loaded.settings == g_side_settings))
    return true;
  if (!SaveSideSettingsTo(kSideSettingsFileName, g_side_settings))
    return false;
  g_loaded = SideSettingsLoad{g_side_settings, {}, {}, true};
  return true;
}

bool SideSettingsKeptOnExit() {
  return !g_loaded.found || g_loaded.problems.empty();
}

bool SideSettingRefused(const std::string& key) {
  const auto& keys = g_loaded.refused_keys;
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}
