// What the status line says once a test has ended, and before a test that
// cannot start: one sentence that stays until the next Open or Run.
#pragma once

#include <string>

#include "engine/ttff_engine.h"

// "Done: 3 runs, 3 SUCC, 0 FAIL", "Stopped in run 2: ...", "Ended in run 1:
// no reply to AT+CGPS?", "Ended in run 2: port lost ...", with the files
// that lost a write after it. Empty for a test ended by the program's end.
std::string EndStatusText(const TestOutcome& out);
