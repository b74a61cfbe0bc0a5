// The termios calls of the serial layer behind one thin interface, so that a
// test can stand in for a driver this machine does not have: a USB modem
// driver that ignores line settings, one that takes only some of them, a
// driver whose output queue is discarded at close.
#pragma once

#include <termios.h>

namespace tty {

class AttrCalls {
 public:
  virtual ~AttrCalls() = default;
  // tcgetattr, tcsetattr(TCSANOW) and tcflush: 0, or -1 with errno set.
  virtual int Get(int fd, termios* t) = 0;
  virtual int Set(int fd, const termios& t) = 0;
  virtual int Flush(int fd, int queue) = 0;
};

// The calls in use: the system's unless others were installed.
AttrCalls& Attr();
// Installs `calls` (null: the system's again) and returns the ones that were
// in use. The caller keeps them alive while installed and installs them
// while no port is open.
AttrCalls* InstallAttrCalls(AttrCalls* calls);

}  // namespace tty
