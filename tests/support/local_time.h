// Local wall-clock times for fake clocks, whatever the machine's zone.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace testsupport {

// Milliseconds since the epoch of the given local date and time.
inline std::int64_t LocalEpochMs(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm)) * 1000;
}

// Today's day folder name, "YYYY-MM-DD" in local time.
inline std::string TodayFolderName() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char day[16];
  std::strftime(day, sizeof day, "%Y-%m-%d", &tm);
  return day;
}

}  // namespace testsupport
