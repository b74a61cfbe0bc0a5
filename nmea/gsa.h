// GSA sentences: the satellites the receiver uses in its solution.
#pragma once

#include <string>
#include <vector>

#include "nmea/satellites.h"

using NmeaFields = std::vector<std::string>;

// The standard layout up to the system ID: address, 17 fields, system ID.
inline constexpr std::size_t kGsaFieldsWithSystemId = 19;

// Replaces `used` with the satellite IDs of fields 3..14, stopping at the
// first empty field or at the end of the list.
void ReadGsaSatelliteIds(const NmeaFields& fields, std::vector<int>& used);

// The NMEA 4.10 system ID: the first character of the last field as a
// number (0 when it is no digit or the field is empty).
int GsaSystemId(const NmeaFields& fields);
// The system ID of a sentence of the standard layout (19 fields or more)
// whose last field, up to "*", is one hex digit 1..F; 0 otherwise.
int GsaTrailingSystemId(const NmeaFields& fields);

// Each takes the fields of the whole line (its last one ends in "*hh\r\n").
// "$GPGSA" (system ID ignored, always GPS).
void ParseGpGsa(const NmeaFields& fields, SatelliteCollections& sats);
// "$GNGSA": system ID 1 GPS, 2 GLONASS, 3 Galileo.
void ParseGnGsa(const NmeaFields& fields, SatelliteCollections& sats);
// The vendor "$PWGSA": system ID 4 BeiDou, 5 QZSS; and, as any proprietary
// "$P...GSA" of the standard layout, 1 GPS, 2 GLONASS, 3 Galileo.
void ParsePwGsa(const NmeaFields& fields, SatelliteCollections& sats);
// Any GSA of the standard layout with a system ID joins its satellites to
// the epoch's used_by_system_id list of that ID.
void JoinUsedBySystemId(const NmeaFields& fields, SatelliteCollections& sats);

// The same, from the line as received.
void ParseGpGsa(const std::string& line, SatelliteCollections& sats);
void ParseGnGsa(const std::string& line, SatelliteCollections& sats);
void ParsePwGsa(const std::string& line, SatelliteCollections& sats);
