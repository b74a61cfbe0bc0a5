#include "timeline/run_clock.h"

#include <algorithm>
#include <cstdio>

namespace timeline {

namespace {

std::string Seconds(std::int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  return text;
}

}  // namespace

std::string ClockText(std::int64_t ms) {
  const std::int64_t tenths = std::max<std::int64_t>(ms, 0) / 100;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
  return text;
}

void RunClock::Start(unsigned run, unsigned runs, std::int64_t ok_us, std::int64_t now_us) {
  *this = RunClock();
  run_ = run;
  runs_ = runs;
  ok_us_ = ok_us > 0 ? ok_us : now_us;
}

void RunClock::Reach(unsigned run, TimelinePhase phase, std::int64_t ms) {
  if (run != run_)
    return;
  switch (phase) {
    case TimelinePhase::kFirstSnr:
      first_snr_ms_ = ms;
      break;
    case TimelinePhase::kFirst2d:
      first_2d_ms_ = ms;
      break;
    case TimelinePhase::kFirst3d:
      first_3d_ms_ = ms;
      break;
    case TimelinePhase::kFix:
      fix_ms_ = ms;
      break;
    case TimelinePhase::kFirstNmea:
      break;
  }
}

std::string RunClock::Text(std::int64_t now_us) const {
  if (run_ == 0)
    return "";
  const std::int64_t elapsed_ms = fix_ms_ ? *fix_ms_ : (now_us - ok_us_) / 1000;
  std::string text = "Run " + std::to_string(run_) + " of " + std::to_string(runs_) + " \u00b7 " +
                     ClockText(elapsed_ms) + (fix_ms_ ? " to the fix" : " since start");
  std::string phases;
  auto add = [&phases](const char* name, const std::optional<std::int64_t>& ms) {
    if (ms)
      phases += (phases.empty() ? "" : " \u00b7 ") + std::string(name) + " " + Seconds(*ms);
  };
  add("first satellite", first_snr_ms_);
  add("2D", first_2d_ms_);
  add("3D", first_3d_ms_);
  add("fix", fix_ms_);
  return phases.empty() ? text : text + "\n" + phases;
}

}  // namespace timeline
