// zuvek-cli's side of the report: the request goes to zuvek-report, the
// program that draws it, which takes this process's place.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/report_request.h"
#include "platform/child_process.h"
#include "platform/folders.h"

namespace cli {

int RunReport(const ReportRequest& request) {
  const std::string exe = platform::GetProgramFolder();
  std::vector<std::string> argv = {"", "report"};
  argv.insert(argv.end(), request.tests.begin(), request.tests.end());
  if (!request.output.empty())
    argv.insert(argv.end(), {"--output", request.output});
  if (!request.store.empty())
    argv.insert(argv.end(), {"--store", request.store});
  if (const auto& q = request.margin) {
    for (const auto& [option, value] : {std::pair{"--margin", q->margin_s},
                                        {"--percentile", q->percentile},
                                        {"--confidence", q->confidence}}) {
      char text[64];
      std::snprintf(text, sizeof text, "%.17g", value);
      argv.insert(argv.end(), {option, text});
    }
  }
  if (request.run != 0)
    argv.insert(argv.end(), {"--run", std::to_string(request.run)});
  int error = ENOENT;
  for (const std::string& path : {exe + "zuvek-report", exe + "../libexec/zuvek/zuvek-report"}) {
    argv[0] = path;
    if (const int e = platform::ReplaceProcess(argv); e != ENOENT)
      error = e;
  }
  if (error == ENOENT) {
    std::cerr << "zuvek-cli: the report is drawn by zuvek-report, which comes with the window: "
                 "install the package zuvek (apt install zuvek), or build it (cmake --build "
                 "--preset dev --target zuvek-report).\n";
  } else {
    std::cerr << "zuvek-cli: zuvek-report could not be started: " << std::strerror(error) << ".\n";
  }
  return kExitFailure;
}

}  // namespace cli
