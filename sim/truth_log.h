// The simulator's ground truth: one record per receiver start, with the
// moments (monotonic microseconds of the simulator's clock) at which the
// start's "OK" and its first fix were written: the leading RMC with status
// "A" of a modelled epoch, or the first line of a replay its fix rule takes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "geo/geo_position.h"

namespace sim {

struct TruthRecord {
  int start = 0;                    // 1-based number of the start in this session
  int run = 0;                      // run number the start belongs to
  int restart_type = 0;             // 0 hot, 1 cold, 2 warm
  bool assisted = false;            // XTRA time or data acknowledged before it
  bool replay = false;              // the NMEA came from a recording
  std::int64_t ok_us = 0;           // "OK" to the start command written
  std::int64_t ttff_drawn_us = -1;  // drawn TTFF (-1: none, e.g. replay or no-fix)
  std::int64_t fix_us = -1;         // the fix line written (-1: none)
  int fix_epoch = -1;               // 0-based epoch of that sentence after the start
  bool closed = false;              // fixed, stopped or the simulator ended: line written
  // The position the fix epoch reported, and where the simulated antenna
  // truly is (none for a replay: the recording does not say).
  std::optional<GeoPosition> fix_position;
  std::optional<GeoPosition> true_position;

  std::int64_t TtffUs() const { return fix_us < 0 ? -1 : fix_us - ok_us; }
  std::string ToJson() const;
};

// Keeps the records and appends each, once it is complete, as one JSON line
// to the truth file (when there is one).
class TruthLog {
 public:
  TruthLog() = default;
  ~TruthLog();
  TruthLog(const TruthLog&) = delete;
  TruthLog& operator=(const TruthLog&) = delete;

  bool Open(const std::string& path);
  // Forgets every record and closes the file (a new session).
  void Reset();
  // Starts a new record; returns its index.
  std::size_t Begin(const TruthRecord& record);
  // Records the first fix (later calls are ignored) and writes the line.
  void SetFix(std::size_t index, std::int64_t fix_us, int epoch,
              std::optional<GeoPosition> fix_position = std::nullopt);
  // Completes the record and writes its line (once).
  void Close(std::size_t index);
  void CloseAll();
  std::vector<TruthRecord> Records() const;

 private:
  void WriteLocked(const TruthRecord& record);

  mutable std::mutex mutex_;
  std::vector<TruthRecord> records_;
  std::FILE* file_ = nullptr;
};

}  // namespace sim
