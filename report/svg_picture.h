// A picture painted into SVG text (for the HTML report) or into an image.
#pragma once

#include <QImage>
#include <string>

#include "report/pictures.h"

namespace report {

// The picture as an <svg> element, without the XML declaration, ready to
// stand inside HTML.
std::string ToSvg(const Picture& picture, const std::string& title);
QImage ToImage(const Picture& picture);
// The picture as a <figure> with that id, for the page; empty for an empty one.
std::string SvgFigure(const Picture& picture, const std::string& title, const std::string& id);

}  // namespace report
