// zuvek --help and --version, answered before the window toolkit starts, so
// that they work without a display (help2man reads them at build time for
// the manual page).
#pragma once

#include <optional>

// The exit code when the arguments ask for the help or the version (after
// printing it on standard output); nothing when the window should start.
std::optional<int> AnswerUsageQuestion(int argc, char** argv);
