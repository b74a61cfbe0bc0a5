#include "serial/serial_mfc.h"

CSerialMFC::CSerialMFC() = default;

CSerialMFC::~CSerialMFC() {
  if (IsListening() || IsOpen())
    Close();
}

LONG CSerialMFC::Open(const char* name, platform::MessageTarget* wnd, UINT message, LPARAM lParam,
                      DWORD inQueue, DWORD outQueue) {
  return CSerialWnd::Open(name, wnd, message, lParam, inQueue, outQueue);
}
