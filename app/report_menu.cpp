#include "app/report_menu.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt/message_box.h"
#include "platform/file_writes.h"
#include "report/html_report.h"
#include "report/ttff_files.h"

ReportMenu::ReportMenu(QMenuBar* bar, QWidget* window, Opener opener)
    : QObject(window), window_(window), opener_(std::move(opener)) {
  if (!opener_)
    opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  QMenu* menu = bar->addMenu(QStringLiteral("Report"));
  menu->setObjectName(QStringLiteral("report_menu"));
  entry_ = menu->addAction(QStringLiteral("Report of the last test"));
  entry_->setObjectName(QStringLiteral("report_last_test"));
  entry_->setEnabled(false);
  entry_->setToolTip(QStringLiteral("Run a test first: the report shows the last one."));
  connect(entry_, &QAction::triggered, this, &ReportMenu::WriteAndOpen);
}

void ReportMenu::SetLastTest(const std::string& path) {
  last_test_ = path;
  entry_->setEnabled(!path.empty());
}

void ReportMenu::WriteAndOpen() {
  std::string problem;
  const auto files = report::FindTestFiles(last_test_, {}, problem);
  if (!files) {
    qtui::ShowMessageBox(QString::fromStdString(problem), window_);
    return;
  }
  const std::string path = files->stem + "_report.html";
  report::ReportOptions options;
  options.writer = "zuvek";
  if (platform::ReplaceFile(path, report::HtmlReport({report::ReadTest(*files)}, options)) != 0) {
    qtui::ShowMessageBox(QStringLiteral("The report %1 cannot be written; make its folder "
                                        "writable and try again.")
                             .arg(QString::fromStdString(path)),
                         window_);
    return;
  }
  last_report_ = path;
  const bool opened = opener_(QUrl::fromLocalFile(QString::fromStdString(path)));
  TellWhereItIs(QString::fromStdString(path), opened);
}

void ReportMenu::TellWhereItIs(const QString& path, bool opened) {
  // Every time: a browser that was asked may still show nothing.
  const QString text =
      opened ? QStringLiteral(
                   "The report is written to %1 and your browser was asked to open "
                   "it. If no browser shows it, open the file or its folder yourself.")
                   .arg(path)
             : QStringLiteral(
                   "The report is written to %1, but no browser could open it; open "
                   "the file yourself.")
                   .arg(path);
  QMessageBox box(QMessageBox::Information, QStringLiteral("ZUVEK"), text, QMessageBox::Ok,
                  window_);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  QPushButton* folder = box.addButton(QStringLiteral("Open folder"), QMessageBox::ActionRole);
  folder->setObjectName(QStringLiteral("openReportFolder"));
  if (auto& hook = qtui::MessageBoxTestHook())
    hook(box);
  box.exec();
  if (box.clickedButton() == folder)
    opener_(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
