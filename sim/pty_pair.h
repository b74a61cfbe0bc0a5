// One pseudo-terminal pair: the simulator keeps the controller (master) side
// and the tool opens the device (slave) side, as often as it likes. While no
// one holds the device side open the controller side reports a hang-up; the
// simulator then drops what it would send, as a serial line loses what no one
// listens to, so a tool that opens the port later never reads stale replies.
// Raw mode (no echo, no CR/LF translation) is set once and kept by the
// terminal across opens.
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
  // Publishes the device path as a symbolic link. A dangling link of the same
  // name is replaced; a live one (another simulator's) is an error.
  bool Publish(const std::string& link_path, std::string* error);
  // Closes both sides and removes the published link: the port vanishes.
  void Close();
  // The port vanishes and a new pair takes its place, unpublished, with
  // another device number (it is opened before the old one closes): a
  // device that re-enumerates. Publish(link) names it again later.
  bool Renew(std::string* error);

  bool IsOpen() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& device_path() const { return device_path_; }
  const std::string& link_path() const { return link_path_; }

  // Reads what waits on the controller side (non-blocking); -1 on error, 0 when nothing.
  long Read(char* buffer, std::size_t size);
  // Writes all bytes, waiting at most timeout_ms (real) for room; bytes that
  // do not fit in time are dropped, as a UART drops what nobody takes.
  bool Write(std::string_view bytes, int timeout_ms = 200);
  // Whether something holds the device side open now.
  bool PeerOpen() const;

 private:
  bool OpenNew(std::string* error);

  int master_ = -1;
  std::string device_path_;
  std::string link_path_;
};

}  // namespace sim
