// GSA sentences: the satellites the receiver uses in its solution.
#pragma once

#include <string>
#include <vector>

#include "nmea/satellites.h"

// Replaces `used` with the satellite IDs of fields 3..14, stopping at the
// first empty field or at the end of the list.
void ReadGsaSatelliteIds(const std::vector<std::string>& fields, std::vector<int>& used);

// The NMEA 4.10 system ID: the first character of the last field as a
// number (0 when it is no digit or the field is empty).
int GsaSystemId(const std::vector<std::string>& fields);

// Decodes a "$GPGSA" line (system ID ignored, always GPS).
void ParseGpGsa(const std::string& line, SatelliteCollections& sats);
// Decodes a "$GNGSA" line: system ID 1 GPS, 2 GLONASS, 3 Galileo.
void ParseGnGsa(const std::string& line, SatelliteCollections& sats);
// Decodes a vendor "$PWGSA" line: system ID 4 BeiDou, 5 QZSS.
void ParsePwGsa(const std::string& line, SatelliteCollections& sats);
