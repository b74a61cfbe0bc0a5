#include "sim/acquisition_plan.h"

#include <algorithm>
#include <cmath>

#include "sim/ttff_model.h"

namespace sim {

namespace {

struct Spread {
  double tracked_min_s, tracked_max_s, to_3d_min_s, to_3d_max_s;
};

Spread SpreadFor(int restart_type) {
  switch (restart_type) {
    case kRestartCold:
      return {3.0, 8.0, 2.0, 6.0};
    case kRestartWarm:
      return {1.0, 3.0, 1.0, 3.0};
    default:
      return {0.0, 0.0, 1.0, 1.0};
  }
}

int Epochs(double seconds, double epochs_per_s) {
  return static_cast<int>(std::lround(seconds * epochs_per_s));
}

}  // namespace

AcquisitionPlan DrawAcquisitionPlan(int restart_type, int fix_epoch, double epochs_per_s,
                                    std::mt19937& rng) {
  const Spread s = SpreadFor(restart_type);
  std::uniform_real_distribution<double> tracked(s.tracked_min_s, s.tracked_max_s);
  std::uniform_real_distribution<double> to_3d(s.to_3d_min_s, s.to_3d_max_s);
  AcquisitionPlan plan;
  plan.fix_epoch = fix_epoch;
  plan.first_tracked_epoch = Epochs(tracked(rng), epochs_per_s);
  const int gap = std::max(1, Epochs(to_3d(rng), epochs_per_s));
  if (fix_epoch >= 0) {
    plan.first_tracked_epoch = std::clamp(plan.first_tracked_epoch, 0, std::max(0, fix_epoch - 1));
    plan.first_3d_epoch = fix_epoch + gap;
  }
  return plan;
}

}  // namespace sim
