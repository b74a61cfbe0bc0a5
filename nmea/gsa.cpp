// $GNGSA,A,3,80,71,73,79,69,,,,,,,,1.83,1.09,1.47,2*1D
//   fields: 1 mode M/A, 2 fix type, 3..14 satellite IDs (empty when unused),
//           15 PDOP, 16 HDOP, 17 VDOP, 18 system ID (NMEA 4.10) + "*hh"
// $PWGSA has the same layout, with system ID 4 (BeiDou) or 5 (QZSS).
// Receivers older than NMEA 4.10 (ublox-8.log) send no system ID: the first
// digit of the VDOP is then read as one; the decoding keeps that reading.
// The any-talker live view mode splits such sentences by the PRN ranges of
// their satellites instead (nmea/gsa_any_talker.h).
#include "nmea/gsa.h"

#include "nmea/nmea_int.h"
#include "nmea/split_fields.h"

namespace {

constexpr std::size_t kFirstId = 3;
constexpr std::size_t kLastId = 14;

std::vector<int>* ListForSystem(SatelliteCollections& sats, int id) {
  switch (id) {
    case 1:
      return &sats.m_vec_gps_used;
    case 2:
      return &sats.m_vec_glonass_used;
    case 3:
      return &sats.m_vec_galileo_used;
    case 4:
      return &sats.m_vec_beidou_used;
    case 5:
      return &sats.m_vec_qzss_used;
    default:
      return nullptr;
  }
}

void ParseWithSystemId(const std::string& line, SatelliteCollections& sats, int first, int last) {
  std::vector<std::string> fields;
  SplitNmeaFields(fields, line);
  const int id = GsaSystemId(fields);
  if (id < first || id > last)
    return;
  ReadGsaSatelliteIds(fields, *ListForSystem(sats, id));
}

}  // namespace

void ReadGsaSatelliteIds(const std::vector<std::string>& fields, std::vector<int>& used) {
  used.clear();
  for (std::size_t i = kFirstId; i <= kLastId && i < fields.size(); ++i) {
    if (fields[i].empty())
      break;
    used.push_back(ParseNmeaInt(fields[i]));
  }
}

int GsaSystemId(const std::vector<std::string>& fields) {
  if (fields.empty() || fields.back().empty())
    return 0;
  const char c = fields.back().front();
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

void ParseGpGsa(const std::string& line, SatelliteCollections& sats) {
  std::vector<std::string> fields;
  SplitNmeaFields(fields, line);
  ReadGsaSatelliteIds(fields, sats.m_vec_gps_used);
}

void ParseGnGsa(const std::string& line, SatelliteCollections& sats) {
  ParseWithSystemId(line, sats, 1, 3);
}

void ParsePwGsa(const std::string& line, SatelliteCollections& sats) {
  ParseWithSystemId(line, sats, 4, 5);
}
