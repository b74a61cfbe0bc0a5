// Port discovery and the line-settings lists.
//
// On Linux the system's serial-device map is /sys/class/tty: a tty with a
// "device" entry behind it is real hardware (USB serial, modem interfaces,
// UARTs); of the ttyS entries only those whose UART "type" is not 0 are
// ports, since recent kernels mark the placeholder ports no other way. Where
// /dev/serial/by-id holds a stable name for a device, that name is the
// entry's text, so that a user can tell a modem's AT interface from its NMEA
// interface (the name opens the same device). The module simulator's ports
// (symbolic links in platform::SimPortsFolder()) are added by their full
// link path. The settings keep the index, not the text.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"
#include "serial/combo_model.h"

struct PortEntry {
  std::string text;        // what the list shows and Open takes
  std::string device;      // the kernel name (ttyUSB2), or the link's target
  std::string by_id;       // /dev/serial/by-id path, or empty
  bool simulated = false;  // published by the module simulator
};

struct DiscoveryRoots {
  std::string sysfs_tty = "/sys/class/tty";
  std::string dev = "/dev";
  std::string sim;  // empty: platform::SimPortsFolder()
};

// Most entries a port list holds.
inline constexpr std::size_t kMaxPortEntries = 256;

// The ports in natural order: by the name's stem, then by its number
// (ttyUSB2 before ttyUSB10), then by text. At most kMaxPortEntries.
std::vector<PortEntry> DiscoverPorts(const DiscoveryRoots& roots = {});

// True when a sorts before b in natural order (stem, then trailing number).
bool NaturalLess(const std::string& a, const std::string& b);

// Fills both port lists with the same entries in the same order.
void FillPortLists(ComboModel& atPorts, ComboModel& nmeaPorts, const DiscoveryRoots& roots = {});
// "9600", "19200", "115200", "4800"; selects "115200".
void FillBaudList(ComboModel& list);
// "K57", "VK60"; selects "K57".
void FillChipList(ComboModel& list);

// The rate a baud-list index opens at: 0 9600, 1 19200, 2 115200; no
// selection (-1) 115200, the list's initial choice; the fourth entry (3) and
// anything else 4800, the rate its text names.
DWORD BaudRateForIndex(int index);
