// Which port is which: a module shows three to five serial ports, and only
// listening tells the NMEA port from the AT port. A probe opens a port that
// no one else holds, listens for NMEA sentences, and only when none came
// sends "AT\r\n" once and waits for "OK". It writes nothing else, and puts
// back the line settings it changed (raw mode, so that the tty neither echoes
// the module's bytes back nor edits lines); the speed stays as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/open_diagnosis.h"
#include "serial/port_holders.h"

enum class ProbeKind { kNmea, kAt, kSilent, kBusy, kFailed };

// "nmea", "at", "silent", "busy", "failed".
const char* ProbeKindName(ProbeKind kind);

// What a port that said nothing at all may be: the NMEA port of a module
// whose GNSS is off is as silent as a diagnostic port.
inline constexpr const char* kSilentHint =
    "if GNSS is off, the NMEA port says nothing too: start GNSS on the AT port (the profile's "
    "start, zuvek-cli profiles show NAME) and probe again";

struct ProbeReport {
  ProbeKind kind = ProbeKind::kSilent;
  std::vector<std::string> talkers;  // NMEA: "GP", "GL", "GN", "P" (proprietary), sorted
  double sentences_per_s = 0;        // NMEA: valid sentences per second of listening
  std::vector<PortHolder> holders;   // busy: who holds it, where seen
  std::string text;  // busy, failed: the sentence; silent: what came instead of OK, or kSilentHint
};

struct ProbeTiming {
  int listen_ms = 2000;  // how long to listen for NMEA
  int reply_ms = 1000;   // how long to wait for the reply to AT
};

// Probes the port `name` (a bare name means /dev/name).
ProbeReport ProbePort(const std::string& name, const ProbeTiming& timing = {},
                      const DiagnosisRoots& roots = {});

// A command for the AT port ("AT+CGPS=1,1\r\n", its line end included) and
// the text of a reply line that ends its wait besides "OK" or an error line.
struct AtCommandAndReply {
  std::string command;
  std::string expect;
};

// Opens the AT port `name` as the probe does and writes the commands in
// turn, each waiting up to `reply_ms` for the end of its reply: what came
// back for each command written. When the port does not open, or takes no
// bytes, *error says why (and fewer replies come back).
std::vector<std::string> SendAtCommands(const std::string& name,
                                        const std::vector<AtCommandAndReply>& commands,
                                        int reply_ms, std::string* error,
                                        const DiagnosisRoots& roots = {});

// What a byte stream holds: its valid NMEA sentences (checksum checked) and
// their talkers.
struct NmeaSeen {
  int sentences = 0;
  std::vector<std::string> talkers;  // sorted, each once
};
NmeaSeen ScanNmea(std::string_view bytes);
// True when a line of the bytes is exactly "OK".
bool HasOkLine(std::string_view bytes);
