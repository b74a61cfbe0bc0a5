// Did the reset take? A cold or warm start that behaves like a hot one is
// flagged "reset suspect": the receiver kept what the delete should have
// taken when
//   - a cold start's first epoch (the lines before the second RMC after the
//     start) already names satellites in use in a GSA, or
//   - the fix came faster than such a start can be: by default 10 s for a
//     cold start and 5 s for a warm one (a receiver needs the ephemeris,
//     30 s of broadcast at best, without assistance data; with XTRA the
//     thresholds stay, so a fast assisted start is worth a look too).
#pragma once

#include <string>

struct ResetThresholds {
  double cold_s = 10.0;
  double warm_s = 5.0;
};

// Fed every NMEA line of a fix wait, in order.
class FirstEpochWatch {
 public:
  void Feed(const std::string& line);
  // A GSA of the first epoch named a satellite in use.
  bool UsedInFirstEpoch() const { return used_; }

 private:
  int rmc_seen_ = 0;
  bool used_ = false;
};

// The reason a run is suspect ("used satellites in the first epoch", "fix in
// 2.14 s, faster than a cold start can be (10 s)"), or empty. Hot starts and
// runs without a fix are never suspect.
std::string ResetSuspicion(int restart_type, bool fixed, double ttff_s, bool used_in_first_epoch,
                           const ResetThresholds& thresholds);
