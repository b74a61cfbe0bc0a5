#include "sim/nmea_form.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<const char*, int>, 6> kVersions = {{
    {"2.1", 210},
    {"2.3", 230},
    {"3.01", 301},
    {"4.0", 400},
    {"4.10", 410},
    {"4.11", 411},
}};

struct BandName {
  const char* name;
  Band band;
};
constexpr BandName kBandNames[] = {
    {"L1", Band::kL1},  {"E1", Band::kL1},   {"B1I", Band::kL1},  {"G1", Band::kL1},
    {"L2", Band::kL2},  {"G2", Band::kL2},   {"L5", Band::kL5},   {"E5A", Band::kL5},
    {"B2A", Band::kL5}, {"E5B", Band::kE5b}, {"B2I", Band::kE5b},
};
constexpr const char* kBandText[] = {"L1", "L2", "L5", "E5b"};

}  // namespace

bool ParseSignals(const std::string& text, NmeaForm& form, std::string* error) {
  std::vector<Band> bands;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos)
      end = text.size();
    std::string name;
    for (char c : text.substr(start, end - start))
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto* it = std::find_if(std::begin(kBandNames), std::end(kBandNames),
                                  [&name](const BandName& b) { return name == b.name; });
    if (it == std::end(kBandNames)) {
      *error = "unknown signal '" + text.substr(start, end - start) +
               "': give bands as L1, L2, L5 or E5b (or E1, B1I, G1, G2, E5a, B2a, B2I), "
               "separated by commas, such as L1,L5";
      return false;
    }
    if (std::find(bands.begin(), bands.end(), it->band) != bands.end()) {
      *error = "the band of '" + text.substr(start, end - start) + "' is given twice";
      return false;
    }
    bands.push_back(it->band);
    start = end + 1;
  }
  form.bands = std::move(bands);
  form.version = 411;
  return true;
}

std::string SignalsText(const NmeaForm& form) {
  std::string text;
  for (Band band : form.bands)
    text += (text.empty() ? "" : ",") + std::string(kBandText[static_cast<int>(band)]);
  return text;
}

int SignalIdOf(Band band, char system) {
  // Rows: L1, L2, L5, E5b; columns: GPS, GLONASS, Galileo, BeiDou, QZSS.
  static constexpr int kIds[4][5] = {
      {1, 1, 7, 1, 1}, {6, 3, -1, -1, 6}, {8, -1, 1, 5, 8}, {-1, -1, 2, 11, -1}};
  static constexpr char kSystems[] = "PLABQ";
  const char* at = std::strchr(kSystems, system);
  if (at == nullptr || system == '\0')
    return -1;
  return kIds[static_cast<int>(band)][at - kSystems];
}

bool ParseTalker(const std::string& text, NmeaForm& form) {
  std::string t;
  for (char c : text)
    t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (t != "GP" && t != "MODULE" && t != "GN")
    return false;
  form.gn = t == "GN";
  return true;
}

bool ParseNmeaVersion(const std::string& text, NmeaForm& form) {
  for (const auto& [name, version] : kVersions) {
    if (text == name) {
      form.version = version;
      return true;
    }
  }
  return false;
}

std::string NmeaVersionText(const NmeaForm& form) {
  for (const auto& [name, version] : kVersions) {
    if (version == form.version)
      return name;
  }
  return std::to_string(form.version);
}

}  // namespace sim
