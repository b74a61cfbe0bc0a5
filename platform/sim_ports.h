// Where the module simulator publishes its ports for port discovery: one
// symbolic link per port, pointing at the device side of a pseudo-terminal.
#pragma once

#include <string>

namespace platform {

// $ZUVEK_SIM_DIR when set, else /tmp/zuvek-sim-<uid>; no trailing separator.
std::string SimPortsFolder();

}  // namespace platform
