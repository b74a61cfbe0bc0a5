// Why a serial port did not open, and what to do about it: one sentence to
// show after "Open serial port failed!". The Win32 code alone cannot tell a
// missing permission from a port another program holds (both are
// ERROR_ACCESS_DENIED), so the sentence is made from the code and a few facts
// about the device, gathered after the failure.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"
#include "serial/port_discovery.h"
#include "serial/port_holders.h"

struct OpenFacts {
  bool exists = false;       // the path names something
  bool char_device = false;  // ... and it is a character device
  bool may_open = true;      // read and write permission for this user
  std::string group;         // the group owning the device ("dialout")
  bool in_group = false;     // this session is a member of that group
  std::vector<PortHolder> holders;
  std::vector<PortHolder> unreadable;  // processes whose descriptors are hidden
  std::vector<std::string> ports;      // the names `zuvek-cli ports` offers
};

struct DiagnosisRoots {
  std::string proc = "/proc";
  DiscoveryRoots discovery;
};

// Looks at the device at `path` (a device path, see tty::DevicePath).
OpenFacts GatherOpenFacts(const std::string& path, const DiagnosisRoots& roots = {});

// The sentence for a failed open of the port named `name` (as the user gave
// it) at `path`, which failed with the Win32 code `error`.
std::string DescribeOpenFailure(const std::string& name, const std::string& path, DWORD error,
                                const OpenFacts& facts);

// Before an open: the refusal when another process holds the device, empty
// when none is seen. When ModemManager runs where its descriptors cannot be
// read (as another user), *unseen (if given) gets a note saying so.
std::string CheckNoOtherHolder(const std::string& path, const DiagnosisRoots& roots = {},
                               std::string* unseen = nullptr);

// What to run to join a device's group.
inline constexpr const char* kJoinGroupAdvice =
    "Run sudo usermod -aG dialout $USER, then log out and in again.";
// For a device of the group root: no user should join root, so the device
// is given to dialout instead.
inline constexpr const char* kRootDeviceAdvice =
    "Give it to the group dialout with a udev rule naming the module's USB vendor ID (the first "
    "half of ID vvvv:pppp in lsusb), for example: echo 'SUBSYSTEM==\"tty\", "
    "ATTRS{idVendor}==\"vvvv\", GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "
    "/etc/udev/rules.d/70-zuvek-tty.rules, then sudo udevadm control --reload, replug the module, "
    "and join dialout if you are not in it.";
