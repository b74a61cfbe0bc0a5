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

constexpr const char* kProgram = "zuvek-cli";

class CompletionCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    root_ = &app;
    CLI::App* sub = app.add_subcommand("completion",
                                       "Print the shell completion script: eval \"$(zuvek-cli "
                                       "completion bash)\" loads it into this shell");
    sub->add_option("shell", shell_, "the shell")->check(CLI::IsMember({"bash"}))->required();
    return sub;
  }

  int Run() override {
    std::cout << cli::BashCompletionScript(cli::ReadOptionTable(*root_), kProgram);
    return cli::kExitOk;
  }

 private:
  CLI::App* root_ = nullptr;
  std::string shell_;
};

class ManualCommandsCommand final : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    root_ = &app;
    CLI::App* sub = app.add_subcommand(
        "manual-commands", "the COMMANDS section of the manual page, for help2man --include");
    sub->group("");  // for the build, not for users
    return sub;
  }

  int Run() override {
    std::cout << cli::ManualCommandsSection(cli::ReadOptionTable(*root_), kProgram);
    return cli::kExitOk;
  }

 private:
  CLI::App* root_ = nullptr;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(CompletionCommand);
ZUVEK_REGISTER_COMMAND(ManualCommandsCommand);
