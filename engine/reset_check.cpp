#include "engine/reset_check.h"

#include <cstdio>
#include <vector>

#include "engine/module_commands.h"
#include "nmea/split_fields.h"

namespace {

// The sentence type of a line ("RMC" for "$GNRMC,..."), read from its last "$".
std::string TypeOf(const std::string& line) {
  const auto dollar = line.rfind('$');
  if (dollar == std::string::npos || line.size() < dollar + 7 || line[dollar + 6] != ',')
    return {};
  return line.substr(dollar + 3, 3);
}

}  // namespace

void FirstEpochWatch::Feed(const std::string& line) {
  const std::string type = TypeOf(line);
  if (type == "RMC")
    ++rmc_seen_;
  if (type != "GSA" || rmc_seen_ > 1 || used_)
    return;
  std::vector<std::string> f;
  SplitNmeaFields(f, line.substr(line.rfind('$')));
  for (std::size_t i = 3; i <= 14 && i + 3 < f.size(); ++i) {
    if (!f[i].empty()) {
      used_ = true;
      return;
    }
  }
}

std::string ResetSuspicion(int restart_type, bool fixed, double ttff_s, bool used_in_first_epoch,
                           const ResetThresholds& thresholds) {
  if (!fixed || (restart_type != RESTART_COLD && restart_type != RESTART_WARM))
    return {};
  if (restart_type == RESTART_COLD && used_in_first_epoch)
    return "used satellites in the first epoch";
  const bool cold = restart_type == RESTART_COLD;
  const double limit = cold ? thresholds.cold_s : thresholds.warm_s;
  if (ttff_s >= limit)
    return {};
  char text[96];
  std::snprintf(text, sizeof text, "fix in %.2f s, faster than a %s start can be (%g s)", ttff_s,
                cold ? "cold" : "warm", limit);
  return text;
}
