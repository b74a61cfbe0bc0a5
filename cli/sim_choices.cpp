#include "cli/sim_choices.h"

namespace cli {

bool ApplySimTtff(const std::string& text, sim::SimOptions& options, std::string* error) {
  if (text.empty())
    return true;
  sim::TtffRange range;
  if (!sim::ParseTtffRange(text, range)) {
    *error = "--sim-ttff takes SECONDS or MIN:MAX";
    return false;
  }
  options.ttff = {range, range, range, range, range, range};
  return true;
}

}  // namespace cli
