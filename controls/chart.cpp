#include "controls/chart.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <utility>

namespace {

void RenderInto(QImage& image, const chart::Fonts& fonts, const std::vector<SatelliteBar>& bars,
                std::vector<chart::DrawnText>* texts) {
  QPainter painter(&image);
  chart::Paint(painter, {0, 0, image.width(), image.height()}, fonts, bars, texts);
}

}  // namespace

CChartContrl_columnar::CChartContrl_columnar(QWidget* parent)
    : QWidget(parent), repaint_(this, kMinRepaintIntervalMs) {
  bars_.reserve(kReservedBars);
  // The paint covers the whole area: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setAttribute(Qt::WA_NoSystemBackground, true);
  setFocusPolicy(Qt::ClickFocus);
}

CChartContrl_columnar::~CChartContrl_columnar() = default;

bool CChartContrl_columnar::Create(QWidget* parent, const QRect& rect, int control_id) {
  setParent(parent);
  setGeometry(rect);
  control_id_ = control_id;
  show();
  return true;
}

void CChartContrl_columnar::SetBars(std::vector<SatelliteBar> bars) {
  bars_ = std::move(bars);
  repaint_.Request();
}

QImage CChartContrl_columnar::Render(const std::vector<SatelliteBar>& bars, QSize size,
                                     std::vector<chart::DrawnText>* texts) {
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  const chart::Fonts fonts;
  RenderInto(image, fonts, bars, texts);
  return image;
}

void CChartContrl_columnar::paintEvent(QPaintEvent* /*event*/) {
  ++paint_count_;
  if (width() <= 0 || height() <= 0)
    return;
  if (buffer_.size() != size())
    buffer_ = QImage(size(), QImage::Format_RGB32);
  RenderInto(buffer_, fonts_, bars_, nullptr);
  QPainter painter(this);
  painter.drawImage(0, 0, buffer_);
}

void CChartContrl_columnar::keyPressEvent(QKeyEvent* event) {
  QWidget::keyPressEvent(event);
  setFocus();
}
