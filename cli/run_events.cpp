#include "cli/run_events.h"

#include <cstdio>

void RunEvents::Emit(const std::string& name, nlohmann::json fields) {
  nlohmann::json line = {{"event", name}};
  line.update(fields);
  if (observer_)
    observer_(line);
  if (!print_)
    return;
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::lock_guard<std::mutex> lock(mutex_);
  // A reader that went away (SIGPIPE is ignored): EPIPE from now on.
  if (std::fprintf(stdout, "%s\n", text.c_str()) < 0 || std::fflush(stdout) != 0)
    reader_gone_ = true;
}

void RunEvents::Phase(unsigned run, unsigned runs, const char* phase) {
  bool new_run = false, new_phase = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    new_run = run != run_;
    new_phase = new_run || phase_ != phase;
    run_ = run;
    phase_ = phase;
  }
  if (new_run)
    Emit("run", {{"run", run}, {"of", runs}});
  if (new_phase)
    Emit("phase", {{"run", run}, {"phase", phase}});
}

void RunEvents::Timeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) {
  Emit("phase", {{"run", run}, {"phase", TimelineEventName(phase)}, {"ms", ms}});
}

const char* TimelineEventName(timeline::TimelinePhase phase) {
  switch (phase) {
    case timeline::TimelinePhase::kFirstNmea:
      return "first NMEA";
    case timeline::TimelinePhase::kFirstSnr:
      return "first satellite";
    case timeline::TimelinePhase::kFirst2d:
      return "2D";
    case timeline::TimelinePhase::kFirst3d:
      return "3D";
    case timeline::TimelinePhase::kFix:
      return "fix";
  }
  return "?";
}
