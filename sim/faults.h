// Faults the simulated module can show, chosen for the whole session by
// options or per run by a small script ("run 2: no-delete-ack").
//
// Script text, one rule per line ("#" starts a comment):
//   all: late=300              every run
//   run 2: no-delete-ack       only run 2
//   run 3: error=AT+WGPS=1 drop-nmea=4.5
// Fault words:
//   silent           no AT reply at all (not even the echo)
//   late=MS          every AT reply comes MS ms (simulator time) late
//   no-delete-ack    AT+WGPSDEL is echoed but never acknowledged
//   error[=PREFIX]   "ERROR" instead of the reply (commands starting PREFIX)
//   gnss-on          the receiver is already running at the run's first query
//   no-fix           the receiver never gets a fix
//   reset-ignored    deletes (and a start's own restart type) are acknowledged
//                    but change nothing: the receiver keeps its fix and
//                    reports it from its first epoch on
//   garbage          binary garbage, NUL bytes and an overlong line each epoch
//   split-crlf       every NMEA line's CR and LF leave in separate writes
//   burst            each epoch padded above 1024 bytes, written at once
//   drop-nmea=S      the NMEA port vanishes S s after the run's start "OK"
//   drop-at=S        the AT port vanishes S s after the run's start "OK"
//   vanish=S:D       both ports vanish S s after the run's start "OK" (the
//                    module resets: its receiver stops) and come back D s
//                    later as new pseudo-terminals under the same links
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace sim {

struct FaultSet {
  bool silent = false;
  std::int64_t late_ms = 0;
  bool no_delete_ack = false;
  bool error = false;
  std::string error_prefix;  // upper case; empty: every command
  bool gnss_on = false;
  bool no_fix = false;
  bool reset_ignored = false;
  bool garbage = false;
  bool split_crlf = false;
  bool burst = false;
  double drop_nmea_s = -1;  // < 0: never
  double drop_at_s = -1;
  double vanish_after_s = -1;  // < 0: never
  double vanish_for_s = 0;

  // Adds the faults of `other` to these (a later value wins).
  void Merge(const FaultSet& other);
  // Whether the (upper-case) command gets "ERROR" instead of its reply.
  bool ErrorFor(const std::string& command) const;
};

// Applies one fault word ("late=300"); false when it is not one.
bool ApplyFaultWord(const std::string& word, FaultSet& faults);

class FaultScript {
 public:
  // Parses the script text; on a bad line returns nullopt and sets error.
  static std::optional<FaultScript> Parse(const std::string& text, std::string* error);
  static std::optional<FaultScript> Load(const std::string& path, std::string* error);

  void Set(int run, const FaultSet& faults) { runs_[run] = faults; }
  void SetAll(const FaultSet& faults) { all_ = faults; }
  // The faults of run `run` (1-based): the all-runs rule plus its own.
  FaultSet ForRun(int run) const;

 private:
  FaultSet all_;
  std::map<int, FaultSet> runs_;
};

}  // namespace sim
