#include "serial/serial_wnd.h"

#include <mutex>

UINT g_default_com_msg = 0;

UINT InitDefaultComMsg() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_default_com_msg = platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg");
  });
  return g_default_com_msg;
}

CSerialWnd::CSerialWnd() = default;

CSerialWnd::~CSerialWnd() {
  if (IsListening() || IsOpen())
    CSerialWnd::Close();
}

LONG CSerialWnd::Open(const char* name, HWND hwndDest, UINT message, LPARAM lParam, DWORD inQueue,
                      DWORD outQueue) {
  if (LONG e = CSerialEx::Open(name, inQueue, outQueue, false))
    return e;
  m_hwndDest = hwndDest;
  m_message = message ? message : InitDefaultComMsg();
  m_lParam = lParam;
  if (LONG e = StartListener()) {
    Close();
    return SetError(static_cast<DWORD>(e));
  }
  m_lastError = 0;
  return 0;
}

LONG CSerialWnd::Close() {
  m_hwndDest = nullptr;
  m_message = 0;
  return CSerialEx::Close();
}

void CSerialWnd::OnEvent(DWORD event, DWORD errors) {
  // PostMessageA: the result is not used; nothing is retried.
  if (HWND dest = m_hwndDest) {
    dest->Post(m_message, MakeWParam(static_cast<WORD>(event), static_cast<WORD>(errors)),
               m_lParam);
  }
}

void CSerialWnd::OnListenerLost(DWORD /*error*/) {
  if (HWND dest = m_hwndDest)
    dest->Post(m_message, MakeWParam(kEventPortLost, 0), m_lParam);
}
