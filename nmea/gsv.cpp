// $GPGSV,3,1,11,01,23,045,32,02,10,300,,03,45,120,40,05,70,190,45*hh
//   fields: 1 number of messages, 2 message number, 3 satellites in view,
//           4+4k PRN, 5+4k elevation, 6+4k azimuth, 7+4k S/N (empty: none);
//           NMEA 4.11 ends it with the signal ID, one hex digit (4 + 4k + 1
//           fields after the address: "$GPGSV,1,1,02,05,..,30,06,..,35,8").
// $PWGSV,1,1,02,201,45,120,38,205,30,200,33,4*hh   (vendor, BeiDou/QZSS)
//   fields: 1-3 as above, 4+4k PRN .. 7+4k S/N, last: system ID 4 or 5.
// Everything from the first "*" on (checksum, "\r\n") is dropped first.
//
// Without a signal ID only GP, GL, GA and the vendor's 4 and 5 count, as
// the chart always had them. A signal ID makes every constellation's talker
// count (GB and BD BeiDou, GQ and QZ QZSS, GI NavIC, GN by PRN ranges), and
// any proprietary "$P...GSV" of the standard layout counts by the system ID
// in its last field.
#include "nmea/gsv.h"

#include <cstring>
#include <string>
#include <string_view>

#include "nmea/gsa_any_talker.h"
#include "nmea/nmea_int.h"
#include "nmea/signal_ids.h"
#include "nmea/split_fields.h"

namespace {

constexpr std::size_t kFirstGroup = 4;
constexpr std::size_t kGroupSize = 4;
constexpr std::size_t kSnrOffset = 3;
constexpr int kByPrnRange = -2;  // GN: each satellite by its PRN range

using Fields = std::vector<std::string>;

int Angle(const std::string& field) {
  return field.empty() ? -1 : ParseNmeaInt(field);
}

// The satellite groups of fields [4, end), each while its S/N field lies
// before `end`.
void AppendGroups(const Fields& f, std::size_t end, int system, int signal,
                  std::vector<SatelliteInfo>& satellites) {
  for (std::size_t i = kFirstGroup; i + kSnrOffset < end; i += kGroupSize) {
    const int prn = ParseNmeaInt(f[i]);
    if (prn == 0)
      continue;
    const int sys = system == kByPrnRange ? GsaPrnSystem(prn) : system;
    satellites.push_back(
        {prn, ParseNmeaInt(f[i + kSnrOffset]), sys, signal, Angle(f[i + 1]), Angle(f[i + 2])});
  }
}

// The talker of a sentence "$XXGSV": "XX"; empty for any other address.
std::string_view Talker(const std::string& address) {
  const std::size_t n = address.size();
  if (n < 6 || address[n - 6] != '$' || address.compare(n - 3, 3, "GSV") != 0)
    return {};
  return std::string_view(address).substr(n - 5, 2);
}

bool IsProprietary(const std::string& address) {
  const std::size_t dollar = address.rfind('$');
  return dollar != std::string::npos && dollar + 1 < address.size() && address[dollar + 1] == 'P' &&
         address.size() >= 4 && address.compare(address.size() - 3, 3, "GSV") == 0;
}

// The vendor form: the system ID is the last field and never part of a
// satellite group (a group one field short would otherwise read it as its
// S/N). 4 and 5 as the module always sent them; from the standard layout
// on, every system ID, as a proprietary sentence of any vendor.
void ParseVendor(const Fields& f, bool standard_layout, std::vector<SatelliteInfo>& satellites) {
  const int id = ParseNmeaInt(f.back());
  int system;
  if (id == 4) {
    system = kGnssBeidou;
  } else if (id == 5) {
    system = kGnssQzss;
  } else if (const int hex = ParseHexId(f.back()); standard_layout && hex >= 1) {
    system = SystemOfSystemId(hex);
  } else {
    return;
  }
  AppendGroups(f, f.size() - 1, system, kNoSignal, satellites);
}

// A constellation's own talker with a signal ID as its last field.
void ParseWithSignal(const Fields& f, int signal, std::vector<SatelliteInfo>& satellites) {
  const std::string_view talker = Talker(f.front());
  int system = TalkerSystem(talker);
  // telit-pls83-w.log ends its $BDGSV with 4, BeiDou's system ID, where its
  // $GPGSV, $GLGSV and $GAGSV carry signal IDs: no B1A signal.
  if (talker == "BD" && signal == 4)
    signal = kNoSignal;
  if (system < 0 && talker == "GN")
    system = kByPrnRange;
  if (system != -1)
    AppendGroups(f, f.size(), system, signal, satellites);
}

}  // namespace

void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites,
                      std::vector<std::string>& fields) {
  const char* star = std::strchr(line, '*');
  if (star == nullptr)
    return;
  SplitNmeaFields(fields, std::string_view(line, static_cast<std::size_t>(star - line)));
  const std::string& address = fields.front();  // split always yields a field
  const bool trailing_id = fields.size() > kFirstGroup && (fields.size() - kFirstGroup) % 4 == 1;
  const int last_id = trailing_id ? ParseHexId(fields.back()) : -1;
  const int signal = last_id >= 0 ? last_id : kNoSignal;
  if (address.find("GP") != std::string::npos) {
    AppendGroups(fields, fields.size(), kGnssGps, signal, satellites);
  } else if (address.find("GL") != std::string::npos) {
    AppendGroups(fields, fields.size(), kGnssGlonass, signal, satellites);
  } else if (address.find("GA") != std::string::npos) {
    AppendGroups(fields, fields.size(), kGnssGalileo, signal, satellites);
  } else if (address.find("PW") != std::string::npos) {
    ParseVendor(fields, trailing_id, satellites);
  } else if (IsProprietary(address)) {
    if (last_id >= 1)
      AppendGroups(fields, fields.size() - 1, SystemOfSystemId(last_id), kNoSignal, satellites);
  } else if (last_id >= 0) {
    ParseWithSignal(fields, last_id, satellites);
  }
}

void ParseGsvSentence(const char* line, std::vector<SatelliteInfo>& satellites) {
  std::vector<std::string> fields;
  ParseGsvSentence(line, satellites, fields);
}
