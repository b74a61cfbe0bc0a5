// A recorded NMEA capture cut into epochs for replay: "#" comment lines are
// skipped, every line end is repaired to "\r\n", and an epoch runs from one
// RMC line to the next (lines before the first RMC travel with the first
// epoch). The gap between epochs is the difference of the RMC time fields,
// 1 s when that is unknown or implausible (receivers that jump their clock at
// the fix, as geos-1m.log shows, would otherwise stall the replay).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct ReplayEpoch {
  std::vector<std::string> lines;   // each ending in "\r\n"
  std::int64_t gap_us = 1'000'000;  // time from this epoch to the next
  int fix_line = -1;                // index of the first "$GPRMC" with status "A" in it
};

class ReplayCapture {
 public:
  static std::optional<ReplayCapture> Load(const std::string& path, std::string* error);
  static ReplayCapture FromText(const std::string& text);

  const std::vector<ReplayEpoch>& Epochs() const { return epochs_; }
  // 0-based epoch of the first "$GPRMC" with status "A" (-1: none).
  int FirstFixEpoch() const;

 private:
  std::vector<ReplayEpoch> epochs_;
};

// True when the line holds "$GPRMC" and its field 2 is exactly "A".
bool IsGprmcFix(const std::string& line);
// Seconds of the day of an RMC time field "hhmmss[.sss]"; negative when unreadable.
double RmcSecondsOfDay(const std::string& line);

}  // namespace sim
