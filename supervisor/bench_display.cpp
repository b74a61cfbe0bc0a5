#include "supervisor/bench_display.h"

#include <algorithm>

namespace supervisor {

std::string BenchLine(const std::vector<ModuleState>& modules, long long elapsed_s) {
  unsigned running = 0, done = 0, failed = 0;
  for (const ModuleState& m : modules) {
    if (!m.ended)
      ++running;
    else if (m.exit_code == 0)
      ++done;
    else
      ++failed;
  }
  char line[160];
  std::snprintf(line, sizeof line,
                "bench  %zu module%s  running %u  done %u  failed %u  %02lld:%02lld:%02lld",
                modules.size(), modules.size() == 1 ? "" : "s", running, done, failed,
                elapsed_s / 3600, elapsed_s / 60 % 60, elapsed_s % 60);
  return line;
}

void BenchDisplay::Tell(const std::string& name, const std::string& text) {
  if (quiet_ || live_ || text.empty())
    return;
  std::fprintf(out_, "%s: %s\n", name.c_str(), text.c_str());
  std::fflush(out_);
}

void BenchDisplay::Draw(const std::vector<ModuleState>& modules, bool force) {
  if (quiet_ || !live_)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(250))
    return;
  last_draw_ = now;
  std::size_t width = 0;
  for (const ModuleState& m : modules)
    width = std::max(width, m.name.size());
  std::string text;
  if (drawn_ > 0)
    text += "\033[" + std::to_string(drawn_) + "A";
  for (const ModuleState& m : modules)
    text += "\r\033[K" + ModuleLine(m, width) + "\n";
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - start_).count();
  text += "\r\033[K" + BenchLine(modules, static_cast<long long>(elapsed)) + "\n";
  drawn_ = modules.size() + 1;
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
}

void BenchDisplay::Finish(const std::vector<ModuleState>& modules) {
  Draw(modules, true);
  if (!quiet_ && !live_) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_)
            .count();
    std::fprintf(out_, "%s\n", BenchLine(modules, static_cast<long long>(elapsed)).c_str());
    std::fflush(out_);
  }
}

}  // namespace supervisor
