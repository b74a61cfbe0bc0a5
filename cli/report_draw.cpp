// zuvek-report's side of the report: the tests read from their files or the
// results store, the page drawn with Qt (QtGui and QtSvg, no widgets) and
// written, all without a display.
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/command.h"
#include "cli/report_request.h"
#include "config/side_settings.h"
#include "platform/file_writes.h"
#include "platform/folders.h"
#include "report/html_report.h"
#include "report/store_tests.h"
#include "report/test_files.h"
#include "store/store_location.h"

namespace cli {

namespace {

// The tests of a store: selector; the store is opened at the first one.
std::optional<report::TestData> ReadFromStore(const std::string& given, const std::string& store,
                                              std::unique_ptr<store::StoreReader>& reader) {
  std::string problem;
  try {
    if (!reader) {
      for (const std::string& p : LoadSideSettings())
        std::cerr << "zuvek-cli: " << p << "\n";
      reader = store::OpenReader(store::ChooseStoreToRead(store, g_side_settings.store));
    }
    auto test = report::ReadStoreSelector(*reader, given, problem);
    if (!test)
      std::cerr << "zuvek-cli: " << problem << "\n";
    return test;
  } catch (const std::exception& e) {
    std::cerr << "zuvek-cli: " << e.what() << "\n";
    return std::nullopt;
  }
}

// Every test asked for, each told problem on standard error; nothing when
// one of them cannot be read at all.
std::optional<std::vector<report::TestData>> ReadTests(const ReportRequest& request) {
  // A stem DAY/hh-mm-ss is looked for where the logs go: beside the program
  // or in the per-user data folder (an installed program's).
  std::vector<std::string> dirs;
  for (const std::string& dir : {platform::GetProgramFolder(), platform::UserDataFolder()}) {
    if (!dir.empty())
      dirs.push_back(dir);
  }
  std::vector<report::TestData> tests;
  std::unique_ptr<store::StoreReader> reader;
  for (const std::string& given : request.tests) {
    if (report::IsStoreSelector(given)) {
      auto test = ReadFromStore(given, request.store, reader);
      if (!test)
        return std::nullopt;
      tests.push_back(std::move(*test));
      for (const std::string& p : tests.back().problems)
        std::cerr << "zuvek-cli: " << given << ": " << p << "\n";
      continue;
    }
    std::string problem;
    const auto files = report::FindTestFiles(given, dirs, problem);
    if (!files) {
      std::cerr << "zuvek-cli: " << problem << "\n";
      return std::nullopt;
    }
    tests.push_back(report::ReadTest(*files));
    for (const std::string& p : tests.back().problems)
      std::cerr << "zuvek-cli: " << files->label << ": " << p << "\n";
  }
  return tests;
}

}  // namespace

int RunReport(const ReportRequest& request) {
  // The pictures need fonts, not a screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "zuvek-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication gui(argc, argv);

  const auto tests = ReadTests(request);
  if (!tests)
    return kExitFailure;
  const std::string& stem = tests->front().files.stem;
  const std::string path = !request.output.empty() ? request.output
                           : stem.empty()          ? "store_report.html"
                                                   : stem + "_report.html";
  if (platform::ReplaceFile(path, report::HtmlReport(*tests, {request.run})) != 0) {
    std::cerr << "zuvek-cli: the report " << path
              << " cannot be written; choose a folder you may write in with -o FILE.\n";
    return kExitFailure;
  }
  std::cout << path << "\n";
  return kExitOk;
}

}  // namespace cli
