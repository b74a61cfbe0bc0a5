// The module profile a test of the window runs with: a bundled profile's
// name or a profile file, resolved as `zuvek-cli run --profile` resolves
// it. A profile that does not load is refused with its problems.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "profiles/module_profile.h"

struct ProfileChoice {
  std::shared_ptr<const ModuleProfile> profile;  // null: refused
  // When refused: "The module profile NAME is refused:", its problems
  // ("FILE:LINE: what is wrong") one a line, then `then`.
  std::string refusal;
};

// `then` ends a refusal: what happens now and what the user can do.
ProfileChoice ResolveProfileChoice(const std::string& name_or_file, const std::string& then);
// The refusal's text of a profile that did not load with these problems.
std::string ProfileRefusal(const std::string& name_or_file,
                           const std::vector<std::string>& problems, const std::string& then);

// The ends of a refusal in the window.
inline constexpr const char* kProfileKeptSentence =
    "The previous profile stays chosen; mend the file or choose another.";
inline constexpr const char* kTestNotStartedSentence =
    "The test does not start: mend the file, or choose another profile under Tools, "
    "Module profile.";
