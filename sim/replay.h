// A recorded NMEA capture cut into epochs for replay: "#" comment lines are
// skipped, every line end is repaired to "\r\n", and an epoch runs from one
// RMC line to the next (lines before the first RMC travel with the first
// epoch). The gap between epochs is the difference of the RMC time fields,
// 1 s when that is unknown or implausible (receivers that jump their clock at
// the fix, as geos-1m.log shows, would otherwise stall the replay). The fix
// of a capture is the first line its fix rule accepts ("$GPRMC" with status
// "A" unless another rule is given).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fix_rules/fix_rule.h"

namespace sim {

struct ReplayEpoch {
  std::vector<std::string> lines;   // each ending in "\r\n"
  std::int64_t gap_us = 1'000'000;  // time from this epoch to the next
  int fix_line = -1;                // index of the first line the fix rule accepts
};

class ReplayCapture {
 public:
  // `rule`: the fix rule of the truth (null: the default rule).
  static std::optional<ReplayCapture> Load(const std::string& path, std::string* error,
                                           const FixRule* rule = nullptr);
  static ReplayCapture FromText(const std::string& text, const FixRule* rule = nullptr);

  const std::vector<ReplayEpoch>& Epochs() const { return epochs_; }
  // 0-based epoch of the first fix (-1: none).
  int FirstFixEpoch() const;

 private:
  std::vector<ReplayEpoch> epochs_;
};

// True when the line holds "$GPRMC" and its field 2 is exactly "A".
bool IsGprmcFix(const std::string& line);
// Seconds of the day of an RMC time field "hhmmss[.sss]"; negative when unreadable.
double RmcSecondsOfDay(const std::string& line);

}  // namespace sim
