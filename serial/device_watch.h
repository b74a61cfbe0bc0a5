// Waiting for serial devices to come back. A module that resets, or a cable
// that is knocked out and back in, re-enumerates: its device nodes vanish
// and return a few seconds later, perhaps under another /dev/ttyUSBn but
// under the same /dev/serial/by-id name (or, for the module simulator, the
// same published link). The watch follows the folders of the names with
// inotify, so it wakes when something there changes instead of polling the
// names, and it follows a folder that vanished too (udev removes an empty
// /dev/serial/by-id) by watching its nearest existing parent.
#pragma once

#include <functional>
#include <string>
#include <vector>

class DeviceWatch {
 public:
  // The device paths (links are followed when they are looked at).
  explicit DeviceWatch(std::vector<std::string> paths);
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  // Whether every path names a character device this user may open for
  // reading and writing (udev sets the group a moment after the node).
  bool AllPresent() const;
  // Waits at most timeout_ms (real time) for a change in the watched
  // folders; true when one came. Without inotify it sleeps the time out.
  bool WaitForChange(int timeout_ms);

 private:
  void Rewatch();

  std::vector<std::string> paths_;
  int fd_ = -1;
};

// Waits until every path names a usable device (true), or until give_up()
// holds (false). give_up is asked after each change and at least every
// slice_ms, so a deadline on any clock and a cancel both end the wait.
bool WaitForDevices(const std::vector<std::string>& paths, const std::function<bool()>& give_up,
                    int slice_ms = 100);
