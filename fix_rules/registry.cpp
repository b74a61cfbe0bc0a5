#include "fix_rules/registry.h"

#include "fix_rules/rules.h"

namespace fix_rules {

namespace {

struct Entry {
  const char* name;
  std::unique_ptr<FixRule> (*make)();
  const char* description;
};

const Entry kRules[] = {
    {kDefaultRule, &MakeGprmcRule, "the first $GPRMC with status A (the default)"},
    {"rmc", &MakeRmcRule, "an RMC of any talker ($GNRMC, $GLRMC, ...) with status A"},
    {"gga", &MakeGgaRule, "a GGA with fix quality 1 to 5"},
    {"gns", &MakeGnsRule, "a GNS with a mode other than N"},
    {"gsa3d", &MakeGsa3dRule, "a GSA with fix type 3 (a 3D fix)"},
};

}  // namespace

const std::vector<std::string>& KnownNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const Entry& e : kRules)
      v.emplace_back(e.name);
    return v;
  }();
  return names;
}

std::string KnownNamesText() {
  std::string text;
  for (const std::string& name : KnownNames())
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

bool IsKnown(const std::string& name) {
  for (const Entry& e : kRules) {
    if (name == e.name)
      return true;
  }
  return false;
}

std::string Description(const std::string& name) {
  for (const Entry& e : kRules) {
    if (name == e.name)
      return e.description;
  }
  return "";
}

bool IsDefault(const std::string& name) {
  return name.empty() || name == kDefaultRule;
}

std::unique_ptr<FixRule> Make(const std::string& name) {
  const std::string wanted = name.empty() ? kDefaultRule : name;
  for (const Entry& e : kRules) {
    if (wanted == e.name)
      return e.make();
  }
  return nullptr;
}

}  // namespace fix_rules
