// `zuvek-cli run --events`: the test's progress as JSON lines on standard
// output, one object per event, flushed at once, for a supervisor that runs
// several tests (zuvek-cli bench).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "timeline/timeline_record.h"

class RunEvents {
 public:
  // print: the lines go to standard output (--events); without, only to
  // the observer (the metrics of --metrics).
  explicit RunEvents(bool print = true) : print_(print) {}
  // Also hands each event to `observer` (before it is written). Set it
  // before the test starts.
  void SetObserver(std::function<void(const nlohmann::json&)> observer) {
    observer_ = std::move(observer);
  }
  // Writes {"event": name, ...fields} as one line. Any thread.
  void Emit(const std::string& name, nlohmann::json fields = nlohmann::json::object());
  // True once a line could not be written: the reader (a bench) is gone,
  // and the test it supervised should end, writing what it has.
  bool ReaderGone() const { return reader_gone_.load(); }

  // The engine's progress: a new run, a phase of the run, a timeline moment.
  void Phase(unsigned run, unsigned runs, const char* phase);
  void Timeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms);

 private:
  const bool print_;
  std::function<void(const nlohmann::json&)> observer_;
  std::mutex mutex_;
  std::atomic<bool> reader_gone_{false};
  unsigned run_ = 0;
  std::string phase_;
};

// "first NMEA", "first satellite", "2D", "3D", "fix".
const char* TimelineEventName(timeline::TimelinePhase phase);
