#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap AppIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // Rounded dark-blue tile.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 50, 120));
  p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
  // Four signal bars of rising height, green like the chart's used bars.
  const qreal bar_w = s * 0.12;
  for (int i = 0; i < 4; ++i) {
    const qreal h = s * (0.22 + 0.14 * i);
    p.setBrush(i == 3 ? QColor(255, 200, 40) : QColor(60, 200, 90));
    p.drawRect(QRectF(s * 0.14 + i * s * 0.19, s * 0.86 - h, bar_w, h));
  }
  // A white baseline under the bars.
  p.setBrush(Qt::white);
  p.drawRect(QRectF(s * 0.1, s * 0.86, s * 0.8, s * 0.05));
  return pixmap;
}

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64})
    icon.addPixmap(AppIconPixmap(size));
  return icon;
}
