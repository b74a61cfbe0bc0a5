#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "nmea_test_util.h"

namespace {

using nmea_test::Rig;

const char* kRmc = "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,0.02,31.66,230394,,,A*6A";
const char* kGsv = "$GPGSV,3,1,11,01,23,045,32,02,10,300,,03,45,120,40*hh";

// Restores the log pointer whatever the test does.
struct LogFile {
  std::FILE* fp = std::tmpfile();
  LogFile() { g_fp_nmea_all = fp; }
  ~LogFile() {
    g_fp_nmea_all = nullptr;
    if (fp)
      std::fclose(fp);
  }
  std::string Contents() const {
    std::string out;
    std::rewind(fp);
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
      out.append(buf, n);
    return out;
  }
};

TEST(NmeaLineHandler, LogsEveryLineByteForByteRejectedOnesToo) {
  LogFile log;
  ASSERT_NE(log.fp, nullptr);
  Rig rig;
  const std::vector<std::string> lines = {std::string(kRmc) + "\r\n",
                                          "$GPGGA,1,2*00$GPGSV,1,1*00\r\n", "\xff\xfe garbage\r\n",
                                          "\r\n", std::string(kGsv) + "\r\n"};
  std::string want;
  for (const auto& l : lines) {
    rig.handler.OnNmeaLine(l.c_str());
    want += l;
  }
  EXPECT_EQ(log.Contents(), want);
}

TEST(NmeaLineHandler, WithoutLogNothingIsWrittenAndDecodingGoesOn) {
  g_fp_nmea_all = nullptr;
  Rig rig;
  EXPECT_EQ(rig.Feed(kGsv), 1);
  EXPECT_EQ(rig.handler.Satellites().m_vec_satellites.size(), 3u);
}

TEST(NmeaLineHandler, TwoSentencesRunTogetherAreNotDecoded) {
  Rig rig;
  EXPECT_EQ(rig.Feed(std::string(kGsv) + "$GPGGA,1"), 0);
  EXPECT_EQ(rig.Feed(std::string("$GPGGA,030130") + kGsv), 0);
  EXPECT_TRUE(rig.handler.Satellites().m_vec_satellites.empty());
  EXPECT_EQ(rig.Feed(std::string(kRmc) + "$"), 0);
  EXPECT_EQ(rig.handler.OnNmeaLine(nullptr), 0);
  EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid);
  EXPECT_TRUE(rig.epochs.empty());
  // One "$" anywhere is fine, also after leading garbage.
  EXPECT_EQ(rig.Feed(std::string("\x01\x02junk") + kGsv), 1);
  EXPECT_EQ(rig.handler.Satellites().m_vec_satellites.size(), 3u);
}

TEST(NmeaLineHandler, EachRmcHandsTheEpochToTheChartAndEmptiesItsCollections) {
  Rig rig;
  rig.FeedAll({kGsv, "$GPGSA,A,3,01,03,,,,,,,,,,,2.5,1.3,2.1*39", kRmc});
  ASSERT_EQ(rig.epochs.size(), 1u);
  EXPECT_EQ(rig.epochs[0], (std::vector<SatelliteBar>{{1, 1, 32, 1}, {1, 1, 40, 3}}));
  const auto& sats = rig.handler.Satellites();
  EXPECT_TRUE(sats.m_vec_satellites.empty());
  EXPECT_TRUE(sats.m_vec_gps_used.empty());
  // No GSV and no GSA between two RMC lines: the last epoch's sky again.
  rig.FeedAll({"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", kRmc});
  ASSERT_EQ(rig.epochs.size(), 2u);
  EXPECT_EQ(rig.epochs[1], rig.epochs[0]);
  // Any talker's RMC ends the epoch, even one that is not valid.
  rig.FeedAll({kGsv, "$GNRMC,,V,,,,,,,,,,N*53"});
  ASSERT_EQ(rig.epochs.size(), 3u);
  EXPECT_EQ(rig.epochs[2].size(), 2u);
}

TEST(NmeaLineHandler, OnlyTheFirstMatchingBranchRuns) {
  Rig rig;
  // "RMC" comes before "GSV": the line ends the epoch and adds no satellites.
  rig.Feed(kGsv);
  rig.Feed("$GPGSV,1,1,01,07,10,100,41,RMC*hh");
  ASSERT_EQ(rig.epochs.size(), 1u);
  EXPECT_EQ(rig.epochs[0].size(), 2u);
  EXPECT_TRUE(rig.handler.Satellites().m_vec_satellites.empty());
  // "$GPGSA" comes before "GSV": the line fills the GPS list only.
  rig.Feed("$GPGSA,A,3,07,,,,,,,,,,,,1.0,1.0,GSV*hh");
  EXPECT_EQ(rig.handler.Satellites().m_vec_gps_used, std::vector<int>{7});
  EXPECT_TRUE(rig.handler.Satellites().m_vec_satellites.empty());
}

