#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/spawn_defaults.h"

extern char** environ;

namespace platform {

ChildHandle SpawnChild(const std::vector<std::string>& argv, const std::string& stderr_path,
                       std::string* error) {
  ChildHandle handle;
  if (argv.empty()) {
    if (error)
      *error = "no program to start";
    return handle;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    if (error)
      *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return handle;
  }
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawnattr_t attr;
  InitSpawnDefaults(&attr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    if (error)
      *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
    return handle;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  handle.pid = pid;
  handle.out_fd = fds[0];
  return handle;
}

ChildEnd ReapChild(int pid, bool wait) {
  ChildEnd end;
  int status = 0;
  rusage usage{};
  pid_t got;
  do {
    got = wait4(pid, &status, wait ? 0 : WNOHANG, &usage);
  } while (got < 0 && errno == EINTR);
  if (got != pid)
    return end;
  end.ended = true;
  if (WIFEXITED(status)) {
    end.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    end.signal = WTERMSIG(status);
    end.exit_code = 128 + end.signal;
  }
  end.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return end;
}

bool SignalChild(int pid, int signal) {
  return pid > 0 && kill(pid, signal) == 0;
}

double OwnCpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0)
    return 0;
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string ProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0)
    return {};
  return std::string(path, static_cast<std::size_t>(n));
}

}  // namespace platform

namespace platform {

int ReplaceProcess(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  return errno;
}

}  // namespace platform
