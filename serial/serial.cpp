// CSerial: open, close, line settings and queries. The reads, writes and the
// event wait are in serial_io.cpp.
#include "serial/serial.h"

#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/run_logs.h"
#include "platform/clock.h"
#include "platform/win_errors.h"

CSerial::CSerial() = default;

CSerial::~CSerial() {
  if (IsOpen())
    CSerial::Close();
}

namespace {

// The epoll set of an open port: the device edge-triggered (a wake-up means
// new bytes, not bytes still waiting) and the wake event; -1 with the error.
int CreateEventSet(int fd, int wake_fd, DWORD* err) {
  const int ep = ::epoll_create1(EPOLL_CLOEXEC);
  if (ep < 0) {
    *err = win::FromErrno(errno);
    return -1;
  }
  epoll_event dev{};
  dev.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
  dev.data.fd = fd;
  epoll_event wk{};
  wk.events = EPOLLIN;
  wk.data.fd = wake_fd;
  if (::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &dev) != 0 ||
      ::epoll_ctl(ep, EPOLL_CTL_ADD, wake_fd, &wk) != 0) {
    *err = win::FromErrno(errno);
    ::close(ep);
    return -1;
  }
  return ep;
}

}  // namespace

void CSerial::ResetOpenState(int fd, const std::string& path, bool overlapped) {
  m_path = path;
  m_keptLineNoted = false;
  m_abortEvent.Reset();
  m_aborting = false;
  m_overlapped = overlapped;
  m_hangupSeen = false;
  m_eventCounters = {};
  tty::ReadLineCounters(fd, &m_eventCounters);
  {
    std::lock_guard<std::mutex> lock(m_errorMutex);
    m_errorCounters = m_eventCounters;
  }
  m_hFile = fd;
}

LONG CSerial::Open(const char* name, DWORD /*inQueue*/, DWORD /*outQueue*/, bool overlapped) {
  m_lastError = 0;
  if (IsOpen())
    return SetError(win::kAlreadyInitialized);
  if (!name || !*name)
    return SetError(win::kFileNotFound);
  // The device path buffer: a longer name is refused, never cut.
  if (std::strlen(name) > tty::kMaxPortName)
    return SetError(win::kFilenameExcedRange);

  DWORD err = 0;
  const std::string path = tty::DevicePath(name);
  const int fd = tty::OpenExclusive(path, &err);
  if (fd < 0)
    return SetError(err);

  // CreateEventA for the overlapped port; an epoll set standing for the
  // overlapped WaitCommEvent.
  auto wake = std::make_unique<WakeEvent>();
  const int ep = wake->Valid() ? CreateEventSet(fd, wake->fd(), &err) : -1;
  if (ep < 0) {
    if (!wake->Valid())
      err = win::FromErrno(errno);
    tty::CloseDevice(fd);
    return SetError(err);
  }
  // SetupComm has no counterpart: the tty layer sizes its own buffers.
  // The default configuration (GetDefaultCommConfig/SetCommConfig) is the
  // raw line a Win32 handle gives.
  tty::MakeRaw(fd);
  m_epoll = ep;
  m_hIoEvent = std::move(wake);
  ResetOpenState(fd, path, overlapped);
  SetEventMask(kDefaultEventMask);
  const LONG mask_err = m_lastError;
  SetReadMode(ReadNonBlocking);
  if (m_lastError == 0 && mask_err != 0)
    m_lastError = mask_err;
  // No wait was pending: the first wait must not see the open's mask change.
  m_hIoEvent->Reset();
  return m_lastError;
}

