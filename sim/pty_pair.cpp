#include "sim/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

bool Fail(std::string* error, const std::string& what) {
  if (error)
    *error = what + ": " + std::strerror(errno);
  return false;
}

// Removes the link only while it still points at the device.
void RemoveLinkIfOurs(const std::string& link, const std::string& device) {
  char target[256];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == device)
    unlink(link.c_str());
}

}  // namespace

PtyPair::~PtyPair() {
  Close();
}

bool PtyPair::Open(std::string* error) {
  Close();
  return OpenNew(error);
}

bool PtyPair::Renew(std::string* error) {
  const int old_master = master_;
  const std::string old_device = device_path_;
  const std::string old_link = link_path_;
  master_ = -1;
  link_path_.clear();
  // The new pair first, so that the kernel cannot hand out the old number.
  const bool opened = OpenNew(error);
  if (!old_link.empty())
    RemoveLinkIfOurs(old_link, old_device);
  if (old_master >= 0)
    close(old_master);
  return opened;
}

bool PtyPair::OpenNew(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0)
    return Fail(error, "posix_openpt");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    Fail(error, "pseudo-terminal set-up");
    Close();
    return false;
  }
  device_path_ = name;
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slave < 0) {
    Fail(error, "open " + device_path_);
    Close();
    return false;
  }
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
  }
  close(slave);
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  return true;
}

bool PtyPair::Publish(const std::string& link_path, std::string* error) {
  struct stat target {};
  if (stat(link_path.c_str(), &target) == 0) {
    // A live link belongs to another simulator: never take its name.
    if (error)
      *error = link_path + " is in use by another simulator (choose another name)";
    return false;
  }
  unlink(link_path.c_str());  // a dangling link left by a simulator that was killed
  if (symlink(device_path_.c_str(), link_path.c_str()) != 0) {
    return Fail(error, "symlink " + link_path);
  }
  link_path_ = link_path;
  return true;
}

void PtyPair::Close() {
  if (!link_path_.empty()) {
    RemoveLinkIfOurs(link_path_, device_path_);
    link_path_.clear();
  }
  if (master_ >= 0)
    close(master_);
  master_ = -1;
}

long PtyPair::Read(char* buffer, std::size_t size) {
  if (master_ < 0)
    return -1;
  const ssize_t n = read(master_, buffer, size);
  if (n >= 0)
    return static_cast<long>(n);
  return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

bool PtyPair::Write(std::string_view bytes, int timeout_ms) {
  if (master_ < 0)
    return false;
  int waited_ms = 0;
  while (!bytes.empty()) {
    const ssize_t n = write(master_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR)
      return false;
    if (waited_ms >= timeout_ms)
      return false;
    pollfd p{master_, POLLOUT, 0};
    poll(&p, 1, 10);
    waited_ms += 10;
  }
  return true;
}

}  // namespace sim

namespace sim {

bool PtyPair::PeerOpen() const {
  if (master_ < 0)
    return false;
  pollfd p{master_, POLLOUT, 0};
  return poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

}  // namespace sim
