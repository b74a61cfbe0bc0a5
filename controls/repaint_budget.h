// Repainting on a budget: a widget that gets new data many times a second
// is redrawn at most every interval, the last data always drawn (the
// pending repaint shows it).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QWidget>

class RepaintBudget : public QObject {
  Q_OBJECT

 public:
  RepaintBudget(QWidget* widget, int interval_ms);
  // New data: repaints now, or once the interval since the last one is over.
  void Request();

 private:
  void RepaintNow();

  QWidget* widget_;
  int interval_ms_;
  QTimer timer_;
  QElapsedTimer since_repaint_;
};
