#include "app/picture_panel.h"

#include <QPainter>

PicturePanel::PicturePanel(Maker maker, QWidget* parent)
    : QWidget(parent), maker_(std::move(maker)), repaint_(this, kMinRepaintIntervalMs) {
  setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void PicturePanel::paintEvent(QPaintEvent* /*event*/) {
  ++paint_count_;
  QPainter painter(this);
  const report::Picture picture = maker_(size());
  if (picture.Empty()) {
    painter.fillRect(rect(), Qt::white);
    return;
  }
  picture.paint(painter);
}
