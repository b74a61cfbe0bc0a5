// $GPGSV,3,1,11,01,23,045,32,02,10,300,,03,45,120,40,05,70,190,45*hh
//   fields: 1 number of messages, 2 message number, 3 satellites in view,
//           4+4k PRN, 5+4k elevation, 6+4k azimuth, 7+4k S/N (empty: none);
//           NMEA 4.10 adds a signal ID after the last group, never read.
// $PWGSV,1,1,02,201,45,120,38,205,30,200,33,4*hh   (vendor, BeiDou/QZSS)
//   fields: 1-3 as above, 4+4k PRN .. 7+4k S/N, last: system ID 4 or 5.
// Everything from the first "*" on (checksum, "\r\n") is dropped first.
#include "nmea/gsv.h"

#include <cstring>
#include <string>

#include "nmea/nmea_int.h"
#include "nmea/split_fields.h"

namespace {

constexpr std::size_t kFirstGroup = 4;
constexpr std::size_t kGroupSize = 4;
constexpr std::size_t kSnrOffset = 3;

void Append(std::vector<SatelliteInfo>& satellites, const std::string& prn_field,
            const std::string& snr_field, int system) {
  const int prn = ParseNmeaInt(prn_field);
  if (prn != 0)
    satellites.push_back({prn, ParseNmeaInt(snr_field), system});
}

void ParseStandard(const std::vector<std::string>& fields, int system,
                   std::vector<SatelliteInfo>& satellites) {
  for (std::size_t i = kFirstGroup; i + kSnrOffset < fields.size(); i += kGroupSize) {
    Append(satellites, fields[i], fields[i + kSnrOffset], system);
  }
}

// The system ID is the last field and never part of a satellite group: a
// group must end before it (a group one field short would otherwise read
// the system ID as its S/N).
void ParseVendor(const std::vector<std::string>& fields, std::vector<SatelliteInfo>& satellites) {
  const int id = ParseNmeaInt(fields.back());
  int system;
  if (id == 4) {
    system = kGnssBeidou;
  } else if (id == 5) {
    system = kGnssQzss;
  } else {
    return;
  }
  const std::size_t last = fields.size() - 1;
  for (std::size_t i = kFirstGroup; i + kSnrOffset < last; i += kGroupSize) {
    Append(satellites, fields[i], fields[i + kSnrOffset], system);
  }
}

}  // namespace

void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites) {
  const char* star = std::strchr(line, '*');
  if (star == nullptr)
    return;
  std::vector<std::string> fields;
  SplitNmeaFields(fields, std::string(line, star));
  const std::string& address = fields.front();  // split always yields a field
  if (address.find("GP") != std::string::npos) {
    ParseStandard(fields, kGnssGps, satellites);
  } else if (address.find("GL") != std::string::npos) {
    ParseStandard(fields, kGnssGlonass, satellites);
  } else if (address.find("GA") != std::string::npos) {
    ParseStandard(fields, kGnssGalileo, satellites);
  } else if (address.find("PW") != std::string::npos) {
    ParseVendor(fields, satellites);
  }
}
