// The bench's supervisor: one child process per module, each a `zuvek-cli
// run --events` of its own. It reads their event lines, shows the progress,
// ends a child that dies or stops talking as that module's failure only,
// and on an interrupt asks every child to end (SIGINT), waits a bounded
// time and kills those that do not.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "supervisor/bench_display.h"
#include "supervisor/module_state.h"

namespace supervisor {

struct ModuleLaunch {
  ModuleState state;  // name, folder, ports, truth
  std::vector<std::string> argv;
  std::string stderr_path;
};

struct SuperviseOptions {
  double silence_s = 30;  // a child that says nothing this long (real time) is ended
  double grace_s = 5;     // after an interrupt, before SIGKILL
  // Each event line a module's test wrote (its metrics read them), and the
  // modules' states after each turn of the loop; none: nothing.
  std::function<void(const std::string& module, const std::string& line)> on_event;
  std::function<void(const std::vector<ModuleState>& modules)> on_progress;
};

struct SuperviseResult {
  std::vector<ModuleState> modules;
  bool interrupted = false;
};

// Runs every child to its end. `interrupted` is looked at all the time
// (set it from a signal handler).
SuperviseResult Supervise(std::vector<ModuleLaunch> children, const SuperviseOptions& options,
                          const std::atomic<bool>& interrupted, BenchDisplay& display);

// The last non-empty line of a text file (a child's standard error); empty
// when there is none.
std::string LastLine(const std::string& path);

}  // namespace supervisor
