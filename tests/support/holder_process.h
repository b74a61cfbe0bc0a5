// A second process that holds a device open, as ModemManager or a terminal
// program would: forked, named by prctl, it opens the path and waits until the
// test ends it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class HolderProcess {
 public:
  // `name` is at most 15 characters (the kernel's command name).
  HolderProcess(const std::string& path, const std::string& name) {
    int ready[2];
    if (::pipe(ready) != 0)
      return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here on.
      ::close(ready[0]);
      ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 ? '1' : '0';
      (void)!::write(ready[1], &ok, 1);
      ::close(ready[1]);
      for (;;)
        ::pause();
    }
    ::close(ready[1]);
    char ok = '0';
    held_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == '1';
    ::close(ready[0]);
  }
  ~HolderProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  HolderProcess(const HolderProcess&) = delete;
  HolderProcess& operator=(const HolderProcess&) = delete;

  // True once the child has the device open.
  bool Holds() const { return held_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

}  // namespace testsupport
