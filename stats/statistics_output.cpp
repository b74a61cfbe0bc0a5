#include "stats/statistics_output.h"

#include <cmath>
#include <cstdio>

namespace stats {

namespace {

nlohmann::json OrNull(const std::optional<double>& v) {
  return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

// 1 - 0.95 as 0.05, not 0.050000000000000044.
double Tidy(double v) {
  return std::round(v * 1e12) / 1e12;
}

std::string Fixed(double v, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

// "95 %" for 0.95, "99.9 %" for 0.999.
std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%g %%", share * 100);
  return text;
}

std::string PercentileName(double p) {
  return "p" + std::to_string(static_cast<int>(p * 100 + 0.5));
}

}  // namespace

nlohmann::json StatisticsJson(const TtffStatistics& s) {
  nlohmann::json j;
  j["confidence"] = s.options.confidence;
  j["valid_runs"] = {{"L", s.valid}, {"M", s.recorded}};
  j["success"] = {{"k", s.success.k},          {"n", s.success.n},
                  {"rate", s.success.rate},    {"ci_low", s.success.low},
                  {"ci_high", s.success.high}, {"method", kProportionMethod}};
  nlohmann::json km;
  km["method"] = kPercentileMethod;
  km["censored"] = s.censored;
  km["censored_at"] = s.censored > 0 ? s.censored_max_s : s.options.timeout_s;
  if (s.censored > 0 && s.censored_min_s != s.censored_max_s)
    km["censored_at_least"] = s.censored_min_s;
  for (const PercentileEstimate& e : s.percentiles) {
    nlohmann::json p;
    p["estimate"] = OrNull(e.estimate);
    p["ci_low"] = OrNull(e.low);
    p["ci_high"] = OrNull(e.high);
    p["above_timeout"] = !e.estimate.has_value();
    if (!e.estimate)
      p["text"] = "above the time-out";
    km[PercentileName(e.p)] = p;
  }
  j["ttff_km_s"] = km;
  j["stddev_s"] = {{"value", OrNull(s.stddev_s)}, {"n", s.success.k}, {"divisor", "N-1"}};
  return j;
}

nlohmann::json VerdictJson(const TtffStatistics& s) {
  if (!s.verdict || !s.options.limits)
    return nullptr;
  const VerdictLimits& l = *s.options.limits;
  const SequentialVerdict& v = *s.verdict;
  nlohmann::json j;
  j["limit_ttff_s"] = l.ttff_s;
  if (l.error_m)
    j["limit_error_m"] = *l.error_m;
  j["yield"] = l.yield;
  j["confidence"] = l.confidence;
  j["indifference"] = Tidy(l.Indifference());
  j["method"] = kVerdictMethod;
  j["alpha"] = Tidy(1 - l.confidence);
  j["beta"] = Tidy(1 - l.confidence);
  j["verdict"] = VerdictName(v.Current());
  j["decided_after_run"] =
      v.DecidedAfter() > 0 ? nlohmann::json(v.DecidedAfter()) : nlohmann::json(nullptr);
  j["attempts"] = v.Attempts();
  j["good"] = v.Good();
  j["log_likelihood_ratio"] = v.LogRatio();
  j["pass_at"] = v.PassBound();
  j["fail_at"] = v.FailBound();
  return j;
}

std::string VerdictLine(const TtffStatistics& s) {
  if (!s.verdict || !s.options.limits)
    return {};
  const VerdictLimits& l = *s.options.limits;
  const SequentialVerdict& v = *s.verdict;
  char limits[160];
  std::snprintf(limits, sizeof limits, " (yield %g, TTFF \u2264 %g s, confidence %g)", l.yield,
                l.ttff_s, l.confidence);
  std::string line = VerdictName(v.Current());
  if (v.DecidedAfter() > 0)
    line +=
        " after " + std::to_string(v.DecidedAfter()) + " run" + (v.DecidedAfter() == 1 ? "" : "s");
  else
    line += " after " + std::to_string(v.Attempts()) + " attempt" + (v.Attempts() == 1 ? "" : "s");
  return line + limits;
}

namespace {

// "44.04 s [under 41.20, 47.90]": a bound the data cannot give reads as such
// (a lower bound below the first fix, an upper one past the longest TTFF).
std::string PercentileText(const PercentileEstimate& e, const TtffStatistics& s) {
  if (!e.estimate)
    return "above the time-out";
  const bool low_known = e.low && *e.low > 0;
  std::string low = low_known ? Fixed(*e.low, 2) : "under " + Fixed(s.first_fix_s.value_or(0), 2);
  return Fixed(*e.estimate, 2) + " s [" + low + ", " + (e.high ? Fixed(*e.high, 2) : "unbounded") +
         "]";
}

}  // namespace

std::string PercentilesLine(const TtffStatistics& s) {
  const std::string at =
      s.censored > 0 && s.censored_min_s != s.censored_max_s
          ? "each censored at its own test's time-out, " + Fixed(s.censored_min_s, 0) + " to " +
                Fixed(s.censored_max_s, 0) + " s"
          : "censored at " + Fixed(s.censored > 0 ? s.censored_max_s : s.options.timeout_s, 0) +
                " s";
  std::string line = "TTFF percentiles, Kaplan\u2013Meier over every attempt (" +
                     std::to_string(s.censored) + " timed-out run" +
                     (s.censored == 1 ? " " : "s ") + at + "), " + Percent(s.options.confidence) +
                     " CI:";
  const char* sep = " ";
  for (const PercentileEstimate& e : s.percentiles) {
    line += sep + PercentileName(e.p) + " = " + PercentileText(e, s);
    sep = ", ";
  }
  return line;
}

std::vector<std::string> StatisticsLines(const TtffStatistics& s) {
  std::vector<std::string> lines;
  const std::string level = Percent(s.options.confidence);
  if (s.valid > 0) {
    lines.push_back("success " + std::to_string(s.success.k) + " of " +
                    std::to_string(s.success.n) + " (" + Fixed(s.success.rate * 100, 1) + " %, " +
                    level + " CI " + Fixed(s.success.low * 100, 1) + "\u2013" +
                    Fixed(s.success.high * 100, 1) + " %, Clopper\u2013Pearson)");
    lines.push_back(PercentilesLine(s));
  }
  lines.push_back(
      "sample stddev (N-1) = " + (s.stddev_s ? Fixed(*s.stddev_s, 2) + " s" : std::string("n/a")) +
      " of " + std::to_string(s.success.k) + " fixes; valid runs " + std::to_string(s.valid) +
      " of " + std::to_string(s.recorded));
  if (s.verdict)
    lines.push_back("verdict: " + VerdictLine(s));
  return lines;
}

}  // namespace stats
