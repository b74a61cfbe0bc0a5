// GSV sentences: the satellites in view and their S/N.
#pragma once

#include <vector>

#include "nmea/satellites.h"

// Appends the satellites of one GSV line (NUL-terminated) to `satellites`.
// Talkers GP, GL and GA, and the vendor form whose address contains "PW"
// (system ID 4 BeiDou, 5 QZSS, as its last field). A line without "*",
// another talker or another vendor system ID adds nothing.
void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites);
