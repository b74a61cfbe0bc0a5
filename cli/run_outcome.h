// What `zuvek-cli run` prints when its test has ended, and its exit code.
#pragma once

#include <string>

#include "engine/ttff_engine.h"

namespace cli {

// The end text on standard output: the result log's statistics lines, the
// statistics a lab signs, the runs that lost their port or look like a
// reset that did not take, how the test ended and its files.
// Every figure comes from the runs in memory, never from a file read back;
// a file that is not there or lost a write is said so beside its path.
void PrintOutcome(const TestOutcome& out);
// 0 every run fixed (or the verdict passed), 1 a failure or a lost write,
// 3 an undecided verdict, 130 interrupted.
int RunExitCode(const TestOutcome& out, bool interrupted);

}  // namespace cli
