#include "stats/kaplan_meier.h"

#include <algorithm>
#include <cmath>

#include "stats/success_rate.h"

namespace stats {

namespace {

// Equality of survival values built as products of fractions.
bool Near(double a, double b) {
  return std::fabs(a - b) < 1e-9;
}

}  // namespace

KaplanMeier::KaplanMeier(std::vector<Observation> obs) : n_(obs.size()) {
  // A fix and a censoring at the same time: the fix comes first.
  std::sort(obs.begin(), obs.end(), [](const Observation& a, const Observation& b) {
    return a.time_s != b.time_s ? a.time_s < b.time_s : a.fixed > b.fixed;
  });
  double survival = 1, greenwood = 0, last_neff = static_cast<double>(n_);
  std::size_t at_risk = n_;
  for (std::size_t i = 0; i < obs.size();) {
    const double t = obs[i].time_s;
    unsigned fixes = 0, censored = 0;
    for (; i < obs.size() && obs[i].time_s == t; ++i)
      (obs[i].fixed ? fixes : censored)++;
    if (fixes > 0) {
      KmStep step;
      step.time_s = t;
      step.at_risk = static_cast<unsigned>(at_risk);
      step.fixes = fixes;
      const double n = static_cast<double>(at_risk), d = fixes;
      survival *= 1 - d / n;
      if (at_risk > fixes)
        greenwood += d / (n * (n - d));
      step.survival = survival;
      if (survival > 0 && !Near(survival, 0)) {
        step.greenwood_se = survival * std::sqrt(greenwood);
        last_neff = greenwood > 0 ? (1 - survival) / (survival * greenwood) : last_neff;
      } else {
        step.survival = 0;
      }
      step.effective_n = last_neff;
      steps_.push_back(step);
    }
    at_risk -= fixes + censored;
  }
}

double KaplanMeier::Survival(double t) const {
  double s = 1;
  for (const KmStep& step : steps_) {
    if (step.time_s > t)
      break;
    s = step.survival;
  }
  return s;
}

std::optional<double> KaplanMeier::Estimate(double p) const {
  const double target = 1 - p;
  for (std::size_t j = 0; j < steps_.size(); ++j) {
    if (steps_[j].survival < target || Near(steps_[j].survival, target)) {
      if (Near(steps_[j].survival, target) && j + 1 < steps_.size())
        return (steps_[j].time_s + steps_[j + 1].time_s) / 2;
      return steps_[j].time_s;
    }
  }
  return std::nullopt;
}

PercentileEstimate KaplanMeier::Percentile(double p, double confidence) const {
  PercentileEstimate r;
  r.p = p;
  r.estimate = Estimate(p);
  // Before the first fix: no share fixed yet, out of n.
  const auto band = [&](double fixed_share, double neff) {
    return ClopperPearson(fixed_share * neff, neff, confidence);
  };
  if (n_ > 0 && band(0, static_cast<double>(n_)).high >= p)
    r.low = 0.0;
  for (const KmStep& step : steps_) {
    const ProportionInterval ci = band(1 - step.survival, step.effective_n);
    if (!r.low && ci.high >= p)
      r.low = step.time_s;
    if (ci.low > p) {
      r.high = step.time_s;
      break;
    }
  }
  return r;
}

}  // namespace stats
