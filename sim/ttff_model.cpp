#include "sim/ttff_model.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

namespace {

bool ParseSeconds(const std::string& text, double& out) {
  if (text.empty())
    return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && out >= 0 && out < 1e6;
}

}  // namespace

bool ParseTtffRange(const std::string& text, TtffRange& range) {
  const auto colon = text.find(':');
  TtffRange parsed;
  if (colon == std::string::npos) {
    if (!ParseSeconds(text, parsed.min_s))
      return false;
    parsed.max_s = parsed.min_s;
  } else if (!ParseSeconds(text.substr(0, colon), parsed.min_s) ||
             !ParseSeconds(text.substr(colon + 1), parsed.max_s) || parsed.max_s < parsed.min_s) {
    return false;
  }
  range = parsed;
  return true;
}

const TtffRange& TtffTable::For(int restart_type, bool assisted) const {
  switch (restart_type) {
    case kRestartCold:
      return assisted ? assisted_cold : cold;
    case kRestartWarm:
      return assisted ? assisted_warm : warm;
    default:
      return assisted ? assisted_hot : hot;
  }
}

std::int64_t TtffModel::DrawUs(int restart_type, bool assisted) {
  const TtffRange& range = table_.For(restart_type, assisted);
  std::uniform_real_distribution<double> draw(range.min_s, std::max(range.min_s, range.max_s));
  return static_cast<std::int64_t>(draw(rng_) * 1e6);
}

}  // namespace sim