LONG CSerial::Close() {
  m_lastError = 0;
  const int fd = m_hFile.exchange(-1);
  if (fd >= 0) {
    // A Read or Write waiting on the device ends now; the descriptor is
    // closed once no call uses it any more.
    AbortIo();
    for (int n = m_ioInFlight.load(); n != 0; n = m_ioInFlight.load())
      m_ioInFlight.wait(n);
    // Output a port that stopped draining still holds would make close()
    // wait for the driver's drain.
    tty::DiscardStuckOutput(fd, kCloseDrainMs);
    if (m_epoll >= 0)
      ::close(m_epoll);
    m_epoll = -1;
    m_hIoEvent.reset();
    m_overlapped = false;
    tty::CloseDevice(fd);
  }
  m_abortEvent.Reset();
  m_aborting = false;
  return 0;
}

void CSerial::AbortIo() {
  m_aborting = true;
  m_abortEvent.Set();
}

LONG CSerial::SetLineFormat(DWORD baudRate, BYTE dataBits, BYTE parity, BYTE stopBits) {
  m_lastError = 0;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  termios t{};
  if (DWORD e = tty::GetAttr(fd, &t))
    return SetError(e);
  const termios before = t;
  speed_t speed;
  // A value the DCB would refuse: ERROR_INVALID_PARAMETER, as SetCommState.
  if (!tty::SpeedFromBaud(baudRate, &speed) || dataBits < 5 || dataBits > 8 || parity > 4 ||
      stopBits > 2) {
    return SetError(win::kInvalidParameter);
  }
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dataBits - 5];
  // Parity: PARENB on, PARODD for odd and mark, CMSPAR for mark and space.
  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
  if (parity == ODDPARITY)
    t.c_cflag |= PARENB | PARODD;
  if (parity == EVENPARITY)
    t.c_cflag |= PARENB;
  if (parity == MARKPARITY)
    t.c_cflag |= PARENB | PARODD | CMSPAR;
  if (parity == SPACEPARITY)
    t.c_cflag |= PARENB | CMSPAR;
  // One and a half stop bits exist only as CSTOPB with five data bits.
  if (stopBits == ONESTOPBIT) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  } else {
    t.c_cflag |= CSTOPB;
  }
  if (DWORD e = tty::SetAttr(fd, t))
    return SetError(e);
  // tcsetattr succeeds when the driver takes any part of the request; a
  // driver that kept another size, parity or stop setting (a pseudo-terminal
  // keeps 8N) refused the format, as SetCommState would have.
  termios back{};
  if (DWORD e = tty::GetAttr(fd, &back))
    return SetError(e);
  constexpr tcflag_t kFormat = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  if ((back.c_cflag & kFormat) == (t.c_cflag & kFormat) && cfgetospeed(&back) == speed)
    return 0;
  // A driver without line settings (the AT and NMEA ports of most cellular
  // modules, multiplexed ttys) keeps all it had and restores it, speed
  // included; the speed cannot matter on such a port, so it is used as it
  // is. Only a request for another speed tells such a driver from one that
  // refused the format alone, as a pseudo-terminal does.
  const bool kept_all = (back.c_cflag & kFormat) == (before.c_cflag & kFormat) &&
                        cfgetospeed(&back) == cfgetospeed(&before) &&
                        cfgetispeed(&back) == cfgetispeed(&before) && cfgetospeed(&before) != speed;
  if (!kept_all)
    return SetError(win::kInvalidParameter);
  NoteKeptLine(back, baudRate, dataBits, parity, stopBits);
  return 0;
}

void CSerial::NoteKeptLine(const termios& kept, DWORD baudRate, BYTE dataBits, BYTE parity,
                           BYTE stopBits) {
  if (m_keptLineNoted)
    return;
  m_keptLineNoted = true;
  static constexpr const char* kParity = "NOEMS";
  static constexpr const char* kStop[] = {"1", "1.5", "2"};
  const DWORD kept_baud = tty::BaudFromSpeed(cfgetospeed(&kept));
  const std::string kept_text =
      kept_baud ? std::to_string(kept_baud) + " baud" : std::string("an unlisted speed");
  const std::string note = m_path + ": the driver keeps its own line settings (" + kept_text +
                           ") instead of " + std::to_string(baudRate) + " " +
                           std::to_string(dataBits) + kParity[parity] + kStop[stopBits] +
                           ", as USB modem ports do; the port is used as it is.\n";
  LOG_DEBUG(note.c_str());
}

