// "<stem>_sky.csv": the satellites in view at the fix of each run of a test,
// where they stood, their use and their S/N per signal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "nmea/sky_epoch.h"
#include "timeline/timeline_record.h"

// At the fix of each run, a row per satellite in view and
// signal (one row with an empty signal when the receiver names none):
//   "2,GPS,5,62,48,1,L1 C/A,44"   (elevation and azimuth empty when unknown)
inline constexpr const char* kSkyHeader = "run,system,prn,elevation,azimuth,used,signal,snr";
std::string SkyRows(unsigned run, const std::vector<SkySatellite>& sky);

class SkyFile {
 public:
  ~SkyFile() { Close(); }
  // Opens "<base>_sky.csv" with its header; false (and no file) when it cannot.
  bool Open(const std::string& base);
  void Close();
  // The run's sky at its fix (nothing without a fix), flushed.
  void Add(unsigned run, const timeline::TimelineRecord& t);
  const std::string& Path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};
