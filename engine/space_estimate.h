// How much a test may write, and the warning when the day folder's file
// system has less room than that.
#pragma once

#include <cstdint>
#include <string>

// What a test will log. The per-test NMEA log receives the lines of every
// fix wait (up to the time-out) and of the logging after a fix.
struct SpaceNeed {
  unsigned runs = 1;
  unsigned timeout_s = 0;
  unsigned interval_s = 0;           // logging after the fix
  double nmea_bytes_per_s = 0;       // seen on the port so far; 0 unknown
  bool all_nmea_log_beside = false;  // the all-NMEA log on the same file system
};

// Assumed when no NMEA has been seen yet: a 1-Hz receiver reporting four
// constellations with their GSV sentences.
inline constexpr double kAssumedNmeaBytesPerS = 2000.0;
// The seconds of a run outside the fix wait and the logging after the fix
// (the pauses, the stop and the delete), during which only the all-NMEA log
// grows.
inline constexpr unsigned kRunOverheadS = 30;
// Beside the NMEA: AT and result logs, the CSV, the summary's second copy.
inline constexpr std::uint64_t kSpaceMarginBytes = 256 * 1024;

// The most the test writes when every run waits the whole time-out, plus
// the margin.
std::uint64_t EstimateTestBytes(const SpaceNeed& need);

// "1.5 MiB", "180 KiB", "512 bytes".
std::string FormatBytes(std::uint64_t bytes);

// Empty when the test fits (or the free space is unknown, free_bytes < 0);
// otherwise the sentence for the user: the folder, its room, the estimate
// and what to do.
std::string SpaceWarning(const SpaceNeed& need, const std::string& day_dir,
                         const std::string& mount_point, std::int64_t free_bytes);
