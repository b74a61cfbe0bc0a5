// $GNGSA,A,3,80,71,73,79,69,,,,,,,,1.83,1.09,1.47,2*1D
//   fields: 1 mode M/A, 2 fix type, 3..14 satellite IDs (empty when unused),
//           15 PDOP, 16 HDOP, 17 VDOP, 18 system ID (NMEA 4.10) + "*hh"
// $PWGSA has the same layout, with system ID 4 (BeiDou) or 5 (QZSS).
// Receivers older than NMEA 4.10 (ublox-8.log) send no system ID: the first
// digit of the VDOP is then read as one; the decoding keeps that reading.
// The any-talker live view mode splits such sentences by the PRN ranges of
// their satellites instead (nmea/gsa_any_talker.h).
#include "nmea/gsa.h"

#include <algorithm>

#include "nmea/nmea_int.h"
#include "nmea/signal_ids.h"
#include "nmea/split_fields.h"

namespace {

constexpr std::size_t kFirstId = 3;
constexpr std::size_t kLastId = 14;

void ParseWithSystemId(const NmeaFields& fields, SatelliteCollections& sats, int id, int first,
                       int last) {
  if (id < first || id > last)
    return;
  ReadGsaSatelliteIds(fields, *sats.UsedList(SystemOfSystemId(id)));
}

NmeaFields Split(const std::string& line) {
  NmeaFields fields;
  SplitNmeaFields(fields, line);
  return fields;
}

}  // namespace

void ReadGsaSatelliteIds(const NmeaFields& fields, std::vector<int>& used) {
  used.clear();
  for (std::size_t i = kFirstId; i <= kLastId && i < fields.size(); ++i) {
    if (fields[i].empty())
      break;
    used.push_back(ParseNmeaInt(fields[i]));
  }
}

int GsaSystemId(const NmeaFields& fields) {
  if (fields.empty() || fields.back().empty())
    return 0;
  const char c = fields.back().front();
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

int GsaTrailingSystemId(const NmeaFields& fields) {
  if (fields.size() < kGsaFieldsWithSystemId)
    return 0;
  const std::string& last = fields.back();
  const int id = ParseHexId(std::string_view(last).substr(0, last.find('*')));
  return id > 0 ? id : 0;
}

void ParseGpGsa(const NmeaFields& fields, SatelliteCollections& sats) {
  ReadGsaSatelliteIds(fields, sats.m_vec_gps_used);
}

void ParseGnGsa(const NmeaFields& fields, SatelliteCollections& sats) {
  ParseWithSystemId(fields, sats, GsaSystemId(fields), 1, 3);
}

void ParsePwGsa(const NmeaFields& fields, SatelliteCollections& sats) {
  const int id = GsaSystemId(fields);
  if (id == 4 || id == 5)
    ParseWithSystemId(fields, sats, id, 4, 5);
  else
    ParseWithSystemId(fields, sats, GsaTrailingSystemId(fields), 1, 3);
}

void JoinUsedBySystemId(const NmeaFields& fields, SatelliteCollections& sats) {
  const int id = GsaTrailingSystemId(fields);
  if (id == 0)
    return;
  std::vector<int>& list = sats.used_by_system_id[static_cast<std::size_t>(id)];
  for (std::size_t i = kFirstId; i <= kLastId && i < fields.size(); ++i) {
    if (fields[i].empty())
      break;
    const int prn = ParseNmeaInt(fields[i]);
    if (std::find(list.begin(), list.end(), prn) == list.end())
      list.push_back(prn);
  }
}

void ParseGpGsa(const std::string& line, SatelliteCollections& sats) {
  ParseGpGsa(Split(line), sats);
}

void ParseGnGsa(const std::string& line, SatelliteCollections& sats) {
  ParseGnGsa(Split(line), sats);
}

void ParsePwGsa(const std::string& line, SatelliteCollections& sats) {
  ParsePwGsa(Split(line), sats);
}
