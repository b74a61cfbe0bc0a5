// zuvek-cli completion bash: the bash completion script, written from the
// program's own option table; `eval "$(zuvek-cli completion bash)"` loads it
// into a shell. The hidden `manual-commands` writes the COMMANDS section of
// the manual page from the same table, for the build.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/command.h"
#include "cli/completion_script.h"
#include "cli/manual_section.h"
#include "cli/option_table.h"

namespace {

// A command that prints a text written from the option table.
class TableCommand : public cli::Command {
 public:
  using Writer = std::string (*)(const std::vector<cli::CommandEntry>&, const std::string&);
  TableCommand(const char* name, const char* description, Writer writer, bool asks_shell)
      : name_(name), description_(description), writer_(writer), asks_shell_(asks_shell) {}

  CLI::App* Add(CLI::App& app) override {
    root_ = &app;
    CLI::App* sub = app.add_subcommand(name_, description_);
    if (asks_shell_)
      sub->add_option("shell", shell_, "the shell")->check(CLI::IsMember({"bash"}))->required();
    else
      sub->group("");  // for the build, not for users
    return sub;
  }

  int Run() override {
    std::cout << writer_(cli::ReadOptionTable(*root_), "zuvek-cli");
    return cli::kExitOk;
  }

 private:
  const char* name_;
  const char* description_;
  Writer writer_;
  bool asks_shell_;
  CLI::App* root_ = nullptr;
  std::string shell_;
};

struct CompletionCommand final : TableCommand {
  CompletionCommand()
      : TableCommand("completion",
                     "Print the shell completion script: eval \"$(zuvek-cli completion bash)\" "
                     "loads it into this shell",
                     cli::BashCompletionScript, true) {}
};

struct ManualCommandsCommand final : TableCommand {
  ManualCommandsCommand()
      : TableCommand("manual-commands",
                     "the COMMANDS section of the manual page, for help2man --include",
                     cli::ManualCommandsSection, false) {}
};

}  // namespace

ZUVEK_REGISTER_COMMAND(CompletionCommand);
ZUVEK_REGISTER_COMMAND(ManualCommandsCommand);
