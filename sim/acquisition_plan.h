// When the phases of a start come, in epochs after its "OK": the receiver
// tracks its first satellite, reaches a 2D fix (the drawn TTFF: the epoch
// whose RMC says "A") and then a 3D fix, as receivers show it in GSV and
// GSA. The spread per restart type (seconds; plausible figures for the
// receivers of current cellular modules, drawn uniformly):
//
//   start   first satellite tracked     3D after 2D
//   hot     at once (first epoch)       1 s
//   warm    1 to 3 s                    1 to 3 s
//   cold    3 to 8 s                    2 to 6 s
//
// A satellite is always tracked at least one epoch before the fix. A
// receiver that kept its fix (a reset it ignored, one running before anyone
// asked) shows everything from its first epoch on.
#pragma once

#include <random>

namespace sim {

struct AcquisitionPlan {
  int first_tracked_epoch = 0;
  int fix_epoch = -1;  // 2D; -1: never
  int first_3d_epoch = -1;

  // The old shape: tracked from the start, 3D at the fix.
  static AcquisitionPlan AtOnce(int fix_epoch) { return {0, fix_epoch, fix_epoch}; }
};

AcquisitionPlan DrawAcquisitionPlan(int restart_type, int fix_epoch, double epochs_per_s,
                                    std::mt19937& rng);

}  // namespace sim
