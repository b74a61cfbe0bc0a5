#include "engine/sky_file.h"

#include "engine/run_logs.h"
#include "nmea/signal_ids.h"
#include "platform/file_writes.h"

std::string SkyRows(unsigned run, const std::vector<SkySatellite>& sky) {
  std::string rows;
  const auto angle = [](int degrees) {
    return degrees < 0 ? std::string() : std::to_string(degrees);
  };
  for (const SkySatellite& s : sky) {
    const std::string lead = std::to_string(run) + "," + SystemName(s.system) + "," +
                             std::to_string(s.prn) + "," + angle(s.elevation) + "," +
                             angle(s.azimuth) + "," + (s.used ? "1" : "0") + ",";
    for (int i = 0; i < s.level_count; ++i) {
      const SignalLevel& level = s.levels[static_cast<std::size_t>(i)];
      rows += lead + SignalName(s.system, level.signal) + "," + std::to_string(level.snr) + "\n";
    }
  }
  return rows;
}

bool SkyFile::Open(const std::string& base) {
  Close();
  path_ = base + "_sky.csv";
  file_ = std::fopen(path_.c_str(), "w");
  if (!file_) {
    path_.clear();
    return false;
  }
  platform::TrackFile(file_, path_);
  WriteLog(file_, std::string(kSkyHeader) + "\n");
  return true;
}

void SkyFile::Close() {
  platform::CloseTrackedFile(file_);
  file_ = nullptr;
}

void SkyFile::Add(unsigned run, const timeline::TimelineRecord& t) {
  if (file_ && t.fix_ms && !t.sky_at_fix.empty())
    WriteLog(file_, SkyRows(run, t.sky_at_fix));
}
