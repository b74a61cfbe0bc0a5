#include "app/qt/dialog_units.h"

#include <QFontMetrics>
#include <cstdint>

namespace qtui {

int MulDiv(int a, int b, int c) {
  if (c == 0)
    return 0;
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

QFont DialogFont() {
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setPointSize(8);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 letters, rounded, as the window system takes it.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = (letters / 26 + 1) / 2;
  base_y_ = metrics.height();
  if (base_x_ < 1)
    base_x_ = 1;
  if (base_y_ < 1)
    base_y_ = 1;
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QRect DialogRectToPixels(int x, int y, int width, int height) {
  static const DialogUnits units(DialogFont());
  return units.ToPixels(x, y, width, height);
}

}  // namespace qtui
