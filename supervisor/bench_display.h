// The bench's progress: on a terminal one line per module and a bench line,
// redrawn in place; elsewhere plain lines, one per event worth telling.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "supervisor/module_state.h"

namespace supervisor {

class BenchDisplay {
 public:
  // live: redraw in place (a terminal); quiet: show nothing.
  BenchDisplay(std::FILE* out, bool live, bool quiet) : out_(out), live_(live), quiet_(quiet) {}

  // A plain line for module `name` (only when not live).
  void Tell(const std::string& name, const std::string& text);
  // Redraws the block, at most a few times a second unless forced.
  void Draw(const std::vector<ModuleState>& modules, bool force = false);
  // Leaves the block as it is and moves below it.
  void Finish(const std::vector<ModuleState>& modules);

 private:
  std::FILE* out_;
  const bool live_, quiet_;
  std::size_t drawn_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_draw_{};
};

// "bench  4 modules  running 3  done 1  failed 0  00:01:12".
std::string BenchLine(const std::vector<ModuleState>& modules, long long elapsed_s);

}  // namespace supervisor
