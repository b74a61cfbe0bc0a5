#include "stats/rank_tests.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstdio>
#include <map>

namespace stats {

namespace {

// Mid-ranks (1-based) of the pooled values; ties share their mean rank.
// Returns the rank sum of the first `na` values and the tie term
// sum (t^3 - t) over the groups of tied values.
std::pair<double, double> RankSumAndTies(const std::vector<double>& a,
                                         const std::vector<double>& b) {
  std::vector<std::pair<double, bool>> pooled;  // value, from a
  pooled.reserve(a.size() + b.size());
  for (double v : a)
    pooled.emplace_back(v, true);
  for (double v : b)
    pooled.emplace_back(v, false);
  std::sort(pooled.begin(), pooled.end(),
            [](const auto& x, const auto& y) { return x.first < y.first; });
  double rank_sum_a = 0, ties = 0;
  for (std::size_t i = 0; i < pooled.size();) {
    std::size_t j = i;
    while (j < pooled.size() && pooled[j].first == pooled[i].first)
      ++j;
    const double t = static_cast<double>(j - i);
    const double mid = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2;
    for (std::size_t k = i; k < j; ++k)
      rank_sum_a += pooled[k].second ? mid : 0;
    ties += t * t * t - t;
    i = j;
  }
  return {rank_sum_a, ties};
}

// counts[u]: the number of ways, among the C(m + n, m) equally likely
// splits, that the first sample's U is u. Mann & Whitney's recurrence
// f(m, n, u) = f(m - 1, n, u - n) + f(m, n - 1, u): the largest value
// belongs to one sample or the other.
std::vector<double> ExactUCounts(std::size_t m, std::size_t n) {
  // table[i][j]: the distribution for sizes i and j, built up over i + j.
  std::vector<std::vector<std::vector<double>>> table(m + 1,
                                                      std::vector<std::vector<double>>(n + 1));
  for (std::size_t i = 0; i <= m; ++i) {
    for (std::size_t j = 0; j <= n; ++j) {
      std::vector<double>& f = table[i][j];
      f.assign(i * j + 1, 0.0);
      if (i == 0 || j == 0) {
        f[0] = 1;
        continue;
      }
      const std::vector<double>& less_a = table[i - 1][j];
      const std::vector<double>& less_b = table[i][j - 1];
      for (std::size_t u = 0; u < less_a.size(); ++u)
        f[u + j] += less_a[u];  // a's largest value beats all j of b
      for (std::size_t u = 0; u < less_b.size(); ++u)
        f[u] += less_b[u];
    }
  }
  return table[m][n];
}

}  // namespace

RankComparison MannWhitney(const std::vector<double>& a, const std::vector<double>& b) {
  RankComparison r;
  if (a.empty() || b.empty())
    return r;
  const double m = static_cast<double>(a.size()), n = static_cast<double>(b.size());
  const auto [rank_sum_a, ties] = RankSumAndTies(a, b);
  const double u_a = rank_sum_a - m * (m + 1) / 2;
  r.u_b = m * n - u_a;
  r.share_b_slower = r.u_b / (m * n);
  r.b_slower = r.u_b > m * n / 2;
  if (ties == 0 && a.size() <= kExactMannWhitneyMax && b.size() <= kExactMannWhitneyMax) {
    r.method = RankComparison::Method::kMannWhitneyExact;
    const std::vector<double> counts = ExactUCounts(b.size(), a.size());  // U of b
    double total = 0, below = 0, above = 0;
    const auto u = static_cast<std::size_t>(std::lround(r.u_b));
    for (std::size_t k = 0; k < counts.size(); ++k) {
      total += counts[k];
      below += k <= u ? counts[k] : 0;
      above += k >= u ? counts[k] : 0;
    }
    r.p = std::min(1.0, 2 * std::min(below, above) / total);
    return r;
  }
  r.method = RankComparison::Method::kMannWhitneyNormal;
  const double total = m + n;
  const double variance = m * n / 12 * ((total + 1) - ties / (total * (total - 1)));
  const double diff = r.u_b - m * n / 2;
  if (!(variance > 0)) {
    r.p = 1;
    return r;
  }
  const double correction = diff > 0 ? 0.5 : diff < 0 ? -0.5 : 0.0;
  r.z = (diff - correction) / std::sqrt(variance);
  const boost::math::normal standard;
  r.p = std::min(1.0, 2 * boost::math::cdf(boost::math::complement(standard, std::fabs(r.z))));
  return r;
}

RankComparison LogRank(const std::vector<Observation>& a, const std::vector<Observation>& b) {
  RankComparison r;
  if (a.empty() || b.empty())
    return r;
  r.method = RankComparison::Method::kLogRank;
  // Per distinct time: fixes of a and b, and the runs leaving the risk set
  // (fixed or censored) of each.
  struct At {
    double fixes_a = 0, fixes_b = 0, leave_a = 0, leave_b = 0;
  };
  std::map<double, At> times;
  for (const Observation& o : a) {
    At& at = times[o.time_s];
    at.fixes_a += o.fixed ? 1 : 0;
    at.leave_a += 1;
  }
  for (const Observation& o : b) {
    At& at = times[o.time_s];
    at.fixes_b += o.fixed ? 1 : 0;
    at.leave_b += 1;
  }
  double risk_a = static_cast<double>(a.size()), risk_b = static_cast<double>(b.size());
  double variance = 0;
  for (const auto& [t, at] : times) {
    const double d = at.fixes_a + at.fixes_b, n = risk_a + risk_b;
    if (d > 0 && n > 0) {
      r.observed_b += at.fixes_b;
      r.expected_b += d * risk_b / n;
      if (n > 1)
        variance += d * (risk_a / n) * (risk_b / n) * (n - d) / (n - 1);
    }
    // A run censored at t is still at risk at t.
    risk_a -= at.leave_a;
    risk_b -= at.leave_b;
  }
  r.b_slower = r.observed_b < r.expected_b;
  if (!(variance > 0)) {
    r.p = 1;
    return r;
  }
  const double diff = r.observed_b - r.expected_b;
  r.chi_square = diff * diff / variance;
  r.p = boost::math::cdf(
      boost::math::complement(boost::math::chi_squared_distribution<>(1), r.chi_square));
  return r;
}

RankComparison CompareTtff(const std::vector<Observation>& a, const std::vector<Observation>& b) {
  const auto censored = [](const Observation& o) { return !o.fixed; };
  if (std::any_of(a.begin(), a.end(), censored) || std::any_of(b.begin(), b.end(), censored))
    return LogRank(a, b);
  std::vector<double> ta, tb;
  for (const Observation& o : a)
    ta.push_back(o.time_s);
  for (const Observation& o : b)
    tb.push_back(o.time_s);
  return MannWhitney(ta, tb);
}

const char* MethodName(RankComparison::Method method) {
  switch (method) {
    case RankComparison::Method::kMannWhitneyExact:
      return "Mann-Whitney U, exact";
    case RankComparison::Method::kMannWhitneyNormal:
      return "Mann-Whitney U, normal approximation with tie and continuity correction";
    case RankComparison::Method::kLogRank:
      return "log-rank (Mantel), time-outs censored";
    case RankComparison::Method::kNone:
      break;
  }
  return "none";
}

std::string FormatP(double p) {
  if (p < 0.001)
    return "p < 0.001";
  char text[32];
  std::snprintf(text, sizeof text, "p = %.2g", p);
  return text;
}

std::string ComparisonSentence(const RankComparison& c, const std::string& a, const std::string& b,
                               double significance) {
  if (c.method == RankComparison::Method::kNone)
    return a + " and " + b + " cannot be compared: one of them has no run with a fix";
  if (c.p < significance)
    return b + " is " + (c.b_slower ? "slower" : "faster") + " than " + a +
           "; the difference is unlikely to be chance, " + FormatP(c.p);
  return "no clear difference between " + a + " and " + b +
         "; a difference this large often arises by chance, " + FormatP(c.p);
}

}  // namespace stats
