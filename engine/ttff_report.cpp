#include "engine/ttff_report.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "engine/csv_fields.h"
#include "engine/module_commands.h"
#include "engine/run_logs.h"
#include "engine/timeline_report.h"
#include "fix_rules/registry.h"
#include "platform/file_writes.h"
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
// with a lost port, no attempt of the receiver; with a reference, each fix's
// horizontal error.
std::vector<stats::RunOutcome> RunOutcomes(const std::vector<RunRecord>& records,
                                           const std::optional<GeoPosition>& reference) {
  std::vector<stats::RunOutcome> runs;
  for (const RunRecord& r : records) {
    using Kind = stats::RunOutcome::Kind;
    const Kind kind = r.success                 ? Kind::kFixed
                      : r.reason == "port lost" ? Kind::kInvalid
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

bool TestReport::Open(const std::string& base) {
  Close();
  records_.clear();
  csv_path_ = base + "_runs.csv";
  summary_path_ = base + "_summary.json";
  csv_header_ = std::string(
                    "run,result,ttff_s,ttff_precise_s,restart_type,xtra,start_time,"
                    "time_scale,reason") +
                (fix_rules::IsDefault(fix_rule_) ? "" : ",fix_sentence") +
                (reference_ ? ",fix_lat,fix_lon,fix_alt_m,error_m,error_3d_m" : "") +
                (ChecksResets() ? ",reset_suspect" : "") + TimelineHeader();
  csv_ = std::fopen(csv_path_.c_str(), "w");
  if (!csv_)
    return false;
  platform::TrackFile(csv_, csv_path_);
  WriteLog(csv_, csv_header_ + "\n");
  signal_path_ = base + "_signal.csv";
  signal_ = std::fopen(signal_path_.c_str(), "w");
  if (signal_) {
    platform::TrackFile(signal_, signal_path_);
    WriteLog(signal_, std::string(kSignalHeader) + "\n");
  } else {
    signal_path_.clear();
  }
  sky_.Open(base);
  return true;
}

void TestReport::Close() {
  platform::CloseTrackedFile(csv_);
  csv_ = nullptr;
  platform::CloseTrackedFile(signal_);
  signal_ = nullptr;
  sky_.Close();
}

void TestReport::AddSignal(unsigned run, std::int64_t ms, const timeline::SkySample& sky) {
  if (signal_)
    WriteLog(signal_, SignalRows(run, ms, sky));
}

void TestReport::Add(const RunRecord& r) {
  records_.push_back(r);
  sky_.Add(r.run, r.timeline);
  if (csv_ || row_listener_) {
    char buf[256];
    char precise[32] = "";
    if (r.success && r.ttff_precise_s >= 0) {
      std::snprintf(precise, sizeof precise, "%.3f", r.ttff_precise_s);
    }
    char ttff[32] = "";
    if (r.success)
      std::snprintf(ttff, sizeof ttff, "%.3f", r.ttff_s);
    std::snprintf(buf, sizeof buf, "%u,%s,%s,%s,%s,%d,%s,%g,", r.run, r.success ? "SUCC" : "FAIL",
                  ttff, precise, RestartTypeName(r.restart_type), r.xtra ? 1 : 0,
                  r.start_time.c_str(), time_scale_);
    std::string row = std::string(buf) + CsvField(r.reason);
    if (!fix_rules::IsDefault(fix_rule_))
      row += "," + r.fix_sentence;
    if (reference_)
      row += PositionColumns(r, reference_->automatic ? std::nullopt : ReferencePosition());
    if (ChecksResets())
      row += "," + CsvField(r.reset_suspect);
    row += TimelineColumns(r.timeline);
    // The listener (a results store) first: what the CSV holds, it has.
    if (row_listener_)
      row_listener_(records_.back(), csv_header_, row);
    if (csv_)
      WriteLog(csv_, row + "\n");
  }
  failures_ = 0;
  for (const auto& rec : records_)
    failures_ += rec.success ? 0 : 1;
  WriteSummary(failures_, false);
}

bool TestReport::ChecksResets() const {
  return restart_type_ == RESTART_COLD || restart_type_ == RESTART_WARM;
}

void TestReport::AddCapture(const std::vector<GeoPosition>& positions) {
  captured_.insert(captured_.end(), positions.begin(), positions.end());
  if (!records_.empty() && records_.back().fix_position && !records_.back().fix_position->alt_m) {
    for (const GeoPosition& p : positions) {
      if (p.alt_m) {
        records_.back().fix_position->alt_m = p.alt_m;
        break;
      }
    }
  }
  WriteSummary(failures_, false);
}

std::optional<GeoPosition> TestReport::ReferencePosition() const {
  if (!reference_)
    return std::nullopt;
  return reference_->automatic ? MedianPosition(captured_) : reference_->position;
}

namespace {

std::string Format(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string TestReport::PositionColumns(const RunRecord& r,
                                        const std::optional<GeoPosition>& reference) {
  if (!r.fix_position)
    return ",,,,,";
  const GeoPosition& p = *r.fix_position;
  std::string row = "," + Format("%.7f", p.lat_deg) + "," + Format("%.7f", p.lon_deg) + "," +
                    (p.alt_m ? Format("%.1f", *p.alt_m) : "");
  if (!reference)
    return row + ",,";
  const PositionError e = ErrorBetween(p, *reference);
  return row + "," + Format("%.2f", e.horizontal_m) + "," +
         (e.error_3d_m ? Format("%.2f", *e.error_3d_m) : "");
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
  // A run interrupted by Stop counts as a failure without a record.
  const double attempted = static_cast<double>(ttff.size()) + failures;
  j["success_rate"] = attempted > 0 ? static_cast<double>(ttff.size()) / attempted : 0.0;
  j["finished"] = finished;
  std::size_t port_lost = 0;
  for (const auto& r : records_)
    port_lost += r.reason == "port lost" ? 1 : 0;
  j["port_lost"] = port_lost;
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
  j["ttff_s"] = SeriesJson(ComputeSeries(ttff));
  j["ttff_precise_s"] = SeriesJson(ComputeSeries(precise));
  const stats::TtffStatistics statistics = Statistics();
  j["statistics"] = stats::StatisticsJson(statistics);
  if (const SeriesStatistics plain = ComputeSeries(ttff); plain.count > 0)
    j["statistics"]["ttff_plain_s"] = {
        {"p50", plain.median}, {"p67", plain.p67}, {"p95", plain.p95}};
  if (statistics.verdict)
    j["verdict"] = stats::VerdictJson(statistics);
  std::vector<timeline::TimelineRecord> timelines;
  for (const auto& rec : records_)
    timelines.push_back(rec.timeline);
  j["timeline"] = TimelineSummaryJson(timelines);
  if (conditions_)
    j["conditions"] = ConditionsJson(*conditions_);
  // Only when a log lost a write, so that a test without trouble writes the
  // same bytes as ever.
  const auto incomplete = platform::IncompleteOpenFiles();
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
