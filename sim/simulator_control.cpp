// The simulator told from outside through its control pipe: a power cycle
// of the module, as a switchable hub or a relay makes of a real one.
#include <sstream>

#include "sim/simulator.h"

namespace sim {

namespace {

constexpr double kDefaultPowerOffS = 2.0;

}  // namespace

void Simulator::ControlLoop() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_)
        return;
    }
    for (const std::string& line : control_.Read(50)) {
      std::istringstream words(line);
      std::string word;
      double off_s = kDefaultPowerOffS;
      words >> word;
      if (word != "power-cycle")
        continue;  // an unknown word does nothing
      if (!(words >> off_s) || off_s < 0)
        off_s = kDefaultPowerOffS;
      PowerCycle(off_s);
    }
  }
}

void Simulator::PowerCycle(double off_s) {
  std::lock_guard lock(mutex_);
  // Its ports go and come back off_s later as new devices under the same
  // links; the receiver stops and, its memory gone with the power, starts
  // cold; what the module was about to say is lost, and its set-up too.
  ++vanish_count_;
  vanished_run_ = run_;
  vanish_back_us_ = clock_->MonotonicUs() + static_cast<std::int64_t>(off_s * 1e6);
  if (gnss_on_)
    StopReceiverLocked();
  responder_.speaker().ForgetSetup();
  pending_.clear();
  next_restart_type_ = kRestartCold;
  next_assisted_ = false;
  ++power_cycles_;
}

int Simulator::PowerCycles() const {
  std::lock_guard lock(mutex_);
  return power_cycles_;
}

}  // namespace sim
