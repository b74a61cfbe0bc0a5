// The timeline of a run, drawn from the NMEA lines of its fix wait and of
// the capture after the fix, each with its arrival stamp (the receive
// path's monotonic microseconds). GUI-free and cheap per line: a line is
// looked at without copying, and a fix rule only until it has fired (and
// only for lines holding the text its sentences must hold).
//
//   RunTimeline t("gprmc");
//   t.Begin(ok_stamp_us);                  // the arrival stamp of the start's "OK"
//   t.Feed(line, stamp_us); ...            // every line, in order
//   t.Finish();  t.Record().fix_ms ...
//
// Epochs: a receiver epoch begins at each RMC line of any talker (the
// module's receivers lead their epochs with it); the sky at the fix is that
// of the fix line's epoch, so the GSA and GSV after the fix line count.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fix_rules/fix_rule.h"
#include "timeline/signal_sampler.h"
#include "timeline/timeline_record.h"

namespace timeline {

class RunTimeline {
 public:
  // Evaluates every known fix rule; test_rule names the test's (empty or
  // unknown: the default).
  explicit RunTimeline(const std::string& test_rule = {});
  ~RunTimeline();

  // Told when a phase is first reached (ms from the "OK").
  void SetPhaseListener(std::function<void(TimelinePhase, std::int64_t)> listener) {
    phase_listener_ = std::move(listener);
  }
  // Told at the end of every epoch (ms of its first line) up to the first
  // kSignalLimitMs of the run.
  void SetSampleListener(std::function<void(std::int64_t, const SkySample&)> listener) {
    sample_listener_ = std::move(listener);
  }
  static constexpr std::int64_t kSignalLimitMs = 300000;

  // A new run whose start's "OK" arrived at ok_stamp_us (0: unknown, so
  // nothing is recorded).
  void Begin(std::int64_t ok_stamp_us);
  // The arrival of the first NMEA bytes after the "OK"; without it the
  // first line's stamp stands for it.
  void SetFirstNmeaStamp(std::int64_t stamp_us);
  void Feed(const std::string& line, std::int64_t stamp_us);
  // The end of the run's NMEA: closes the epoch in progress.
  void Finish();
  const TimelineRecord& Record() const { return record_; }

 private:
  std::optional<std::int64_t> Ms(std::int64_t stamp_us) const;
  void Reach(TimelinePhase phase, std::optional<std::int64_t>& slot, std::int64_t ms);
  void CloseEpoch();
  void NotePosition(const std::string& line);

  std::vector<std::unique_ptr<FixRule>> rules_;  // fix_rules::KnownNames() order
  std::vector<std::string_view> must_contain_;   // FixRule::MustContain(); empty: none
  std::size_t test_rule_ = 0;
  std::function<void(TimelinePhase, std::int64_t)> phase_listener_;
  std::function<void(std::int64_t, const SkySample&)> sample_listener_;

  std::int64_t ok_us_ = 0;
  bool first_nmea_given_ = false;
  TimelineRecord record_;
  SignalSampler sampler_;
  std::size_t rules_left_ = 0;
  bool epoch_open_ = false;
  std::int64_t epoch_ms_ = 0;
  bool fix_epoch_ = false;  // the epoch in progress holds the test rule's fix
  // Before the fix: the position sentences of the epoch in progress (the
  // position of a fix line that has none, such as a GSA, comes from them).
  std::vector<std::string> epoch_positions_;
};

}  // namespace timeline
