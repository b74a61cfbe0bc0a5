#include "stats/sequential_verdict.h"

#include <algorithm>
#include <cmath>

namespace stats {

double VerdictLimits::Indifference() const {
  return indifference > 0 ? indifference : std::min(1 - yield, yield / 2);
}

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::kPass:
      return "PASS";
    case Verdict::kFail:
      return "FAIL";
    case Verdict::kUndecided:
      break;
  }
  return "UNDECIDED";
}

SequentialVerdict::SequentialVerdict(const VerdictLimits& limits) {
  // Kept inside (0, 1) so that every logarithm is finite.
  p0_ = std::clamp(limits.yield, 1e-6, 1 - 1e-6);
  p1_ = std::clamp(p0_ - limits.Indifference(), 1e-6, p0_ - 1e-6);
  const double risk = std::clamp(1 - limits.confidence, 1e-9, 0.5);
  step_good_ = std::log(p1_ / p0_);
  step_bad_ = std::log((1 - p1_) / (1 - p0_));
  pass_at_ = std::log(risk / (1 - risk));
  fail_at_ = std::log((1 - risk) / risk);
}

void SequentialVerdict::Add(bool good, unsigned attempt) {
  ++attempts_;
  good_ += good ? 1 : 0;
  log_ratio_ += good ? step_good_ : step_bad_;
  if (verdict_ != Verdict::kUndecided)
    return;
  if (log_ratio_ >= fail_at_)
    verdict_ = Verdict::kFail;
  else if (log_ratio_ <= pass_at_)
    verdict_ = Verdict::kPass;
  if (verdict_ != Verdict::kUndecided)
    decided_after_ = attempt;
}

}  // namespace stats
