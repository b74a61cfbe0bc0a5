// PASS, FAIL or UNDECIDED after every attempt for "at least the yield of the
// attempts are good" (an attempt is good when it fixed within the TTFF
// limit), by Wald's sequential probability ratio test on a Bernoulli
// proportion (A. Wald, Sequential Tests of Statistical Hypotheses, Annals of
// Mathematical Statistics 16, 1945).
//
// The hypotheses: p0 = yield (a receiver just good enough: it must PASS)
// against p1 = yield - indifference (a bad one: it must FAIL); between them
// lies the indifference region where either verdict is acceptable. After
// each attempt the log-likelihood ratio
//   L = g ln(p1 / p0) + b ln((1 - p1) / (1 - p0))   (g good, b bad attempts)
// is compared with Wald's boundaries for the risks alpha = beta =
// 1 - confidence: FAIL once L >= ln((1 - beta) / alpha), PASS once
// L <= ln(beta / (1 - alpha)), else UNDECIDED. Wald's bounds keep the real
// risks within alpha / (1 - beta) and beta / (1 - alpha), their sum within
// alpha + beta. The first boundary crossed is the verdict: the test is over
// then, and attempts after it do not change it. The test has no truncation:
// a receiver in the indifference region may stay UNDECIDED to the last run.
//
// The indifference by default is min(1 - yield, yield / 2): a bad receiver
// fails twice as often as the yield allows (yield 0.95: p1 = 0.90).
#pragma once

#include <optional>
#include <string>

namespace stats {

inline constexpr const char* kVerdictMethod = "Wald SPRT (1945) on the share of good attempts";

struct VerdictLimits {
  double ttff_s = 0;         // an attempt is good when it fixed within this
  double yield = 0.95;       // the share of good attempts asked for
  double confidence = 0.95;  // 1 - each wrong-decision risk
  double indifference = 0;   // p0 - p1; 0 or less: the default
  // With it, a good attempt's position error is within this many metres too.
  std::optional<double> error_m = std::nullopt;
  // The indifference actually used.
  double Indifference() const;
};

enum class Verdict { kUndecided, kPass, kFail };
const char* VerdictName(Verdict v);  // "PASS", "FAIL", "UNDECIDED"

class SequentialVerdict {
 public:
  explicit SequentialVerdict(const VerdictLimits& limits);

  // One more attempt; `attempt` is its number in the test (for DecidedAfter).
  void Add(bool good, unsigned attempt);

  Verdict Current() const { return verdict_; }
  // The attempt number at which the verdict was decided; 0 while undecided.
  unsigned DecidedAfter() const { return decided_after_; }
  unsigned Attempts() const { return attempts_; }
  unsigned Good() const { return good_; }
  double LogRatio() const { return log_ratio_; }
  double PassBound() const { return pass_at_; }
  double FailBound() const { return fail_at_; }
  double P1() const { return p1_; }

 private:
  double p0_, p1_, step_good_, step_bad_, pass_at_, fail_at_;
  double log_ratio_ = 0;
  unsigned attempts_ = 0, good_ = 0, decided_after_ = 0;
  Verdict verdict_ = Verdict::kUndecided;
};

}  // namespace stats
