// zuvek-report's side of the report: the tests read from their files or the
// results store, the page drawn with Qt (QtGui and QtSvg, no widgets) and
// written, all without a display.
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "cli/command.h"
#include "cli/report_request.h"
#include "cli/tests_asked_for.h"
#include "platform/file_writes.h"
#include "report/html_report.h"

namespace cli {

int RunReport(const ReportRequest& request) {
  // The pictures need fonts, not a screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "zuvek-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication gui(argc, argv);

  const auto tests = ReadTestsAskedFor(request.tests, request.store);
  if (!tests)
    return kExitFailure;
  const std::string& stem = tests->front().files.stem;
  const std::string path = !request.output.empty() ? request.output
                           : stem.empty()          ? "store_report.html"
                                                   : stem + "_report.html";
  report::ReportOptions options;
  options.run = request.run;
  options.margin = request.margin;
  if (platform::ReplaceFile(path, report::HtmlReport(*tests, options)) != 0) {
    std::cerr << "zuvek-cli: the report " << path
              << " cannot be written; choose a folder you may write in with -o FILE.\n";
    return kExitFailure;
  }
  std::cout << path << "\n";
  return kExitOk;
}

}  // namespace cli
