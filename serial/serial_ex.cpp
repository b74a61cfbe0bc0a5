#include "serial/serial_ex.h"

#include <cerrno>
#include <chrono>

#include "platform/win_errors.h"

namespace {
// The listener waits in slices of this length, so that no wait is unbounded;
// an idle port costs one wake-up per slice.
constexpr DWORD kListenerSliceMs = 1000;
}  // namespace

CSerialEx::CSerialEx() = default;

CSerialEx::~CSerialEx() {
  if (IsListening() || IsOpen())
    CSerialEx::Close();
}

LONG CSerialEx::Open(const char* name, DWORD inQueue, DWORD outQueue, bool startListener) {
  if (LONG e = CSerial::Open(name, inQueue, outQueue, true))
    return e;
  // CreateEventA for the listener's own OVERLAPPED.
  auto event = std::make_unique<WakeEvent>();
  if (!event->Valid()) {
    const DWORD err = win::FromErrno(errno);
    CSerial::Close();
    return SetError(err);
  }
  m_hListenerEvent = std::move(event);
  if (startListener) {
    if (LONG e = StartListener())
      return e;
  }
  return m_lastError;
}

LONG CSerialEx::Close() {
  StopListener(INFINITE);
  m_hListenerEvent.reset();
  return CSerial::Close();
}

bool CSerialEx::IsListening() const {
  std::lock_guard<std::mutex> lock(m_threadMutex);
  return m_hThread.joinable();
}

LONG CSerialEx::StartListener() {
  std::lock_guard<std::mutex> lock(m_threadMutex);
  if (!m_hThread.joinable()) {
    if (!IsOpen() || !m_hListenerEvent)
      return SetError(win::kInvalidHandle);
    m_finished = false;
    m_exitCode = 0;
    m_hThread = std::thread([this] {
      const LONG code = ListenerLoop();
      m_exitCode = code;
      std::lock_guard<std::mutex> done(m_threadMutex);
      m_finished = true;
      m_threadDone.notify_all();
    });
  }
  m_lastError = 0;
  return 0;
}

LONG CSerialEx::StopListener(DWORD timeout) {
  std::unique_lock<std::mutex> lock(m_threadMutex);
  if (m_hThread.joinable()) {
    m_stopping = true;
    // Re-applying the mask wakes the listener's pending wait.
    if (IsOpen())
      SetEventMask(GetEventMask());
    const auto finished = [this] { return m_finished; };
    if (timeout == INFINITE) {
      m_threadDone.wait(lock, finished);
    } else {
      m_threadDone.wait_for(lock, std::chrono::milliseconds(timeout), finished);
    }
    if (m_finished) {
      m_hThread.join();
      m_stopping = false;
    }
  }
  m_lastError = 0;
  return 0;
}

LONG CSerialEx::ListenerLoop() {
  for (;;) {
    m_hListenerEvent->Reset();
    OVERLAPPED ov;
    ov.hEvent = m_hListenerEvent.get();
    const LONG e = WaitForEvent(&ov, kListenerSliceMs);
    if (m_stopping)
      return 0;
    if (e == static_cast<LONG>(win::kTimeout))
      continue;
    if (e != 0) {
      // The device is gone (or the wait broke): say so once and end.
      OnListenerLost(static_cast<DWORD>(e));
      return e;
    }
    if (!m_hListenerEvent->IsSet())
      continue;
    const DWORD event = TakeEvent();
    const DWORD errors = GetLineErrors();
    if (event != 0)
      OnEvent(event, errors);
  }
}
