// A shell command run as a child in a process group of its own, so that a
// time-out or a Stop ends it with every process it started.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct ShellRun {
  bool started = false;
  std::string start_error;   // when !started: why
  bool ended_by_us = false;  // give_up() held: the group was ended
  int exit_code = -1;        // the exit code, or 128 + the signal that ended it
  int signal = 0;            // the signal that ended the shell, 0 when it exited
  // Its standard output and error together, in the order written (the
  // first kMaxShellOutput bytes).
  std::string output;
};

inline constexpr std::size_t kMaxShellOutput = 64 * 1024;

// Runs `/bin/sh -c command` with this process's environment plus `extra`
// ("NAME=VALUE", which win over the same names), standard input from
// /dev/null, in a new process group. give_up() is asked about every 20 ms
// of real time; when it holds, the group gets SIGTERM and, 200 ms later,
// SIGKILL. Returns when the shell has ended.
ShellRun RunShellCommand(const std::string& command, const std::vector<std::string>& extra,
                         const std::function<bool()>& give_up);

}  // namespace platform
