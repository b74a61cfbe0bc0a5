// The manual page's commands and the bash completion are written by
// zuvek-cli from its option table; here both are held against what the
// program's --help says, read as text apart from that table: every
// subcommand of every help, and every option each lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_shell.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

std::string Cli(const std::string& args) {
  const auto r = testsupport::RunShell(std::string(testsupport::kCliPath) + " " + args);
  EXPECT_EQ(r.code, 0) << args << "\n" << r.out;
  return r.out;
}

// The first word of each entry of a help's section ("Options:"), split at
// commas ("-h,--help").
std::set<std::string> SectionWords(const std::string& help, const std::string& title) {
  std::set<std::string> out;
  std::istringstream in(help);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] != ' ')
      inside = line == title;
    else if (inside && line.size() > 2 && line[2] != ' ') {
      std::istringstream names(line.substr(2, line.find(' ', 2) - 2));
      for (std::string name; std::getline(names, name, ',');)
        out.insert(name);
    }
  }
  return out;
}

// Every command's path ("" for the program, "profiles show") with the
// options its --help lists.
void HelpTree(const std::string& path, std::map<std::string, std::set<std::string>>& out) {
  const std::string help = Cli(path + (path.empty() ? "" : " ") + "--help");
  out[path] = SectionWords(help, "Options:");
  for (const std::string& sub : SectionWords(help, "Subcommands:"))
    HelpTree(path.empty() ? sub : path + " " + sub, out);
}

std::string RoffName(const std::string& name) {
  std::string out;
  for (char c : name)
    out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

TEST(CliManual, TheManualPageHasEverySubcommandWithEveryOptionOfItsHelp) {
  std::map<std::string, std::set<std::string>> tree;
  HelpTree("", tree);
  ASSERT_GE(tree.size(), 15u);                  // eleven commands, two of profiles, two of store
  std::map<std::string, std::string> sections;  // ".SS" line -> its text
  std::istringstream manual(Cli("manual-commands"));
  std::string current;
  for (std::string line; std::getline(manual, line);) {
    if (line.rfind(".SS \"zuvek-cli ", 0) == 0)
      current = line;
    else
      sections[current] += line + "\n";
  }
  for (const auto& [path, options] : tree) {
    if (path.empty())
      continue;
    const auto section = std::find_if(sections.begin(), sections.end(), [&](const auto& s) {
      const std::string head = ".SS \"zuvek-cli " + path;
      return s.first.rfind(head, 0) == 0 &&
             (s.first[head.size()] == ' ' || s.first[head.size()] == '"');
    });
    ASSERT_NE(section, sections.end()) << path;
    for (const std::string& option : options)
      EXPECT_NE(section->second.find("\\fB" + RoffName(option)), std::string::npos)
          << path << " " << option;
  }
}

// What the completion offers for the words typed so far (the last one
// being completed).
std::set<std::string> Completed(const std::string& script, const std::string& words) {
  const auto r = testsupport::RunShell("bash -c 'source " + script + "; COMP_WORDS=(zuvek-cli " +
                                       words + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); " +
                                       "_zuvek_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\"'");
  EXPECT_EQ(r.code, 0) << words << "\n" << r.out;
  std::set<std::string> out;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty())
      out.insert(line);
  }
  return out;
}

TEST(CliManual, TheCompletionOffersTheOptionsOfEveryHelpAndTheFixedValues) {
  testsupport::TempDir dir;
  const std::string script = dir.file("zuvek-cli.bash");
  testsupport::WriteFile(script, Cli("completion bash"));
  std::map<std::string, std::set<std::string>> tree;
  HelpTree("", tree);
  for (const auto& [path, options] : tree)
    EXPECT_EQ(Completed(script, path + " -"), options) << path;
  EXPECT_EQ(Completed(script, "pro"), (std::set<std::string>{"profiles"}));
  EXPECT_EQ(Completed(script, "store s"), (std::set<std::string>{"sync"}));
  EXPECT_EQ(Completed(script, "run --restart \"\""),
            (std::set<std::string>{"hot", "cold", "warm", "power-cycle"}));
  EXPECT_EQ(Completed(script, "bench --fix g"),
            (std::set<std::string>{"gprmc", "gga", "gns", "gsa3d"}));
  EXPECT_EQ(Completed(script, "profiles show \"\""),
            (std::set<std::string>{"default", "a76xx", "sierra", "sim7000", "sim7600", "telit"}));
  // After an option's value the command's own words come back.
  EXPECT_EQ(Completed(script, "run --restart cold --ru"), (std::set<std::string>{"--runs"}));
}

}  // namespace
