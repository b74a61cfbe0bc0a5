// Where the module simulator publishes its ports for port discovery: one
// symbolic link per port, pointing at the device side of a pseudo-terminal,
// and beside them a small file with the simulator's time scale, so that a
// tool opening those ports can run its clock at the same speed.
#pragma once

#include <optional>
#include <string>

namespace platform {

// $ZUVEK_SIM_DIR when set, else /tmp/zuvek-sim-<uid>; no trailing separator.
std::string SimPortsFolder();

// "<folder>/<name>.scale": the time scale of the simulator whose links are
// <name>-AT and <name>-NMEA. It holds "time_scale=<N>" and "pid=<process>".
std::string SimScalePath(const std::string& folder, const std::string& name);
// Writes the file for this process (replacing one a killed simulator left).
bool PublishSimScale(const std::string& path, double scale, std::string* error);
// Removes the file while it is still this process's.
void RemoveSimScale(const std::string& path);

// A port of a running simulator.
struct SimPort {
  std::string name;        // the simulator's name
  std::string scale_path;  // where it published its time scale
  double scale = 1.0;
};

// The running simulator that published `path`: one of its links, or the
// pseudo-terminal device a link points at (/dev/pts/N). Links are looked for
// in the folder of `path` when it is a link, and in SimPortsFolder(). Empty
// when no running simulator published it (no link, no scale file, or the
// simulator that wrote it is gone).
std::optional<SimPort> FindSimPort(const std::string& path);

}  // namespace platform
