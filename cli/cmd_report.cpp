// zuvek-cli report STEM|store:SELECTOR... [-o FILE]: one self-contained HTML
// report of one or more tests, from their files or from the results store
// (the tests of a selector pooled into one entry), written without a
// display. Its options; the report is drawn by RunReport (report_request.h).
#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/margin_options.h"
#include "cli/report_request.h"

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
                    "restart (hot|warm|cold|power-cycle), since (YYYY-MM-DD)")
        ->required();
    sub->add_option("-o,--output", output_,
                    "the HTML file (default: <stem>_report.html beside the first test, "
                    "store_report.html for tests of the store)");
    sub->add_option("--run", run_,
                    "show the sky at the fix and the S/N per signal of this run (default: "
                    "the skies of the first runs and the history of the run with the median "
                    "TTFF)")
        ->check(CLI::PositiveNumber);
    sub->add_option("--store", store_,
                    "the results store of store: selectors, a SQLite file or postgresql://... "
                    "(default: as run chooses it)");
    margin_option_ = AddMarginOptions(sub, question_,
                                      "also say whether each test after the first is not worse "
                                      "than the first by more than SECONDS of TTFF, as compare "
                                      "does",
                                      "with --margin: ");
    sub->footer(
        "Example: zuvek-cli report store:firmware=A store:firmware=B -o ab.html compares "
        "the runs of every test with firmware A with those of every test with firmware B.");
    return sub;
  }

  int Run() override {
    ReportRequest request{tests_, output_, store_, std::nullopt, run_};
    if (margin_option_->count() > 0)
      request.margin = question_;
    return RunReport(request);
  }

 private:
  std::vector<std::string> tests_;
  std::string output_, store_;
  CLI::Option* margin_option_ = nullptr;
  stats::NonInferiorityQuestion question_;
  unsigned run_ = 0;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(ReportCommand);
