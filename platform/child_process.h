// A program started as a child of this process: its standard output comes
// back through a pipe, its standard error goes to a file, and its end is
// collected with the CPU time it used.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ChildHandle {
  int pid = -1;
  int out_fd = -1;  // read end of the child's standard output (non-blocking, close-on-exec)
};

// Starts argv[0] (a path) with argv in the working directory, standard input
// from /dev/null, standard output into a pipe and standard error appended to
// stderr_path. On failure returns a handle with pid -1 and sets error.
ChildHandle SpawnChild(const std::vector<std::string>& argv, const std::string& stderr_path,
                       std::string* error);

struct ChildEnd {
  bool ended = false;
  int exit_code = -1;  // the exit code, or 128 + the signal that ended it
  int signal = 0;      // the signal that ended it, 0 when it exited
  double cpu_s = 0;    // user + system CPU time of the child
};

// Collects the child's end when it has ended (without waiting unless wait).
ChildEnd ReapChild(int pid, bool wait);

// Sends a signal to the child; false when it is gone.
bool SignalChild(int pid, int signal);

// The user + system CPU time this process used so far, all its threads.
double OwnCpuSeconds();

// The path of the running program file; empty when it cannot be read.
std::string ProgramPath();

}  // namespace platform

namespace platform {

// Replaces this process by the program argv[0] (a path) with argv, keeping
// its standard streams; returns only when that failed, with the errno.
int ReplaceProcess(const std::vector<std::string>& argv);

}  // namespace platform
