#include "timeline/timeline_record.h"

namespace timeline {

const char* TimelinePhaseKey(TimelinePhase phase) {
  switch (phase) {
    case TimelinePhase::kFirstNmea:
      return "first_nmea";
    case TimelinePhase::kFirstSnr:
      return "first_snr";
    case TimelinePhase::kFirst2d:
      return "first_2d";
    case TimelinePhase::kFirst3d:
      return "first_3d";
    case TimelinePhase::kFix:
      return "fix";
  }
  return "?";
}

std::optional<std::int64_t> TimelineRecord::Moment(TimelinePhase phase) const {
  switch (phase) {
    case TimelinePhase::kFirstNmea:
      return first_nmea_ms;
    case TimelinePhase::kFirstSnr:
      return first_snr_ms;
    case TimelinePhase::kFirst2d:
      return first_2d_ms;
    case TimelinePhase::kFirst3d:
      return first_3d_ms;
    case TimelinePhase::kFix:
      return fix_ms;
  }
  return std::nullopt;
}

}  // namespace timeline
