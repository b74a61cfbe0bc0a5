#include "config/config_checks.h"

namespace {

std::string OutOf(const ConfigRange& r, long long value, const std::string& source) {
  return source + " has a " + r.what + " of " + std::to_string(value) + " " + r.unit +
         "; a test can use " + std::to_string(r.min) + " to " + std::to_string(r.max) + " " +
         r.unit + ": set it in the window's options (or give it on the command line)";
}

}  // namespace

std::vector<std::string> UnusableConfigValues(const app_config& c, const std::string& source) {
  std::vector<std::string> problems;
  const std::pair<const ConfigRange&, long long> values[] = {
      {kTimeoutRange, c.GetTimeout()},
      {kIntervalSleepRange, c.GetIntervalSleep()},
      {kUncertaintyRange, static_cast<std::uint32_t>(c.GetUncrtn())}};
  for (const auto& [range, value] : values)
    if (value < range.min || value > range.max)
      problems.push_back(OutOf(range, value, source));
  return problems;
}

std::string DamagedConfigSentence(const ConfigLoad& load, const std::string& path) {
  if (!load.found || load.members >= kConfigMembers)
    return {};
  return path + " is damaged: " + std::to_string(load.members) + " of its " +
         std::to_string(kConfigMembers) +
         " settings could be read, the rest keep their defaults; set the options again in the "
         "window (which writes it whole when it closes), or move the file away";
}
