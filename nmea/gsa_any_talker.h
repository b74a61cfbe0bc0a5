// GSA sentences of any talker (the any-talker live view mode): which list of
// satellites in use each satellite of the sentence joins.
#pragma once

#include <string>
#include <vector>

#include "nmea/satellites.h"

// The constellation a GSA satellite ID belongs to by the NMEA numbering, as
// a GnssSystem whose used list it joins, or kGnssOther for none:
//     1..32  GPS          33..64 SBAS (GPS list: the chart marks SBAS bars
//                                      by the GPS list)
//    65..96  GLONASS     193..200 QZSS (NMEA 4.x extended numbering)
//   201..237 BeiDou (SiRF, MediaTek, ST, Telit: PRN + 200; beidou-gb.log)
//   301..336 Galileo, 401..437 BeiDou (u-blox NMEA 4.0 extended numbering)
// u-blox counts QZSS up to 202; 201 and 202 are taken as BeiDou here, as
// beidou-gb.log's $GNGSA reports its BeiDou satellite 1 as 201.
int GsaPrnSystem(int prn);

// The used list a GSA sentence of any talker fills, decided for the whole
// sentence, or kGnssOther when its satellites go by GsaPrnSystem one by one:
// 1. the NMEA 4.10 system ID (1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou,
//    5 QZSS; 6 NavIC has no list and gives -1): the last field before "*"
//    of a sentence of 19 fields or more, when it is a whole number 1..6;
// 2. else a talker that names one constellation: GP GPS, GL GLONASS,
//    GA Galileo, GB/BD BeiDou, GQ/QZ QZSS, GI none (-1). geos-1m.log sends
//    GLONASS satellites 65..96 in $GPGSA and $GPGSV alike, and
//    beidou-bd.log BeiDou satellites 1..37 in $BDGSA, whose field 18 is a
//    decimal number rather than a system ID;
// 3. else (GN, before NMEA 4.10: ublox-8.log, ch-4711.log, rx210.log)
//    kGnssOther: by PRN ranges.
int GsaSentenceSystem(const std::string& address, const std::string& last_field,
                      std::size_t field_count);

// Reads the satellite IDs of fields 3..14 (up to the first empty one) into
// the used lists of their constellations. As with "$GPGSA", a sentence
// replaces the list it fills; split by PRN ranges, it replaces the list of
// each constellation it names a satellite of (one without any replaces none).
void ParseAnyTalkerGsa(const std::string& line, SatelliteCollections& sats);
// The same, from the fields of the whole line.
void ParseAnyTalkerGsa(const std::vector<std::string>& fields, SatelliteCollections& sats);
