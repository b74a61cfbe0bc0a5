#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/qt/dialog_units.h"

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About ZUVEK"));
  setFont(qtui::DialogFont());
  setFixedSize(qtui::DialogRectToPixels(0, 0, 235, 55).size());
  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("128"));
  const QRect icon_rect = qtui::DialogRectToPixels(11, 17, 20, 20);
  picture->setGeometry(icon_rect);
  picture->setPixmap(icon.pixmap(icon_rect.size()));
  auto* version = new QLabel(QStringLiteral("ZUVEK Version 1.1"), this);
  version->setGeometry(qtui::DialogRectToPixels(40, 10, 119, 8));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(qtui::DialogRectToPixels(178, 7, 50, 16));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
