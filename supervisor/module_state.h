// What the bench knows of one module's test: filled from the JSON lines its
// child `zuvek-cli run --events` writes, and from the child's end.
#pragma once

#include <optional>
#include <string>

namespace supervisor {

struct ModuleState {
  std::string name;
  std::string folder;  // DAY/NAME, absolute
  std::string at_port, nmea_port;
  std::string truth;  // the simulator's truth log (sim mode only)
  unsigned run = 0, runs = 0;
  std::string phase;
  std::optional<double> last_ttff_s;
  bool last_failed = false;
  unsigned ok = 0, failed = 0;
  std::string summary, csv;  // from the end event, else found in the folder
  bool started = false;      // the start event arrived
  bool ended = false;        // the child was reaped
  int exit_code = -1;        // the child's, or -1 when it never ran
  std::string problem;       // why the module failed to start, died or was ended
  std::string end_reason;    // how its test ended, as the test tells ("completed", ...)
  double cpu_s = 0, wall_s = 0;
};

// Applies one event line. Returns the plain progress line worth telling
// ("run 2 of 5", "run 2: fix in 3.10 s"), empty for none; a line that is
// not an event changes nothing.
std::string ApplyEvent(ModuleState& state, const std::string& line);

// The module's line of the live display: name, run i of N, phase, last
// TTFF, ok and fail counts, or its problem. `width` pads the name.
std::string ModuleLine(const ModuleState& state, std::size_t width);

}  // namespace supervisor
