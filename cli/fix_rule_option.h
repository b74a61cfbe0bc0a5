// The check of a --fix option: a fix rule the tool knows, or a sentence
// naming every one it does.
#pragma once

#include <CLI/CLI.hpp>

namespace cli {

CLI::Validator FixRuleValidator();

}  // namespace cli
