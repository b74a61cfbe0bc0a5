// zuvek-cli compare A B --margin SECONDS: is B (a firmware, a module, a
// setting) not worse than A by more than the margin? The two tests are
// read as `report` reads them (files, stems or store: selectors pooled);
// the verdict, its figures and its method are in stats/non_inferiority.h.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command.h"
#include "cli/margin_options.h"
#include "cli/tests_asked_for.h"
#include "report/ttff_view.h"
#include "stats/non_inferiority.h"

namespace {

using namespace cli;

constexpr int kExitCannotTell = 3;

constexpr const char* kCompareFooter =
    "The difference of the TTFF percentile (B - A), each Kaplan-Meier's over every attempt\n"
    "with the time-outs censored, gets a percentile bootstrap interval over the runs\n"
    "(2000 resamples, a fixed seed: the same runs give the same answer); the success\n"
    "rates' difference gets Newcombe's hybrid score interval.\n"
    "Exit codes: 0 B is not worse than A by more than the margin (the whole interval lies\n"
    "below it); 1 B is worse by more than the margin (the whole interval lies above it);\n"
    "3 the data cannot tell (the interval holds the margin, or a percentile is hidden by\n"
    "time-outs); 2 bad command line or a test that cannot be read.\n"
    "Example: zuvek-cli compare store:firmware=A store:firmware=B --margin 5";

int CompareExit(stats::NonInferiorityVerdict v) {
  switch (v) {
    case stats::NonInferiorityVerdict::kNotWorse:
      return kExitOk;
    case stats::NonInferiorityVerdict::kWorse:
      return kExitFailure;
    case stats::NonInferiorityVerdict::kCannotTell:
      break;
  }
  return kExitCannotTell;
}

class CompareCommand : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* sub = app.add_subcommand(
        "compare",
        "is test B not worse than test A by more than a margin of TTFF? (exit 0 not "
        "worse, 1 worse, 3 the data cannot tell)");
    sub->add_option("A", a_,
                    "the reference test, as report takes it: a file, a stem or "
                    "store:SELECTOR")
        ->required();
    sub->add_option("B", b_, "the test compared with it, the same way")->required();
    AddMarginOptions(sub, question_,
                     "how many seconds of TTFF B may be slower than A and still count as not "
                     "worse",
                     "")
        ->required();
    sub->add_option("--store", store_,
                    "the results store of store: selectors (default: as run chooses it)");
    sub->footer(kCompareFooter);
    return sub;
  }

  int Run() override {
    const auto tests = ReadTestsAskedFor({a_, b_}, store_);
    if (!tests)
      return kExitUsage;
    const stats::NonInferiority n = stats::CompareNonInferiority(
        report::Observations((*tests)[0]), report::Observations((*tests)[1]), question_);
    std::cout << "A: " << (*tests)[0].files.label << "\nB: " << (*tests)[1].files.label << "\n";
    for (const std::string& line : stats::NonInferiorityFigures(n, "A", "B"))
      std::cout << line << "\n";
    std::cout << "verdict: " << stats::NonInferioritySentence(n, "A", "B") << "\n";
    return CompareExit(n.verdict);
  }

 private:
  std::string a_, b_, store_;
  stats::NonInferiorityQuestion question_;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(CompareCommand);
