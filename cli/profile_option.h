// The check of a profile given on the command line: it lets every text
// through (a file is read when the command runs, and a wrong one is told
// there with its line), and names the bundled profiles, so that the help and
// the completion script list them.
#pragma once

#include <CLI/CLI.hpp>

namespace cli {

// "{default,a76xx,...}", and "|FILE" after it when a profile file is taken too.
CLI::Validator ProfileChoices(bool files);

}  // namespace cli
