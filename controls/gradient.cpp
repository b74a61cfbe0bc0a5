#include "controls/gradient.h"

void FillGradient(QPainter& painter, const QRect& rect, COLORREF start, COLORREF end, int steps) {
  const int width = rect.width();
  if (width <= 0 || rect.height() <= 0)
    return;
  int n = steps;
  if (width < n)
    n = width;
  const int d = n < 2 ? 1 : n;

  int r = GetRValue(start) << 8;
  int g = GetGValue(start) << 8;
  int b = GetBValue(start) << 8;
  const int dr = (GetRValue(end) - GetRValue(start)) * 256 / d;
  const int dg = (GetGValue(end) - GetGValue(start)) * 256 / d;
  const int db = (GetBValue(end) - GetBValue(start)) * 256 / d;
  const int strip = width / d;
  const int right_edge = rect.left() + width;  // one past the last column

  int left = rect.left();
  for (int i = 0; i < n; ++i) {
    const int right = (i == n - 1) ? right_edge : left + strip;
    if (right > left) {
      painter.fillRect(QRect(left, rect.top(), right - left, rect.height()),
                       QColor(r >> 8, g >> 8, b >> 8));
    }
    left = right;
    r += dr;
    g += dg;
    b += db;
  }
}
