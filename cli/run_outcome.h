// What `zuvek-cli run` prints when its test has ended, and its exit code.
#pragma once

#include <string>

#include "engine/ttff_engine.h"

namespace cli {

// The summary file of the test as written, or empty when it is not there.
std::string ReadSummaryText(const TestOutcome& out);
// The end text on standard output: the result log's statistics lines, the
// statistics a lab signs, the runs that lost their port or look like a
// reset that did not take, how the test ended and its files.
void PrintOutcome(const TestOutcome& out, const std::string& summary_json);
// 0 every run fixed (or the verdict passed), 1 a failure, a lost write or a
// missing summary, 3 an undecided verdict, 130 interrupted.
int RunExitCode(const TestOutcome& out, bool interrupted, bool summary_missing);

}  // namespace cli
