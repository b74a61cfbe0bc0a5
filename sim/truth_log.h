// The simulator's ground truth: one record per receiver start, with the
// moments (monotonic microseconds of the simulator's clock) at which the
// start's "OK" and its first fix were written: the leading RMC with status
// "A" of a modelled epoch, or the first line of a replay its fix rule takes;
// for a modelled receiver also the moments of its phases: the first GSV
// with a satellite at S/N > 0, the first GSA of fix type 2 and of type 3.
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
  std::int64_t first_snr_us = -1;   // the first GSV with a tracked satellite (-1: none)
  std::int64_t first_2d_us = -1;    // the first GSA of fix type 2 (-1: none)
  std::int64_t first_3d_us = -1;    // the first GSA of fix type 3 (-1: none)
  bool phases = false;              // the phases are recorded (a modelled receiver)
  int fix_epoch = -1;               // 0-based epoch of that sentence after the start
  bool closed = false;              // fixed, stopped or the simulator ended: line written
  // The position the fix epoch reported, and where the simulated antenna
  // truly is (none for a replay: the recording does not say).
  std::optional<GeoPosition> fix_position;
  std::optional<GeoPosition> true_position;

  std::int64_t TtffUs() const { return fix_us < 0 ? -1 : fix_us - ok_us; }
  // A moment as microseconds after the "OK"; -1 for none.
  std::int64_t AfterOkUs(std::int64_t us) const { return us < 0 ? -1 : us - ok_us; }
  // Every moment there is to wait for is known.
  bool Complete() const { return fix_us >= 0 && (!phases || first_3d_us >= 0); }
  std::string ToJson() const;
};

// Keeps the records and appends each, once it is complete (its fix and, for
// a modelled receiver, its 3D fix known) or closed, as one JSON line to the
// truth file (when there is one).
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
  // Records the first fix (later calls are ignored); writes the line once
  // the record is complete.
  void SetFix(std::size_t index, std::int64_t fix_us, int epoch,
              std::optional<GeoPosition> fix_position = std::nullopt);
  // Records the first moment of a phase (later calls are ignored).
  enum class Phase { kFirstSnr, kFirst2d, kFirst3d };
  void SetPhase(std::size_t index, Phase phase, std::int64_t us);
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
