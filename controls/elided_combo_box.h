// A drop-down list whose closed box shows a text too long for it with the
// middle left out ("/dev…_0123456789-if02-port0"), so that two device
// paths that differ only at their end still look different, and whose tool
// tip (of the box and of each entry) is the whole text.
#pragma once

#include <QComboBox>
#include <QFontMetrics>

namespace qtui {

// `text` in at most `width` pixels: whole when it fits, else its start, an
// ellipsis and its end, the end getting four fifths of the room.
QString ElideMiddle(const QFontMetrics& metrics, const QString& text, int width);

class ElidedComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit ElidedComboBox(QWidget* parent = nullptr);

  // The text the closed box shows for its current entry.
  QString DisplayedText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void TipEntries(int first, int last);
  int TextWidth() const;
};

}  // namespace qtui
