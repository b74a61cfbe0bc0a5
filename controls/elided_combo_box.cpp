#include "controls/elided_combo_box.h"

#include <QAbstractItemModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

namespace qtui {

ElidedComboBox::ElidedComboBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { setToolTip(text); });
  connect(model(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { TipEntries(first, last); });
}

void ElidedComboBox::TipEntries(int first, int last) {
  for (int i = first; i <= last; ++i)
    setItemData(i, itemText(i), Qt::ToolTipRole);
}

int ElidedComboBox::TextWidth() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  return std::max(0, field.width() - 4);  // the label keeps a pixel or two of margin
}

QString ElidedComboBox::DisplayedText() const {
  return ElideMiddle(fontMetrics(), currentText(), TextWidth());
}

QString ElideMiddle(const QFontMetrics& metrics, const QString& text, int width) {
  if (metrics.horizontalAdvance(text) <= width)
    return text;
  const QString ellipsis(QChar(0x2026));
  const int room = width - metrics.horizontalAdvance(ellipsis);
  if (room <= 0)
    return ellipsis;
  // A fifth of the room for the head, the rest for the tail: a device path
  // tells its ports apart at its end.
  const int head_room = room / 5;
  qsizetype head = 0;
  while (head < text.size() && metrics.horizontalAdvance(text.left(head + 1)) <= head_room)
    ++head;
  const int tail_room = room - metrics.horizontalAdvance(text.left(head));
  qsizetype tail = 0;
  while (tail < text.size() - head && metrics.horizontalAdvance(text.right(tail + 1)) <= tail_room)
    ++tail;
  return text.left(head) + ellipsis + text.right(tail);
}

void ElidedComboBox::paintEvent(QPaintEvent*) {
  // As QComboBox paints itself, with the label's text elided in the middle.
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = DisplayedText();
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace qtui
