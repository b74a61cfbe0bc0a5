// Simulator options that `run`'s built-in simulator and the bench's
// simulated modules read alike.
#pragma once

#include <string>

#include "sim/simulator.h"

namespace cli {

// --sim-ttff SECONDS or MIN:MAX: every start's TTFF drawn from that range;
// false with the sentence when the text is neither.
bool ApplySimTtff(const std::string& text, sim::SimOptions& options, std::string* error);

}  // namespace cli
