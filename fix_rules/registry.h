// The fix rules by name: what `zuvek-cli run --fix NAME` and the fix_rule
// setting of zuvek.toml accept.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fix_rules/fix_rule.h"

namespace fix_rules {

// The tool's own rule: the first "$GPRMC" with status "A".
inline constexpr const char* kDefaultRule = "gprmc";

// Every known name, the default first.
const std::vector<std::string>& KnownNames();
// "gprmc, rmc, gga, gns, gsa3d": for messages that list them.
std::string KnownNamesText();
bool IsKnown(const std::string& name);
// What the rule takes as the fix, in a few words ("a GGA with fix quality
// 1 to 5"); empty for an unknown name.
std::string Description(const std::string& name);
// True for the default rule; an empty name means the default too.
bool IsDefault(const std::string& name);
// The rule of that name (empty: the default); null for an unknown name.
std::unique_ptr<FixRule> Make(const std::string& name);

}  // namespace fix_rules
