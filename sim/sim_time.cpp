#include "sim/sim_time.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>

namespace sim {

platform::LocalTime LocalToUtc(const platform::LocalTime& local, int* offset_minutes) {
  std::tm broken{};
  broken.tm_year = local.year - 1900;
  broken.tm_mon = local.month - 1;
  broken.tm_mday = local.day;
  broken.tm_hour = local.hour;
  broken.tm_min = local.minute;
  broken.tm_sec = local.second;
  broken.tm_isdst = -1;
  std::tm as_utc = broken;
  // mktime reads the zone rules under a lock of the C library that thread
  // checkers cannot see; one lock of ours keeps the two threads apart.
  static std::mutex zone_mutex;
  std::unique_lock zone_lock(zone_mutex);
  const std::time_t instant = std::mktime(&broken);
  zone_lock.unlock();
  const std::time_t fields_as_utc = timegm(&as_utc);
  if (offset_minutes)
    *offset_minutes = static_cast<int>((fields_as_utc - instant) / 60);
  std::tm utc{};
  gmtime_r(&instant, &utc);
  platform::LocalTime out;
  out.year = utc.tm_year + 1900;
  out.month = utc.tm_mon + 1;
  out.day = utc.tm_mday;
  out.hour = utc.tm_hour;
  out.minute = utc.tm_min;
  out.second = utc.tm_sec;
  out.millisecond = local.millisecond;
  return out;
}

int RealMsUntil(const platform::Clock& clock, std::int64_t target_us, int cap_ms) {
  const std::int64_t left_us = target_us - clock.MonotonicUs();
  if (left_us <= 0)
    return 0;
  const double scale = clock.Scale() > 0 ? clock.Scale() : 1.0;
  const double real_ms = std::ceil(static_cast<double>(left_us) / 1000.0 / scale);
  return static_cast<int>(std::clamp(real_ms, 0.0, static_cast<double>(cap_ms)));
}

}  // namespace sim
