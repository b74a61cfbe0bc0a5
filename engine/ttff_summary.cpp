// The JSON summary of a test: counts, statistics, verdict, timeline,
// conditions and, with a reference, the position errors.
#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "engine/timeline_report.h"
#include "engine/ttff_report.h"
#include "fix_rules/registry.h"
#include "platform/file_writes.h"
#include "profiles/module_commands.h"
#include "stats/statistics_output.h"

SeriesStatistics ComputeSeries(std::vector<double> values) {
  SeriesStatistics s;
  s.count = values.size();
  if (values.empty())
    return s;
  std::sort(values.begin(), values.end());
  auto pct = [&](double p) {
    const double pos = p * static_cast<double>(values.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(pos));
    const auto hi = std::min(lo + 1, values.size() - 1);
    return values[lo] + (values[hi] - values[lo]) * (pos - static_cast<double>(lo));
  };
  double sum = 0;
  for (double v : values)
    sum += v;
  s.mean = sum / static_cast<double>(values.size());
  double sq = 0;
  for (double v : values)
    sq += (v - s.mean) * (v - s.mean);
  s.stddev = std::sqrt(sq / static_cast<double>(values.size()));
  s.min = values.front();
  s.max = values.back();
  s.median = pct(0.5);
  s.p67 = pct(0.67);
  s.p95 = pct(0.95);
  return s;
}

namespace {

// The runs as the statistics see them: a fix, a time-out (censored) or,
// with a lost port or a stop, no attempt of the receiver; with a reference, each fix's
// horizontal error.
std::vector<stats::RunOutcome> RunOutcomes(const std::vector<RunRecord>& records,
                                           const std::optional<GeoPosition>& reference) {
  std::vector<stats::RunOutcome> runs;
  for (const RunRecord& r : records) {
    using Kind = stats::RunOutcome::Kind;
    const Kind kind = r.success                   ? Kind::kFixed
                      : EndedByTheBench(r.reason) ? Kind::kInvalid
                                                  : Kind::kTimedOut;
    runs.push_back({r.run, kind, r.success ? r.ttff_s : 0.0, std::nullopt});
    if (reference && r.fix_position)
      runs.back().error_m = ErrorBetween(*r.fix_position, *reference).horizontal_m;
  }
  return runs;
}

}  // namespace

stats::TtffStatistics TestReport::Statistics() const {
  return stats::ComputeTtffStatistics(RunOutcomes(records_, ReferencePosition()), stats_options_);
}

namespace {

nlohmann::json SeriesJson(const SeriesStatistics& s) {
  nlohmann::json j;
  j["count"] = s.count;
  if (s.count == 0)
    return j;
  j["mean"] = s.mean;
  j["median"] = s.median;
  j["p67"] = s.p67;
  j["p95"] = s.p95;
  j["min"] = s.min;
  j["max"] = s.max;
  j["stddev"] = s.stddev;
  return j;
}

nlohmann::json ConditionsJson(const TestConditions& c) {
  return {{"restart_type", c.restart_type},
          {"xtra", c.xtra},
          {"timeout_s", c.timeout_s},
          {"runs_planned", c.runs_planned},
          {"fix_rule", c.fix_rule},
          {"profile", c.profile},
          {"time_scale", c.time_scale},
          {"tool_version", c.tool_version},
          {"host", c.host},
          {"started", c.started}};
}

nlohmann::json ResetSuspectsJson(const std::vector<RunRecord>& records) {
  nlohmann::json suspects = nlohmann::json::array();
  for (const auto& rec : records) {
    if (!rec.reset_suspect.empty())
      suspects.push_back({{"run", rec.run}, {"reason", rec.reset_suspect}});
  }
  return {{"count", suspects.size()}, {"runs", suspects}};
}

}  // namespace

nlohmann::json TestReport::ReferenceJson() const {
  const std::optional<GeoPosition> ref = ReferencePosition();
  nlohmann::json r;
  r["auto"] = reference_->automatic;
  if (ref) {
    r["lat"] = ref->lat_deg;
    r["lon"] = ref->lon_deg;
    if (ref->alt_m)
      r["alt_m"] = *ref->alt_m;
  }
  return r;
}

