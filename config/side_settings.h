// The settings that TTFF.cfg has no room for, in a file a person can read
// and edit: zuvek.toml beside TTFF.cfg (the working directory).
//
//   # Seconds to wait for lost ports to come back before the next run (0 = off).
//   reconnect = 0
//   # The module profile: a bundled one's name (zuvek-cli profiles) or a file.
//   profile = "default"
//
// Both the window and the CLI read it; only the window writes it (when it
// closes, and only when the file is missing or a value changed, so that a
// file edited by hand keeps its layout and comments). A missing file means
// every default. A value that is wrong is told as "zuvek.toml:LINE: what is
// wrong" and its default is used; the other values still count.
//
// Every setting is one row of the key table (side_settings.cpp): its name,
// the sentence written above it, its kind, default and bounds. A new setting
// is a member here and a row there.
#pragma once

#include <string>
#include <vector>

#include "hooks/hook.h"

inline constexpr const char* kSideSettingsFileName = "zuvek.toml";

struct SideSettings {
  // Seconds to wait for both ports to come back after one vanished during
  // a test; 0: the test goes on without them, as it always did.
  unsigned reconnect_s = 0;
  // The fix rule of a test (fix_rules/registry.h); `zuvek-cli run --fix` wins.
  std::string fix_rule = "gprmc";
  // The module profile: a bundled profile's name or a profile file.
  std::string profile = "default";
  // The reference position (geo/position_error.h ParseReference); empty: none.
  std::string reference;
  // Cold and warm starts that fix faster than this are "reset suspect".
  unsigned suspect_cold_s = 10;
  unsigned suspect_warm_s = 5;
  // The results store (store/store_location.h); empty: the per-user default.
  std::string store;
  // The hooks, a [[hook]] table each (hooks/hook_table.h); a moment the
  // command line gives hooks for keeps only those.
  hooks::HookList hooks;

  bool operator==(const SideSettings&) const = default;
};

// What a read found: the settings (defaults where a value was missing or
// wrong), one sentence per problem, and whether the file was there.
struct SideSettingsLoad {
  SideSettings settings;
  std::vector<std::string> problems;
  std::vector<std::string> refused_keys;  // the keys whose value was wrong
  bool found = false;
};

// The settings of this session: read at start-up, written by the window.
extern SideSettings g_side_settings;

// Parses the text of a settings file; `source` names it in the problems.
SideSettingsLoad ParseSideSettings(const std::string& text, const std::string& source);
// Reads a settings file; a missing file is no problem (all defaults).
SideSettingsLoad LoadSideSettingsFrom(const std::string& path);
// The file text for these settings: every key with its sentence.
std::string FormatSideSettings(const SideSettings& settings);
// Writes the settings to `path` whole (a temporary file renamed over it);
// false when it could not.
bool SaveSideSettingsTo(const std::string& path, const SideSettings& settings);

// zuvek.toml in the working directory into g_side_settings; the problems
// come back for the caller to tell.
std::vector<std::string> LoadSideSettings();
// The window's exit: writes g_side_settings to zuvek.toml when the file is
// missing or differs from what LoadSideSettings read, never over a file
// whose values had problems (the user's text stays for them to mend).
// Returns false when a write was needed and failed.
bool SaveSideSettings();
// False when the zuvek.toml LoadSideSettings read had problems: the exit
// leaves that file as it is, and a change made since is not kept.
bool SideSettingsKeptOnExit();
// True when the zuvek.toml LoadSideSettings read gave `key` a value that
// was refused (and its default used instead).
bool SideSettingRefused(const std::string& key);
