#include "nmea/signal_ids.h"

#include <array>

#include "nmea/nmea_int.h"

namespace {

struct Signal {
  const char* name;
  SignalBand band;
};

using B = SignalBand;
constexpr std::size_t kSignals = 16;
using SignalTable = std::array<Signal, kSignals>;

// Index: the signal ID; {nullptr} where NMEA 4.11 reserves the ID.
constexpr SignalTable kGps = {{{"all signals", B::kOther},
                               {"L1 C/A", B::kL1},
                               {"L1 P(Y)", B::kL1},
                               {"L1 M", B::kL1},
                               {"L2 P(Y)", B::kL2},
                               {"L2 CM", B::kL2},
                               {"L2 CL", B::kL2},
                               {"L5 I", B::kL5},
                               {"L5 Q", B::kL5}}};
constexpr SignalTable kGlonass = {{{"all signals", B::kOther},
                                   {"G1 C/A", B::kL1},
                                   {"G1 P", B::kL1},
                                   {"G2 C/A", B::kL2},
                                   {"G2 P", B::kL2}}};
constexpr SignalTable kGalileo = {{{"all signals", B::kOther},
                                   {"E5a", B::kL5},
                                   {"E5b", B::kE5b},
                                   {"E5a+b", B::kL5},
                                   {"E6 A", B::kE6},
                                   {"E6 BC", B::kE6},
                                   {"E1 A", B::kL1},
                                   {"E1", B::kL1}}};
constexpr SignalTable kBeidou = {{{"all signals", B::kOther},
                                  {"B1I", B::kL1},
                                  {"B1Q", B::kL1},
                                  {"B1C", B::kL1},
                                  {"B1A", B::kL1},
                                  {"B2a", B::kL5},
                                  {"B2b", B::kE5b},
                                  {"B2a+b", B::kL5},
                                  {"B3I", B::kE6},
                                  {"B3Q", B::kE6},
                                  {"B3A", B::kE6},
                                  {"B2I", B::kE5b},
                                  {"B2Q", B::kE5b}}};
constexpr SignalTable kQzss = {{{"all signals", B::kOther},
                                {"L1 C/A", B::kL1},
                                {"L1C D", B::kL1},
                                {"L1C P", B::kL1},
                                {"L1S", B::kL1},
                                {"L2 CM", B::kL2},
                                {"L2 CL", B::kL2},
                                {"L5 I", B::kL5},
                                {"L5 Q", B::kL5},
                                {"L6D", B::kE6},
                                {"L6E", B::kE6}}};
constexpr SignalTable kNavic = {{{"all signals", B::kOther},
                                 {"L5 SPS", B::kL5},
                                 {"S SPS", B::kS},
                                 {"L5 RS", B::kL5},
                                 {"S RS", B::kS},
                                 {"L1 SPS", B::kL1}}};

const SignalTable* TableOf(int system) {
  switch (system) {
    case kGnssGps:
    case kGnssSbas:
      return &kGps;
    case kGnssGlonass:
      return &kGlonass;
    case kGnssGalileo:
      return &kGalileo;
    case kGnssBeidou:
      return &kBeidou;
    case kGnssQzss:
      return &kQzss;
    case kGnssNavic:
      return &kNavic;
    default:
      return nullptr;
  }
}

const Signal* Find(int system, int signal) {
  const SignalTable* table = TableOf(system);
  if (table == nullptr || signal < 0 || signal >= static_cast<int>(kSignals))
    return nullptr;
  const Signal& s = (*table)[static_cast<std::size_t>(signal)];
  return s.name ? &s : nullptr;
}

// Decimal digits as a number below 1000; -1 otherwise.
int ParseDecimal(std::string_view text) {
  return DigitsValue(text, 3);
}

}  // namespace

