#include "app/run_clock_label.h"

RunClockLabel::RunClockLabel(platform::Clock& clock, QWidget* parent)
    : QLabel(parent), clock_(clock) {
  setObjectName(QStringLiteral("runClock"));
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  timer_.setInterval(kRefreshMs);
  connect(&timer_, &QTimer::timeout, this, &RunClockLabel::Refresh);
}

void RunClockLabel::StartRun(unsigned run, unsigned runs, std::int64_t ok_us) {
  run_clock_.Start(run, runs, ok_us, clock_.MonotonicUs());
  timer_.start();
  Refresh();
}

void RunClockLabel::Reach(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) {
  run_clock_.Reach(run, phase, ms);
  Refresh();
}

void RunClockLabel::Clear() {
  run_clock_.Clear();
  timer_.stop();
  setText(QString());
}

void RunClockLabel::Refresh() {
  setText(QString::fromStdString(run_clock_.Text(clock_.MonotonicUs())));
}
