#include "cli/profile_option.h"

#include "profiles/bundled_profiles.h"

namespace cli {

CLI::Validator ProfileChoices(bool files) {
  std::string names;
  for (const BundledProfile& p : BundledProfiles())
    names += (names.empty() ? "" : ",") + std::string(p.name);
  return CLI::Validator([](const std::string&) { return std::string(); },
                        "{" + names + "}" + (files ? "|FILE" : ""));
}

}  // namespace cli
