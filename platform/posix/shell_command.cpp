#include "platform/shell_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/spawn_defaults.h"

extern char** environ;

namespace platform {

namespace {

// This process's environment with `extra` over it.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extra)
      replaced = replaced || x.compare(0, name.size(), name) == 0;
    if (!replaced)
      env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (std::string& t : texts)
    p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

// Starts the shell; its pid, or -1 with the error.
pid_t Spawn(const std::string& command, const std::vector<std::string>& extra, int out_fd,
            std::string* error) {
  std::vector<std::string> args{"/bin/sh", "-c", command};
  std::vector<std::string> env = EnvironmentWith(extra);
  std::vector<char*> argv = Pointers(args), envp = Pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 2);
  posix_spawnattr_t attr;
  InitSpawnDefaults(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);  // a group of its own
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    *error = std::string("cannot start /bin/sh: ") + std::strerror(rc);
    return -1;
  }
  return pid;
}

void Drain(int fd, std::string& output) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      return;
    const std::size_t room = kMaxShellOutput - std::min(output.size(), kMaxShellOutput);
    output.append(buffer, std::min(room, static_cast<std::size_t>(n)));
  }
}

void EndGroup(pid_t pid) {
  kill(-pid, SIGTERM);
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid)
      break;  // the shell ended: left waitable for the caller
  }
  kill(-pid, SIGKILL);  // what ignored SIGTERM, and what the shell left behind
}

}  // namespace

ShellRun RunShellCommand(const std::string& command, const std::vector<std::string>& extra,
                         const std::function<bool()>& give_up) {
  ShellRun run;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    run.start_error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return run;
  }
  const pid_t pid = Spawn(command, extra, fds[1], &run.start_error);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return run;
  }
  run.started = true;
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  int status = 0;
  bool collected = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    poll(&p, 1, 20);
    Drain(fds[0], run.output);
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid) {
      collected = true;
      break;
    }
    if (got < 0 && errno != EINTR)
      break;  // not collected: exit_code stays -1, a failure
    if (!run.ended_by_us && give_up()) {
      run.ended_by_us = true;
      EndGroup(pid);
    }
  }
  Drain(fds[0], run.output);
  close(fds[0]);
  if (collected && WIFEXITED(status)) {
    run.exit_code = WEXITSTATUS(status);
  } else if (collected && WIFSIGNALED(status)) {
    run.signal = WTERMSIG(status);
    run.exit_code = 128 + run.signal;
  }
  return run;
}

}  // namespace platform
