// Which ports ModemManager holds, asked of ModemManager itself on the system
// bus. ModemManager runs as root, so a normal user cannot read its open
// descriptors under /proc; its D-Bus objects answer every user.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ModemManagerPorts {
  int pid = 0;  // ModemManager's process as the bus knows it; 0: not on the bus
  // The ports of every modem it manages, as it names them ("ttyUSB2",
  // "cdc-wdm0"): names under /dev.
  std::vector<std::string> ports;
};

// Asks org.freedesktop.ModemManager1 for its modems' Ports and PrimaryPort.
// No bus, no ModemManager on it, or no answer within two seconds: pid 0 and
// no ports, which is no error. ModemManager is never started by the question.
// The bus is the system bus, or the one at $ZUVEK_MM_BUS_ADDRESS: a seam for
// tests, which run a private dbus-daemon with a stand-in ModemManager.
ModemManagerPorts AskModemManagerForPorts();

inline constexpr const char* kModemManagerBusEnv = "ZUVEK_MM_BUS_ADDRESS";

}  // namespace platform
