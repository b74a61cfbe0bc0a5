#include "controls/repaint_budget.h"

RepaintBudget::RepaintBudget(QWidget* widget, int interval_ms)
    : QObject(widget), widget_(widget), interval_ms_(interval_ms) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &RepaintBudget::RepaintNow);
}

void RepaintBudget::Request() {
  if (timer_.isActive())
    return;  // the pending repaint draws the new data
  if (!since_repaint_.isValid() || since_repaint_.elapsed() >= interval_ms_) {
    RepaintNow();
  } else {
    timer_.start(static_cast<int>(interval_ms_ - since_repaint_.elapsed()));
  }
}

void RepaintBudget::RepaintNow() {
  since_repaint_.start();
  widget_->update();
}
