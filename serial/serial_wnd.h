// CSerialWnd: a CSerialEx whose events become messages to a message target
// (the window that owns the port).
//
// Notification: message = the number given at open, or g_default_com_msg
// ("CSerialWnd_DefaultComMsg") when 0; wParam = event in the low word and
// line errors in the high word (each cut to 16 bits); lParam = the user
// value given at open (0 for the AT port, 1 for the NMEA port).
//
// Port lost: when the listener finds the device gone (it hung up: a USB
// adapter pulled, the other side of a pseudo-terminal closed), it posts ONE
// notification whose low word is kEventPortLost (high word 0) and ends.
// kEventPortLost is no EV_ bit, so it never passes for a line event; the
// owner tells the user "the port is gone" and closes the port.
#pragma once

#include "platform/message_target.h"
#include "serial/serial_ex.h"

// Low word of the port-lost notification. 0x8000 is no Win32 EV_ bit.
inline constexpr DWORD kEventPortLost = 0x8000;

// The registered message "CSerialWnd_DefaultComMsg"; 0 until
// InitDefaultComMsg (or the first CSerialWnd open) sets it.
extern UINT g_default_com_msg;
// Registers the message once and returns its number. Thread-safe.
UINT InitDefaultComMsg();

class CSerialWnd : public CSerialEx {
 public:
  using HWND = platform::MessageTarget*;

  CSerialWnd();
  ~CSerialWnd() override;

  // Opens, records the destination and starts the listener.
  virtual LONG Open(const char* name, HWND hwndDest, UINT message = 0, LPARAM lParam = 0,
                    DWORD inQueue = 0, DWORD outQueue = 0);
  LONG Close() override;
  void OnEvent(DWORD event, DWORD errors) override;
  void OnListenerLost(DWORD error) override;

  UINT Message() const { return m_message.load(); }

 protected:
  using CSerialEx::Open;

  std::atomic<HWND> m_hwndDest{nullptr};
  std::atomic<UINT> m_message{0};
  std::atomic<LPARAM> m_lParam{0};
};
