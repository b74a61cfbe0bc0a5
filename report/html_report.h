// One self-contained HTML file for one or more tests: conditions, verdict
// and statistics side by side, the pictures as inline SVG, the comparison
// of the tests' TTFFs in words, and every run with its flags. No script,
// no external style sheet, font or picture: it opens the same offline.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/ttff_files.h"
#include "stats/non_inferiority.h"

namespace report {

// The sentences comparing each test after the first with the first one
// ("B is slower than A; ..."); empty for a single test.
std::vector<std::string> ComparisonSentences(const std::vector<TestData>& tests);

// Each test after the first set against the first as `zuvek-cli compare`
// does: "B is not worse than A by more than 5.00 s: ..." and its figures.
std::vector<std::string> NonInferiorityParagraphs(const std::vector<TestData>& tests,
                                                  const stats::NonInferiorityQuestion& question);

struct ReportOptions {
  // The run whose sky at the fix and S/N history the report shows (0: the
  // skies of every run and the history of the run with the median TTFF).
  unsigned run = 0;
  // The program named as the report's writer.
  std::string writer = "zuvek-cli";
  // With a margin, the comparison also says whether each test after the
  // first is not worse than the first by more than the margin.
  std::optional<stats::NonInferiorityQuestion> margin;
};

std::string HtmlReport(const std::vector<TestData>& tests, const ReportOptions& options = {});

// "&amp;" for "&" and so on.
std::string Escape(const std::string& text);

}  // namespace report
