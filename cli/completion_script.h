// The bash completion of zuvek-cli, written from the program's own option
// table (cli/option_table.h): the subcommands, their options, and the values
// an option takes, its fixed values (restart types, fix rules, bundled
// profiles) or file names.
#pragma once

#include <string>
#include <vector>

#include "cli/option_table.h"

namespace cli {

// The script for `program` (the name it completes, "zuvek-cli"): a function
// and the `complete` line that binds it, for bash to source.
std::string BashCompletionScript(const std::vector<CommandEntry>& table,
                                 const std::string& program);

}  // namespace cli
