// The COMMANDS section of the zuvek-cli(1) manual page, in roff, written from
// the program's own option table (cli/option_table.h): every subcommand with
// its description, its options and its footer. The build hands it to
// help2man, which writes the rest of the page from --help and --version.
#pragma once

#include <string>
#include <vector>

#include "cli/option_table.h"

namespace cli {

// Text for help2man's --include: "[COMMANDS]" and a subsection per command.
std::string ManualCommandsSection(const std::vector<CommandEntry>& table,
                                  const std::string& program);

// Text as roff prints it: backslashes doubled up, a leading dot or quote
// kept from being read as a request.
std::string RoffText(const std::string& text);

}  // namespace cli
