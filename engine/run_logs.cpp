#include "engine/run_logs.h"

#include <cstring>
#include <filesystem>

#include "platform/debug_log.h"
#include "platform/file_writes.h"
#include "platform/folders.h"

std::string FormatTimeOfDay(const platform::Clock& clock) {
  const platform::LocalTime t = clock.WallNow();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string FormatTimeOfDay() {
  return FormatTimeOfDay(platform::ProcessClock());
}

bool WriteLog(std::FILE* fp, const char* data, std::size_t size) {
  return platform::CheckedWrite(fp, data, size);
}

bool WriteLog(std::FILE* fp, const std::string& text) {
  return WriteLog(fp, text.data(), text.size());
}

void WriteRunSeparator(std::FILE* nmea_log, std::FILE* at_log, unsigned run) {
  char buf[128] = {};
  std::snprintf(buf, sizeof buf, "-------------times : %d-------------\n", static_cast<int>(run));
  const size_t n = std::strlen(buf);
  WriteLog(nmea_log, buf, n);
  WriteLog(at_log, buf, n);
}

TestLogPaths MakeTestLogPaths(const std::string& day_dir, const std::string& stem) {
  const std::string base = day_dir + platform::kPathSeparator + stem;
  return {base + "_nmea_log.txt", base + "_at_log.txt", base + "_result_log.txt"};
}

std::string UniqueTestStem(const std::string& day_dir, const std::string& stem) {
  std::string candidate = stem;
  for (int n = 2;; ++n) {
    std::error_code error;
    if (!std::filesystem::exists(MakeTestLogPaths(day_dir, candidate).result, error) || error)
      return candidate;
    candidate = stem + "-" + std::to_string(n);
  }
}
