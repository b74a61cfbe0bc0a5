#include "cli/fix_rule_option.h"

#include "fix_rules/registry.h"

namespace cli {

namespace {

std::string Names() {
  std::string out;
  for (const std::string& name : fix_rules::KnownNames())
    out += (out.empty() ? "" : ",") + name;
  return out;
}

}  // namespace

CLI::Validator FixRuleValidator() {
  return CLI::Validator(
      [](const std::string& name) {
        return fix_rules::IsKnown(name) ? std::string()
                                        : "unknown fix rule '" + name + "'; choose one of " +
                                              fix_rules::KnownNamesText();
      },
      // The names, for the help and the completion script.
      "{" + Names() + "}");
}

}  // namespace cli
