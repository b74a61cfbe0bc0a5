// A font description shaped like the window system's LOGFONT, and its
// translation to a Qt font. Heights are in pixels: a negative height is the
// character (em) height, a positive one the cell height (ascent + descent).
#pragma once

#include <QFont>
#include <QString>

#include "platform/win_types.h"

struct LogFont {
  static constexpr int kFaceNameMax = 31;  // characters, without the terminator

  int height = 0;
  int width = 0;        // average character width; 0 keeps the font's own
  int escapement = 0;   // tenths of a degree, counter-clockwise
  int orientation = 0;  // tenths of a degree
  int weight = 400;     // 400 normal, 700 bold
  BYTE italic = 0;
  BYTE underline = 0;
  BYTE strike_out = 0;
  BYTE char_set = 0;
  QString face_name;  // at most kFaceNameMax characters
};

// The Qt font for a description. A face the machine lacks is replaced by the
// font system's substitute. Escapement is not applied: whoever draws rotated
// text turns the painter.
QFont ToQFont(const LogFont& log_font);

// The description of a Qt font, with pixel heights at the given dots per inch.
LogFont FromQFont(const QFont& font, int dpi);

// The font whose cell height (ascent + descent) is about `cell_px` pixels, as
// a positive LOGFONT height asks for.
QFont FontWithCellHeight(const QString& family, int cell_px);

// Pixel height of a point size at the given dots per inch, rounded.
int PointsToPixels(int points, int dpi);
