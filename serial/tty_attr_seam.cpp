#include "serial/tty_attr_seam.h"

#include <atomic>

namespace tty {
namespace {

class SystemAttrCalls final : public AttrCalls {
 public:
  int Get(int fd, termios* t) override { return ::tcgetattr(fd, t); }
  int Set(int fd, const termios& t) override { return ::tcsetattr(fd, TCSANOW, &t); }
  int Flush(int fd, int queue) override { return ::tcflush(fd, queue); }
};

SystemAttrCalls g_system;
std::atomic<AttrCalls*> g_installed{nullptr};

}  // namespace

AttrCalls& Attr() {
  AttrCalls* calls = g_installed.load();
  return calls ? *calls : g_system;
}

AttrCalls* InstallAttrCalls(AttrCalls* calls) {
  return g_installed.exchange(calls);
}

}  // namespace tty
