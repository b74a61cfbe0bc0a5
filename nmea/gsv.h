// GSV sentences: the satellites in view, their S/N, elevation and azimuth,
// and the NMEA 4.11 signal ID their sentence ends with.
#pragma once

#include <string>
#include <vector>

#include "nmea/satellites.h"

// Appends the satellites of one GSV line (NUL-terminated) to `satellites`.
// Talkers GP, GL and GA, and the vendor form whose address contains "PW"
// (system ID 4 BeiDou, 5 QZSS, as its last field); with a signal ID as last
// field also GB, BD, GQ, QZ, GI and GN, and any proprietary "$P...GSV" by
// the system ID in its last field. A line without "*", another talker or
// another vendor system ID adds nothing.
void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites);
// The same, splitting into `fields` (reused from line to line).
void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites,
                      std::vector<std::string>& fields);
