// Module profiles on arbitrary bytes: never crashes; a profile is either
// taken whole or refused with problems that each name the file and a line;
// a taken profile has a start for every restart type.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profiles/profile_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const ProfileLoad load = ParseProfile(text, "p.toml");
  if (load.profile.has_value() == !load.problems.empty())
    std::abort();
  for (const std::string& problem : load.problems) {
    if (problem.rfind("p.toml:", 0) != 0 || problem.size() < 9 || problem[7] < '0' ||
        problem[7] > '9')
      std::abort();
  }
  if (load.profile) {
    for (int type = 0; type < 3; ++type) {
      if (!load.profile->StartFor(type).Present())
        std::abort();
    }
  }
  return 0;
}