TEST(NmeaLineHandler, GsaReplacesItsListEachTime) {
  Rig rig;
  rig.FeedAll({"$GPGSA,A,3,01,02,,,,,,,,,,,1,1,1*00", "$GPGSA,A,3,03,,,,,,,,,,,,1,1,1*00"});
  EXPECT_EQ(rig.handler.Satellites().m_vec_gps_used, std::vector<int>{3});
}

TEST(NmeaLineHandler, ClearSatellitesEmptiesTheCollectionsNotTheChart) {
  Rig rig;
  rig.FeedAll({kGsv, kRmc, kGsv, "$GNGSA,A,3,65,,,,,,,,,,,,1,1,1,2*00"});
  ASSERT_EQ(rig.epochs.size(), 1u);
  rig.handler.OnClearSatellites();
  EXPECT_TRUE(rig.handler.Satellites().m_vec_satellites.empty());
  EXPECT_TRUE(rig.handler.Satellites().m_vec_glonass_used.empty());
  EXPECT_EQ(rig.epochs.size(), 1u);  // nothing handed out by the clear
  rig.Feed(kRmc);
  ASSERT_EQ(rig.epochs.size(), 2u);
  EXPECT_TRUE(rig.epochs[1].empty());
}

std::string Repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

TEST(NmeaLineHandler, HostileLinesNeverCrash) {
  struct {
    const char* legend;
    std::string line;
    int result;
  } const cases[] = {
      {"nothing at all", "", 1},
      {"line end only", "\r\n", 1},
      {"only commas", Repeat(",", 300), 1},
      {"only commas after an address", "$GPGSV" + Repeat(",", 300) + "*", 1},
      {"4 KiB GSV without '*'", "$GPGSV" + Repeat(",1", 2048), 1},
      {"4 KiB GSV with numbers", "$GPGSV,1,1,99" + Repeat(",12,34,56,78", 400) + "*00", 1},
      {"4 KiB RMC valid", "$GPRMC,1,A" + Repeat(",9", 2040) + "*00", 1},
      {"4 KiB of one field", "$GPGGA" + std::string(4096, 'x'), 1},
      {"non-ASCII bytes", "$GPGSV,\x80\x81,\xff,\xc3\x28,\xfe,\xfe,\xfe,\xfe*\x99", 1},
      {"GNGSA without fields", "$GNGSA", 1},
      {"GNGSA ending in a comma", "$GNGSA,", 1},
      {"PWGSA of commas", "$PWGSA,,,,,,,,,,,,,,,,,,,,,,,,,,,,,", 1},
      {"vendor GSV with nothing but its ID", "$PWGSV,4*00", 1},
      {"vendor GSV of commas", "$PWGSV,,,,,,,*00", 1},
      {"star alone", "*", 1},
      {"address and star", "$GPGSV*", 1},
      {"RMC fragment", "$GPRMC,", 1},
      {"VTG fragment", "$GPVTG,", 1},
      {"GGA fragment", "GGA", 1},
      {"two dollars", "$$", 0},
  };
  Rig rig;
  rig.Feed(kRmc);
  rig.Feed("$GPGSA,A,3,01,,,,,,,,,,,,1,1,1*00");
  rig.Feed("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48");
  for (const auto& c : cases) {
    EXPECT_EQ(rig.handler.OnNmeaLine(c.line.c_str()), c.result) << c.legend;
  }
  rig.Feed(kRmc);
}

TEST(NmeaLineHandler, FortyGroupGsvReachesTheChart) {
  Rig rig;
  std::string line = "$GAGSV,1,1,40";
  for (int prn = 1; prn <= 40; ++prn)
    line += "," + std::to_string(prn) + ",10,100,20";
  rig.Feed(line + "*00");
  rig.Feed(kRmc);
  ASSERT_EQ(rig.epochs.size(), 1u);
  ASSERT_EQ(rig.epochs[0].size(), 40u);
  EXPECT_EQ(rig.epochs[0][39], (SatelliteBar{0, 4, 20, 40}));
}

}  // namespace
