// zuvek-cli: the headless front end of the TTFF bench tool.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/command.h"

namespace cli {

std::vector<CommandFactory>& CommandFactories() {
  static std::vector<CommandFactory> factories;
  return factories;
}

}  // namespace cli

namespace {

constexpr const char* kFooter =
    "Exit codes: 0 success; 1 the command failed (for run: a run failed or the test\n"
    "ended early); 2 bad command line; 130 interrupted (Ctrl-C).\n"
    "Run 'zuvek-cli COMMAND --help' for the options of a command.";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ZUVEK: time-to-first-fix bench tool for GNSS receivers in cellular modules",
               "zuvek-cli"};
  app.set_version_flag("--version", std::string("zuvek-cli ") + ZUVEK_VERSION);
  app.footer(kFooter);
  app.require_subcommand(0, 1);

  std::vector<std::unique_ptr<cli::Command>> commands;
  std::vector<CLI::App*> subs;
  for (auto& factory : cli::CommandFactories()) {
    commands.push_back(factory());
    subs.push_back(commands.back()->Add(app));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ExtrasError& e) {
    auto extras = app.remaining();
    if (!extras.empty() && app.get_subcommands().empty()) {
      std::cerr << "zuvek-cli: unknown command '" << extras.front()
                << "' (see 'zuvek-cli --help')\n";
    } else {
      std::cerr << "zuvek-cli: " << e.what() << "\n";
    }
    return cli::kExitUsage;
  } catch (const CLI::ParseError& e) {
    std::cerr << "zuvek-cli: " << e.what() << "\n";
    return cli::kExitUsage;
  }

  for (size_t i = 0; i < subs.size(); ++i) {
    if (subs[i]->parsed())
      return commands[i]->Run();
  }
  std::cout << app.help();
  return argc > 1 ? cli::kExitUsage : cli::kExitOk;
}
