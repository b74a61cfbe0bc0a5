#include "app/end_status.h"

#include <algorithm>

#include "platform/file_writes.h"

namespace {

// "3 runs, 2 SUCC, 1 FAIL": the runs with a result.
std::string Counts(const TestOutcome& out) {
  const auto succ = std::count_if(out.records.begin(), out.records.end(),
                                  [](const RunRecord& r) { return r.success; });
  const std::size_t runs = out.records.size();
  return std::to_string(runs) + (runs == 1 ? " run, " : " runs, ") + std::to_string(succ) +
         " SUCC, " + std::to_string(runs - static_cast<std::size_t>(succ)) + " FAIL";
}

// The run the test ended in: the last with a result, or the one after it
// when the test ended before that one had its result.
unsigned EndRun(const TestOutcome& out, bool recorded) {
  const unsigned last = out.records.empty() ? 0 : out.records.back().run;
  return recorded ? std::max(last, 1u) : last + 1;
}

// "; incomplete: a, b" for the files that lost a write.
std::string Incomplete(const TestOutcome& out) {
  std::vector<std::string> files = out.incomplete_files;
  for (const auto& f : platform::WriteFailures())
    if (std::find(files.begin(), files.end(), f.path) == files.end())
      files.push_back(f.path);
  std::string text;
  for (const std::string& f : files)
    text += (text.empty() ? "; not all written: " : ", ") + f;
  return text;
}

}  // namespace

std::string EndStatusText(const TestOutcome& out) {
  const std::string& why = out.end_reason;
  std::string text;
  if (why == "program ending")
    return {};
  if (why == "completed") {
    text = "Done: " + Counts(out);
  } else if (why == "stopped") {
    text = "Stopped in run " + std::to_string(EndRun(out, true)) + ": " + Counts(out);
  } else if (why == "port lost") {
    text = "Ended in run " + std::to_string(EndRun(out, true)) +
           ": port lost; close the ports, check the module and open them again";
  } else if (why == "verdict decided") {
    text = "Verdict decided: " + Counts(out);
  } else {
    text = "Ended in run " + std::to_string(EndRun(out, false)) + ": " + why;
  }
  return text + Incomplete(out);
}
