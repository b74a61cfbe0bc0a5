// What `zuvek-cli report` was asked for, and who draws it. The pictures are
// drawn with Qt, which zuvek-cli itself does without (a bench server gets no
// window toolkit with it): zuvek-cli hands the request to the report
// program, zuvek-report, which comes with the window (beside zuvek-cli in
// the build, in PREFIX/libexec/zuvek/ installed).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stats/non_inferiority.h"

namespace cli {

struct ReportRequest {
  std::vector<std::string> tests;  // paths, stems or store: selectors
  std::string output;              // the HTML file; empty: beside the first test
  std::string store;               // the store of the store: selectors; empty: as run chooses
  // With a margin, each test after the first is set against the first as
  // `compare` does.
  std::optional<stats::NonInferiorityQuestion> margin;
  unsigned run = 0;  // the run whose sky and S/N history are shown; 0: the median's
};

// Writes the report and returns the exit code: in zuvek-report, drawn here;
// in zuvek-cli, by handing the request to zuvek-report.
int RunReport(const ReportRequest& request);

}  // namespace cli
