// Dialog units to pixels. A dialog unit is a quarter of the dialog font's
// average character width horizontally and an eighth of its height
// vertically; the dialog font is "MS Shell Dlg" at 8 points (or the font
// system's substitute for it).
#pragma once

#include <QFont>
#include <QRect>

namespace qtui {

// MulDiv: a * b / c rounded half away from zero; 0 when c is 0.
int MulDiv(int a, int b, int c);

// The dialog font: "MS Shell Dlg", 8 points.
QFont DialogFont();

class DialogUnits {
 public:
  // Measures the base units of a font.
  explicit DialogUnits(const QFont& font);

  int BaseX() const { return base_x_; }
  int BaseY() const { return base_y_; }
  int ToPixelsX(int dlu_x) const { return MulDiv(dlu_x, base_x_, 4); }
  int ToPixelsY(int dlu_y) const { return MulDiv(dlu_y, base_y_, 8); }
  // A control's rectangle, each of x, y, width and height scaled on its own
  // as the dialog manager does.
  QRect ToPixels(int x, int y, int width, int height) const;

 private:
  int base_x_;
  int base_y_;
};

// A rectangle in dialog units of the dialog font, in pixels.
QRect DialogRectToPixels(int x, int y, int width, int height);

}  // namespace qtui
