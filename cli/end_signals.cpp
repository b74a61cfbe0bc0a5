#include "cli/end_signals.h"

#include <signal.h>

#include <atomic>

namespace cli {

namespace {

std::atomic<bool> g_end_requested{false};

void OnEndSignal(int) {
  g_end_requested = true;
}

}  // namespace

void CatchEndSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

std::atomic<bool>& EndRequestFlag() {
  return g_end_requested;
}

}  // namespace cli
