// CSerialPort: a self-contained serial port with a worker thread of its own
// that watches the port, reads arriving bytes into a receive buffer handed
// to the owner, writes queued data, and reports to the owner with messages.
//
// Messages to the owner (lParam: the port number):
//   WM_USER+2 CTS, +3 DSR, +5 RING, +6 RLSD changed (wParam 1 if the line is
//   on); WM_USER+7 bytes received (wParam: the count in ReceiveBuffer()).
// The receive buffer is handed over: after WM_USER+7 the owner reads it and
// calls ReleaseReceiveBuffer(); the worker delivers nothing more until then.
// Platform failures go to the reporter (a message box in the window, a line
// on stderr in the CLI), never into a thrown exception or a crash. The
// reporter runs on the thread that met the failure (the worker's failures on
// the worker); a window marshals it to its own thread.
#pragma once

#include <termios.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_target.h"
#include "serial/serial_defs.h"
#include "serial/wake_event.h"

class CSerialPort {
 public:
  using Reporter = std::function<void(const std::string& text)>;

  static constexpr UINT kMsgCts = WM_USER + 2;
  static constexpr UINT kMsgDsr = WM_USER + 3;
  static constexpr UINT kMsgRing = WM_USER + 5;
  static constexpr UINT kMsgRlsd = WM_USER + 6;
  static constexpr UINT kMsgRxChar = WM_USER + 7;
  static constexpr std::size_t kReceiveBufferSize = 5120;
  // Longest error text handed to the reporter.
  static constexpr std::size_t kMaxErrorText = 1024;

  explicit CSerialPort(Reporter reporter = {});
  ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Opens COM<portnr>, which is /dev/ttyS<portnr-1> here.
  bool InitPort(platform::MessageTarget* owner, UINT portnr = 1, UINT baud = 19200,
                char parity = 'N', UINT databits = 8, UINT stopbits = 1,
                DWORD events = EV_RXCHAR | EV_CTS, UINT writebuffersize = 512, int flow = 0);
  // The same on a device path (a pseudo-terminal, a by-id name); portnr is
  // then only the number the messages carry.
  bool InitPortOnDevice(platform::MessageTarget* owner, const std::string& device, UINT portnr,
                        UINT baud = 19200, char parity = 'N', UINT databits = 8, UINT stopbits = 1,
                        DWORD events = EV_RXCHAR | EV_CTS, UINT writebuffersize = 512,
                        int flow = 0);

  bool StartMonitoring();
  // SuspendThread / ResumeThread: the worker parks between its waits.
  bool SuspendMonitoring();
  bool ResumeMonitoring();
  // Ends the worker and joins it.
  bool StopMonitoring();
  // Stops the worker and frees the write buffer (TerminateThread has no
  // safe counterpart; the worker is asked to stop and joined instead).
  void KillMonitor();

  // Copies up to the write-buffer size and lets the worker write it.
  bool WriteToPort(const char* data, std::size_t length);
  // The same copy, written at once on the calling thread.
  bool WriteToPortNow(const char* data, std::size_t length);
  bool SetDtr(bool on);
  bool SetRts(bool on);
  bool ReapplyState();
  bool GetDCB(termios* state);
  bool ReopenPort();
  DWORD GetWriteBufferSize() const { return static_cast<DWORD>(write_buffer_.size()); }
  DWORD GetEventMask() const { return events_; }

  // The bytes of the last WM_USER+7 (valid until ReleaseReceiveBuffer).
  const char* ReceiveBuffer() const { return receive_buffer_.data(); }
  // The owner has consumed the receive buffer: the next delivery may go.
  void ReleaseReceiveBuffer();

  // "WARNING:  <step> Failed with the following error: ..." cut to
  // kMaxErrorText.
  static std::string FormatError(const char* step, int error, UINT portnr);

 private:
  bool Configure();
  void Worker();
  bool Receive();
  void WriteBuffered();
  void PostModemChanges();
  void Report(const char* step, int error);
  bool OpenDevice();

  Reporter reporter_;
  std::atomic<bool> quiet_{false};  // no messages while reopening
  platform::MessageTarget* owner_ = nullptr;
  std::string device_;
  UINT portnr_ = 0;
  UINT baud_ = 19200;
  char parity_ = 'N';
  UINT databits_ = 8;
  UINT stopbits_ = 1;
  DWORD events_ = 0;
  int flow_ = 0;

  std::mutex device_mutex_;  // the critical section around the device calls
  std::atomic<int> fd_{-1};
  std::vector<char> write_buffer_;
  std::size_t write_size_ = 0;  // guarded by device_mutex_
  std::array<char, kReceiveBufferSize> receive_buffer_{};
  DWORD modem_bits_ = 0;  // worker only

  WakeEvent shutdown_;
  WakeEvent write_request_;
  // The receive-buffer-free event (created signalled).
  std::mutex buffer_mutex_;
  std::condition_variable buffer_cv_;
  bool buffer_free_ = true;
  std::thread thread_;
  std::atomic<bool> alive_{false};
  std::mutex pause_mutex_;
  std::condition_variable pause_cv_;
  bool paused_ = false;
};
