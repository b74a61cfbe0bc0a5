// CSerial: reads, writes and the event wait.
//
// Win32 runs these as overlapped I/O on one shared event; here the
// descriptor is non-blocking and each call waits in its own poll, so a Read
// on the UI thread and a Write from the test engine never wait on each
// other's completion. A finite time-out that runs out abandons the I/O and
// gives ERROR_TIMEOUT (1460), as CancelIo would. A write never waits longer
// than kWriteTimeLimitMs unless its caller gave a time-out of its own, and
// Close (or AbortIo) ends a waiting Read or Write at once with
// ERROR_OPERATION_ABORTED (995).
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/win_errors.h"
#include "serial/serial.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until the deadline; -1 for no limit.
int Remaining(DWORD timeout, SteadyClock::time_point start) {
  if (timeout == INFINITE)
    return -1;
  const auto spent =
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
  const long long left = static_cast<long long>(timeout) - spent;
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

class CSerial::IoScope {
 public:
  explicit IoScope(CSerial& port) : port_(port) { ++port_.m_ioInFlight; }
  ~IoScope() {
    if (--port_.m_ioInFlight == 0)
      port_.m_ioInFlight.notify_all();
  }
  IoScope(const IoScope&) = delete;
  IoScope& operator=(const IoScope&) = delete;

 private:
  CSerial& port_;
};

LONG CSerial::CheckIo(OVERLAPPED* overlapped, DWORD timeout) {
  if (!IsOpen())
    return SetError(win::kInvalidHandle);
  // A port opened without overlapped I/O takes no OVERLAPPED and no time-out.
  if (!m_overlapped && (overlapped || timeout != INFINITE)) {
    return SetError(win::kInvalidFunction);
  }
  return 0;
}

void CSerial::Complete(OVERLAPPED* overlapped) {
  if (overlapped && overlapped->hEvent)
    overlapped->hEvent->Set();
}

LONG CSerial::PollDevice(int fd, short events, int timeout_ms) {
  pollfd fds[2] = {{fd, events, 0}, {m_abortEvent.fd(), POLLIN, 0}};
  int r;
  do {
    r = ::poll(fds, 2, timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (r < 0)
    return SetError(win::FromErrno(errno));
  if (r == 0)
    return SetError(win::kTimeout);
  if (fds[1].revents & POLLIN)
    return SetError(win::kOperationAborted);
  const pollfd& p = fds[0];
  if (p.revents & (POLLERR | POLLNVAL))
    return SetError(win::kDeviceNotConnected);
  // A hang-up with nothing to read: the next read reports it.
  if ((p.revents & POLLHUP) && events == POLLOUT)
    return SetError(win::kDeviceNotConnected);
  return 0;
}

LONG CSerial::Write(const char* text, DWORD* written, OVERLAPPED* overlapped, DWORD timeout) {
  return Write(text, text ? static_cast<DWORD>(std::strlen(text)) : 0, written, overlapped,
               timeout);
}

LONG CSerial::Write(const void* buffer, DWORD length, DWORD* written, OVERLAPPED* overlapped,
                    DWORD timeout) {
  m_lastError = 0;
  DWORD local = 0;
  if (!written)
    written = &local;
  *written = 0;
  const IoScope io(*this);
  if (LONG e = CheckIo(overlapped, timeout))
    return e;
  // Close waits for this call before it closes the descriptor.
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  if (m_aborting)
    return SetError(win::kOperationAborted);
  const DWORD limit = timeout == INFINITE ? kWriteTimeLimitMs : timeout;
  const auto start = SteadyClock::now();
  const char* p = static_cast<const char*>(buffer);
  while (*written < length) {
    const ssize_t n = ::write(fd, p + *written, length - *written);
    if (n > 0) {
      *written += static_cast<DWORD>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN)
      return SetError(win::FromErrno(errno));
    // The driver's output queue is full: wait until it drains.
    if (LONG e = PollDevice(fd, POLLOUT, Remaining(limit, start)))
      return e;
  }
  Complete(overlapped);
  return 0;
}

LONG CSerial::Read(void* buffer, DWORD length, DWORD* read, OVERLAPPED* overlapped, DWORD timeout) {
  m_lastError = 0;
  DWORD local = 0;
  if (!read)
    read = &local;
  *read = 0;
  const IoScope io(*this);
  if (LONG e = CheckIo(overlapped, timeout))
    return e;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  if (m_aborting)
    return SetError(win::kOperationAborted);
  const auto start = SteadyClock::now();
  char* p = static_cast<char*>(buffer);
  const bool blocking = m_readMode == ReadBlocking;
  while (*read < length) {
    const ssize_t n = ::read(fd, p + *read, length - *read);
    if (n > 0) {
      *read += static_cast<DWORD>(n);
      if (!blocking)
        break;
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    // End of file on a terminal: the other side hung up.
    if (n == 0)
      return SetError(win::kDeviceNotConnected);
    if (errno != EAGAIN)
      return SetError(win::FromErrno(errno));
    // Nothing waits. The non-blocking mode returns what it has; the blocking
    // mode waits for the rest (bytes already read stay in the count).
    if (!blocking)
      break;
    if (LONG e = PollDevice(fd, POLLIN, Remaining(timeout, start)))
      return e;
  }
  Complete(overlapped);
  return 0;
}

DWORD CSerial::CounterEvents() {
  tty::LineCounters now;
  if (tty::ReadLineCounters(m_hFile, &now) != 0)
    return 0;
  DWORD ev = 0;
  if (now.brk != m_eventCounters.brk)
    ev |= EV_BREAK;
  if (now.frame != m_eventCounters.frame || now.overrun != m_eventCounters.overrun ||
      now.parity != m_eventCounters.parity || now.buf_overrun != m_eventCounters.buf_overrun) {
    ev |= EV_ERR;
  }
  m_eventCounters = now;
  return ev;
}

LONG CSerial::WaitEpoll(int timeout_ms, DWORD* word, bool* woken) {
  epoll_event evs[2];
  int n;
  do {
    n = ::epoll_wait(m_epoll, evs, 2, timeout_ms);
  } while (n < 0 && errno == EINTR);
  if (n < 0)
    return win::FromErrno(errno);
  if (n == 0)
    return win::kTimeout;
  for (int i = 0; i < n; ++i) {
    if (evs[i].data.fd != m_hFile) {
      *woken = true;
      continue;
    }
    if (evs[i].events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP))
      m_hangupSeen = true;
    if (evs[i].events & EPOLLIN)
      *word |= EV_RXCHAR | CounterEvents();
  }
  return 0;
}

// WaitCommEvent: epoll on the device (edge-triggered, so only bytes that
// arrive after the last wait raise EV_RXCHAR again) and the wake event that
// SetEventMask signals. A hang-up (POLLHUP/POLLERR with reads giving 0 or
// EIO) is not an event: once the bytes still waiting are gone it fails the
// wait with ERROR_DEVICE_NOT_CONNECTED, so a listener ends instead of spinning.
// EV_TXEMPTY, EV_RXFLAG and the modem-line events are not raised here.
LONG CSerial::WaitForEvent(OVERLAPPED* overlapped, DWORD timeout) {
  m_lastError = 0;
  if (LONG e = CheckIo(overlapped, timeout))
    return e;
  const auto start = SteadyClock::now();
  m_eventWord = 0;
  for (;;) {
    if (m_hangupSeen) {
      // Bytes read before the hang-up may still wait; report them at most
      // ten times a second until they are taken, then report the loss.
      DWORD waiting = 0;
      if (tty::InputWaiting(m_hFile, &waiting) != 0 || waiting == 0) {
        return SetError(win::kDeviceNotConnected);
      }
      if (m_hIoEvent->Wait(100)) {
        m_hIoEvent->Reset();
        break;
      }
      m_eventWord = EV_RXCHAR;
      if (m_eventWord & m_eventMask)
        break;
      m_eventWord = 0;
      if (Remaining(timeout, start) == 0)
        return SetError(win::kTimeout);
      continue;
    }
    bool woken = false;
    DWORD word = 0;
    if (const LONG e = WaitEpoll(Remaining(timeout, start), &word, &woken))
      return SetError(e);
    if (woken) {
      m_hIoEvent->Reset();
      m_eventWord = 0;
      break;
    }
    if (m_hangupSeen) {
      DWORD waiting = 0;
      if (tty::InputWaiting(m_hFile, &waiting) != 0 || waiting == 0) {
        return SetError(win::kDeviceNotConnected);
      }
      word |= EV_RXCHAR;
    }
    m_eventWord = word;
    if (word & m_eventMask)
      break;
    m_eventWord = 0;
  }
  Complete(overlapped);
  return 0;
}
