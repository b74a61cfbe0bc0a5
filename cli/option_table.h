// The program's own table of subcommands and options, read out of the CLI11
// application once every command has added itself: the completion script and
// the manual page's commands are written from it, so neither can drift from
// what the program parses.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

struct OptionEntry {
  std::vector<std::string> names;  // "--restart", "-o"; empty for a positional
  std::string positional;          // the positional's name ("file"); empty for an option
  std::string value;  // the value's type text ("TEXT:{hot,cold,warm}"); empty for a flag
  std::string description;
  std::vector<std::string> choices;  // the fixed values the value's check lists
  bool files = false;                // the value may be a file name
};

struct CommandEntry {
  std::string path;  // "" for the program, "run", "profiles show"
  std::string description;
  std::string footer;
  std::vector<std::string> subcommands;
  std::vector<OptionEntry> options;  // in the order the help lists them
};

// Every command, the program first, each before its subcommands. Hidden
// subcommands and options (an empty group) are left out.
std::vector<CommandEntry> ReadOptionTable(const CLI::App& app);

// The fixed values in a value's type text: "TEXT:{hot,cold,warm}=cold" gives
// hot, cold and warm; none without braces.
std::vector<std::string> FixedValues(const std::string& type);

}  // namespace cli