nlohmann::json TestReport::PositionErrorJson() const {
  const std::optional<GeoPosition> ref = ReferencePosition();
  // Per recorded run: the horizontal and 3D errors at the fix (null when
  // unknown), and their statistics over the runs that have one.
  std::vector<double> horizontal, three_d;
  nlohmann::json per_run = nlohmann::json::array();
  for (const auto& rec : records_) {
    nlohmann::json e = {{"run", rec.run}, {"error_m", nullptr}, {"error_3d_m", nullptr}};
    if (rec.fix_position && ref) {
      const PositionError pe = ErrorBetween(*rec.fix_position, *ref);
      e["error_m"] = pe.horizontal_m;
      horizontal.push_back(pe.horizontal_m);
      if (pe.error_3d_m) {
        e["error_3d_m"] = *pe.error_3d_m;
        three_d.push_back(*pe.error_3d_m);
      }
    }
    per_run.push_back(e);
  }
  return {{"horizontal", SeriesJson(ComputeSeries(horizontal))},
          {"3d", SeriesJson(ComputeSeries(three_d))},
          {"runs", per_run}};
}

std::string TestReport::SummaryJson(int failures, bool finished) const {
  std::vector<double> ttff, precise;
  for (const auto& r : records_) {
    if (!r.success)
      continue;
    ttff.push_back(r.ttff_s);
    if (r.ttff_precise_s >= 0)
      precise.push_back(r.ttff_precise_s);
  }
  nlohmann::json j;
  j["runs"] = records_.size();
  j["failures"] = failures;
  j["successes"] = ttff.size();
  // "failures" as the result log's "fail times"; the rate over the
  // attempts of the receiver, as the statistics count them.
  std::size_t port_lost = 0, stopped = 0, refused = 0, hook_failed = 0;
  for (const auto& r : records_) {
    port_lost += r.reason == kReasonPortLost ? 1 : 0;
    stopped += r.reason == kReasonStopped ? 1 : 0;
    refused += r.reason == kReasonResetRefused ? 1 : 0;
    hook_failed += IsHookFailure(r.reason) ? 1 : 0;
  }
  const double attempted =
      static_cast<double>(std::count_if(records_.begin(), records_.end(), [](const RunRecord& r) {
        return !EndedByTheBench(r.reason);
      }));
  j["success_rate"] = attempted > 0 ? static_cast<double>(ttff.size()) / attempted : 0.0;
  j["finished"] = finished;
  j["port_lost"] = port_lost;
  j["stopped"] = stopped;
  if (refused > 0)  // a test whose resets all took writes the same bytes as ever
    j["reset_refused"] = refused;
  if (hook_failed > 0)
    j["hook_failed"] = hook_failed;
  j["time_scale"] = time_scale_;
  if (!fix_rules::IsDefault(fix_rule_))
    j["fix_rule"] = fix_rule_;
  if (!profile_.empty() && profile_ != "default")
    j["profile"] = profile_;
  if (!identity_.empty()) {
    nlohmann::json module = nlohmann::json::object();
    for (const auto& [command, reply] : identity_)
      module[command] = reply;
    j["module"] = module;
  }
  if (ChecksResets())
    j["reset_suspects"] = ResetSuspectsJson(records_);
  if (reference_) {
    j["reference"] = ReferenceJson();
    j["position_error_m"] = PositionErrorJson();
  }
  // The runs that fixed alone; the percentiles a lab quotes are the
  // statistics' Kaplan-Meier ones, over every attempt.
  j["ttff_s"] = SeriesJson(ComputeSeries(ttff));
  j["ttff_s"]["counts"] =
      "the runs that fixed only: percentiles interpolated, stddev of the population; see "
      "statistics.ttff_km_s for the percentiles over every attempt";
  j["ttff_precise_s"] = SeriesJson(ComputeSeries(precise));
  const stats::TtffStatistics statistics = Statistics();
  j["statistics"] = stats::StatisticsJson(statistics);
  if (statistics.verdict)
    j["verdict"] = stats::VerdictJson(statistics);
  std::vector<timeline::TimelineRecord> timelines;
  for (const auto& rec : records_)
    timelines.push_back(rec.timeline);
  j["timeline"] = TimelineSummaryJson(timelines);
  if (conditions_)
    j["conditions"] = ConditionsJson(*conditions_);
  if (conditions_ && conditions_->plan) {
    const PlanLabel& plan = *conditions_->plan;
    j["plan"] = {{"name", plan.name}, {"source", plan.source}, {"file", plan.file}};
  }
  // Only when a log lost a write, so that a test without trouble writes the
  // same bytes as ever.
  std::vector<std::string> incomplete = platform::IncompleteOpenFiles();
  if (csv_incomplete_)
    incomplete.push_back(csv_path_);
  if (!incomplete.empty())
    j["incomplete_files"] = incomplete;
  return j.dump(2) + "\n";
}

bool TestReport::WriteSummary(int failures, bool finished) {
  if (summary_path_.empty())
    return false;
  // A good copy is replaced only by a complete new one.
  return platform::ReplaceFile(summary_path_, SummaryJson(failures, finished)) == 0;
}
