#include "timeline/run_timeline.h"

#include <cmath>
#include <cstring>

#include "fix_rules/registry.h"

namespace timeline {

RunTimeline::RunTimeline(const std::string& test_rule) {
  const std::string wanted = fix_rules::IsKnown(test_rule) ? test_rule : fix_rules::kDefaultRule;
  for (const std::string& name : fix_rules::KnownNames()) {
    if (name == wanted)
      test_rule_ = rules_.size();
    rules_.push_back(fix_rules::Make(name));
    const char* must = rules_.back()->MustContain();
    must_contain_.push_back(must ? must : "");
  }
  Begin(0);
}

RunTimeline::~RunTimeline() = default;

void RunTimeline::Begin(std::int64_t ok_stamp_us) {
  ok_us_ = ok_stamp_us;
  first_nmea_given_ = false;
  record_ = TimelineRecord{};
  record_.rule_fix_ms.assign(rules_.size(), std::nullopt);
  sampler_.Reset();
  rules_left_ = rules_.size();
  epoch_open_ = false;
  epoch_ms_ = 0;
  fix_epoch_ = false;
  epoch_positions_.clear();
}

std::optional<std::int64_t> RunTimeline::Ms(std::int64_t stamp_us) const {
  if (ok_us_ <= 0 || stamp_us <= 0)
    return std::nullopt;
  return std::llround(static_cast<double>(stamp_us - ok_us_) / 1000.0);
}

void RunTimeline::Reach(TimelinePhase phase, std::optional<std::int64_t>& slot, std::int64_t ms) {
  if (slot)
    return;
  slot = ms;
  if (phase_listener_)
    phase_listener_(phase, ms);
}

void RunTimeline::SetFirstNmeaStamp(std::int64_t stamp_us) {
  if (const auto ms = Ms(stamp_us)) {
    first_nmea_given_ = true;
    Reach(TimelinePhase::kFirstNmea, record_.first_nmea_ms, *ms);
  }
}

void RunTimeline::Feed(const std::string& line, std::int64_t stamp_us) {
  const std::optional<std::int64_t> ms = Ms(stamp_us);
  if (!ms)
    return;
  if (!first_nmea_given_)
    Reach(TimelinePhase::kFirstNmea, record_.first_nmea_ms, *ms);
  const SentenceCursor sentence(line);
  const LineFacts facts = sampler_.Feed(sentence);
  if (facts.rmc) {
    CloseEpoch();  // the line's satellites (none: an RMC) belong to the new epoch
  }
  if (!epoch_open_) {
    epoch_open_ = true;
    epoch_ms_ = *ms;
  }
  if (facts.tracked)
    Reach(TimelinePhase::kFirstSnr, record_.first_snr_ms, *ms);
  if (facts.gsa_mode == 2)
    Reach(TimelinePhase::kFirst2d, record_.first_2d_ms, *ms);
  else if (facts.gsa_mode == 3)
    Reach(TimelinePhase::kFirst3d, record_.first_3d_ms, *ms);

  const std::string_view type = sentence.Type();
  const bool position_line = type == "RMC" || type == "GGA" || type == "GNS";
  if (position_line && (!record_.fix_ms || fix_epoch_))
    NotePosition(line);
  for (std::size_t i = 0; rules_left_ > 0 && i < rules_.size(); ++i) {
    if (record_.rule_fix_ms[i])
      continue;
    const std::string_view must = must_contain_[i];
    if (!must.empty() && std::string_view(line).find(must) == std::string_view::npos)
      continue;
    if (!rules_[i]->IsFix(line, stamp_us))
      continue;
    record_.rule_fix_ms[i] = *ms;
    --rules_left_;
    if (i != test_rule_)
      continue;
    Reach(TimelinePhase::kFix, record_.fix_ms, *ms);
    fix_epoch_ = true;
    // The fix line's own position first; else the epoch's before it.
    std::optional<GeoPosition> p = PositionOfSentence(line);
    for (auto it = epoch_positions_.rbegin(); !p && it != epoch_positions_.rend(); ++it)
      p = PositionOfSentence(*it);
    for (const std::string& other : epoch_positions_) {
      if (p && !p->alt_m)
        if (const auto q = PositionOfSentence(other); q && q->alt_m)
          p->alt_m = q->alt_m;
    }
    record_.position_at_fix = p;
  }
}

void RunTimeline::NotePosition(const std::string& line) {
  if (!fix_epoch_) {
    epoch_positions_.push_back(line);
    return;
  }
  // In the fix epoch after the fix line: what the fix line lacked.
  std::optional<GeoPosition>& p = record_.position_at_fix;
  if (p && p->alt_m)
    return;
  const std::optional<GeoPosition> q = PositionOfSentence(line);
  if (!q)
    return;
  if (!p)
    p = q;
  else if (q->alt_m)
    p->alt_m = q->alt_m;
}

void RunTimeline::CloseEpoch() {
  if (!epoch_open_)
    return;
  const SkySample sky = sampler_.Current();
  if (sample_listener_ && epoch_ms_ <= kSignalLimitMs)
    sample_listener_(epoch_ms_, sky);
  if (fix_epoch_) {
    fix_epoch_ = false;
    record_.used_at_fix = sky.used;
    record_.snr_at_fix.assign(sky.snr.begin(), sky.snr.begin() + sky.snr_count);
    sampler_.Satellites(record_.sky_at_fix);
  }
  sampler_.StartEpoch(sky);
  epoch_open_ = false;
  epoch_positions_.clear();
}

void RunTimeline::Finish() {
  CloseEpoch();
}

}  // namespace timeline
