// zuvek-cli report STEM|store:SELECTOR... [-o FILE]: one self-contained HTML
// report of one or more tests, from their files or from the results store
// (the tests of a selector pooled into one entry), written without a
// display.
#include <CLI/CLI.hpp>
#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "config/side_settings.h"
#include "platform/file_writes.h"
#include "platform/folders.h"
#include "report/html_report.h"
#include "report/store_tests.h"
#include "report/test_files.h"
#include "store/store_location.h"

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
                    "the tests: the path of any of their files, their stem DAY/hh-mm-ss, or "
                    "store:SELECTOR, the tests of the results store a selector selects, pooled "
                    "into one entry: a test's key or its start (as history shows it), or "
                    "filters KEY=VALUE,... of module, firmware (a part of it), profile, "
                    "restart (hot|warm|cold), since (YYYY-MM-DD)")
        ->required();
    sub->add_option("-o,--output", output_,
                    "the HTML file (default: <stem>_report.html beside the first test, "
                    "store_report.html for tests of the store)");
    sub->add_option("--run", options_.run,
                    "show the sky at the fix and the S/N per signal of this run (default: "
                    "the skies of the first runs and the history of the run with the median "
                    "TTFF)")
        ->check(CLI::PositiveNumber);
    sub->add_option("--store", store_,
                    "the results store of store: selectors, a SQLite file or postgresql://... "
                    "(default: as run chooses it)");
    sub->footer(
        "Example: zuvek-cli report store:firmware=A store:firmware=B -o ab.html compares "
        "the runs of every test with firmware A with those of every test with firmware B.");
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
    std::unique_ptr<store::StoreReader> reader;
    for (const std::string& given : tests_) {
      std::string problem;
      if (report::IsStoreSelector(given)) {
        try {
          if (!reader) {
            for (const std::string& p : LoadSideSettings())
              std::cerr << "zuvek-cli: " << p << "\n";
            reader = store::OpenReader(store::ChooseStoreLocation(store_, g_side_settings.store));
          }
          auto test = report::ReadStoreSelector(*reader, given, problem);
          if (!test) {
            std::cerr << "zuvek-cli: " << problem << "\n";
            return kExitFailure;
          }
          tests.push_back(std::move(*test));
        } catch (const std::exception& e) {
          std::cerr << "zuvek-cli: " << e.what() << "\n";
          return kExitFailure;
        }
        for (const std::string& p : tests.back().problems)
          std::cerr << "zuvek-cli: " << given << ": " << p << "\n";
        continue;
      }
      const auto files = report::FindTestFiles(given, dirs, problem);
      if (!files) {
        std::cerr << "zuvek-cli: " << problem << "\n";
        return kExitFailure;
      }
      tests.push_back(report::ReadTest(*files));
      for (const std::string& p : tests.back().problems)
        std::cerr << "zuvek-cli: " << files->label << ": " << p << "\n";
    }
    const std::string& stem = tests.front().files.stem;
    const std::string path = !output_.empty() ? output_
                             : stem.empty()   ? "store_report.html"
                                              : stem + "_report.html";
    if (platform::ReplaceFile(path, report::HtmlReport(tests, options_)) != 0) {
      std::cerr << "zuvek-cli: the report " << path
                << " cannot be written; choose a folder you may write in with -o FILE.\n";
      return kExitFailure;
    }
    std::cout << path << "\n";
    return kExitOk;
  }

 private:
  std::vector<std::string> tests_;
  std::string output_, store_;
  report::ReportOptions options_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(ReportCommand);
