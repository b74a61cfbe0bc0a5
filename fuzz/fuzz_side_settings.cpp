// zuvek.toml on arbitrary bytes: never crashes; every problem names the
// file and a line; a file read without problems writes back to the same
// settings.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/side_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SideSettingsLoad load = ParseSideSettings(text, "zuvek.toml");
  for (const std::string& problem : load.problems) {
    if (problem.rfind("zuvek.toml:", 0) != 0 || problem.size() < 13 || problem[11] < '0' ||
        problem[11] > '9')
      std::abort();
  }
  if (load.problems.empty()) {
    const SideSettingsLoad again = ParseSideSettings(FormatSideSettings(load.settings), "x");
    if (!again.problems.empty() || !(again.settings == load.settings))
      std::abort();
  }
  return 0;
}
