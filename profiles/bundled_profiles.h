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

// What a module's refusal of a command says: "the module refused AT+CGPS?
// ("ERROR"): check the profile against its manual, zuvek-cli profiles show
// sim7600" (for a profile file that is no bundled one: the profile file
// "NAME"). `command` may end in its line end; an empty `profile` is "default".
std::string RefusalSentence(const std::string& profile, const std::string& command,
                            const std::string& refusal);
