// A program run by a test in a process of its own: forked and executed in a
// working directory, with extra environment entries, its standard output and
// error caught in files, optionally signalled while it runs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testsupport {

class ChildProcess {
 public:
  // argv[0] is the program's path; env holds "NAME=value" entries.
  ChildProcess(const std::vector<std::string>& argv, const std::string& cwd,
               const std::vector<std::string>& env = {})
      : out_(io_.file("out")), err_(io_.file("err")), start_(std::chrono::steady_clock::now()) {
    // Everything the child needs is made before the fork.
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(cwd.c_str()) != 0)
        _exit(127);
      for (const auto& kv : env)
        putenv(const_cast<char*>(kv.c_str()));
      const int o = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~ChildProcess() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGTERM);
      Wait();
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int sig) {
    if (pid_ > 0 && !ended_)
      kill(pid_, sig);
  }
  // Waits for the end: the exit code, or 128 + the signal that ended it.
  int Wait() {
    int status = 0;
    if (pid_ > 0 && !ended_ && waitpid(pid_, &status, 0) == pid_) {
      ended_ = true;
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    return code_;
  }
  std::string Out() const { return ReadFile(out_); }
  std::string Err() const { return ReadFile(err_); }
  // From the start to the end seen by Wait.
  double Seconds() const { return seconds_; }

 private:
  TempDir io_;
  std::string out_, err_;
  std::chrono::steady_clock::time_point start_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int code_ = -1;
  double seconds_ = 0;
};

struct ProgramResult {
  int code = -1;  // exit code, or 128 + the signal that ended it
  std::string out, err;
  double seconds = 0;
};

// Runs argv to its end; sends `sig` after `signal_ms` when that is not
// negative.
inline ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd,
                                const std::vector<std::string>& env = {}, int sig = SIGINT,
                                int signal_ms = -1) {
  ChildProcess child(argv, cwd, env);
  if (signal_ms >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(signal_ms));
    child.Signal(sig);
  }
  ProgramResult r;
  r.code = child.Wait();
  r.out = child.Out();
  r.err = child.Err();
  r.seconds = child.Seconds();
  return r;
}

}  // namespace testsupport
