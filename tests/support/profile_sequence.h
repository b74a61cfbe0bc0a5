// The commands a test writes in a module profile's dialect, in order.
#pragma once

#include <string>
#include <vector>

#include "profiles/module_profile.h"

namespace testsupport {

// Line ends kept: the set-up and identity commands once, then each run's
// stop (before every run but the first; before the first too when GNSS was
// found on), state query, delete, XTRA steps (the clock, the time filled
// with `time_text`, the data) and start. A step the profile leaves out is
// not sent.
inline std::vector<std::string> ProfileSequence(const ModuleProfile& p, int restart_type, bool xtra,
                                                int runs, bool found_on,
                                                const std::string& time_text) {
  std::vector<std::string> want;
  for (const ProfileStep& s : p.setup)
    want.push_back(s.command);
  want.insert(want.end(), p.identity.begin(), p.identity.end());
  for (int run = 1; run <= runs; ++run) {
    if (run > 1 && p.stop.Present())
      want.push_back(p.stop.command);
    if (p.query.Present())
      want.push_back(p.query.command);
    if (run == 1 && found_on && p.stop.Present())
      want.push_back(p.stop.command);
    if (p.DeleteFor(restart_type).Present())
      want.push_back(p.DeleteFor(restart_type).command);
    if (xtra) {
      if (p.clock.Present())
        want.push_back(p.clock.command);
      if (p.clock.Present() && p.xtra_time.Present())
        want.push_back(FillXtraTime(p.xtra_time.command, time_text, 3500));
      if (p.xtra_data.Present())
        want.push_back(p.xtra_data.command);
    }
    want.push_back(p.StartFor(restart_type).command);
  }
  return want;
}

}  // namespace testsupport
