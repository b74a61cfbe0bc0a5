#include "serial/serial_port.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/win_errors.h"
#include "serial/posix_tty.h"

namespace {
// The worker's waits are cut into slices of this length.
constexpr int kSliceMs = 1000;
}  // namespace

CSerialPort::CSerialPort(Reporter reporter) : reporter_(std::move(reporter)) {}

void CSerialPort::ReleaseReceiveBuffer() {
  {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    buffer_free_ = true;
  }
  buffer_cv_.notify_all();
}

CSerialPort::~CSerialPort() {
  StopMonitoring();
  tty::CloseDevice(fd_.exchange(-1));
}

std::string CSerialPort::FormatError(const char* step, int error, UINT portnr) {
  char text[kMaxErrorText];
  std::snprintf(text, sizeof text,
                "WARNING:  %s Failed with the following error: \n%s\nPort: %u\nPlease make sure "
                "the Serial Port Cable is connected normally ! ",
                step ? step : "", std::strerror(error), portnr);
  return text;
}

void CSerialPort::Report(const char* step, int error) {
  if (reporter_ && !quiet_)
    reporter_(FormatError(step, error, portnr_));
}

bool CSerialPort::InitPort(platform::MessageTarget* owner, UINT portnr, UINT baud, char parity,
                           UINT databits, UINT stopbits, DWORD events, UINT writebuffersize,
                           int flow) {
  return InitPortOnDevice(owner, "/dev/ttyS" + std::to_string(portnr - 1), portnr, baud, parity,
                          databits, stopbits, events, writebuffersize, flow);
}

bool CSerialPort::InitPortOnDevice(platform::MessageTarget* owner, const std::string& device,
                                   UINT portnr, UINT baud, char parity, UINT databits,
                                   UINT stopbits, DWORD events, UINT writebuffersize, int flow) {
  // The preconditions are refused, not asserted: bad input never crashes.
  if (portnr == 0 || portnr >= 180 || owner == nullptr) {
    Report("InitPort()", EINVAL);
    return false;
  }
  StopMonitoring();
  owner_ = owner;
  device_ = device;
  portnr_ = portnr;
  baud_ = baud;
  parity_ = parity;
  databits_ = databits;
  stopbits_ = stopbits;
  events_ = events;
  flow_ = flow;
  shutdown_.Reset();
  write_request_.Reset();
  ReleaseReceiveBuffer();
  std::lock_guard<std::mutex> lock(device_mutex_);
  write_buffer_.assign(writebuffersize, 0);
  write_size_ = 0;
  tty::CloseDevice(fd_.exchange(-1));
  if (!OpenDevice())
    return false;
  Configure();
  tty::Purge(fd_, true, true);
  return true;
}

bool CSerialPort::OpenDevice() {
  DWORD err = 0;
  const int fd = tty::OpenExclusive(device_, &err);
  if (fd < 0)
    return false;
  tty::MakeRaw(fd);
  fd_ = fd;
  return true;
}

// The DCB of the flow-control type and "baud=%d parity=%c data=%d stop=%d";
// each failing step is reported and ends the configuration.
bool CSerialPort::Configure() {
  termios t{};
  if (tty::GetAttr(fd_, &t) != 0)
    return Report("GetCommState()", errno), false;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (flow_ == 1)
    t.c_cflag |= CRTSCTS;
  if (flow_ == 2) {
    t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 17;
    t.c_cc[VSTOP] = 19;
  }
  speed_t speed;
  if (!tty::SpeedFromBaud(baud_, &speed) || databits_ < 5 || databits_ > 8 ||
      (stopbits_ != 1 && stopbits_ != 2) || std::strchr("NOEMS", parity_) == nullptr ||
      parity_ == 0) {
    return Report("BuildCommDCB()", EINVAL), false;
  }
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)) |
              kSizes[databits_ - 5];
  if (parity_ != 'N')
    t.c_cflag |= PARENB;
  if (parity_ == 'O' || parity_ == 'M')
    t.c_cflag |= PARODD;
  if (parity_ == 'M' || parity_ == 'S')
    t.c_cflag |= CMSPAR;
  if (stopbits_ == 2)
    t.c_cflag |= CSTOPB;
  if (tty::SetAttr(fd_, t) != 0)
    return Report("SetCommState()", errno), false;
  return true;
}

bool CSerialPort::StartMonitoring() {
  if (thread_.joinable() || fd_ < 0)
    return false;
  shutdown_.Reset();
  alive_ = true;
  // The purge of the worker's start, made before the worker runs so that
  // bytes arriving once StartMonitoring has returned are never purged.
  tty::Purge(fd_, true, true);
  thread_ = std::thread([this] { Worker(); });
  return true;
}

bool CSerialPort::SuspendMonitoring() {
  std::lock_guard<std::mutex> lock(pause_mutex_);
  paused_ = true;
  return thread_.joinable();
}

bool CSerialPort::ResumeMonitoring() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    paused_ = false;
  }
  pause_cv_.notify_all();
  return thread_.joinable();
}

bool CSerialPort::StopMonitoring() {
  if (!thread_.joinable())
    return true;
  shutdown_.Set();
  ResumeMonitoring();
  thread_.join();
  alive_ = false;
  return true;
}

void CSerialPort::KillMonitor() {
  StopMonitoring();
  std::lock_guard<std::mutex> lock(device_mutex_);
  write_buffer_.clear();
  write_size_ = 0;
}

bool CSerialPort::WriteToPort(const char* data, std::size_t length) {
  if (fd_ < 0 || !data)
    return false;
  {
    std::lock_guard<std::mutex> lock(device_mutex_);
    write_size_ = std::min(length, write_buffer_.size());
    std::memcpy(write_buffer_.data(), data, write_size_);
  }
  write_request_.Set();
  return true;
}

