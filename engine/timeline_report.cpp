#include "engine/timeline_report.h"

#include <cstdio>

#include "engine/ttff_report.h"
#include "fix_rules/registry.h"

namespace {

using timeline::TimelinePhase;

constexpr TimelinePhase kPhases[] = {TimelinePhase::kFirstNmea, TimelinePhase::kFirstSnr,
                                     TimelinePhase::kFirst2d, TimelinePhase::kFirst3d,
                                     TimelinePhase::kFix};

}  // namespace

std::string SignalRow(unsigned run, std::int64_t ms, const timeline::SkySample& sky) {
  std::string row = std::to_string(run) + "," + std::to_string(ms) + "," +
                    std::to_string(sky.tracked) + "," + std::to_string(sky.used);
  for (int i = 0; i < 4; ++i) {
    row += ",";
    if (i < sky.snr_count)
      row += std::to_string(sky.snr[static_cast<std::size_t>(i)]);
  }
  return row;
}

nlohmann::json TimelineSummaryJson(const std::vector<timeline::TimelineRecord>& runs) {
  nlohmann::json j = nlohmann::json::object();
  auto add = [&](const std::string& key, auto moment) {
    std::vector<double> values;
    for (const timeline::TimelineRecord& t : runs) {
      if (const std::optional<std::int64_t> ms = moment(t))
        values.push_back(static_cast<double>(*ms));
    }
    const SeriesStatistics s = ComputeSeries(values);
    j[key] = {{"count", s.count},
              {"median_ms", s.count ? nlohmann::json(s.median) : nlohmann::json(nullptr)},
              {"p95_ms", s.count ? nlohmann::json(s.p95) : nlohmann::json(nullptr)}};
  };
  for (TimelinePhase phase : kPhases)
    add(timeline::TimelinePhaseKey(phase),
        [phase](const timeline::TimelineRecord& t) { return t.Moment(phase); });
  const auto& names = fix_rules::KnownNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    add("fix_" + names[i], [i](const timeline::TimelineRecord& t) {
      return i < t.rule_fix_ms.size() ? t.rule_fix_ms[i] : std::nullopt;
    });
  }
  return j;
}
