// One self-contained HTML file for one or more tests: conditions, verdict
// and statistics side by side, the pictures as inline SVG, the comparison
// of the tests' TTFFs in words, and every run with its flags. No script,
// no external style sheet, font or picture: it opens the same offline.
#pragma once

#include <string>
#include <vector>

#include "report/test_files.h"

namespace report {

// The sentences comparing each test after the first with the first one
// ("B is slower than A; ..."); empty for a single test.
std::vector<std::string> ComparisonSentences(const std::vector<TestData>& tests);

struct ReportOptions {
  // The run whose sky at the fix and S/N history the report shows (0: the
  // skies of every run and the history of the run with the median TTFF).
  unsigned run = 0;
  // The program named as the report's writer.
  std::string writer = "zuvek-cli";
};

std::string HtmlReport(const std::vector<TestData>& tests, const ReportOptions& options = {});

// "&amp;" for "&" and so on.
std::string Escape(const std::string& text);

}  // namespace report
