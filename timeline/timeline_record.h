// The timeline of one run: the moments after the start's "OK" at which the
// receiver reached each phase, and what it reported at the fix.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "geo/geo_position.h"
#include "nmea/sky_epoch.h"

namespace timeline {

// The phases a run reaches, in the order a receiver usually shows them.
enum class TimelinePhase { kFirstNmea, kFirstSnr, kFirst2d, kFirst3d, kFix };

// "first_nmea", "first_snr", "first_2d", "first_3d", "fix".
const char* TimelinePhaseKey(TimelinePhase phase);

struct TimelineRecord {
  // Milliseconds from the arrival of the start's "OK" (negative for NMEA
  // that arrived before it); none when the moment was not reached or the
  // stamps are unknown.
  std::optional<std::int64_t> first_nmea_ms;  // the first NMEA bytes after the "OK"
  std::optional<std::int64_t> first_snr_ms;   // the first GSV with a satellite at S/N > 0
  std::optional<std::int64_t> first_2d_ms;    // the first GSA with fix type 2
  std::optional<std::int64_t> first_3d_ms;    // the first GSA with fix type 3
  std::optional<std::int64_t> fix_ms;         // the fix by the test's rule
  // The first line each known rule takes as a fix, in the order of
  // fix_rules::KnownNames().
  std::vector<std::optional<std::int64_t>> rule_fix_ms;
  // At the test rule's fix, from the sentences of the fix epoch.
  std::optional<int> used_at_fix;
  std::vector<int> snr_at_fix;  // the four strongest S/N (dB-Hz), strongest first
  std::optional<GeoPosition> position_at_fix;
  // The satellites in view in the fix epoch: where they stood, their use and
  // their S/N per signal.
  std::vector<SkySatellite> sky_at_fix;

  std::optional<std::int64_t> Moment(TimelinePhase phase) const;
};

}  // namespace timeline
