// The drawing steps the satellite chart's two forms share (the classic bars
// and the bars per signal): the window system's rectangles and texts, the
// legend, the titles, the plot area, the axes and the scale. Each records the
// texts it draws when `texts` is given.
#pragma once

#include <QColor>
#include <QPainter>
#include <QString>
#include <vector>

#include "controls/chart_painter.h"

namespace chart::draw {

inline const QColor kBackground(205, 205, 205);
inline const QColor kPlot(205, 205, 205);
inline const QColor kFrame(125, 125, 125);
inline const QColor kAxis(0, 0, 0);
inline const QColor kUsed(90, 151, 206);
inline const QColor kTracked(255, 255, 255);
inline const QColor kSbas(106, 168, 82);
inline const QColor kValueBack(255, 255, 0);
inline constexpr int kSbasSystem = 2;
inline const QString kFace = QStringLiteral("Arial Unicode MS");

// The window system's Rectangle: outline on the pen, inside the right and
// bottom edges; the brush fills the inside.
void Rectangle(QPainter& p, int l, int t, int r, int b, const QColor& pen, const QColor& brush);
void FillSolid(QPainter& p, const Box& box, const QColor& colour);
// DrawText in a box with the given alignment, never clipped.
void Text(QPainter& p, const Box& box, int flags, const QString& text,
          std::vector<DrawnText>* texts);
// TextOut: the text's top left corner at (x, y).
void TextAt(QPainter& p, int x, int y, const QString& text, std::vector<DrawnText>* texts);

// "Used", "Tracked" and "SBAS" with their boxes, at the top of `client`.
void Legend(QPainter& p, const Box& client, const Fonts& fonts, std::vector<DrawnText>* texts);
// The axis titles.
void Titles(QPainter& p, const Box& client, const Box& plot, const Fonts& fonts,
            std::vector<DrawnText>* texts);
// Arrow heads, axes and the frame of the plot.
void Axes(QPainter& p, const Box& plot);
// Legend, titles, plot area and axes, in the order the classic chart draws them.
void Frame(QPainter& p, const Box& client, const Box& plot, const Fonts& fonts,
           std::vector<DrawnText>* texts);
// Ticks and numbers 0, 13, ..., 65 on the vertical axis.
void Scale(QPainter& p, const Box& plot, const Fonts& fonts, std::vector<DrawnText>* texts);

}  // namespace chart::draw
