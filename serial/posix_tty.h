// The Linux side of the serial port classes: one small function per Win32
// serial call they stand in for. Each returns a Win32 error code (0 for
// success) made from errno with win::FromErrno.
#pragma once

#include <limits.h>
#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace tty {

// Longest port name accepted: every path the system takes (PATH_MAX with
// its closing NUL). Real /dev/serial/by-id names can be long: the USB
// strings of some modules hold their marketing name and serial number.
inline constexpr std::size_t kMaxPortName = PATH_MAX - 1;

// "\\.\%s": a bare name such as "ttyUSB2" means /dev/ttyUSB2; a name holding
// "/" is a path and is used as it is.
std::string DevicePath(const std::string& name);

// CreateFileA(path, GENERIC_READ|GENERIC_WRITE, share 0, OPEN_EXISTING):
// open(O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC); a file that is no terminal is
// refused (ERROR_NOT_SUPPORTED); share mode 0 is TIOCEXCL (refuses later
// opens by other users) plus an advisory flock(LOCK_EX|LOCK_NB), which holds
// for root too; a held lock is ERROR_ACCESS_DENIED. Returns the descriptor,
// or -1 with *error set.
int OpenExclusive(const std::string& path, DWORD* error);
// CloseHandle: TIOCNXCL, unlock, close.
void CloseDevice(int fd);

// The raw line a Win32 serial handle gives: no echo, no line editing, no
// translation, receiver on, modem lines ignored for open; VMIN 1 VTIME 0 on
// the non-blocking descriptor, so that a read with nothing waiting fails with
// EAGAIN while a read of 0 means the device hung up (waits happen in poll).
DWORD MakeRaw(int fd);

// GetCommState / SetCommState: tcgetattr / tcsetattr(TCSANOW), through
// tty::Attr() (serial/tty_attr_seam.h) like every termios call here.
DWORD GetAttr(int fd, termios* t);
DWORD SetAttr(int fd, const termios& t);
// DCB BaudRate <-> termios speed; false for a rate the driver has no code for.
bool SpeedFromBaud(DWORD baud, speed_t* speed);
DWORD BaudFromSpeed(speed_t speed);

// ClearCommError's COMSTAT.cbInQue / cbOutQue: FIONREAD / TIOCOUTQ.
DWORD InputWaiting(int fd, DWORD* count);
DWORD OutputWaiting(int fd, DWORD* count);

// ClearCommError's CE_ bits: the driver's error counters (TIOCGICOUNT).
struct LineCounters {
  std::uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
};
// ERROR_NOT_SUPPORTED when the driver keeps no counters (pseudo-terminals).
DWORD ReadLineCounters(int fd, LineCounters* c);

// GetCommModemStatus: TIOCMGET, mapped to the MS_ bits.
DWORD ModemStatus(int fd, DWORD* ms_bits);
// EscapeCommFunction SETDTR/CLRDTR, SETRTS/CLRRTS: TIOCMBIS / TIOCMBIC.
DWORD SetModemLine(int fd, int tiocm_bit, bool on);
// SetCommBreak / ClearCommBreak: TIOCSBRK / TIOCCBRK.
DWORD SetBreak(int fd, bool on);
// PurgeComm PURGE_RXCLEAR / PURGE_TXCLEAR: tcflush(TCIFLUSH / TCOFLUSH).
DWORD Purge(int fd, bool rx, bool tx);
// Before CloseHandle: bytes still queued for the line get up to grace_ms to
// leave, then what is left is discarded (tcflush TCOFLUSH), so that close()
// never waits for the driver's drain (30 s on most serial drivers) on a port
// that stopped sending.
void DiscardStuckOutput(int fd, int grace_ms);

}  // namespace tty