LONG CSerial::SetEventCharacter(BYTE ch, bool adjustMask) {
  m_lastError = 0;
  if (!IsOpen())
    return SetError(win::kInvalidHandle);
  // DCB EvtChar has no termios counterpart: it is kept here.
  if (adjustMask) {
    if (LONG e = SetEventMask(GetEventMask() | EV_RXFLAG))
      return e;
  }
  m_evtChar = ch;
  return 0;
}

LONG CSerial::SetEventMask(DWORD mask) {
  m_lastError = 0;
  if (!IsOpen())
    return SetError(win::kInvalidHandle);
  m_eventMask = mask;
  // SetCommMask completes a pending WaitCommEvent with an empty word. A
  // change made while no wait is pending completes the next wait at once,
  // with an empty word, so that a stop request is never missed.
  m_hIoEvent->Set();
  return 0;
}

LONG CSerial::SetFlowControl(FlowControl mode) {
  m_lastError = 0;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  if (mode != FlowNone && mode != FlowHardware && mode != FlowSoftware) {
    return SetError(win::kInvalidArg);
  }
  termios t{};
  if (DWORD e = tty::GetAttr(fd, &t))
    return SetError(e);
  // RTS/CTS handshake is CRTSCTS; XON/XOFF in both directions IXON|IXOFF
  // with the XON and XOFF characters 17 and 19.
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (mode == FlowHardware)
    t.c_cflag |= CRTSCTS;
  if (mode == FlowSoftware) {
    t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 17;
    t.c_cc[VSTOP] = 19;
  }
  return SetError(tty::SetAttr(fd, t));
}

LONG CSerial::SetReadMode(ReadMode mode) {
  m_lastError = 0;
  if (!IsOpen())
    return SetError(win::kInvalidHandle);
  if (mode != ReadNonBlocking && mode != ReadBlocking)
    return SetError(win::kInvalidArg);
  // The COMMTIMEOUTS of the mode: reads never block in the driver (the
  // descriptor is non-blocking); a blocking read waits in poll until its
  // count has arrived.
  m_readMode = mode;
  return 0;
}

namespace {

// GetCommState for the getters: the attributes, or -1 with the code stored.
bool ReadState(int fd, termios* t, DWORD* err) {
  *err = fd < 0 ? win::kInvalidHandle : tty::GetAttr(fd, t);
  return *err == 0;
}

}  // namespace

LONG CSerial::GetBaudRate() {
  m_lastError = 0;
  termios t{};
  DWORD e;
  if (!ReadState(m_hFile, &t, &e))
    return SetError(e), -1;
  return static_cast<LONG>(tty::BaudFromSpeed(cfgetospeed(&t)));
}

