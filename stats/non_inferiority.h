// Is B not worse than A by more than a margin? The two-sided interval at
// the confidence C of the difference of a TTFF percentile, B's minus A's
// (percentile_difference.h), is set against the margin: entirely below it,
// B is not worse (non-inferior at the one-sided level (1 - C) / 2, as
// non-inferiority trials read a two-sided interval: CONSORT's extension,
// Piaggio et al., JAMA 308, 2012); entirely above it, B is worse by more
// than the margin; holding it, the data cannot tell. The success rates'
// difference with its interval (rate_difference.h) goes with it; the
// verdict is the TTFF's, whose Kaplan–Meier estimate already counts every
// time-out.
#pragma once

#include <string>
#include <vector>

#include "stats/kaplan_meier.h"
#include "stats/percentile_difference.h"
#include "stats/rate_difference.h"

namespace stats {

struct NonInferiorityQuestion {
  double margin_s = 0;
  double percentile = 0.5;
  double confidence = 0.95;
};

enum class NonInferiorityVerdict { kNotWorse, kWorse, kCannotTell };
// "not worse", "worse", "cannot tell".
const char* NonInferiorityName(NonInferiorityVerdict v);

struct NonInferiority {
  NonInferiorityQuestion question;
  NonInferiorityVerdict verdict = NonInferiorityVerdict::kCannotTell;
  PercentileDifference ttff;
  RateDifference success;
};

NonInferiority CompareNonInferiority(const std::vector<Observation>& a,
                                     const std::vector<Observation>& b,
                                     const NonInferiorityQuestion& question);

// The verdict in words, with why: "B is not worse than A by more than 5 s:
// ...". `a` and `b` name the tests.
std::string NonInferioritySentence(const NonInferiority& n, const std::string& a,
                                   const std::string& b);
// The figures behind it, a line each: the percentiles and their difference
// with its interval, the success rates and theirs.
std::vector<std::string> NonInferiorityFigures(const NonInferiority& n, const std::string& a,
                                               const std::string& b);

}  // namespace stats