int ParseHexId(std::string_view field) {
  if (field.size() != 1)
    return -1;
  const char c = field[0];
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

int SystemOfSystemId(int system_id) {
  constexpr int kBySystemId[] = {kGnssGps,    kGnssGlonass, kGnssGalileo,
                                 kGnssBeidou, kGnssQzss,    kGnssNavic};
  if (system_id >= 1 && system_id <= 6)
    return kBySystemId[system_id - 1];
  return kGnssUnknownSystem + system_id;
}

int SystemIdOfSystem(int system) {
  switch (system) {
    case kGnssGps:
    case kGnssSbas:
      return 1;
    case kGnssGlonass:
      return 2;
    case kGnssGalileo:
      return 3;
    case kGnssBeidou:
      return 4;
    case kGnssQzss:
      return 5;
    case kGnssNavic:
      return 6;
    default:
      return system > kGnssUnknownSystem ? system - kGnssUnknownSystem : 0;
  }
}

int TalkerSystem(std::string_view talker) {
  struct Talker {
    const char* id;
    int system;
  };
  static constexpr Talker kTalkers[] = {
      {"GP", kGnssGps},    {"GL", kGnssGlonass}, {"GA", kGnssGalileo}, {"GB", kGnssBeidou},
      {"BD", kGnssBeidou}, {"GQ", kGnssQzss},    {"QZ", kGnssQzss},    {"GI", kGnssNavic},
  };
  for (const Talker& t : kTalkers) {
    if (talker == t.id)
      return t.system;
  }
  return -1;
}

std::string SystemName(int system) {
  switch (system) {
    case kGnssGps:
      return "GPS";
    case kGnssGlonass:
      return "GLONASS";
    case kGnssGalileo:
      return "Galileo";
    case kGnssBeidou:
      return "BeiDou";
    case kGnssQzss:
      return "QZSS";
    case kGnssNavic:
      return "NavIC";
    case kGnssSbas:
      return "SBAS";
    default:
      return system > kGnssUnknownSystem ? "system " + std::to_string(system - kGnssUnknownSystem)
                                         : std::string("other");
  }
}

std::string SignalName(int system, int signal) {
  if (signal == kNoSignal)
    return {};
  if (const Signal* s = Find(system, signal))
    return s->name;
  return "signal " + std::to_string(signal);
}

std::string SignalLabel(int system, int signal) {
  const std::string name = SignalName(system, signal);
  return name.empty() ? SystemName(system) : SystemName(system) + " " + name;
}

int SystemFromName(std::string_view name) {
  static constexpr int kKnown[] = {kGnssGps,  kGnssGlonass, kGnssGalileo, kGnssBeidou,
                                   kGnssQzss, kGnssNavic,   kGnssSbas,    kGnssOther};
  for (int system : kKnown) {
    if (name == SystemName(system))
      return system;
  }
  constexpr std::string_view kNumbered = "system ";
  if (name.substr(0, kNumbered.size()) == kNumbered) {
    const int id = ParseDecimal(name.substr(kNumbered.size()));
    if (id > 0)
      return kGnssUnknownSystem + id;
  }
  return -1;
}

int SignalFromName(int system, std::string_view name) {
  if (name.empty())
    return kNoSignal;
  for (int signal = 0; signal < static_cast<int>(kSignals); ++signal) {
    if (name == SignalName(system, signal))
      return signal;
  }
  return -2;
}

bool ParseSignalLabel(std::string_view label, int& system, int& signal) {
  // The system's name is a word, or two ("system 9"); the signal's follows.
  for (std::size_t space = label.find(' '); space != std::string_view::npos;
       space = label.find(' ', space + 1)) {
    const int s = SystemFromName(label.substr(0, space));
    if (s < 0)
      continue;
    const int id = SignalFromName(s, label.substr(space + 1));
    if (id >= 0) {
      system = s;
      signal = id;
      return true;
    }
  }
  return false;
}

SignalBand BandOf(int system, int signal) {
  if (signal == kNoSignal)
    return SignalBand::kNone;
  const Signal* s = Find(system, signal);
  return s ? s->band : SignalBand::kOther;
}

int SignalRank(int system, int signal) {
  return static_cast<int>(BandOf(system, signal)) * 32 + signal + 1;
}
