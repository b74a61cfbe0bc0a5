#include "report/svg_picture.h"

#include <QBuffer>
#include <QSvgGenerator>

namespace report {

std::string ToSvg(const Picture& picture, const std::string& title) {
  if (picture.Empty())
    return {};
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(picture.size.toSize());
  svg.setViewBox(QRectF(QPointF(0, 0), picture.size));
  svg.setTitle(QString::fromStdString(title));
  {
    QPainter painter(&svg);
    picture.paint(painter);
  }
  std::string text = buffer.data().toStdString();
  const std::size_t start = text.find("<svg");
  if (start == std::string::npos)
    return {};
  text.erase(0, start);
  // The generator gives the size in millimetres; the page lays it out in
  // CSS pixels, one per picture unit.
  const std::string size = "<svg width=\"" + std::to_string(picture.size.toSize().width()) +
                           "\" height=\"" + std::to_string(picture.size.toSize().height()) + "\"";
  const std::size_t attributes = text.find("viewBox");
  if (attributes != std::string::npos && attributes < text.find('>'))
    text.replace(0, attributes, size + " ");
  // Inside HTML the namespaces are implied; without them the file names no
  // address at all.
  for (const char* xmlns :
       {" xmlns=\"http://www.w3.org/2000/svg\"", " xmlns:xlink=\"http://www.w3.org/1999/xlink\""}) {
    const std::size_t at = text.find(xmlns);
    if (at != std::string::npos && at < text.find('>'))
      text.erase(at, std::string(xmlns).size());
  }
  return text;
}

std::string SvgFigure(const Picture& picture, const std::string& title, const std::string& id) {
  if (picture.Empty())
    return {};
  return "<figure id=\"" + id + "\" style=\"margin:0\">" + ToSvg(picture, title) + "</figure>\n";
}

QImage ToImage(const Picture& picture) {
  QImage image(picture.size.toSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  if (!picture.Empty()) {
    QPainter painter(&image);
    picture.paint(painter);
  }
  return image;
}

}  // namespace report
