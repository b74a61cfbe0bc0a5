#include "controls/log_font.h"

#include <QFontMetrics>
#include <cmath>
#include <cstdlib>

int PointsToPixels(int points, int dpi) {
  return static_cast<int>(std::lround(points * static_cast<double>(dpi) / 72.0));
}

QFont FontWithCellHeight(const QString& family, int cell_px) {
  QFont font(family);
  if (cell_px <= 0)
    return font;
  font.setPixelSize(cell_px);
  const int measured = QFontMetrics(font).height();
  if (measured > cell_px) {
    const int em = static_cast<int>(std::lround(cell_px * static_cast<double>(cell_px) / measured));
    font.setPixelSize(em > 0 ? em : 1);
  }
  return font;
}

QFont ToQFont(const LogFont& log_font) {
  QFont font = log_font.height > 0 ? FontWithCellHeight(log_font.face_name, log_font.height)
                                   : QFont(log_font.face_name);
  if (log_font.height < 0)
    font.setPixelSize(std::abs(log_font.height));
  font.setWeight(log_font.weight >= 700 ? QFont::Bold : QFont::Normal);
  font.setItalic(log_font.italic != 0);
  font.setUnderline(log_font.underline != 0);
  font.setStrikeOut(log_font.strike_out != 0);
  if (log_font.width > 0) {
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0) {
      const int stretch = log_font.width * 100 / natural;
      font.setStretch(stretch < 1 ? 1 : (stretch > 4000 ? 4000 : stretch));
    }
  }
  return font;
}

LogFont FromQFont(const QFont& font, int dpi) {
  LogFont log_font;
  if (font.pixelSize() > 0) {
    log_font.height = -font.pixelSize();
  } else {
    log_font.height = -static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0));
  }
  log_font.weight = font.bold() ? 700 : 400;
  log_font.italic = font.italic() ? 1 : 0;
  log_font.underline = font.underline() ? 1 : 0;
  log_font.strike_out = font.strikeOut() ? 1 : 0;
  log_font.face_name = font.family().left(LogFont::kFaceNameMax);
  return log_font;
}
