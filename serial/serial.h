// CSerial: one serial device, opened by name, with the Win32 serial
// operations the program uses, over POSIX termios, poll and ioctl.
//
// Every operation first clears the last error, does its work, stores any
// failure code (a Win32 code, 0 for success) and returns it. The class takes
// no lock of its own; the fields that the listener thread, the UI thread and
// the test engine share are atomics, and each Read, Write and WaitForEvent
// waits on its own poll of the descriptor, never on another call's I/O.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "serial/posix_tty.h"
#include "serial/serial_defs.h"
#include "serial/wake_event.h"

class CSerial {
 public:
  enum ReadMode { ReadNonBlocking = 0, ReadBlocking = 1 };
  enum FlowControl { FlowNone = 0, FlowHardware = 1, FlowSoftware = 2 };
  enum PortState { PortUnknown = -1, PortAvailable = 0, PortNotAvailable = 1, PortInUse = 2 };

  // The mask set at open: EV_RXCHAR | EV_BREAK | EV_ERR.
  static constexpr DWORD kDefaultEventMask = EV_RXCHAR | EV_BREAK | EV_ERR;
  // The longest a write without a time-out of its own waits for the driver
  // to take its bytes. A port that stopped draining (a hung modem, a USB port
  // in a bad state) then fails the write with 1460 instead of holding its
  // caller for ever.
  static constexpr DWORD kWriteTimeLimitMs = 2000;
  // How long Close lets bytes still queued leave before it discards them.
  static constexpr int kCloseDrainMs = 200;

  CSerial();
  virtual ~CSerial();
  CSerial(const CSerial&) = delete;
  CSerial& operator=(const CSerial&) = delete;

  virtual LONG Open(const char* name, DWORD inQueue = 0, DWORD outQueue = 0,
                    bool overlapped = false);
  // Ends a Read or Write waiting on another thread with 995
  // (ERROR_OPERATION_ABORTED) at once, discards the output still queued and
  // closes the device.
  virtual LONG Close();
  // Ends the pending Read and Write calls with 995 at once, and every later
  // one until the port is closed; for a caller that must close a port whose
  // writer may be stuck while it holds a lock the close also needs. Safe
  // from any thread, open or closed.
  void AbortIo();
  virtual LONG SetLineFormat(DWORD baudRate, BYTE dataBits, BYTE parity, BYTE stopBits);
  virtual LONG SetEventCharacter(BYTE ch, bool adjustMask = true);
  virtual LONG SetEventMask(DWORD mask);
  virtual LONG WaitForEvent(OVERLAPPED* overlapped = nullptr, DWORD timeout = INFINITE);
  virtual LONG SetFlowControl(FlowControl mode);
  virtual LONG SetReadMode(ReadMode mode);
  virtual LONG GetBaudRate();
  virtual LONG GetDataBits();
  virtual LONG GetParity();
  virtual LONG GetStopBits();
  virtual LONG GetFlowControl();
  virtual DWORD GetEventMask();
  virtual BYTE GetEventCharacter();
  virtual LONG Write(const char* text, DWORD* written = nullptr, OVERLAPPED* overlapped = nullptr,
                     DWORD timeout = INFINITE);
  virtual LONG Write(const void* buffer, DWORD length, DWORD* written = nullptr,
                     OVERLAPPED* overlapped = nullptr, DWORD timeout = INFINITE);
  virtual LONG Read(void* buffer, DWORD length, DWORD* read = nullptr,
                    OVERLAPPED* overlapped = nullptr, DWORD timeout = INFINITE);

  DWORD TakeEvent();
  LONG SendBreak();
  LONG PurgeBuffers();
  DWORD GetLineErrors();
  bool IsCtsOn();
  bool IsDsrOn();
  bool IsRingOn();
  bool IsRlsdOn();
  // Opens the device exclusively and closes it again. The name maps to a
  // path as Open maps it (a bare name lives in /dev).
  static PortState ProbePort(const char* deviceName);

  LONG GetLastError() const { return m_lastError.load(); }
  bool IsOpen() const { return m_hFile.load() >= 0; }
  // True exactly when the port was opened for overlapped I/O.
  bool IsOverlapped() const { return m_overlapped.load(); }
  // The descriptor (-1 when closed), for the classes built on this one.
  int Descriptor() const { return m_hFile.load(); }

 protected:
  LONG SetError(DWORD code) {
    m_lastError.store(static_cast<LONG>(code));
    return static_cast<LONG>(code);
  }
  // Shared start of Read, Write and WaitForEvent (steps 1 to 3).
  LONG CheckIo(OVERLAPPED* overlapped, DWORD timeout);
  // Signals the caller's event of a completed operation.
  static void Complete(OVERLAPPED* overlapped);
  // Waits until the device fd is readable/writable, the time runs out or
  // AbortIo is called. Returns 0, 1460, 995, or a device-gone code.
  LONG PollDevice(int fd, short events, int timeout_ms);
  bool ModemBit(DWORD bit);
  DWORD CounterEvents();

  std::atomic<LONG> m_lastError{0};
  std::atomic<int> m_hFile{-1};
  DWORD m_eventWord = 0;
  std::atomic<DWORD> m_eventMask{0};
  // Woken by SetEventMask, so that a pending WaitForEvent completes with an
  // empty event word. Exists while the port is open.
  std::unique_ptr<WakeEvent> m_hIoEvent;

 private:
  // A Read or Write in progress, counted so that Close closes the
  // descriptor only once none uses it.
  class IoScope;
  // One epoll wait of WaitForEvent (-1: no time limit): the device's events
  // into *word, the wake event into *woken; an error code, or 0.
  LONG WaitEpoll(int timeout_ms, DWORD* word, bool* woken);
  // The state of a port just opened on fd.
  void ResetOpenState(int fd, const std::string& path, bool overlapped);
  // A driver that kept its own line settings is noted once per open.
  void NoteKeptLine(const termios& kept, DWORD baudRate, BYTE dataBits, BYTE parity, BYTE stopBits);

  std::atomic<bool> m_overlapped{false};
  std::string m_path;                   // the device path of the open port
  bool m_keptLineNoted = false;         // NoteKeptLine has written its note
  WakeEvent m_abortEvent;               // set by AbortIo, lives with the object
  std::atomic<bool> m_aborting{false};  // AbortIo was called, until Close
  std::atomic<int> m_ioInFlight{0};     // Read and Write calls under way
  std::atomic<int> m_readMode{ReadNonBlocking};
  std::atomic<BYTE> m_evtChar{0};
  int m_epoll = -1;                   // device (edge-triggered) and wake event
  bool m_hangupSeen = false;          // listener-only
  tty::LineCounters m_eventCounters;  // listener-only: for EV_ERR / EV_BREAK
  std::mutex m_errorMutex;            // guards m_errorCounters
  tty::LineCounters m_errorCounters;  // for GetLineErrors' CE_ bits
};
