#include "serial/posix_tty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#if __has_include(<linux/serial.h>)
#include <linux/serial.h>
#define ZUVEK_HAVE_ICOUNT 1
#endif

#include "platform/win_errors.h"
#include "serial/tty_attr_seam.h"

namespace tty {
namespace {

DWORD LastError() {
  return win::FromErrno(errno);
}

struct SpeedEntry {
  DWORD baud;
  speed_t speed;
};
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

}  // namespace

std::string DevicePath(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return name;
  return "/dev/" + name;
}

int OpenExclusive(const std::string& path, DWORD* error) {
  *error = 0;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = LastError();
    return -1;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    *error = win::kNotSupported;
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *error = (errno == EWOULDBLOCK) ? win::kAccessDenied : LastError();
    ::close(fd);
    return -1;
  }
  ::ioctl(fd, TIOCEXCL);  // best effort: some drivers refuse it
  return fd;
}

void CloseDevice(int fd) {
  if (fd < 0)
    return;
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

DWORD MakeRaw(int fd) {
  termios t{};
  if (Attr().Get(fd, &t) != 0)
    return LastError();
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (Attr().Set(fd, t) != 0)
    return LastError();
  return 0;
}

DWORD GetAttr(int fd, termios* t) {
  return Attr().Get(fd, t) == 0 ? 0 : LastError();
}

DWORD SetAttr(int fd, const termios& t) {
  return Attr().Set(fd, t) == 0 ? 0 : LastError();
}

bool SpeedFromBaud(DWORD baud, speed_t* speed) {
  for (const auto& e : kSpeeds) {
    if (e.baud == baud) {
      *speed = e.speed;
      return true;
    }
  }
  return false;
}

DWORD BaudFromSpeed(speed_t speed) {
  for (const auto& e : kSpeeds) {
    if (e.speed == speed)
      return e.baud;
  }
  return 0;
}

DWORD InputWaiting(int fd, DWORD* count) {
  int n = 0;
  if (::ioctl(fd, FIONREAD, &n) != 0)
    return LastError();
  *count = n > 0 ? static_cast<DWORD>(n) : 0;
  return 0;
}

DWORD OutputWaiting(int fd, DWORD* count) {
  int n = 0;
  if (::ioctl(fd, TIOCOUTQ, &n) != 0)
    return LastError();
  *count = n > 0 ? static_cast<DWORD>(n) : 0;
  return 0;
}

DWORD ReadLineCounters(int fd, LineCounters* c) {
#ifdef ZUVEK_HAVE_ICOUNT
  serial_icounter_struct ic{};
  if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) {
    return (errno == EINVAL || errno == ENOTTY) ? win::kNotSupported : LastError();
  }
  c->frame = static_cast<std::uint32_t>(ic.frame);
  c->overrun = static_cast<std::uint32_t>(ic.overrun);
  c->parity = static_cast<std::uint32_t>(ic.parity);
  c->brk = static_cast<std::uint32_t>(ic.brk);
  c->buf_overrun = static_cast<std::uint32_t>(ic.buf_overrun);
  return 0;
#else
  (void)fd;
  (void)c;
  return win::kNotSupported;
#endif
}

DWORD ModemStatus(int fd, DWORD* ms_bits) {
  int m = 0;
  if (::ioctl(fd, TIOCMGET, &m) != 0)
    return LastError();
  DWORD bits = 0;
  if (m & TIOCM_CTS)
    bits |= 0x10;
  if (m & TIOCM_DSR)
    bits |= 0x20;
  if (m & TIOCM_RNG)
    bits |= 0x40;
  if (m & TIOCM_CAR)
    bits |= 0x80;
  *ms_bits = bits;
  return 0;
}

DWORD SetModemLine(int fd, int tiocm_bit, bool on) {
  return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &tiocm_bit) == 0 ? 0 : LastError();
}

DWORD SetBreak(int fd, bool on) {
  return ::ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : LastError();
}

DWORD Purge(int fd, bool rx, bool tx) {
  if (!rx && !tx)
    return 0;
  const int which = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
  return Attr().Flush(fd, which) == 0 ? 0 : LastError();
}

void DiscardStuckOutput(int fd, int grace_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(grace_ms);
  DWORD waiting = 0;
  while (OutputWaiting(fd, &waiting) == 0 && waiting > 0 &&
         std::chrono::steady_clock::now() < deadline) {
    ::poll(nullptr, 0, 10);
  }
  Attr().Flush(fd, TCOFLUSH);
}

}  // namespace tty
