// zuvek-cli report STEM... [-o FILE]: one self-contained HTML report of one
// or more tests, written without a display.
#include <CLI/CLI.hpp>
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "platform/file_writes.h"
#include "platform/folders.h"
#include "report/html_report.h"
#include "report/test_files.h"

namespace {

using namespace cli;

class ReportCommand : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* sub = app.add_subcommand(
        "report",
        "write one HTML report of one or more tests (conditions, statistics, pictures, the "
        "comparison of their TTFFs)");
    sub->add_option("tests", tests_,
                    "the tests: the path of any of their files, or their stem DAY/hh-mm-ss")
        ->required();
    sub->add_option("-o,--output", output_,
                    "the HTML file (default: <stem>_report.html beside the first test)");
    return sub;
  }

  int Run() override {
    // The pictures need fonts, not a screen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr)
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "zuvek-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication gui(argc, argv);

    std::vector<std::string> dirs;
    if (const std::string exe = platform::GetProgramFolder(); !exe.empty())
      dirs.push_back(exe);
    std::vector<report::TestData> tests;
    for (const std::string& given : tests_) {
      std::string problem;
      const auto files = report::FindTestFiles(given, dirs, problem);
      if (!files) {
        std::cerr << "zuvek-cli: " << problem << "\n";
        return kExitFailure;
      }
      tests.push_back(report::ReadTest(*files));
      for (const std::string& p : tests.back().problems)
        std::cerr << "zuvek-cli: " << files->label << ": " << p << "\n";
    }
    const std::string path = output_.empty() ? tests.front().files.stem + "_report.html" : output_;
    if (platform::ReplaceFile(path, report::HtmlReport(tests)) != 0) {
      std::cerr << "zuvek-cli: the report " << path
                << " cannot be written; choose a folder you may write in with -o FILE.\n";
      return kExitFailure;
    }
    std::cout << path << "\n";
    return kExitOk;
  }

 private:
  std::vector<std::string> tests_;
  std::string output_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(ReportCommand);
