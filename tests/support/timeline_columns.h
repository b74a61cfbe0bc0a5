// The timeline columns every row of "<stem>_runs.csv" ends with, spelt out
// here on their own so that a test of the older columns can set them aside.
#pragma once

#include <string>

namespace testsupport {

inline constexpr const char* kTimelineHeader =
    ",first_nmea_ms,first_snr_ms,first_2d_ms,first_3d_ms,fix_ms,fix_gprmc_ms,fix_rmc_ms,"
    "fix_gga_ms,fix_gns_ms,fix_gsa3d_ms,used_at_fix,snr_at_fix,snr_top4_mean_at_fix,lat_at_fix,"
    "lon_at_fix,alt_m_at_fix";
inline constexpr int kTimelineColumns = 16;

// A CSV line (header or row, with or without its "\n") without its last
// kTimelineColumns columns; unchanged when it has fewer.
inline std::string WithoutTimeline(const std::string& line) {
  const bool newline = !line.empty() && line.back() == '\n';
  std::string text = newline ? line.substr(0, line.size() - 1) : line;
  std::size_t cut = text.size();
  for (int i = 0; i < kTimelineColumns; ++i) {
    cut = text.rfind(',', cut - 1);
    if (cut == std::string::npos || cut == 0)
      return line;
  }
  return text.substr(0, cut) + (newline ? "\n" : "");
}

}  // namespace testsupport
