// Beside the three logs of a test: a CSV file with one row per recorded run
// and a JSON summary with the series' statistics, both named with the
// test's stem ("hh-mm-ss_runs.csv", "hh-mm-ss_summary.json").
//
// A run is filed the moment its result is known (Add): its store row (the
// listener), its CSV row and the summary's counts. What the capture after a
// fix adds (the 3D moment, the other rules' fixes, an altitude, positions
// for an "auto" reference) amends it (Amend). The CSV and the summary are
// each rewritten whole and renamed over the old copy, so that a kill at any
// moment leaves every filed run in them once and no row half-written.
#pragma once

#include <cstdio>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/plan_label.h"
#include "engine/run_columns.h"
#include "engine/run_record.h"
#include "engine/sky_file.h"
#include "geo/position_error.h"
#include "stats/ttff_statistics.h"
#include "timeline/signal_sampler.h"

// The conditions of a test, in the summary's "conditions" (always).
struct TestConditions {
  std::string restart_type;  // "hot", "cold", "warm", "plain" (see RESTART_PLAIN) or "power-cycle"
  bool xtra = false;
  double timeout_s = 0;
  unsigned runs_planned = 0;
  std::string fix_rule, profile;
  double time_scale = 1;
  std::string tool_version, host, started;  // started: "yyyy-mm-dd hh:mm:ss"
  std::optional<PlanLabel> plan;            // the summary's "plan", when the test follows one
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
  // Names "<base>_runs.csv" and the summary and writes the CSV's header;
  // base is the log path stem (day folder + "/" + hh-mm-ss). False when the
  // CSV cannot be written.
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

  // Files a run whose result is known: the listener, the CSV and the summary.
  void Add(RunRecord record);
  // Files the last run again with what its capture added, and the
  // positions the receiver reported after its fix (for an "auto"
  // reference; the first altitude is the fix's when its line had none),
  // and writes the run's sky at its fix to "<stem>_sky.csv".
  void Amend(RunRecord record, const std::vector<GeoPosition>& positions);
  // One epoch of run n's sky, ms after its start's "OK": a row of
  // "<stem>_signal.csv" (flushed).
  void AddSignal(unsigned run, std::int64_t ms, const timeline::SkySample& sky);
  // The reference the errors are counted from: the given one, or the
  // median of every capture so far; none before there is one.
  std::optional<GeoPosition> ReferencePosition() const;
  // Rewrites the JSON summary (also done by Add and Amend); failures = runs
  // whose fix wait ended without a fix, including one interrupted by a
  // stop. The old summary stays when the new one cannot be written whole
  // (false).
  bool WriteSummary(int failures, bool finished);

  const std::vector<RunRecord>& Records() const { return records_; }
  const std::vector<std::pair<std::string, std::string>>& Identity() const { return identity_; }
  const std::string& CsvPath() const { return csv_path_; }
  const std::string& SummaryPath() const { return summary_path_; }
  const std::string& SignalPath() const { return signal_path_; }
  const std::string& SkyPath() const { return sky_.Path(); }
  const CsvLayout& Layout() const { return layout_; }
  // Told of every filed run (amended: its second filing) with its fields
  // by column name, before its CSV row is written, CSV file or not.
  using RunListener = std::function<void(const RunRecord&, const RunFields& fields, bool amended)>;
  void SetRunListener(RunListener listener) { run_listener_ = std::move(listener); }
  // With "incomplete_files" when an open log lost a write or the CSV could
  // not be rewritten.
  std::string SummaryJson(int failures, bool finished) const;

 private:
  bool ChecksResets() const;
  // The record as filed: the test's time scale, the errors from a given
  // reference.
  void Complete(RunRecord& record) const;
  void File(bool amended);
  // Writes the CSV whole; false when the new copy could not be written.
  bool WriteCsv();
  int Failures() const;
  // The summary's "reference" and "position_error_m" (with a reference).
  nlohmann::json ReferenceJson() const;
  nlohmann::json PositionErrorJson() const;

  std::FILE* signal_ = nullptr;
  SkyFile sky_;  // "<stem>_sky.csv"
  std::string csv_path_, summary_path_, signal_path_;
  CsvLayout layout_;
  std::string csv_text_;                 // the header and every filed run's row
  std::vector<std::size_t> row_starts_;  // where each run's row begins in csv_text_
  bool csv_incomplete_ = false;          // the last rewrite of the CSV failed
  RunListener run_listener_;
  std::vector<RunRecord> records_;
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
