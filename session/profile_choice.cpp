#include "session/profile_choice.h"

#include <utility>

#include "profiles/profile_loader.h"

ProfileChoice ResolveProfileChoice(const std::string& name_or_file, const std::string& then) {
  ProfileChoice choice;
  ProfileLoad load = ResolveProfile(name_or_file);
  if (load.profile) {
    choice.profile = std::make_shared<const ModuleProfile>(std::move(*load.profile));
    return choice;
  }
  choice.refusal = ProfileRefusal(name_or_file, load.problems, then);
  return choice;
}

std::string ProfileRefusal(const std::string& name_or_file,
                           const std::vector<std::string>& problems, const std::string& then) {
  std::string refusal = "The module profile " + name_or_file + " is refused:\n";
  for (const std::string& problem : problems)
    refusal += problem + "\n";
  if (problems.empty())
    refusal += name_or_file + ": it does not load\n";
  return refusal + then;
}
