// CAboutDlg: "About ZUVEK", the application icon, the version and OK.
#pragma once

#include <QDialog>
#include <QIcon>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};
