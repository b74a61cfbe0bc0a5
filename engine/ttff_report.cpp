#include "engine/ttff_report.h"

#include "engine/run_logs.h"
#include "engine/timeline_report.h"
#include "fix_rules/registry.h"
#include "platform/file_writes.h"
#include "profiles/module_commands.h"

bool TestReport::Open(const std::string& base) {
  Close();
  records_.clear();
  captured_.clear();
  csv_path_ = base + "_runs.csv";
  summary_path_ = base + "_summary.json";
  layout_ = {!fix_rules::IsDefault(fix_rule_), reference_.has_value(), ChecksResets()};
  csv_text_ = RunsCsvHeader(layout_) + "\n";
  row_starts_.clear();
  const bool csv_written = WriteCsv();
  signal_path_ = base + "_signal.csv";
  signal_ = std::fopen(signal_path_.c_str(), "w");
  if (signal_) {
    platform::TrackFile(signal_, signal_path_);
    WriteLog(signal_, std::string(kSignalHeader) + "\n");
  } else {
    signal_path_.clear();
  }
  sky_.Open(base);
  return csv_written;
}

void TestReport::Close() {
  platform::CloseTrackedFile(signal_);
  signal_ = nullptr;
  sky_.Close();
}

void TestReport::AddSignal(unsigned run, std::int64_t ms, const timeline::SkySample& sky) {
  if (signal_)
    WriteLog(signal_, SignalRows(run, ms, sky));
}

bool TestReport::ChecksResets() const {
  return restart_type_ == RESTART_COLD || restart_type_ == RESTART_WARM;
}

void TestReport::Complete(RunRecord& r) const {
  r.time_scale = time_scale_;
  r.error_m.reset();
  r.error_3d_m.reset();
  if (reference_ && !reference_->automatic && r.fix_position) {
    const PositionError e = ErrorBetween(*r.fix_position, reference_->position);
    r.error_m = e.horizontal_m;
    r.error_3d_m = e.error_3d_m;
  }
}

void TestReport::Add(RunRecord record) {
  Complete(record);
  records_.push_back(std::move(record));
  row_starts_.push_back(csv_text_.size());
  File(false);
}

void TestReport::Amend(RunRecord record, const std::vector<GeoPosition>& positions) {
  if (records_.empty())
    return;
  captured_.insert(captured_.end(), positions.begin(), positions.end());
  if (record.fix_position && !record.fix_position->alt_m) {
    for (const GeoPosition& p : positions) {
      if (p.alt_m) {
        record.fix_position->alt_m = p.alt_m;
        break;
      }
    }
  }
  Complete(record);
  // The sky at the fix is that of the fix's epoch, whole once the capture
  // has read on past it.
  sky_.Add(record.run, record.timeline);
  records_.back() = std::move(record);
  csv_text_.resize(row_starts_.back());
  File(true);
}

void TestReport::File(bool amended) {
  const RunRecord& r = records_.back();
  const RunFields fields = FieldsOf(r, layout_);
  // The listener (a results store) first: what the CSV holds, it has.
  if (run_listener_)
    run_listener_(r, fields, amended);
  csv_text_ += CsvLine(fields) + "\n";
  WriteCsv();
  WriteSummary(Failures(), false);
}

bool TestReport::WriteCsv() {
  csv_incomplete_ = platform::ReplaceFile(csv_path_, csv_text_) != 0;
  return !csv_incomplete_;
}

int TestReport::Failures() const {
  int failures = 0;
  for (const auto& rec : records_)
    failures += rec.success ? 0 : 1;
  return failures;
}

std::optional<GeoPosition> TestReport::ReferencePosition() const {
  if (!reference_)
    return std::nullopt;
  return reference_->automatic ? MedianPosition(captured_) : reference_->position;
}
