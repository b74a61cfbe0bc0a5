// $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,0.02,31.66,230394,,,A*6A
//   fields: 1 UTC time, 2 status A/V, 3 lat ddmm.mmmm, 4 N/S, 5 lon dddmm.mmmm,
//           6 E/W, 7 speed kn, 8 course, 9 date ddmmyy, 10 mag. var., ...
// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
//   fields: 1 mode M/A, 2 fix type 1/2/3, 3..14 satellite IDs, 15 PDOP, ...
// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48
//   fields: 1 course true, 2 T, 3 course magnetic, 4 M, 5 speed kn, 6 N,
//           7 speed km/h, 8 K
// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//   fields: 1 UTC time, 2-5 position, 6 quality, 7 satellites, 8 HDOP,
//           9 altitude, 10 M, ...
// Only the GP talker counts for RMC and GSA (in the any-talker mode, every
// talker of kAnyTalkers); VTG and GGA come from any talker.
#include "nmea/position_record.h"

#include <cstring>
#include <vector>

#include "nmea/live_view.h"
#include "nmea/split_fields.h"

namespace {

// Field n, or an empty text when the line is too short to carry it.
const std::string& Field(const std::vector<std::string>& fields, std::size_t n) {
  static const std::string kEmpty;
  return n < fields.size() ? fields[n] : kEmpty;
}

bool LineHas(const char* line, const char* what) {
  return std::strstr(line, what) != nullptr;
}

bool IsRmc(const char* line, LiveViewMode mode) {
  return mode == LiveViewMode::kAnyTalker ? HasAnyTalkerSentence(line, "RMC")
                                          : LineHas(line, "$GPRMC");
}

bool IsGsa(const char* line, LiveViewMode mode) {
  return mode == LiveViewMode::kAnyTalker ? HasAnyTalkerSentence(line, "GSA")
                                          : LineHas(line, "$GPGSA");
}

}  // namespace

void PositionRecord::ClearStrings() {
  m_str_lon.clear();
  m_str_lat.clear();
  m_str_utc_time.clear();
  m_str_utc_date.clear();
  m_str_fix_mode.clear();
  m_str_speed.clear();
}

void ParsePositionSentence(const char* line, PositionRecord& record, LiveView& view,
                           LiveViewMode mode) {
  std::vector<std::string> fields;
  const bool is_rmc = IsRmc(line, mode);
  if (is_rmc) {
    SplitNmeaFields(fields, line);
    record.m_b_rmc_valid = Field(fields, 2) == "A";
  }
  if (!record.m_b_rmc_valid)
    return;

  if (is_rmc) {
    record.m_str_utc_time = Field(fields, 1);
    if (fields.size() < 10)
      return;
    record.m_str_lat = fields[3] + fields[4];
    record.m_str_lon = fields[5] + fields[6];
    record.m_str_utc_date = fields[9];
    if (!record.m_str_fix_mode.empty() && !record.m_str_speed.empty()) {
      UpdatePositionDisplay(record, view);
    }
  } else if (IsGsa(line, mode)) {
    SplitNmeaFields(fields, line);
    record.m_str_fix_mode = Field(fields, 2);
    if (!record.m_str_speed.empty() && !record.m_str_utc_time.empty()) {
      UpdatePositionDisplay(record, view);
    }
  } else if (LineHas(line, "VTG")) {
    SplitNmeaFields(fields, line);
    if (fields.size() > 7) {
      record.m_str_speed = fields[7];
      if (!record.m_str_fix_mode.empty() && !record.m_str_utc_time.empty()) {
        UpdatePositionDisplay(record, view);
      }
    }
  } else if (LineHas(line, "GGA")) {
    SplitNmeaFields(fields, line);
    if (fields.size() > 9) {
      view.SetText(kIdHdop, fields[8]);
      view.SetText(kIdAltitude, fields[9]);
    }
  }
}

void UpdatePositionDisplay(const PositionRecord& record, LiveView& view) {
  view.SetText(kIdLat, record.m_str_lat);
  view.SetText(kIdLon, record.m_str_lon);
  view.SetText(kIdUtcTime, record.m_str_utc_time);
  view.SetText(kIdUtcDate, record.m_str_utc_date);
  const bool has_dimension = record.m_str_fix_mode == "2" || record.m_str_fix_mode == "3";
  view.SetText(kIdFixMode, has_dimension ? record.m_str_fix_mode + "D" : std::string());
  view.SetText(kIdSpeed, record.m_str_speed);
}
