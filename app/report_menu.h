// The window's "Report" menu: its entry writes the HTML report of the last
// test beside that test's files, asks the desktop's browser to open it and
// says where it is, with a button that opens its folder.
// Disabled until a test has ended.
#pragma once

#include <QAction>
#include <QMenuBar>
#include <QObject>
#include <QUrl>
#include <functional>
#include <string>

class ReportMenu : public QObject {
  Q_OBJECT

 public:
  // How a written report is opened (QDesktopServices::openUrl by default;
  // tests put a fake here so that no browser starts).
  using Opener = std::function<bool(const QUrl&)>;

  ReportMenu(QMenuBar* bar, QWidget* window, Opener opener = {});
  // Any file of the last test (its runs CSV); empty: no test yet.
  void SetLastTest(const std::string& path);
  QAction* Entry() const { return entry_; }
  // The report written last; empty before one.
  const std::string& LastReport() const { return last_report_; }

 private:
  void WriteAndOpen();
  // A box with the report's path and a button that opens its folder.
  void TellWhereItIs(const QString& path, bool opened);

  QWidget* window_;
  QAction* entry_;
  Opener opener_;
  std::string last_test_, last_report_;
};
