#include "profiles/bundled_profiles.h"

#include "profiles/module_profile.h"

#include <algorithm>
#include <cstring>

namespace {

const BundledProfile kProfiles[] = {
#include "bundled_profile_texts.inc"
};

}  // namespace

const std::vector<BundledProfile>& BundledProfiles() {
  static const std::vector<BundledProfile> list = [] {
    std::vector<BundledProfile> v(std::begin(kProfiles), std::end(kProfiles));
    std::stable_sort(v.begin(), v.end(), [](const BundledProfile& a, const BundledProfile& b) {
      const bool da = std::strcmp(a.name, "default") == 0;
      const bool db = std::strcmp(b.name, "default") == 0;
      if (da != db)
        return da;
      return std::strcmp(a.name, b.name) < 0;
    });
    return v;
  }();
  return list;
}

const BundledProfile* FindBundledProfile(const std::string& name) {
  for (const BundledProfile& p : BundledProfiles()) {
    if (name == p.name)
      return &p;
  }
  return nullptr;
}

std::string BundledProfileNames() {
  std::string out;
  for (const BundledProfile& p : BundledProfiles())
    out += std::string(out.empty() ? "" : ", ") + p.name;
  return out;
}

std::string RefusalSentence(const std::string& profile, const std::string& command,
                            const std::string& refusal) {
  const std::string name = profile.empty() ? "default" : profile;
  const std::string look = FindBundledProfile(name) ? "zuvek-cli profiles show " + name
                                                    : "the profile file \"" + name + "\"";
  return "the module refused " + CommandName(command) + " (\"" + refusal +
         "\"): check the profile against its manual, " + look;
}
