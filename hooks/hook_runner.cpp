#include "hooks/hook_runner.h"

#include <algorithm>
#include <boost/algorithm/string/replace.hpp>
#include <sstream>

#include "hooks/scpi_exchange.h"
#include "platform/shell_command.h"

namespace hooks {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

HookOutcome RunShellHook(const Hook& hook, const std::vector<std::string>& environment,
                         const platform::Clock& clock, const std::function<bool()>& cancelled) {
  const std::int64_t deadline =
      clock.MonotonicUs() + static_cast<std::int64_t>(hook.timeout_s) * 1'000'000;
  bool timed_out = false, stopped = false;
  const platform::ShellRun run = platform::RunShellCommand(hook.command, environment, [&] {
    stopped = cancelled();
    timed_out = !stopped && clock.MonotonicUs() >= deadline;
    return stopped || timed_out;
  });
  HookOutcome out;
  out.lines = Lines(run.output);
  if (!run.started) {
    out.failure = "could not start: " + run.start_error;
    return out;
  }
  if (run.ended_by_us) {
    out.cancelled = stopped;
    out.failure = stopped
                      ? "was ended as the test ended"
                      : "was killed at its time-out of " + std::to_string(hook.timeout_s) + " s";
    return out;
  }
  out.ok = run.exit_code == 0;
  if (run.signal != 0)
    out.failure = "was ended by signal " + std::to_string(run.signal);
  else if (!out.ok)
    out.failure = "exited with code " + std::to_string(run.exit_code);
  return out;
}

// "${NAME}" in an SCPI command replaced by NAME's value in the environment
// ("NAME=VALUE" entries); an unknown name stays as written.
std::string Expand(std::string text, const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    const auto eq = entry.find('=');
    // Never read again what it put in: a value may hold its own key.
    boost::algorithm::replace_all(text, "${" + entry.substr(0, eq) + "}", entry.substr(eq + 1));
  }
  return text;
}

HookOutcome RunScpiHook(const Hook& hook, const std::vector<std::string>& environment,
                        const platform::Clock& clock, const std::function<bool()>& cancelled) {
  HookOutcome out;
  std::string why;
  const auto address = ParseScpiAddress(hook.scpi, &why);
  if (!address) {
    out.failure = "could not start: " + why;
    return out;
  }
  std::vector<std::string> commands;
  for (const std::string& c : hook.scpi_commands)
    commands.push_back(Expand(c, environment));
  // The time-out is the test's clock's; the exchange counts real time.
  const auto real_ms = static_cast<std::int64_t>(hook.timeout_s * 1000.0 / clock.Scale());
  bool stopped = false;
  const ScpiResult result = RunScpiCommands(
      *address, commands, std::chrono::milliseconds(std::max<std::int64_t>(real_ms, 1)),
      [&] { return stopped = stopped || cancelled(); });
  out.lines = result.transcript;
  out.ok = result.ok;
  out.cancelled = !result.ok && stopped;
  if (!result.ok)
    out.failure = "stopped: " + result.failure;
  return out;
}

}  // namespace

HookOutcome RunHook(const Hook& hook, const std::vector<std::string>& environment,
                    const platform::Clock& clock, const std::function<bool()>& cancelled) {
  if (hook.IsScpi())
    return RunScpiHook(hook, environment, clock, cancelled);
  return RunShellHook(hook, environment, clock, cancelled);
}

}  // namespace hooks
