// Reading module profiles: TOML text into a ModuleProfile, every mistake
// told as "FILE:LINE: what is wrong", and the bundled profiles by name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "profiles/module_profile.h"

struct ProfileLoad {
  std::optional<ModuleProfile> profile;  // none when there was a problem
  std::vector<std::string> problems;     // "FILE:LINE: what is wrong"
};

// Parses a profile's text; `source` names it in the problems.
ProfileLoad ParseProfile(const std::string& text, const std::string& source);
// Reads a profile file.
ProfileLoad LoadProfileFile(const std::string& path);
// A bundled profile's name ("default", "sim7600", ...) or a file: the
// default is the built-in object itself; any other name that is no bundled
// profile is read as a file.
ProfileLoad ResolveProfile(const std::string& name_or_file);
