#include "engine/reset_check.h"

#include <cstdio>

#include "fix_rules/sentence_fields.h"
#include "profiles/module_commands.h"

void FirstEpochWatch::Feed(const std::string& line) {
  const fix_rules::Sentence s(line);
  if (s.type == "RMC")
    ++rmc_seen_;
  if (s.type != "GSA" || rmc_seen_ > 1 || used_)
    return;
  // Satellites in use: fields 3 to 14, before the three DOPs.
  for (std::size_t i = 3; i <= 14 && s.Has(i + 3); ++i) {
    if (!s.Field(i).empty()) {
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
