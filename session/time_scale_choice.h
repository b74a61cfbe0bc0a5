// Which clock speed a test may run at. A scaled clock is only for the module
// simulator: against a real module every TTFF would come out N times too
// long and every time-out N times too short. So a scale other than 1 is
// taken only when both ports belong to one running simulator, at the scale
// that simulator published beside its links (platform/sim_ports.h), or for
// the built-in simulator of `zuvek-cli run`, which the caller decides alone.
#pragma once

#include <optional>
#include <string>

struct TimeScaleChoice {
  double scale = 1.0;
  bool refused = false;  // the command line asked for what cannot be given
  std::string note;      // one sentence for standard error; empty: nothing to say
};

// `zuvek-cli run --at-port AT --nmea-port NMEA [--time-scale ASKED]`:
// without ASKED the scale of the ports' simulator (1 for other ports); an
// ASKED other than 1 on other ports, or one that differs from the
// simulator's, is refused with the reason.
TimeScaleChoice ChooseRunTimeScale(std::optional<double> asked, const std::string& at_port,
                                   const std::string& nmea_port);

// The window at Open, ASKED from ZUVEK_TIME_SCALE: the scale of the ports'
// simulator (what was asked is ignored when it differs, with a note); real
// time on any other ports, with a note when a scale was asked.
TimeScaleChoice ChooseWindowTimeScale(std::optional<double> asked, const std::string& at_port,
                                      const std::string& nmea_port);
