#include "nmea/sky_epoch.h"

#include <algorithm>

#include "nmea/signal_ids.h"

namespace {

bool Holds(const std::vector<int>& list, int prn) {
  return std::find(list.begin(), list.end(), prn) != list.end();
}

// The PRNs a satellite may go by in a GSA: its own, and the extended
// numbering of its constellation.
bool InList(const std::vector<int>& list, int system, int prn) {
  if (Holds(list, prn))
    return true;
  if (system == kGnssBeidou && prn > 0 && prn < 100)
    return Holds(list, prn + 200) || Holds(list, prn + 400);
  if (system == kGnssGalileo && prn > 0 && prn < 100)
    return Holds(list, prn + 300);
  return false;
}

SkySatellite& SatelliteFor(std::vector<SkySatellite>& satellites, int system, int prn) {
  for (SkySatellite& s : satellites) {
    if (s.system == system && s.prn == prn)
      return s;
  }
  SkySatellite& s = satellites.emplace_back();
  s.system = system;
  s.prn = prn;
  return s;
}

void AddPerSignalBars(const std::vector<SkySatellite>& satellites,
                      std::vector<SatelliteBar>& bars) {
  bars.clear();
  for (const SkySatellite& s : satellites) {
    for (int i = 0; i < s.level_count; ++i) {
      const SignalLevel& level = s.levels[static_cast<std::size_t>(i)];
      if (level.snr > 0)
        bars.push_back({s.used ? 1 : 0, s.system, level.snr, s.prn, level.signal});
    }
  }
}

}  // namespace

void SkySatellite::SetSignal(int signal, int snr) {
  auto* end = levels.begin() + level_count;
  if (auto* same = std::find_if(levels.begin(), end,
                                [signal](const SignalLevel& l) { return l.signal == signal; });
      same != end) {
    same->snr = snr;
    return;
  }
  const int rank = SignalRank(system, signal);
  auto* at = std::find_if(levels.begin(), end, [this, rank](const SignalLevel& l) {
    return SignalRank(system, l.signal) > rank;
  });
  if (level_count == kMaxSignals)
    return;
  std::move_backward(at, end, end + 1);
  *at = {signal, snr};
  ++level_count;
}

int SkySatellite::BestSnr() const {
  int best = 0;
  for (int i = 0; i < level_count; ++i)
    best = std::max(best, levels[static_cast<std::size_t>(i)].snr);
  return best;
}

bool SkySatellite::operator==(const SkySatellite& other) const {
  return system == other.system && prn == other.prn && elevation == other.elevation &&
         azimuth == other.azimuth && used == other.used && level_count == other.level_count &&
         std::equal(levels.begin(), levels.begin() + level_count, other.levels.begin());
}

int ConstellationRank(int system) {
  static constexpr int kOrder[] = {kGnssGps,    kGnssSbas, kGnssGlonass, kGnssGalileo,
                                   kGnssBeidou, kGnssQzss, kGnssNavic};
  const auto* it = std::find(std::begin(kOrder), std::end(kOrder), system);
  return it != std::end(kOrder) ? static_cast<int>(it - std::begin(kOrder))
                                : static_cast<int>(std::size(kOrder)) + std::max(system, 0);
}

bool IsUsed(const SatelliteCollections& sats, int system, int prn) {
  const int list_system = system == kGnssSbas ? kGnssGps : system;
  if (const std::vector<int>* list = sats.UsedList(list_system); list && InList(*list, system, prn))
    return true;
  const int id = SystemIdOfSystem(system);
  return id > 0 && id < static_cast<int>(sats.used_by_system_id.size()) &&
         InList(sats.used_by_system_id[static_cast<std::size_t>(id)], system, prn);
}

void BuildSkyEpoch(const SatelliteCollections& sats, SkyEpoch& epoch) {
  epoch.satellites.clear();
  epoch.per_signal = false;
  for (const SatelliteInfo& r : sats.m_vec_satellites) {
    const int system = r.system == kGnssGps && IsSbasPrn(r.prn) ? kGnssSbas : r.system;
    SkySatellite& s = SatelliteFor(epoch.satellites, system, r.prn);
    if (r.elevation >= 0)
      s.elevation = r.elevation;
    if (r.azimuth >= 0)
      s.azimuth = r.azimuth;
    s.SetSignal(r.signal, r.snr);
    epoch.per_signal = epoch.per_signal || r.signal != kNoSignal;
  }
  for (SkySatellite& s : epoch.satellites)
    s.used = IsUsed(sats, s.system, s.prn);
  std::stable_sort(epoch.satellites.begin(), epoch.satellites.end(),
                   [](const SkySatellite& a, const SkySatellite& b) {
                     const int ra = ConstellationRank(a.system), rb = ConstellationRank(b.system);
                     return ra != rb ? ra < rb : a.prn < b.prn;
                   });
  if (epoch.per_signal) {
    AddPerSignalBars(epoch.satellites, epoch.bars);
  } else {
    BuildSatelliteBars(epoch.bars, sats.m_vec_gps_used, sats.m_vec_glonass_used,
                       sats.m_vec_galileo_used, sats.m_vec_beidou_used, sats.m_vec_qzss_used,
                       sats.m_vec_satellites);
  }
}