bool CSerialPort::WriteToPortNow(const char* data, std::size_t length) {
  if (fd_ < 0 || !data)
    return false;
  {
    std::lock_guard<std::mutex> lock(device_mutex_);
    write_size_ = std::min(length, write_buffer_.size());
    std::memcpy(write_buffer_.data(), data, write_size_);
  }
  WriteBuffered();
  return true;
}

void CSerialPort::WriteBuffered() {
  std::lock_guard<std::mutex> lock(device_mutex_);
  std::size_t done = 0;
  while (done < write_size_) {
    const ssize_t n = ::write(fd_, write_buffer_.data() + done, write_size_ - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    pollfd p{fd_, POLLOUT, 0};
    // The write time-outs: 500 ms per attempt.
    if (n < 0 && errno == EAGAIN && ::poll(&p, 1, 500) > 0 && !(p.revents & POLLERR))
      continue;
    Report("WriteFile()", n < 0 ? errno : EIO);
    break;
  }
  write_size_ = 0;
}

bool CSerialPort::SetDtr(bool on) {
  std::lock_guard<std::mutex> lock(device_mutex_);
  return fd_ >= 0 && tty::SetModemLine(fd_, TIOCM_DTR, on) == 0;
}

bool CSerialPort::SetRts(bool on) {
  std::lock_guard<std::mutex> lock(device_mutex_);
  return fd_ >= 0 && tty::SetModemLine(fd_, TIOCM_RTS, on) == 0;
}

bool CSerialPort::GetDCB(termios* state) {
  std::lock_guard<std::mutex> lock(device_mutex_);
  return fd_ >= 0 && tty::GetAttr(fd_, state) == 0;
}

bool CSerialPort::ReapplyState() {
  std::lock_guard<std::mutex> lock(device_mutex_);
  termios t{};
  return fd_ >= 0 && tty::GetAttr(fd_, &t) == 0 && tty::SetAttr(fd_, t) == 0;
}

bool CSerialPort::ReopenPort() {
  std::lock_guard<std::mutex> lock(device_mutex_);
  tty::CloseDevice(fd_.exchange(-1));
  if (!OpenDevice())
    return false;
  quiet_ = true;
  Configure();
  quiet_ = false;
  return true;
}

void CSerialPort::PostModemChanges() {
  if (!(events_ & (EV_CTS | EV_DSR | EV_RING | EV_RLSD)))
    return;
  DWORD bits = 0;
  if (tty::ModemStatus(fd_, &bits) != 0)
    return;  // no modem lines (a pty)
  const DWORD changed = bits ^ modem_bits_;
  modem_bits_ = bits;
  const struct {
    DWORD ev, ms;
    UINT msg;
  } lines[] = {{EV_RLSD, MS_RLSD_ON, kMsgRlsd},
               {EV_CTS, MS_CTS_ON, kMsgCts},
               {EV_DSR, MS_DSR_ON, kMsgDsr},
               {EV_RING, MS_RING_ON, kMsgRing}};
  for (const auto& l : lines) {
    if ((events_ & l.ev) && (changed & l.ms)) {
      owner_->Post(l.msg, (bits & l.ms) ? 1 : 0, static_cast<LPARAM>(portnr_));
    }
  }
}

// Reads what waits (at most the receive buffer), waits until the owner has
// released the buffer, hands the bytes over. False when the device is gone
// or the worker is shutting down.
bool CSerialPort::Receive() {
  DWORD waiting = 0;
  if (tty::InputWaiting(fd_, &waiting) != 0)
    return Report("ReadFile()", EIO), false;
  if (waiting == 0)
    return true;
  std::array<char, kReceiveBufferSize> chunk;
  ssize_t n;
  {
    std::lock_guard<std::mutex> lock(device_mutex_);
    n = ::read(fd_, chunk.data(), std::min<std::size_t>(waiting, chunk.size()));
  }
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
    return Report("ReadFile()", n < 0 ? errno : EIO), false;
  }
  if (n < 0)
    return true;
  std::unique_lock<std::mutex> lock(buffer_mutex_);
  while (!buffer_free_) {
    buffer_cv_.wait_for(lock, std::chrono::milliseconds(kSliceMs));
    if (shutdown_.IsSet())
      return false;
  }
  std::memset(receive_buffer_.data(), 0, receive_buffer_.size());
  std::memcpy(receive_buffer_.data(), chunk.data(), static_cast<std::size_t>(n));
  buffer_free_ = false;
  lock.unlock();
  owner_->Post(kMsgRxChar, static_cast<WPARAM>(n), static_cast<LPARAM>(portnr_));
  return true;
}

void CSerialPort::Worker() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(pause_mutex_);
      pause_cv_.wait(lock, [this] { return !paused_ || shutdown_.IsSet(); });
    }
    pollfd p[3] = {{shutdown_.fd(), POLLIN, 0},
                   {fd_, static_cast<short>((events_ & EV_RXCHAR) ? POLLIN : 0), 0},
                   {write_request_.fd(), POLLIN, 0}};
    if (::poll(p, 3, kSliceMs) < 0 && errno != EINTR) {
      Report("WaitCommEvent()", errno);
      break;
    }
    if (p[0].revents)
      break;
    PostModemChanges();
    if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // The device went away: report once and end, never spin on it.
      Report("WaitCommEvent()", EIO);
      break;
    }
    if ((p[1].revents & POLLIN) && !Receive())
      break;
    if (p[2].revents & POLLIN) {
      write_request_.Reset();
      WriteBuffered();
    }
  }
  alive_ = false;
}
