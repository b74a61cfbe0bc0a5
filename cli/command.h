// A subcommand of zuvek-cli. Each lives in its own file and registers itself
// with ZUVEK_REGISTER_COMMAND, so adding one touches nothing else.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cli {

// Exit codes shared by every subcommand (documented in --help).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and failed
inline constexpr int kExitUsage = 2;    // bad command line
inline constexpr int kExitInterrupted = 130;

class Command {
 public:
  virtual ~Command() = default;
  // Adds the subcommand with its options to the application.
  virtual CLI::App* Add(CLI::App& app) = 0;
  // Runs it after a successful parse; returns the exit code.
  virtual int Run() = 0;
};

using CommandFactory = std::function<std::unique_ptr<Command>()>;

// Registered factories, in registration order.
std::vector<CommandFactory>& CommandFactories();

struct CommandRegistrar {
  explicit CommandRegistrar(CommandFactory factory) {
    CommandFactories().push_back(std::move(factory));
  }
};

#define ZUVEK_REGISTER_COMMAND(Type)                           \
  static const ::cli::CommandRegistrar zuvek_registrar_##Type( \
      [] { return std::unique_ptr<::cli::Command>(new Type()); })

}  // namespace cli
