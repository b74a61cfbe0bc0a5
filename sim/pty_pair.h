// One pseudo-terminal pair: the simulator keeps the controller (master) side
// and the tool opens the device (slave) side. The simulator also holds the
// device side open itself, so that the tool opening and closing the port as
// often as it likes never hangs up the controller side. Raw mode: no echo,
// no CR/LF translation.
#pragma once

#include <string>
#include <string_view>

namespace sim {

class PtyPair {
 public:
  PtyPair() = default;
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Open(std::string* error);
  // Publishes the device path as a symbolic link (replacing a stale one).
  bool Publish(const std::string& link_path, std::string* error);
  // Closes both sides and removes the published link: the port vanishes.
  void Close();

  bool IsOpen() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& device_path() const { return device_path_; }
  const std::string& link_path() const { return link_path_; }

  // Reads what waits on the controller side (non-blocking); -1 on error, 0 when nothing.
  long Read(char* buffer, std::size_t size);
  // Writes all bytes, waiting at most timeout_ms (real) for room; bytes that
  // do not fit in time are dropped, as a UART drops what nobody takes.
  bool Write(std::string_view bytes, int timeout_ms = 200);
  // Throws away what waits unread on the device side when it is more than
  // `limit` bytes: nobody is listening, and a serial line keeps nothing for
  // a tool that opens the port later.
  void DropUnreadAbove(int limit);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string device_path_;
  std::string link_path_;
};

}  // namespace sim
