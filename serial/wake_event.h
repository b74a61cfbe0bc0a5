// A manual-reset event on an eventfd: the POSIX stand-in for CreateEventA
// (manual reset, initially non-signalled), SetEvent and ResetEvent. Its
// descriptor can sit in a poll set beside a device, which is how a wait on
// the device is woken.
#pragma once

class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // False when the descriptor could not be made (errno tells why).
  bool Valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Set();
  void Reset();
  bool IsSet() const;
  // Waits until set or timeout_ms passes (negative: no limit). True if set.
  bool Wait(int timeout_ms) const;

 private:
  int fd_;
};
