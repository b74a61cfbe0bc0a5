// CSerialMFC: the CSerialWnd open that takes the window object. Here a
// window object and its handle are the same message target, so this open is
// the CSerialWnd open (a null object gives a null destination).
#pragma once

#include "serial/serial_wnd.h"

class CSerialMFC : public CSerialWnd {
 public:
  CSerialMFC();
  ~CSerialMFC() override;

  LONG Open(const char* name, platform::MessageTarget* wnd, UINT message = 0, LPARAM lParam = 0,
            DWORD inQueue = 0, DWORD outQueue = 0) override;
};
