#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "nmea/gsa.h"
#include "nmea/gsv.h"
#include "nmea/satellite_bars.h"
#include "nmea/signal_ids.h"
#include "nmea/split_fields.h"

namespace {

std::vector<SatelliteInfo> Gsv(const std::string& sentence) {
  std::vector<SatelliteInfo> out;
  ParseGsvSentence((sentence + "\r\n").c_str(), out);
  return out;
}

// The chart's three fields of each record: {prn, snr, system}.
struct Triple {
  int prn, snr, system;
  bool operator==(const Triple&) const = default;
};

void PrintTo(const Triple& t, std::ostream* os) {
  *os << "{" << t.prn << ", " << t.snr << ", " << t.system << "}";
}

std::vector<Triple> Triples(const std::vector<SatelliteInfo>& sats) {
  std::vector<Triple> out;
  for (const SatelliteInfo& s : sats)
    out.push_back({s.prn, s.snr, s.system});
  return out;
}

std::string FortyGroups() {
  std::string line = "$GPGSV,1,1,40";
  for (int prn = 1; prn <= 40; ++prn)
    line += "," + std::to_string(prn) + ",10,100,20";
  return line + "*00";
}

struct GsvCase {
  const char* legend;
  std::string line;
  std::vector<Triple> sats;  // {prn, snr, system}
};

TEST(Gsv, SentenceTable) {
  const GsvCase cases[] = {
      {"GPS groups; an empty S/N reads 0 and is still kept",
       "$GPGSV,3,1,11,01,23,045,32,02,10,300,,03,45,120,40*hh",
       {{1, 32, 1}, {2, 0, 1}, {3, 40, 1}}},
      {"GLONASS talker gives code 0", "$GLGSV,1,1,01,65,10,100,33*hh", {{65, 33, 0}}},
      {"Galileo talker gives code 4", "$GAGSV,1,1,01,11,10,100,35*hh", {{11, 35, 4}}},
      {"GN, GB and GQ talkers add nothing", "$GNGSV,1,1,01,11,10,100,35*hh", {}},
      {"BeiDou talker GB adds nothing", "$GBGSV,1,1,01,11,10,100,35*hh", {}},
      {"QZSS talker GQ adds nothing", "$GQGSV,1,1,01,11,10,100,35*hh", {}},
      {"no '*': ignored", "$GPGSV,1,1,01,07,10,100,41", {}},
      {"a trailing NMEA 4.10 signal ID adds no satellite",
       "$GPGSV,1,1,02,05,10,100,30,06,20,200,35,1*hh",
       {{5, 30, 1}, {6, 35, 1}}},
      {"a group without its S/N field ends the decoding",
       "$GPGSV,1,1,02,05,10,100,30,06,20,200*hh",
       {{5, 30, 1}}},
      {"PRN 0 and a PRN that is no number are left out",
       "$GPGSV,1,1,03,00,10,100,30,xx,10,100,31,09,10,100,32*hh",
       {{9, 32, 1}}},
      {"fields after the first '*' are not read",
       "$GPGSV,1,1,02,07,10,100,41*,08,10,100,42*hh",
       {{7, 41, 1}}},
      {"overflowing PRN and S/N saturate instead of wrapping",
       "$GPGSV,1,1,01,99999999999,10,100,-99999999999*hh",
       {{INT_MAX, INT_MIN, 1}}},
      {"vendor form, system ID 4: BeiDou; the ID is not a third PRN",
       "$PWGSV,1,1,02,201,45,120,38,205,30,200,33,4*hh",
       {{201, 38, 3}, {205, 33, 3}}},
      {"vendor form, system ID 5: QZSS", "$PWGSV,1,1,01,193,45,120,38,5*hh", {{193, 38, 5}}},
      {"vendor form, system ID 3: Galileo, as any proprietary GSV with a system ID",
       "$PWGSV,1,1,01,193,45,120,38,3*hh",
       {{193, 38, 4}}},
      {"vendor form, system ID 3 one field short: no standard layout, nothing",
       "$PWGSV,1,1,02,201,45,120,38,205,30,200,3*hh",
       {}},
      {"vendor form without a system ID: the last S/N is no valid ID",
       "$PWGSV,1,1,01,193,45,120,38*hh",
       {}},
      {"vendor form one field short: the system ID is never read as an S/N",
       "$PWGSV,1,1,02,201,45,120,38,205,30,200,4*hh",
       {{201, 38, 3}}},
      {"address only", "$GPGSV*hh", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Triples(Gsv(c.line)), c.sats) << c.legend;
}

struct SignalCase {
  const char* legend;
  std::string line;
  std::vector<SatelliteInfo> sats;  // {prn, snr, system, signal, elevation, azimuth}
};

TEST(Gsv, SignalsPositionsAndEveryConstellationsTalker) {
  const int none = kNoSignal;
  const SignalCase cases[] = {
      {"an NMEA 4.11 signal ID: GPS L5 Q, with elevation and azimuth",
       "$GPGSV,1,1,02,05,62,048,47,13,45,296,45,8*hh",
       {{5, 47, 1, 8, 62, 48}, {13, 45, 1, 8, 45, 296}}},
      {"empty elevation and azimuth read -1 (mtk-3301.log)",
       "$GPGSV,2,1,06,21,,,40,28,,,47*hh",
       {{21, 40, 1, none, -1, -1}, {28, 47, 1, none, -1, -1}}},
      {"padding groups of empty fields add nothing (st-teseo-liv4f.log)",
       "$GPGSV,3,3,09,15,05,057,32,,,,,,,,,,,,,1*hh",
       {{15, 32, 1, 1, 5, 57}}},
      {"GB with a signal ID: BeiDou B2a",
       "$GBGSV,1,1,01,06,40,150,38,5*hh",
       {{6, 38, 3, 5, 40, 150}}},
      {"a hex signal ID: BeiDou B2I", "$GBGSV,1,1,01,06,40,150,38,B*hh", {{6, 38, 3, 11, 40, 150}}},
      {"GQ with a signal ID: QZSS", "$GQGSV,1,1,01,02,70,170,39,1*hh", {{2, 39, 5, 1, 70, 170}}},
      {"GI with a signal ID: NavIC", "$GIGSV,1,1,01,03,40,150,30,5*hh", {{3, 30, 7, 5, 40, 150}}},
      {"GN with a signal ID: each satellite by its PRN range",
       "$GNGSV,1,1,02,05,10,100,35,70,20,200,33,1*hh",
       {{5, 35, 1, 1, 10, 100}, {70, 33, 0, 1, 20, 200}}},
      {"signal 0: all signals, kept as a signal",
       "$GAGSV,1,1,01,11,10,100,35,0*hh",
       {{11, 35, 4, 0, 10, 100}}},
      {"a last field that is no hex digit names no signal",
       "$GPGSV,1,1,01,05,10,100,35,x*hh",
       {{5, 35, 1, none, 10, 100}}},
      {"GB without a signal ID adds nothing, as ever", "$GBGSV,1,1,01,11,10,100,35*hh", {}},
      {"$BDGSV ending in 4, BeiDou's system ID: no signal (telit-pls83-w.log)",
       "$BDGSV,1,1,01,08,09,030,39,4*hh",
       {{8, 39, 3, none, 9, 30}}},
      {"a proprietary GSV of any vendor by its system ID",
       "$PXYGSV,1,1,01,11,45,120,38,3*hh",
       {{11, 38, 4, none, 45, 120}}},
      {"a proprietary GSV with a system ID beyond the table keeps its number",
       "$PXGSV,1,1,01,11,45,120,38,9*hh",
       {{11, 38, kGnssUnknownSystem + 9, none, 45, 120}}},
      {"a proprietary GSV without a system ID: nothing", "$PXGSV,1,1,01,11,45,120,38*hh", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Gsv(c.line), c.sats) << c.legend;
}

TEST(SignalIds, NamesAsNmea411GivesThemAndNumbersForTheRest) {
  const struct {
    int system, signal;
    const char* label;
  } cases[] = {
      {kGnssGps, 1, "GPS L1 C/A"},         {kGnssGps, 6, "GPS L2 CL"},
      {kGnssGps, 8, "GPS L5 Q"},           {kGnssGps, 9, "GPS signal 9"},
      {kGnssSbas, 1, "SBAS L1 C/A"},       {kGnssGlonass, 1, "GLONASS G1 C/A"},
      {kGnssGlonass, 3, "GLONASS G2 C/A"}, {kGnssGalileo, 7, "Galileo E1"},
      {kGnssGalileo, 1, "Galileo E5a"},    {kGnssGalileo, 2, "Galileo E5b"},
      {kGnssBeidou, 1, "BeiDou B1I"},      {kGnssBeidou, 5, "BeiDou B2a"},
      {kGnssBeidou, 11, "BeiDou B2I"},     {kGnssQzss, 1, "QZSS L1 C/A"},
      {kGnssNavic, 1, "NavIC L5 SPS"},     {kGnssGps, 0, "GPS all signals"},
      {kGnssGps, kNoSignal, "GPS"},        {kGnssUnknownSystem + 9, 2, "system 9 signal 2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SignalLabel(c.system, c.signal), c.label);
    int system = -1, signal = -1;
    if (c.signal >= 0) {
      ASSERT_TRUE(ParseSignalLabel(c.label, system, signal)) << c.label;
      EXPECT_EQ(system, c.system) << c.label;
      EXPECT_EQ(signal, c.signal) << c.label;
    }
  }
  int system = -1, signal = -1;
  EXPECT_FALSE(ParseSignalLabel("all", system, signal));
  EXPECT_FALSE(ParseSignalLabel("GPS nothing", system, signal));
  // Every band of the chart's hatching, and the signals on it.
  EXPECT_EQ(BandOf(kGnssGalileo, 1), BandOf(kGnssGps, 8));      // E5a beside L5
  EXPECT_EQ(BandOf(kGnssBeidou, 11), BandOf(kGnssGalileo, 2));  // B2I beside E5b
  EXPECT_EQ(BandOf(kGnssGlonass, 3), BandOf(kGnssGps, 6));      // G2 beside L2
  EXPECT_EQ(BandOf(kGnssGps, kNoSignal), SignalBand::kNone);
  EXPECT_EQ(BandOf(kGnssGps, 9), SignalBand::kOther);
}

TEST(Gsv, FortySatelliteGroupsAreAllTaken) {
  const auto sats = Gsv(FortyGroups());
  ASSERT_EQ(sats.size(), 40u);
  EXPECT_EQ(sats.front().prn, 1);
  EXPECT_EQ(sats.back().prn, 40);
}

TEST(Gsv, AppendsToWhatIsThere) {
  std::vector<SatelliteInfo> sats{{3, 3, 1}};
  ParseGsvSentence("$GLGSV,1,1,01,70,10,100,33*hh\r\n", sats);
  EXPECT_EQ(sats, (std::vector<SatelliteInfo>{{3, 3, 1}, {70, 33, 0, kNoSignal, 10, 100}}));
}

struct GsaCase {
  const char* legend;
  std::string line;
  std::vector<int> gps, glonass, galileo, beidou, qzss;
};

TEST(Gsa, SentenceTable) {
  // Every list starts as {99}: a list a sentence leaves alone keeps it.
  const std::vector<int> keep{99};
  const GsaCase cases[] = {
      {"$GPGSA: IDs up to the first empty field, then nothing",
       "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
       {4, 5},
       keep,
       keep,
       keep,
       keep},
      {"$GPGSA with all twelve IDs: DOP fields are never taken",
       "$GPGSA,A,3,1,2,3,4,5,6,7,8,9,10,11,12,2.5,1.3,2.1*39",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       keep,
       keep,
       keep,
       keep},
      {"$GPGSA without IDs empties the GPS list",
       "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
       {},
       keep,
       keep,
       keep,
       keep},
      {"$GPGSA cut short: the field with the checksum still counts",
       "$GPGSA,A,3,05*hh",
       {5},
       keep,
       keep,
       keep,
       keep},
      {"$GNGSA system ID 1: GPS",
       "$GNGSA,A,3,08,10,,,,,,,,,,,1.2,0.9,0.9,1*30",
       {8, 10},
       keep,
       keep,
       keep,
       keep},
      {"$GNGSA system ID 2: GLONASS, GPS untouched",
       "$GNGSA,A,3,69,76,,,,,,,,,,,1.2,0.9,0.9,2*3D",
       keep,
       {69, 76},
       keep,
       keep,
       keep},
      {"$GNGSA system ID 3: Galileo",
       "$GNGSA,A,3,11,,,,,,,,,,,,1.2,0.9,0.9,3*30",
       keep,
       keep,
       {11},
       keep,
       keep},
      {"$GNGSA system ID 4 is not its to handle", "$GNGSA,A,3,11,,,,,,,,,,,,1.2,0.9,0.9,4*30", keep,
       keep, keep, keep, keep},
      {"$GNGSA whose last field starts with no digit", "$GNGSA,A,3,11,,,,,,,,,,,,1.2,0.9,0.9,*30",
       keep, keep, keep, keep, keep},
      {"$PWGSA system ID 4: BeiDou",
       "$PWGSA,A,3,201,202,,,,,,,,,,,1.2,0.9,0.9,4*3C",
       keep,
       keep,
       keep,
       {201, 202},
       keep},
      {"$PWGSA system ID 5: QZSS",
       "$PWGSA,A,3,193,,,,,,,,,,,,1.2,0.9,0.9,5*3E",
       keep,
       keep,
       keep,
       keep,
       {193}},
      {"$PWGSA system ID 1: GPS, as any proprietary GSA with a system ID",
       "$PWGSA,A,3,193,,,,,,,,,,,,1.2,0.9,0.9,1*3E",
       {193},
       keep,
       keep,
       keep,
       keep},
      {"$PWGSA system ID 1 without the standard layout: nothing", "$PWGSA,A,3,193,,,,,,,,,,,,1*3E",
       keep, keep, keep, keep, keep},
  };
  for (const auto& c : cases) {
    SatelliteCollections sats;
    for (auto* list : {&sats.m_vec_gps_used, &sats.m_vec_glonass_used, &sats.m_vec_galileo_used,
                       &sats.m_vec_beidou_used, &sats.m_vec_qzss_used}) {
      *list = keep;
    }
    const std::string line = c.line + "\r\n";
    if (line.find("$GPGSA") != std::string::npos)
      ParseGpGsa(line, sats);
    if (line.find("$GNGSA") != std::string::npos)
      ParseGnGsa(line, sats);
    if (line.find("$PWGSA") != std::string::npos)
      ParsePwGsa(line, sats);
    EXPECT_EQ(sats.m_vec_gps_used, c.gps) << c.legend;
    EXPECT_EQ(sats.m_vec_glonass_used, c.glonass) << c.legend;
    EXPECT_EQ(sats.m_vec_galileo_used, c.galileo) << c.legend;
    EXPECT_EQ(sats.m_vec_beidou_used, c.beidou) << c.legend;
    EXPECT_EQ(sats.m_vec_qzss_used, c.qzss) << c.legend;
  }
}

struct BarCase {
  const char* legend;
  SatelliteInfo sat;
  bool has_bar;
  SatelliteBar bar;  // {used, system, snr, prn}
};

TEST(SatelliteBars, OneRecordTable) {
  // Used lists: GPS {5, 40}, GLONASS {65}, Galileo {11}, BeiDou {201}, QZSS {193}.
  const BarCase cases[] = {
      {"GPS in the GPS list: used", {5, 30, 1}, true, {1, 1, 30, 5}},
      {"GPS not in the list: tracked", {6, 30, 1}, true, {0, 1, 30, 6}},
      {"PRN 32 stays GPS", {32, 30, 1}, true, {0, 1, 30, 32}},
      {"PRN 33 becomes SBAS", {33, 30, 1}, true, {0, 2, 30, 33}},
      {"PRN 51 becomes SBAS", {51, 30, 1}, true, {0, 2, 30, 51}},
      {"PRN 52 stays GPS", {52, 30, 1}, true, {0, 1, 30, 52}},
      {"SBAS in the GPS list is marked used", {40, 30, 1}, true, {1, 2, 30, 40}},
      {"negative PRN is no SBAS (unsigned compare)", {-40, 30, 1}, true, {0, 1, 30, -40}},
      {"GLONASS uses the GLONASS list", {65, 25, 0}, true, {1, 0, 25, 65}},
      {"a GPS PRN in another list only is tracked", {65, 25, 1}, true, {0, 1, 25, 65}},
      {"GLONASS PRN in the GPS list only is tracked", {5, 25, 0}, true, {0, 0, 25, 5}},
      {"Galileo uses the Galileo list", {11, 25, 4}, true, {1, 4, 25, 11}},
      {"BeiDou uses the BeiDou list", {201, 25, 3}, true, {1, 3, 25, 201}},
      {"QZSS uses the QZSS list", {193, 25, 5}, true, {1, 5, 25, 193}},
      {"unknown code becomes 6, never used", {5, 25, 9}, true, {0, 6, 25, 5}},
      {"code 2 arriving as such is 'other'", {40, 25, 2}, true, {0, 6, 25, 40}},
      {"S/N 0 gives no bar", {5, 0, 1}, false, {}},
      {"negative S/N gives no bar", {5, -3, 1}, false, {}},
  };
  const std::vector<int> gps{5, 40}, glo{65}, gal{11}, bds{201}, qzss{193};
  for (const auto& c : cases) {
    std::vector<SatelliteBar> bars{{1, 1, 1, 1}};  // stale content is replaced
    BuildSatelliteBars(bars, gps, glo, gal, bds, qzss, {c.sat});
    if (c.has_bar) {
      ASSERT_EQ(bars.size(), 1u) << c.legend;
      EXPECT_EQ(bars[0], c.bar) << c.legend;
    } else {
      EXPECT_TRUE(bars.empty()) << c.legend;
    }
  }
}

TEST(SatelliteBars, ArrivalOrderAndDuplicatesKept) {
  std::vector<SatelliteBar> bars;
  BuildSatelliteBars(bars, {}, {}, {}, {}, {},
                     {{9, 20, 1}, {2, 0, 1}, {3, 40, 1}, {9, 21, 1}, {1, 5, 0}});
  const std::vector<SatelliteBar> want{{0, 1, 20, 9}, {0, 1, 40, 3}, {0, 1, 21, 9}, {0, 0, 5, 1}};
  EXPECT_EQ(bars, want);
}

TEST(SatelliteBars, LettersByCode) {
  const char* letters = "RGSBEQ I";
  for (int code = 0; code < 8; ++code)
    EXPECT_EQ(GnssLetter(code), letters[code]) << code;
  for (int code : {8, kGnssUnknownSystem + 9, -1})
    EXPECT_EQ(GnssLetter(code), ' ') << code;
}

TEST(Gsa, EveryGsaWithASystemIdJoinsItsListOverTheEpoch) {
  SatelliteCollections sats;
  const char* lines[] = {
      "$GNGSA,A,3,27,08,07,,,,,,,,,,2.5,1.7,1.8,1*33",  // L1 (st-teseo-liv4f.log)
      "$GNGSA,A,3,27,08,,,,,,,,,,,2.5,1.7,1.8,1*34",    // L5: 07 stays
      "$GBGSA,A,3,208,211,,,,,,,,,,,1.6,1.3,0.9,4*01",  // any talker
      "$PXGSA,A,3,11,,,,,,,,,,,,1.6,1.3,0.9,B*01",      // an ID beyond the table
      "$GPGSA,A,3,05,,,,,,,,,,,,1.6,1.3,0.9*01",        // no system ID: none
  };
  for (const char* line : lines) {
    std::vector<std::string> fields;
    SplitNmeaFields(fields, line);
    JoinUsedBySystemId(fields, sats);
  }
  EXPECT_EQ(sats.used_by_system_id[1], (std::vector<int>{27, 8, 7}));
  EXPECT_EQ(sats.used_by_system_id[4], (std::vector<int>{208, 211}));
  EXPECT_EQ(sats.used_by_system_id[11], (std::vector<int>{11}));
  EXPECT_TRUE(sats.m_vec_gps_used.empty());  // the chart's own lists untouched
}

}  // namespace
