#include "cli/fix_rule_option.h"

#include "fix_rules/registry.h"

namespace cli {

CLI::Validator FixRuleValidator() {
  return CLI::Validator(
      [](const std::string& name) {
        return fix_rules::IsKnown(name) ? std::string()
                                        : "unknown fix rule '" + name + "'; choose one of " +
                                              fix_rules::KnownNamesText();
      },
      "RULE");
}

}  // namespace cli
