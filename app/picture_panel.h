// A widget that shows one of the report's pictures, drawn for the widget's
// size each time it paints (the same QPainter code as the report's SVG), and
// redrawn at most 25 times a second however often its data change.
#pragma once

#include <QWidget>
#include <functional>

#include "controls/repaint_budget.h"
#include "report/pictures.h"

class PicturePanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMinRepaintIntervalMs = 40;
  using Maker = std::function<report::Picture(QSize)>;

  PicturePanel(Maker maker, QWidget* parent);
  // The data changed: repaint on the budget.
  void Refresh() { repaint_.Request(); }
  int PaintCount() const { return paint_count_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Maker maker_;
  RepaintBudget repaint_;
  int paint_count_ = 0;
};
