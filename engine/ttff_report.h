// Beside the three logs of a test: a CSV file with one row per recorded run
// and a JSON summary with the series' statistics, both named with the
// test's stem ("hh-mm-ss_runs.csv", "hh-mm-ss_summary.json").
#pragma once

#include <cstdio>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/sky_file.h"
#include "geo/position_error.h"
#include "stats/ttff_statistics.h"
#include "timeline/signal_sampler.h"
#include "timeline/timeline_record.h"

struct RunRecord {
  unsigned run = 0;
  bool success = false;
  double ttff_s = 0.0;         // as the result log has it (100-ms polls)
  double ttff_precise_s = -1;  // from the arrival stamps; < 0 when unknown
  int restart_type = 0;
  bool xtra = false;
  std::string start_time;  // local time of the GNSS start, "yyyy-mm-dd hh:mm:ss"
  // Why a run without a fix failed ("time-out", "port lost"); empty for a fix.
  std::string reason;
  // The address of the sentence that made the fix ("GNRMC"); empty without one.
  std::string fix_sentence;
  // The position the fix reported (none: a fix line without one, or no fix);
  // an altitude only when the fix line gave one.
  std::optional<GeoPosition> fix_position;
  // Why the reset looks as if it did not take; empty when it took.
  std::string reset_suspect;
  // The moments of the run after its start's "OK" (the last CSV columns).
  timeline::TimelineRecord timeline;
};

// The conditions of a test, in the summary's "conditions" (always).
struct TestConditions {
  std::string restart_type;  // "hot", "cold" or "warm"
  bool xtra = false;
  double timeout_s = 0;
  unsigned runs_planned = 0;
  std::string fix_rule, profile;
  double time_scale = 1;
  std::string tool_version, host, started;  // started: "yyyy-mm-dd hh:mm:ss"
};

struct SeriesStatistics {
  std::size_t count = 0;
  double mean = 0, median = 0, p67 = 0, p95 = 0, min = 0, max = 0, stddev = 0;
};

// Statistics of a list of values (percentiles by linear interpolation
// between closest ranks; population standard deviation). Empty: count 0.
SeriesStatistics ComputeSeries(std::vector<double> values);

class TestReport {
 public:
  // Opens "<base>_runs.csv" and writes its header; base is the log path
  // stem (day folder + "/" + hh-mm-ss). Returns false when it cannot.
  bool Open(const std::string& base);
  void Close();
  // The clock's time scale of the test (1 at real speed; more only against
  // the simulator): written in every CSV row and in the summary.
  void SetTimeScale(double scale) { time_scale_ = scale; }
  // The test's fix rule, set before Open. With any rule but the default the
  // CSV has a last column "fix_sentence" and the summary a "fix_rule", so
  // that a test with the default rule writes the same bytes as ever.
  void SetFixRule(const std::string& name) { fix_rule_ = name; }
  // The module profile of the test and the replies to its identity
  // commands: in the summary as "profile" (unless the default) and
  // "module" (when there are any).
  void SetModule(std::vector<std::pair<std::string, std::string>> identity, std::string profile) {
    identity_ = std::move(identity);
    profile_ = std::move(profile);
  }
  // The reference position of the test, set before Open: the CSV then ends
  // with "fix_lat,fix_lon,fix_alt_m,error_m,error_3d_m" (the errors left
  // empty with "auto", known only at the end) and the summary has
  // "reference" and "position_error_m".
  void SetReference(std::optional<ReferenceChoice> reference) { reference_ = reference; }
  // The restart type of the test, set before Open: a cold or warm test's
  // CSV ends with "reset_suspect" (the reason, or empty) and its summary
  // counts them in "reset_suspects"; a hot test's files stay as they were.
  void SetRestartType(int restart_type) { restart_type_ = restart_type; }
  // The time-out, the confidence and the verdict's limits of the summary's
  // "statistics" and "verdict" (the latter only with limits).
  void SetStatisticsOptions(const stats::StatisticsOptions& options) { stats_options_ = options; }
  stats::TtffStatistics Statistics() const;
  void SetConditions(TestConditions conditions) { conditions_ = std::move(conditions); }
  // Appends the run's CSV row (flushed) and rewrites the summary.
  void Add(const RunRecord& record);
  // One epoch of run n's sky, ms after its start's "OK": a row of
  // "<stem>_signal.csv" (flushed).
  void AddSignal(unsigned run, std::int64_t ms, const timeline::SkySample& sky);
  // What the receiver reported after the fix of the last run added: its
  // positions (for an "auto" reference) and the first altitude, which the
  // fix takes when its line had none. Rewrites the summary.
  void AddCapture(const std::vector<GeoPosition>& positions);
  // The reference the errors are counted from: the given one, or the
  // median of every capture so far; none before there is one.
  std::optional<GeoPosition> ReferencePosition() const;
  // Rewrites the JSON summary (also done by Add); failures = runs whose fix
  // wait ended without a fix, including one interrupted by a stop. The old
  // summary stays when the new one cannot be written whole (false).
  bool WriteSummary(int failures, bool finished);

  const std::vector<RunRecord>& Records() const { return records_; }
  const std::vector<std::pair<std::string, std::string>>& Identity() const { return identity_; }
  const std::string& CsvPath() const { return csv_path_; }
  const std::string& SummaryPath() const { return summary_path_; }
  const std::string& SignalPath() const { return signal_path_; }
  const std::string& SkyPath() const { return sky_.Path(); }
  // Called by Add with the record, the CSV's header and the run's row
  // (without newlines) just before the row is written, CSV file or not.
  using RowListener =
      std::function<void(const RunRecord&, const std::string& header, const std::string& row)>;
  void SetRowListener(RowListener listener) { row_listener_ = std::move(listener); }
  // With "incomplete_files" when an open log lost a write.
  std::string SummaryJson(int failures, bool finished) const;

 private:
  bool ChecksResets() const;
  // The summary's "reference" and "position_error_m" (with a reference).
  nlohmann::json ReferenceJson() const;
  nlohmann::json PositionErrorJson() const;
  // ",fix_lat,fix_lon,fix_alt_m,error_m,error_3d_m" of a run.
  static std::string PositionColumns(const RunRecord& r,
                                     const std::optional<GeoPosition>& reference);

  std::FILE* csv_ = nullptr;
  std::FILE* signal_ = nullptr;
  SkyFile sky_;  // "<stem>_sky.csv"
  std::string csv_path_, summary_path_, signal_path_;
  std::string csv_header_;
  RowListener row_listener_;
  std::vector<RunRecord> records_;
  int failures_ = 0;
  double time_scale_ = 1.0;
  std::string fix_rule_;
  std::vector<std::pair<std::string, std::string>> identity_;
  std::string profile_ = "default";
  std::optional<ReferenceChoice> reference_;
  int restart_type_ = 0;
  std::vector<GeoPosition> captured_;  // every run's positions after its fix
  stats::StatisticsOptions stats_options_;
  std::optional<TestConditions> conditions_;
};
