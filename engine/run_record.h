// One run of a test as every output holds it: the result log's line, the
// runs CSV's row, the results store's row, the summary's counts and the
// report's table all come from this record (engine/run_columns.h turns it
// into fields by column name and back).
#pragma once

#include <optional>
#include <string>

#include "geo/geo_position.h"
#include "timeline/timeline_record.h"

struct RunRecord {
  unsigned run = 0;
  bool success = false;
  double ttff_s = 0.0;         // as the result log has it (100-ms polls)
  double ttff_precise_s = -1;  // from the arrival stamps; < 0 when unknown
  int restart_type = 0;
  bool xtra = false;
  std::string start_time;   // local time of the GNSS start, "yyyy-mm-dd hh:mm:ss"
  double time_scale = 1.0;  // the clock's speed during the test
  // Why a run without a fix failed ("time-out", "port lost", "stopped",
  // "reset refused"); empty for a fix.
  std::string reason;
  // The address of the sentence that made the fix ("GNRMC"); empty without one.
  std::string fix_sentence;
  // The position the fix reported (none: a fix line without one, or no fix);
  // an altitude only when the fix line or the capture after it gave one.
  std::optional<GeoPosition> fix_position;
  // The fix's horizontal and 3D distances from the test's reference, when
  // it has a given one (none with "auto": known only at the end).
  std::optional<double> error_m, error_3d_m;
  // Why the reset looks as if it did not take; empty when it took.
  std::string reset_suspect;
  // The moments of the run after its start's "OK" (the last CSV columns).
  timeline::TimelineRecord timeline;
  // Where a run without a fix is censored: its test's time-out (seconds).
  // Not a column: the summary says it for the test; the report and the
  // store's readers set it when they pool tests with other time-outs.
  std::optional<double> timeout_s;
};

// The reasons of a run without a fix that are not the receiver's.
inline constexpr const char* kReasonPortLost = "port lost";
inline constexpr const char* kReasonStopped = "stopped";
// The module refused the command that resets the receiver for the test's
// restart type (its delete, or a start of that type's own), so the run was
// never that restart.
inline constexpr const char* kReasonResetRefused = "reset refused";
// A hook of the run failed and its policy fails the run: the reason is
// "hook failed: NAME" (hooks/hook.h).
inline constexpr const char* kReasonHookFailed = "hook failed";
inline bool IsHookFailure(const std::string& reason) {
  return reason.rfind(kReasonHookFailed, 0) == 0;
}

// A run that the bench ended, not the receiver: its port was lost, the test
// was stopped (Stop, or the window closed) before the run had its result,
// the module refused its reset, or a hook of the run failed. It is no attempt of the receiver: the
// statistics and the success rate leave it out, and count it only in M of
// "L of M" valid runs.
inline bool EndedByTheBench(const std::string& reason) {
  return reason == kReasonPortLost || reason == kReasonStopped || reason == kReasonResetRefused ||
         IsHookFailure(reason);
}
