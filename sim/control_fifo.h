// The simulator's control: a named pipe beside its links that a shell
// command can write to, so that a test's hook can act on the simulated
// module as a bench acts on a real one:
//
//   echo power-cycle > /tmp/zuvek-sim-1000/zuvek-sim.control      # power off 2 s, then on
//   echo "power-cycle 5" > ...                                    # off for 5 s (its clock)
#pragma once

#include <string>
#include <vector>

namespace sim {

class ControlFifo {
 public:
  ControlFifo() = default;
  ~ControlFifo() { Close(); }
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  // Makes the pipe at path (replacing what is there) and opens it.
  bool Open(const std::string& path, std::string* error);
  // The whole lines written since, waiting up to wait_ms (real time) for one.
  std::vector<std::string> Read(int wait_ms);
  // Closes and removes the pipe.
  void Close();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int read_fd_ = -1;
  int keep_fd_ = -1;  // a writer of our own: no end of file between writers
  std::string partial_;
};

}  // namespace sim
