// The label's horizontal colour gradient, filled in vertical strips.
#pragma once

#include <QPainter>
#include <QRect>

#include "controls/colorref.h"

// Fills `rect` from `start` (left) to `end` (right) in `steps` strips of
// equal width, the last strip taking what is left up to the right edge. The
// channel values step in 8.8 fixed point. A rectangle narrower than `steps`
// pixels gets one strip per pixel.
void FillGradient(QPainter& painter, const QRect& rect, COLORREF start, COLORREF end,
                  int steps = 100);
