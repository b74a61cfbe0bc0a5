// A pseudo-terminal that no simulator published: it stands in for a real
// module's port. The test holds the controller side and can read what a
// program wrote to the port.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class PlainPty {
 public:
  PlainPty() {
    fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (fd_ >= 0 && grantpt(fd_) == 0 && unlockpt(fd_) == 0 &&
        ptsname_r(fd_, name, sizeof name) == 0)
      path_ = name;
  }
  ~PlainPty() {
    if (fd_ >= 0)
      close(fd_);
  }
  PlainPty(const PlainPty&) = delete;
  PlainPty& operator=(const PlainPty&) = delete;
  // The device path ("/dev/pts/N"); empty when no pseudo-terminal could be made.
  const std::string& Path() const { return path_; }
  // What was written to the port so far.
  std::string Written() {
    std::string text;
    char buf[256];
    long n;
    while ((n = read(fd_, buf, sizeof buf)) > 0)
      text.append(buf, static_cast<size_t>(n));
    return text;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace testsupport
