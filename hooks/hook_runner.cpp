#include "hooks/hook_runner.h"

#include <sstream>

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

}  // namespace

HookOutcome RunHook(const Hook& hook, const std::vector<std::string>& environment,
                    const platform::Clock& clock, const std::function<bool()>& cancelled) {
  if (hook.IsScpi()) {
    HookOutcome out;
    out.failure = "is an SCPI hook, which this build cannot send";
    return out;
  }
  return RunShellHook(hook, environment, clock, cancelled);
}

}  // namespace hooks