LONG CSerial::GetDataBits() {
  m_lastError = 0;
  termios t{};
  DWORD e;
  if (!ReadState(m_hFile, &t, &e))
    return SetError(e), -1;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

LONG CSerial::GetParity() {
  m_lastError = 0;
  termios t{};
  DWORD e;
  if (!ReadState(m_hFile, &t, &e))
    return SetError(e), -1;
  if (!(t.c_cflag & PARENB))
    return NOPARITY;  // fParity clear
  const bool odd = t.c_cflag & PARODD;
  if (t.c_cflag & CMSPAR)
    return odd ? MARKPARITY : SPACEPARITY;
  return odd ? ODDPARITY : EVENPARITY;
}

LONG CSerial::GetStopBits() {
  m_lastError = 0;
  termios t{};
  DWORD e;
  if (!ReadState(m_hFile, &t, &e))
    return SetError(e), -1;
  if (!(t.c_cflag & CSTOPB))
    return ONESTOPBIT;
  return (t.c_cflag & CSIZE) == CS5 ? ONE5STOPBITS : TWOSTOPBITS;
}

LONG CSerial::GetFlowControl() {
  m_lastError = 0;
  termios t{};
  DWORD e;
  if (!ReadState(m_hFile, &t, &e))
    return SetError(e), -1;
  if (t.c_cflag & CRTSCTS)
    return FlowHardware;
  if ((t.c_iflag & IXON) && (t.c_iflag & IXOFF))
    return FlowSoftware;
  return FlowNone;
}

DWORD CSerial::GetEventMask() {
  m_lastError = 0;
  if (!IsOpen())
    return SetError(win::kInvalidHandle), 0;
  return m_eventMask;
}

BYTE CSerial::GetEventCharacter() {
  m_lastError = 0;
  if (!IsOpen())
    return SetError(win::kInvalidHandle), 0;
  return m_evtChar;
}

DWORD CSerial::TakeEvent() {
  const DWORD event = m_eventWord & m_eventMask;
  m_eventWord = 0;
  return event;
}

LONG CSerial::SendBreak() {
  m_lastError = 0;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  tty::SetBreak(fd, true);
  platform::ProcessClock().Sleep(100);
  tty::SetBreak(fd, false);
  return 0;
}

LONG CSerial::PurgeBuffers() {
  m_lastError = 0;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle);
  return SetError(tty::Purge(fd, true, true));
}

DWORD CSerial::GetLineErrors() {
  m_lastError = 0;
  const int fd = m_hFile;
  if (fd < 0)
    return SetError(win::kInvalidHandle), 0;
  tty::LineCounters now;
  const DWORD e = tty::ReadLineCounters(fd, &now);
  // A driver without error counters (a pseudo-terminal) has no line errors.
  if (e == win::kNotSupported)
    return 0;
  if (e)
    return SetError(e), 0;
  std::lock_guard<std::mutex> lock(m_errorMutex);
  const tty::LineCounters& was = m_errorCounters;
  DWORD bits = 0;
  if (now.frame != was.frame)
    bits |= CE_FRAME;
  if (now.overrun != was.overrun)
    bits |= CE_OVERRUN;
  if (now.parity != was.parity)
    bits |= CE_RXPARITY;
  if (now.brk != was.brk)
    bits |= CE_BREAK;
  if (now.buf_overrun != was.buf_overrun)
    bits |= CE_RXOVER;
  m_errorCounters = now;  // ClearCommError clears what it reports
  return bits;
}

bool CSerial::ModemBit(DWORD bit) {
  m_lastError = 0;
  DWORD bits = 0;
  const int fd = m_hFile;
  // The handle is not tested first: a closed port fails in the call.
  const DWORD e = fd < 0 ? win::kInvalidHandle : tty::ModemStatus(fd, &bits);
  if (e)
    return SetError(e), false;
  return (bits & bit) != 0;
}

bool CSerial::IsCtsOn() {
  return ModemBit(MS_CTS_ON);
}
bool CSerial::IsDsrOn() {
  return ModemBit(MS_DSR_ON);
}
bool CSerial::IsRingOn() {
  return ModemBit(MS_RING_ON);
}
bool CSerial::IsRlsdOn() {
  return ModemBit(MS_RLSD_ON);
}

CSerial::PortState CSerial::ProbePort(const char* deviceName) {
  if (!deviceName || !*deviceName || std::strlen(deviceName) > tty::kMaxPortName) {
    return PortNotAvailable;
  }
  DWORD err = 0;
  const int fd = tty::OpenExclusive(tty::DevicePath(deviceName), &err);
  if (fd >= 0) {
    tty::CloseDevice(fd);
    return PortAvailable;
  }
  if (err == win::kFileNotFound)
    return PortNotAvailable;
  if (err == win::kAccessDenied)
    return PortInUse;
  return PortUnknown;
}
