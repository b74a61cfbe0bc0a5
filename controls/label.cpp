#include "controls/label.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <utility>

#include "controls/gradient.h"

namespace {

CLabel::UrlOpener& Opener() {
  static CLabel::UrlOpener opener;
  return opener;
}

void OpenUrl(const QUrl& url) {
  if (Opener()) {
    Opener()(url);
  } else {
    QDesktopServices::openUrl(url);
  }
}

// Win32 static text uses "\r\n" for a line break; the painter wants "\n".
QString DrawableText(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

}  // namespace

CLabel::CLabel(QWidget* parent, const QString& text, DWORD style)
    : QWidget(parent), text_(text), style_(style) {
  text_color_ = FromQColor(palette().color(QPalette::WindowText));
  // Take over the font the control was given, as a subclassed static does.
  log_font_ = FromQFont(font(), logicalDpiY());
  RebuildFont();
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  flash_timer_.setInterval(kFlashIntervalMs);
  connect(&flash_timer_, &QTimer::timeout, this, &CLabel::OnFlashTimer);
}

CLabel::~CLabel() = default;

CLabel::UrlOpener CLabel::SetUrlOpener(UrlOpener opener) {
  return std::exchange(Opener(), std::move(opener));
}

CLabel& CLabel::SetBackground(COLORREF colour, COLORREF end_colour, BOOL gradient) {
  background_ = colour;
  gradient_end_ = end_colour;
  gradient_ = gradient != 0;
  background_brush_.reset();
  if (!gradient_)
    background_brush_ = colour;
  Redraw();
  return *this;
}

CLabel& CLabel::SetTextColor(COLORREF colour) {
  text_color_ = colour;
  Redraw();
  return *this;
}

CLabel& CLabel::SetText(const QString& text) {
  // A Qt widget exists from its construction, so the text always takes.
  text_ = text;
  Redraw();
  return *this;
}

CLabel& CLabel::SetBold(BOOL bold) {
  log_font_.weight = bold ? 700 : 400;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetFaceName(const QString& name, BYTE char_set) {
  log_font_.char_set = char_set;
  // The description holds at most 31 characters; a longer name is cut.
  log_font_.face_name = name.left(LogFont::kFaceNameMax);
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetUnderline(BOOL underline) {
  log_font_.underline = underline ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetItalic(BOOL italic) {
  log_font_.italic = italic ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetPointSize(int points) {
  // A point font has a negative (character) height and no width of its own.
  log_font_.height = -PointsToPixels(points, logicalDpiY());
  log_font_.width = 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetSunkenEdge(BOOL on) {
  ex_style_ = on ? (ex_style_ | WS_EX_STATICEDGE) : (ex_style_ & ~WS_EX_STATICEDGE);
  UpdateFrame();
  return *this;
}

CLabel& CLabel::SetBorder(BOOL on) {
  style_ = on ? (style_ | WS_BORDER) : (style_ & ~WS_BORDER);
  UpdateFrame();
  return *this;
}

CLabel& CLabel::SetTransparent(BOOL on) {
  transparent_ = on != 0;
  ex_style_ |= WS_EX_TRANSPARENT;
  setAttribute(Qt::WA_OpaquePaintEvent, !transparent_);
  Redraw();
  return *this;
}

CLabel& CLabel::SetFlashText(BOOL on) {
  if (on) {
    StartFlash(kFlashText);
  } else {
    StopFlash();
  }
  return *this;
}

CLabel& CLabel::SetFlashBackground(BOOL on) {
  if (on) {
    StartFlash(kFlashBackground);
  } else {
    StopFlash();
  }
  return *this;
}

void CLabel::StartFlash(int kind) {
  flash_timer_.stop();
  flash_phase_ = false;
  flash_kind_ = kind;
  flash_timer_.start();
  Redraw();
}

void CLabel::StopFlash() {
  // Turning either kind off ends flashing altogether, so that neither the
  // text nor the background stays in its hidden phase.
  flash_timer_.stop();
  flash_kind_ = kNoFlash;
  Redraw();
}

CLabel& CLabel::SetHyperlink(BOOL on, BOOL notify) {
  link_kind_ = on ? kHyperlink : kNoLink;
  notify_parent_ = notify != 0;
  style_ = on ? (style_ | SS_NOTIFY) : (style_ & ~SS_NOTIFY);
  return *this;
}

CLabel& CLabel::SetLinkCursor(const QCursor& cursor) {
  link_cursor_ = cursor;
  setCursor(cursor);
  return *this;
}

CLabel& CLabel::SetRaisedText(BOOL on, BOOL direction) {
  raised_ = on != 0;
  raised_direction_ = direction != 0;
  Redraw();
  return *this;
}

CLabel& CLabel::SetRotation(int degrees, BOOL on) {
  log_font_.escapement = degrees * 10;
  log_font_.orientation = degrees * 10;
  rotate_ = on != 0;
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetRaisedTextColor(COLORREF colour) {
  raised_color_ = colour;
  Redraw();
  return *this;
}

CLabel& CLabel::SetLogFont(LogFont log_font) {
  log_font.face_name = log_font.face_name.left(LogFont::kFaceNameMax);
  log_font_ = std::move(log_font);
  RebuildFont();
  Redraw();
  return *this;
}

CLabel& CLabel::SetMailLink(BOOL on, BOOL notify) {
  link_kind_ = on ? kMailLink : kNoLink;
  notify_parent_ = notify != 0;
  style_ = on ? (style_ | SS_NOTIFY) : (style_ & ~SS_NOTIFY);
  return *this;
}

CLabel& CLabel::SetLinkTarget(const QString& target) {
  link_target_ = target;
  return *this;
}

void CLabel::SetStyle(DWORD style) {
  style_ = style;
  UpdateFrame();
}

void CLabel::OnFlashTimer() {
  flash_phase_ = !flash_phase_;
  Redraw();
}

void CLabel::RebuildFont() {
  font_ = ToQFont(log_font_);
}

void CLabel::Redraw() {
  update();
}

void CLabel::UpdateFrame() {
  int margin = 0;
  if (style_ & WS_BORDER)
    ++margin;
  if (ex_style_ & WS_EX_STATICEDGE)
    ++margin;
  setContentsMargins(margin, margin, margin, margin);
  Redraw();
}

QColor CLabel::FaceColor() const {
  return palette().color(QPalette::Button);
}

QSize CLabel::sizeHint() const {
  const QFontMetrics metrics(font_);
  const QMargins m = contentsMargins();
  return metrics.size(0, DrawableText(text_)) + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void CLabel::changeEvent(QEvent* event) {
  // A palette change is the system colour change: the face colour follows.
  if (event->type() == QEvent::PaletteChange)
    Redraw();
  QWidget::changeEvent(event);
}

void CLabel::mousePressEvent(QMouseEvent* event) {
  // A static control without SS_NOTIFY lets clicks through to its parent.
  if (event->button() != Qt::LeftButton || !(style_ & SS_NOTIFY)) {
    QWidget::mousePressEvent(event);
    return;
  }
  if (notify_parent_) {
    emit Notified(control_id_, kNotifyCode);
  } else if (link_kind_ == kHyperlink) {
    const QString target = link_target_.isEmpty() ? text_ : link_target_;
    OpenUrl(QUrl::fromUserInput(target));
  } else if (link_kind_ == kMailLink) {
    OpenUrl(QUrl(QStringLiteral("mailto:") + text_));
  }
  event->accept();
}

int CLabel::TextFlags() const {
  int flags = Qt::AlignTop;
  switch (style_ & SS_TYPEMASK) {
    case SS_CENTER:
      flags |= Qt::AlignHCenter | Qt::TextWordWrap;
      break;
    case SS_RIGHT:
      flags |= Qt::AlignRight | Qt::TextWordWrap;
      break;
    case SS_LEFTNOWORDWRAP:
      flags |= Qt::AlignLeft;
      break;
    default:
      flags |= Qt::AlignLeft | Qt::TextWordWrap;
      break;
  }
  if (text_.contains(QLatin1Char('\t')))
    flags |= Qt::TextExpandTabs;
  if (style_ & SS_CENTERIMAGE) {
    flags = Qt::AlignHCenter;
    if (!text_.contains(QStringLiteral("\r\n"))) {
      flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    } else {
      flags |= Qt::AlignTop;
    }
  }
  return flags;
}

void CLabel::PaintContent(QPainter& painter, const QRect& rect) const {
  if (!transparent_) {
    if (flash_kind_ == kFlashBackground && !flash_phase_) {
      painter.fillRect(rect, FaceColor());
    } else if (gradient_) {
      FillGradient(painter, rect, background_, gradient_end_, kGradientSteps);
    } else {
      painter.fillRect(rect, background_brush_ ? ToQColor(*background_brush_) : FaceColor());
    }
  }

  COLORREF colour = text_color_;
  // Flashing text is drawn in the background brush's colour (black without
  // one) in the hidden phase.
  if (flash_kind_ == kFlashText && !flash_phase_)
    colour = background_brush_.value_or(0);
  painter.setFont(font_);
  painter.setPen(ToQColor(colour));
  const QString text = DrawableText(text_);

  if (rotate_) {
    painter.save();
    painter.translate(rect.left() + rect.width() / 2, rect.top() + rect.height() / 2);
    painter.rotate(-log_font_.escapement / 10.0);
    const QFontMetrics metrics(font_);
    painter.drawText(QPointF(-metrics.horizontalAdvance(text) / 2.0, 0), text);
    painter.restore();
    return;
  }

  const int flags = TextFlags();
  painter.drawText(rect, flags, text);
  if (raised_) {
    painter.setPen(ToQColor(raised_color_));
    const int offset = raised_direction_ ? 1 : -1;
    painter.drawText(rect.translated(offset, offset), flags, text);
  }
}

void CLabel::PaintFrame(QPainter& painter) const {
  QRect outer = rect();
  if (style_ & WS_BORDER) {
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outer.adjusted(0, 0, -1, -1));
    outer.adjust(1, 1, -1, -1);
  }
  if (ex_style_ & WS_EX_STATICEDGE) {
    const QRect r = outer.adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  }
}

void CLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect content = contentsRect();
  if (transparent_) {
    PaintContent(painter, content);
  } else if (!content.isEmpty()) {
    // Composed off screen and copied in one go.
    QImage image(content.size(), QImage::Format_RGB32);
    {
      QPainter off(&image);
      PaintContent(off, QRect(QPoint(0, 0), content.size()));
    }
    painter.drawImage(content.topLeft(), image);
  }
  PaintFrame(painter);
}
