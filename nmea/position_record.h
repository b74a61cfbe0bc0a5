// The live position: the fields of the latest valid "$GPRMC", "$GPGSA" and
// VTG sentences as received, and their display in the live view.
#pragma once

#include <string>

#include "nmea/live_view_mode.h"

class LiveView;

struct PositionRecord {
  std::string m_str_lon;       // RMC field 5 + field 6 (E/W)
  std::string m_str_lat;       // RMC field 3 + field 4 (N/S)
  std::string m_str_utc_time;  // RMC field 1, hhmmss.sss
  std::string m_str_utc_date;  // RMC field 9, ddmmyy
  std::string m_str_fix_mode;  // GSA field 2, "1", "2" or "3"
  std::string m_str_speed;     // VTG field 7, km/h
  bool m_b_rmc_valid = false;  // the last "$GPRMC" (any-talker mode: RMC) had status "A"

  // Empties the six strings; m_b_rmc_valid is kept.
  void ClearStrings();
};

// Decodes one NMEA line (with or without its "\r\n") into the record and,
// once time, fix type and speed are all known, into the six position labels;
// GGA lines set altitude and HDOP directly. In LiveViewMode::kAnyTalker the
// RMC and GSA of every talker of kAnyTalkers take the place of "$GPRMC" and
// "$GPGSA".
void ParsePositionSentence(const char* line, PositionRecord& record, LiveView& view,
                           LiveViewMode mode = LiveViewMode::kGprmc);

// Copies the record into the labels LAT to Speed; Fix Mode shows "2D"/"3D"
// for fix types "2"/"3" and nothing otherwise.
void UpdatePositionDisplay(const PositionRecord& record, LiveView& view);
