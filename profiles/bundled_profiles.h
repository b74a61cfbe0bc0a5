// The profiles shipped inside the program (profiles/bundled/*.toml, turned
// into a source file at build time).
#pragma once

#include <string>
#include <vector>

struct BundledProfile {
  const char* name;  // the file name without ".toml"
  const char* text;  // the file's text
};

// Every bundled profile, "default" first, then by name.
const std::vector<BundledProfile>& BundledProfiles();
// The one with this name; null when there is none.
const BundledProfile* FindBundledProfile(const std::string& name);
// The names joined with ", ", for messages.
std::string BundledProfileNames();
