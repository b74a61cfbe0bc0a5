#include "nmea/gsa_any_talker.h"

#include <algorithm>
#include <vector>

#include "nmea/gsa.h"
#include "nmea/nmea_int.h"
#include "nmea/signal_ids.h"
#include "nmea/split_fields.h"

namespace {

constexpr int kNone = -1;

struct PrnRange {
  int first;
  int last;
  int system;
};

constexpr PrnRange kPrnRanges[] = {
    {1, 64, kGnssGps},       {65, 96, kGnssGlonass},   {193, 200, kGnssQzss},
    {201, 237, kGnssBeidou}, {301, 336, kGnssGalileo}, {401, 437, kGnssBeidou},
};

// The whole number 1..6 that the field starts with, up to "*"; 0 otherwise.
int SystemId(const std::string& field) {
  const int id = ParseHexId(std::string_view(field).substr(0, field.find('*')));
  return id >= 1 && id <= 6 ? id : 0;
}

}  // namespace

int GsaPrnSystem(int prn) {
  for (const PrnRange& range : kPrnRanges) {
    if (prn >= range.first && prn <= range.last)
      return range.system;
  }
  return kGnssOther;
}

int GsaSentenceSystem(const std::string& address, const std::string& last_field,
                      std::size_t field_count) {
  constexpr int kBySystemId[] = {kGnssGps,    kGnssGlonass, kGnssGalileo,
                                 kGnssBeidou, kGnssQzss,    kNone};
  if (field_count >= kGsaFieldsWithSystemId) {
    const int id = SystemId(last_field);
    if (id != 0)
      return kBySystemId[id - 1];
  }
  const std::size_t dollar = address.rfind('$');
  const std::string talker =
      dollar == std::string::npos ? std::string() : address.substr(dollar + 1, 2);
  const int system = TalkerSystem(talker);
  if (system == kGnssNavic)
    return kNone;  // no list of its own
  return system >= 0 ? system : kGnssOther;
}

void ParseAnyTalkerGsa(const std::string& line, SatelliteCollections& sats) {
  std::vector<std::string> fields;
  SplitNmeaFields(fields, line);
  ParseAnyTalkerGsa(fields, sats);
}

void ParseAnyTalkerGsa(const std::vector<std::string>& fields, SatelliteCollections& sats) {
  const int sentence_system = GsaSentenceSystem(fields.front(), fields.back(), fields.size());
  if (sentence_system == kNone)
    return;
  if (sentence_system != kGnssOther) {
    if (std::vector<int>* list = sats.UsedList(sentence_system))
      ReadGsaSatelliteIds(fields, *list);
    return;
  }
  // By PRN ranges: each constellation the sentence names gets a new list.
  std::vector<int> ids;
  ReadGsaSatelliteIds(fields, ids);
  std::vector<std::vector<int>*> replaced;
  for (const int prn : ids) {
    std::vector<int>* list = sats.UsedList(GsaPrnSystem(prn));
    if (list == nullptr)
      continue;
    if (std::find(replaced.begin(), replaced.end(), list) == replaced.end()) {
      list->clear();
      replaced.push_back(list);
    }
    list->push_back(prn);
  }
}
