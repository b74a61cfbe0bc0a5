// Two tests' TTFFs compared: are the starts of B slower or faster than
// those of A, and how likely is a difference this large by chance alone?
//
// Without time-outs: the Mann–Whitney U test (H. B. Mann & D. R. Whitney,
// Annals of Mathematical Statistics 18, 1947), with mid-ranks for ties.
// For small samples without ties the p-value is exact (the distribution of
// U over every split of the pooled ranks, by the recurrence in Mann &
// Whitney's paper); otherwise it is the normal approximation with the tie
// correction of the variance and a continuity correction of 1/2 (as in
// Hollander & Wolfe, Nonparametric Statistical Methods, 1973, section 4.1,
// and R's wilcox.test).
//
// With runs censored at their time-out: the log-rank test (N. Mantel,
// Cancer Chemotherapy Reports 50, 1966; R. Peto & J. Peto, JRSS A 135,
// 1972): at each time with fixes, the fixes of B observed against those
// expected from the pooled runs at risk, with the hypergeometric variance;
// chi-square with one degree of freedom (Boost.Math).
//
// Both p-values are two-sided.
#pragma once

#include <string>
#include <vector>

#include "stats/kaplan_meier.h"

namespace stats {

struct RankComparison {
  enum class Method { kNone, kMannWhitneyExact, kMannWhitneyNormal, kLogRank };
  Method method = Method::kNone;  // kNone: a sample without a single fix
  double p = 1;
  // Mann–Whitney: U of B (pairs in which B's TTFF is the longer, ties
  // counting one half) and its share of all pairs, P(B > A).
  double u_b = 0, share_b_slower = 0.5;
  double z = 0;           // normal approximation only
  double chi_square = 0;  // log-rank only
  // Log-rank: fixes of B observed and expected under no difference.
  double observed_b = 0, expected_b = 0;
  // The direction of the difference: B takes longer to fix than A.
  bool b_slower = false;
};

// Largest samples (each) whose exact distribution is used when no ties.
inline constexpr std::size_t kExactMannWhitneyMax = 20;

RankComparison MannWhitney(const std::vector<double>& a, const std::vector<double>& b);
RankComparison LogRank(const std::vector<Observation>& a, const std::vector<Observation>& b);
// Log-rank when any run of either test is censored, else Mann–Whitney on
// the TTFFs.
RankComparison CompareTtff(const std::vector<Observation>& a, const std::vector<Observation>& b);

const char* MethodName(RankComparison::Method method);

// The comparison in words: "B is slower than A; the difference is unlikely
// to be chance, p = 0.003" or "no clear difference between A and B; a
// difference this large often arises by chance, p = 0.41". Chance is
// "unlikely" below the significance level (0.05 at confidence 0.95).
std::string ComparisonSentence(const RankComparison& c, const std::string& a, const std::string& b,
                               double significance = 0.05);
// "p = 0.003", "p = 0.41", "p < 0.001".
std::string FormatP(double p);

}  // namespace stats
