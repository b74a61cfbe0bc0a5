#include "engine/space_estimate.h"

#include <cmath>
#include <cstdio>

namespace {

double Rate(const SpaceNeed& need) {
  return need.nmea_bytes_per_s > 0 ? need.nmea_bytes_per_s : kAssumedNmeaBytesPerS;
}

}  // namespace

std::uint64_t EstimateTestBytes(const SpaceNeed& need) {
  double seconds = static_cast<double>(need.timeout_s) + need.interval_s;
  if (need.all_nmea_log_beside)
    seconds += seconds + kRunOverheadS;  // the same lines again, and the pauses
  const double bytes = std::ceil(static_cast<double>(need.runs) * seconds * Rate(need));
  return static_cast<std::uint64_t>(bytes) + kSpaceMarginBytes;
}

std::string FormatBytes(std::uint64_t bytes) {
  char buf[64];
  const double b = static_cast<double>(bytes);
  if (bytes >= (1ull << 30))
    std::snprintf(buf, sizeof buf, "%.1f GiB", b / (1ull << 30));
  else if (bytes >= (1ull << 20))
    std::snprintf(buf, sizeof buf, "%.1f MiB", b / (1ull << 20));
  else if (bytes >= 1024)
    std::snprintf(buf, sizeof buf, "%.0f KiB", b / 1024);
  else
    std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
  return buf;
}

std::string SpaceWarning(const SpaceNeed& need, const std::string& day_dir,
                         const std::string& mount_point, std::int64_t free_bytes) {
  const std::uint64_t want = EstimateTestBytes(need);
  if (free_bytes < 0 || static_cast<std::uint64_t>(free_bytes) >= want)
    return {};
  char rate[64];
  std::snprintf(rate, sizeof rate, "%s of NMEA a second%s",
                FormatBytes(static_cast<std::uint64_t>(Rate(need))).c_str(),
                need.nmea_bytes_per_s > 0 ? "" : " (assumed: none seen yet)");
  std::string s = "The day folder " + day_dir + " has " +
                  FormatBytes(static_cast<std::uint64_t>(free_bytes)) + " free on " + mount_point +
                  ", but this test may write up to " + FormatBytes(want) + " (" +
                  std::to_string(need.runs) + " run" + (need.runs == 1 ? "" : "s") + " x (" +
                  std::to_string(need.timeout_s) + " s time-out + " +
                  std::to_string(need.interval_s) + " s logging after the fix) x " + rate +
                  (need.all_nmea_log_beside ? ", twice with the all-NMEA log beside it" : "") +
                  ", and the other logs). Free space on " + mount_point +
                  " or choose another folder; the test starts anyway.";
  return s;
}
