// CSerialEx: a CSerial with a listener thread per open port. The thread
// waits for line events and hands each one, with the line errors of that
// moment, to OnEvent. A listener whose wait fails (the device is gone) calls
// OnListenerLost once and ends; it never spins on a dead descriptor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/serial.h"

class CSerialEx : public CSerial {
 public:
  CSerialEx();
  ~CSerialEx() override;

  // Opens the port for overlapped I/O and starts the listener if asked.
  LONG Open(const char* name, DWORD inQueue = 0, DWORD outQueue = 0,
            bool startListener = false) override;
  LONG Close() override;
  virtual LONG StartListener();
  // Ends the listener, waiting at most timeout ms. A listener still running
  // at the time-out keeps its thread, which the next Close waits for.
  virtual LONG StopListener(DWORD timeout = INFINITE);
  virtual void OnEvent(DWORD event, DWORD errors) = 0;
  // The listener's wait failed with `error`; the listener ends after this.
  virtual void OnListenerLost(DWORD error) { (void)error; }

  bool IsListening() const;
  // Exit code of the last listener that ended (0 when stopped).
  LONG ListenerExitCode() const { return m_exitCode.load(); }

 protected:
  LONG ListenerLoop();

  std::atomic<bool> m_stopping{false};
  std::unique_ptr<WakeEvent> m_hListenerEvent;

 private:
  std::thread m_hThread;
  mutable std::mutex m_threadMutex;
  std::condition_variable m_threadDone;
  bool m_finished = false;  // guarded by m_threadMutex
  std::atomic<LONG> m_exitCode{0};
};
