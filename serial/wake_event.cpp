#include "serial/wake_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0)
    ::close(fd_);
}

void WakeEvent::Set() {
  if (fd_ < 0)
    return;
  const std::uint64_t one = 1;
  // The counter only grows; a full counter (never reached) is still "set".
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void WakeEvent::Reset() {
  if (fd_ < 0)
    return;
  std::uint64_t v;
  while (::read(fd_, &v, sizeof v) > 0) {
  }
}

bool WakeEvent::IsSet() const {
  return Wait(0);
}

bool WakeEvent::Wait(int timeout_ms) const {
  if (fd_ < 0)
    return false;
  pollfd p{fd_, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeout_ms);
    if (r < 0 && errno == EINTR)
      continue;
    return r > 0 && (p.revents & POLLIN);
  }
}
