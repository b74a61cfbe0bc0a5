// Running one hook: its shell command (or its SCPI commands) with the
// environment of the moment, ended at its time-out or when the test ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hooks/hook.h"
#include "platform/clock.h"

namespace hooks {

struct HookOutcome {
  bool ok = false;
  bool cancelled = false;  // cancelled() held (Stop, the program ending): ended early
  // When !ok and not cancelled: what went wrong, as the end of a sentence
  // ("exited with code 3", "was killed at its time-out of 5 s", ...).
  std::string failure;
  // What it said: the command's standard output and error, line by line,
  // or the SCPI exchange ("> CMD", "< REPLY").
  std::vector<std::string> lines;
};

// Runs the hook with `environment` ("NAME=VALUE") added to this process's.
// Its time-out is measured on `clock` (a scaled clock's seconds); the
// outcome comes at the latest shortly after it, or after cancelled() holds.
HookOutcome RunHook(const Hook& hook, const std::vector<std::string>& environment,
                    const platform::Clock& clock, const std::function<bool()>& cancelled);

}  // namespace hooks
