// Beside the status line: the time since the start's "OK" of the run that
// waits for its fix, counting up a few times a second, and its phases
// (first satellite, 2D, 3D, fix) as they happen. Lives on the GUI thread;
// the window hands it what the engine tells from its worker.
#pragma once

#include <QLabel>
#include <QTimer>

#include "platform/clock.h"
#include "timeline/run_clock.h"

class RunClockLabel : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 200;

  RunClockLabel(platform::Clock& clock, QWidget* parent);

  void StartRun(unsigned run, unsigned runs, std::int64_t ok_us);
  void Reach(unsigned run, timeline::TimelinePhase phase, std::int64_t ms);
  // The test ended: blank.
  void Clear();

 private:
  void Refresh();

  platform::Clock& clock_;
  timeline::RunClock run_clock_;
  QTimer timer_;
};
