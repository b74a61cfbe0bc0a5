#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "nmea/gsa.h"
#include "nmea/gsv.h"
#include "nmea/satellite_bars.h"

namespace {

std::vector<SatelliteInfo> Gsv(const std::string& sentence) {
  std::vector<SatelliteInfo> out;
  ParseGsvSentence((sentence + "\r\n").c_str(), out);
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
  std::vector<SatelliteInfo> sats;  // {prn, snr, system}
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
      {"vendor form, other system ID: nothing", "$PWGSV,1,1,01,193,45,120,38,3*hh", {}},
      {"vendor form without a system ID: the last S/N is no valid ID",
       "$PWGSV,1,1,01,193,45,120,38*hh",
       {}},
      {"vendor form one field short: the system ID is never read as an S/N",
       "$PWGSV,1,1,02,201,45,120,38,205,30,200,4*hh",
       {{201, 38, 3}}},
      {"address only", "$GPGSV*hh", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Gsv(c.line), c.sats) << c.legend;
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
  EXPECT_EQ(sats, (std::vector<SatelliteInfo>{{3, 3, 1}, {70, 33, 0}}));
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
      {"$PWGSA system ID 1 is not its to handle", "$PWGSA,A,3,193,,,,,,,,,,,,1.2,0.9,0.9,1*3E",
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
  const char* letters = "RGSBEQ";
  for (int code = 0; code < 6; ++code)
    EXPECT_EQ(GnssLetter(code), letters[code]) << code;
  for (int code : {6, 7, -1})
    EXPECT_EQ(GnssLetter(code), ' ') << code;
}

}  // namespace
