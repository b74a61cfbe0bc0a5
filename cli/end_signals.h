// Ctrl-C, SIGTERM and SIGHUP (a closed terminal, a dropped SSH session) ask
// a command to end cleanly: it writes what it has and exits 130. A reader
// of our output that went away (SIGPIPE) does not kill us.
#pragma once

#include <atomic>

namespace cli {

// Installs the handlers; call first, so that a signal during the start
// (opening the ports, starting a simulator) ends cleanly too.
void CatchEndSignals();
// Set once one of those signals came.
std::atomic<bool>& EndRequestFlag();
inline bool EndRequested() {
  return EndRequestFlag().load();
}

}  // namespace cli
