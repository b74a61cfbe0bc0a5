#include "stats/non_inferiority.h"

#include <cmath>
#include <cstdio>

#include "stats/statistics_output.h"

namespace stats {

namespace {

unsigned Fixes(const std::vector<Observation>& sample) {
  unsigned k = 0;
  for (const Observation& o : sample)
    k += o.fixed ? 1 : 0;
  return k;
}

std::string Seconds(double v) {
  if (std::isinf(v))
    return "unbounded";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// "12.5" for 0.125: a rate as a percentage with one decimal.
std::string OneDecimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v * 100);
  return text;
}

std::string Level(const NonInferiorityQuestion& q) {
  return Percent(q.confidence);
}

std::string Interval(const PercentileDifference& d) {
  return "[" + Seconds(d.low) + ", " + Seconds(d.high) + "] s";
}

// Why the data cannot tell.
std::string Undecided(const NonInferiority& n, const std::string& a, const std::string& b) {
  const std::string pn = PercentileName(n.question.percentile);
  if (n.ttff.a_longest == 0 && !n.ttff.a)
    return a + " has no attempt to compare";
  if (n.ttff.b_longest == 0 && !n.ttff.b)
    return b + " has no attempt to compare";
  std::string why, remedy = "more runs would narrow it";
  if (!n.ttff.b)
    why = b + "'s " + pn + " is above its time-out (" + Seconds(n.ttff.b_longest) + " s); ";
  else if (!n.ttff.a)
    why = a + "'s " + pn + " is above its time-out (" + Seconds(n.ttff.a_longest) + " s); ";
  if (!why.empty())
    remedy = "more runs or a longer time-out would narrow it";
  return why + "the " + Level(n.question) + " interval of the difference, " + Interval(n.ttff) +
         ", holds the margin; " + remedy;
}

}  // namespace

const char* NonInferiorityName(NonInferiorityVerdict v) {
  switch (v) {
    case NonInferiorityVerdict::kNotWorse:
      return "not worse";
    case NonInferiorityVerdict::kWorse:
      return "worse";
    case NonInferiorityVerdict::kCannotTell:
      break;
  }
  return "cannot tell";
}

NonInferiority CompareNonInferiority(const std::vector<Observation>& a,
                                     const std::vector<Observation>& b,
                                     const NonInferiorityQuestion& question) {
  NonInferiority n;
  n.question = question;
  n.ttff = BootstrapPercentileDifference(a, b, question.percentile, question.confidence);
  n.success = NewcombeDifference(Fixes(a), static_cast<unsigned>(a.size()), Fixes(b),
                                 static_cast<unsigned>(b.size()), question.confidence);
  if (a.empty() || b.empty())
    n.verdict = NonInferiorityVerdict::kCannotTell;
  else if (n.ttff.high < question.margin_s)
    n.verdict = NonInferiorityVerdict::kNotWorse;
  else if (n.ttff.low > question.margin_s)
    n.verdict = NonInferiorityVerdict::kWorse;
  return n;
}

std::string NonInferioritySentence(const NonInferiority& n, const std::string& a,
                                   const std::string& b) {
  const std::string margin = Seconds(n.question.margin_s) + " s";
  const std::string pn = "TTFF " + PercentileName(n.question.percentile);
  const std::string level = Level(n.question);
  switch (n.verdict) {
    case NonInferiorityVerdict::kNotWorse:
      return b + " is not worse than " + a + " by more than " + margin + ": the " + level +
             " interval of the difference of the " + pn + " (" + b + " - " + a + "), " +
             Interval(n.ttff) + ", lies below the margin";
    case NonInferiorityVerdict::kWorse:
      return b + " is worse than " + a + " by more than " + margin + ": the " + level +
             " interval of the difference of the " + pn + " (" + b + " - " + a + "), " +
             Interval(n.ttff) + ", lies above the margin";
    case NonInferiorityVerdict::kCannotTell:
      break;
  }
  return "the data cannot tell whether " + b + " is worse than " + a + " by more than " + margin +
         ": " + Undecided(n, a, b);
}

std::vector<std::string> NonInferiorityFigures(const NonInferiority& n, const std::string& a,
                                               const std::string& b) {
  const PercentileDifference& d = n.ttff;
  const auto value = [](const std::optional<double>& q, double longest) {
    return q ? Seconds(*q) + " s" : "above the time-out (" + Seconds(longest) + " s)";
  };
  const std::string estimate = d.estimate.Known() ? Seconds(d.estimate.low) + " s"
                                                  : "between " + Seconds(d.estimate.low) + " and " +
                                                        Seconds(d.estimate.high) + " s";
  char resamples[64];
  std::snprintf(resamples, sizeof resamples, ", %u resamples", d.resamples);
  const RateDifference& s = n.success;
  return {
      "TTFF " + PercentileName(d.p) + " (Kaplan-Meier, time-outs censored): " + a + " " +
          value(d.a, d.a_longest) + ", " + b + " " + value(d.b, d.b_longest) + "; difference " +
          estimate + ", " + Level(n.question) + " CI " + Interval(d) + " (" + kDifferenceMethod +
          resamples + ")",
      "success: " + a + " " + std::to_string(s.k_a) + " of " + std::to_string(s.n_a) + ", " + b +
          " " + std::to_string(s.k_b) + " of " + std::to_string(s.n_b) + "; difference " +
          OneDecimal(s.difference) + " %, " + Level(n.question) + " CI [" + OneDecimal(s.low) +
          ", " + OneDecimal(s.high) + "] % (" + kRateDifferenceMethod + ")",
  };
}

}  // namespace stats
