// Who else has a serial device open. The exclusive open keeps out only the
// programs that take the same lock; ModemManager and a terminal program do
// not, and with two readers on one port the module's replies go to whichever
// reads first. So before a port opens, every process's open descriptors
// (the links under /proc/PID/fd) are compared with the device by its device
// number, which also catches a holder that opened it by another name
// (/dev/serial/by-id/..., a simulator link). A normal user cannot read the
// descriptors of root's processes, ModemManager's among them, so ModemManager
// is also asked on the bus which ports it holds.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/modem_manager_ports.h"

struct PortHolder {
  int pid = 0;
  std::string name;  // /proc/PID/comm, without the line end
};

struct HolderScan {
  std::vector<PortHolder> holders;  // by pid, each once
  // Processes whose descriptors could not be read (another user's, without
  // root): they may hold the device unseen.
  std::vector<PortHolder> unreadable;
};

// The processes other than `self_pid` that have a character device with the
// device number of `device_path` open, ModemManager among them when it says
// on the bus that it holds that device. Nothing is found when the path is no
// character device. `proc_root` is /proc, or a fake tree in tests.
HolderScan FindPortHolders(const std::string& device_path, const std::string& proc_root = "/proc",
                           pid_t self_pid = -1);  // -1: this process

// Adds ModemManager (pid mm.pid) to scan->holders when one of mm.ports (names
// under `dev_root`) is the device of `device_path`, by device number. When
// it answered at all, its holdings are known: it leaves scan->unreadable.
void AddModemManagerHolder(const std::string& device_path, const platform::ModemManagerPorts& mm,
                           HolderScan* scan, const std::string& dev_root = "/dev");

// The processes whose command name is `name` (ModemManager, say).
std::vector<PortHolder> FindProcessesNamed(const std::string& name,
                                           const std::string& proc_root = "/proc");

// The refusal: "/dev/ttyUSB2 is in use by ModemManager (pid 812). Stop it
// (systemctl stop ModemManager) or tell it to leave the module alone (udev:
// ENV{ID_MM_DEVICE_IGNORE}="1")." Other holders are told to be closed.
// `holders` is not empty.
std::string DescribeHolders(const std::string& device_path, const std::vector<PortHolder>& holders);
