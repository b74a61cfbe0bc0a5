// The window's "Report" menu: disabled before a test, and once a test has
// ended its entry writes "<stem>_report.html" beside the test's files and
// hands the file to the desktop opener (a fake here, so no browser starts).
#include <QMenuBar>
#include <QTest>
#include <QWidget>
#include <filesystem>

#include "app/report_menu.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

// A recorded test's files, copied into dir as 10-00-00_*.
void CopyTest(const testsupport::TempDir& dir) {
  const std::string source =
      std::string(testsupport::kSourceDir) + "/tests/data/report/2026-12-08/10-00-00";
  for (const char* suffix : {"_runs.csv", "_summary.json", "_signal.csv"})
    std::filesystem::copy_file(source + suffix, dir.file(std::string("10-00-00") + suffix));
}

}  // namespace

class ReportMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void EntryWritesTheReportOfTheLastTestAndOpensIt() {
    testsupport::TempDir dir;
    CopyTest(dir);
    QWidget window;
    QMenuBar bar(&window);
    std::vector<QUrl> opened;
    ReportMenu menu(&bar, &window, [&](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
    QAction* entry = bar.findChild<QAction*>(QStringLiteral("report_last_test"));
    QVERIFY(entry);
    QVERIFY(!entry->isEnabled());

    menu.SetLastTest(dir.file("10-00-00_runs.csv"));
    QVERIFY(entry->isEnabled());
    guitest::BoxRecorder boxes;
    entry->trigger();
    const std::string report = dir.file("10-00-00_report.html");
    QCOMPARE(menu.LastReport(), report);
    QVERIFY(std::filesystem::file_size(report) > 1000);
    const std::string html = testsupport::ReadFile(report);
    QVERIFY(html.find("<svg") != std::string::npos);
    QVERIFY(html.find("<p>Written by zuvek " ZUVEK_VERSION " from 1 test.</p>") !=
            std::string::npos);
    QCOMPARE(opened.size(), std::size_t{1});
    QCOMPARE(opened[0], QUrl::fromLocalFile(QString::fromStdString(report)));
    // Where it is, said every time.
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts[0].contains(QString::fromStdString(report)), qPrintable(boxes.texts[0]));
  }

  // No browser: said with the path; the box's button opens the folder.
  void WithoutABrowserThePathIsToldAndTheFolderOpens() {
    testsupport::TempDir dir;
    CopyTest(dir);
    QWidget window;
    QMenuBar bar(&window);
    std::vector<QUrl> asked;
    ReportMenu menu(&bar, &window, [&](const QUrl& url) {
      asked.push_back(url);
      return false;
    });
    menu.SetLastTest(dir.file("10-00-00_runs.csv"));
    QStringList texts;
    qtui::MessageBoxTestHook() = [&texts](QMessageBox& box) {
      texts.append(box.text());
      auto* folder = box.findChild<QAbstractButton*>(QStringLiteral("openReportFolder"));
      QTimer::singleShot(0, &box, [folder] { folder->click(); });
    };
    menu.Entry()->trigger();
    qtui::MessageBoxTestHook() = nullptr;
    const std::string report = dir.file("10-00-00_report.html");
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(QStringLiteral("no browser could open it")) &&
                 texts[0].contains(QString::fromStdString(report)),
             qPrintable(texts[0]));
    QCOMPARE(asked.size(), std::size_t{2});
    QCOMPARE(asked[1], QUrl::fromLocalFile(QString::fromStdString(dir.path().string())));
  }
};

QTEST_MAIN(ReportMenuTest)
#include "report_menu_test.moc"
