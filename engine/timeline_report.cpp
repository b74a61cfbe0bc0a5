#include "engine/timeline_report.h"

#include <cstdio>

#include "engine/ttff_report.h"
#include "fix_rules/registry.h"
#include "nmea/signal_ids.h"

namespace {

using timeline::TimelinePhase;

constexpr TimelinePhase kPhases[] = {TimelinePhase::kFirstNmea, TimelinePhase::kFirstSnr,
                                     TimelinePhase::kFirst2d, TimelinePhase::kFirst3d,
                                     TimelinePhase::kFix};

std::string SignalRow(const std::string& lead, int tracked, int used, const std::array<int, 4>& snr,
                      int snr_count, const std::string& signal) {
  std::string row = lead + std::to_string(tracked) + "," + std::to_string(used);
  for (int i = 0; i < 4; ++i) {
    row += ",";
    if (i < snr_count)
      row += std::to_string(snr[static_cast<std::size_t>(i)]);
  }
  return row + "," + signal + "\n";
}

}  // namespace

std::string SignalRows(unsigned run, std::int64_t ms, const timeline::SkySample& sky) {
  const std::string lead = std::to_string(run) + "," + std::to_string(ms) + ",";
  std::string rows = SignalRow(lead, sky.tracked, sky.used, sky.snr, sky.snr_count, kAllSignals);
  for (int i = 0; i < sky.per_signal_count; ++i) {
    const timeline::SignalSample& s = sky.per_signal[static_cast<std::size_t>(i)];
    rows += SignalRow(lead, s.tracked, s.used, s.top.snr, s.top.snr_count,
                      SignalLabel(s.system, s.signal));
  }
  return rows;
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
