#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea_test_util.h"

namespace {

using nmea_test::Rig;

// One complete, valid set: time and position, fix type, speed.
const char* kRmcA = "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,0.02,31.66,230394,,,A*6A";
const char* kGsa3 = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const char* kVtg = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48";
const char* kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

void ExpectShowsValidSet(const Rig& rig) {
  EXPECT_EQ(rig.Label(kIdLat), "4807.0380N");
  EXPECT_EQ(rig.Label(kIdLon), "01131.0000E");
  EXPECT_EQ(rig.Label(kIdUtcTime), "123519.000");
  EXPECT_EQ(rig.Label(kIdUtcDate), "230394");
  EXPECT_EQ(rig.Label(kIdFixMode), "3D");
  EXPECT_EQ(rig.Label(kIdSpeed), "010.2");
}

void ExpectSixBlank(const Rig& rig) {
  for (int id : {kIdLat, kIdLon, kIdUtcTime, kIdUtcDate, kIdFixMode, kIdSpeed}) {
    EXPECT_EQ(rig.Label(id), "") << "label " << id;
  }
}

TEST(Position, LabelsFillOnlyOnceTimeFixTypeAndSpeedAreKnown) {
  Rig rig;
  rig.Feed(kRmcA);
  EXPECT_EQ(rig.handler.Record().m_str_lat, "4807.0380N");
  EXPECT_EQ(rig.handler.Record().m_str_utc_date, "230394");
  ExpectSixBlank(rig);  // stored, not shown
  rig.Feed(kGsa3);
  ExpectSixBlank(rig);  // speed still missing
  rig.Feed(kVtg);       // completes the set
  ExpectShowsValidSet(rig);
}

TEST(Position, EitherGsaOrVtgCompletesTheSet) {
  Rig rig;
  rig.FeedAll({kRmcA, kVtg, kGsa3});
  ExpectShowsValidSet(rig);
}

TEST(Position, StatusVFreezesEverythingUntilTheNextValidRmc) {
  Rig rig;
  rig.FeedAll({kRmcA, kGsa3, kVtg, kGga});
  ASSERT_TRUE(rig.handler.Record().m_b_rmc_valid);
  rig.Feed("$GPRMC,123520.000,V,4807.0390,N,01131.0010,E,0.02,31.66,230394,,,N*6A");
  EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid);
  rig.FeedAll({"$GPGSA,A,2,04,05,,,,,,,,,,,2.5,1.3,2.1*39",
               "$GPVTG,054.7,T,034.4,M,005.5,N,099.9,K*48",
               "$GPGGA,123520,4807.038,N,01131.000,E,1,08,7.7,111.1,M,46.9,M,,*47"});
  ExpectShowsValidSet(rig);
  EXPECT_EQ(rig.Label(kIdAltitude), "545.4");
  EXPECT_EQ(rig.Label(kIdHdop), "0.9");
  EXPECT_EQ(rig.handler.Record().m_str_fix_mode, "3");  // the GSA under V was not taken
  rig.Feed("$GPRMC,123521.000,A,4807.0400,S,01131.0020,W,0.02,31.66,240394,,,A*6A");
  EXPECT_EQ(rig.Label(kIdLat), "4807.0400S");
  EXPECT_EQ(rig.Label(kIdLon), "01131.0020W");
  EXPECT_EQ(rig.Label(kIdUtcTime), "123521.000");
  EXPECT_EQ(rig.Label(kIdUtcDate), "240394");
  EXPECT_EQ(rig.Label(kIdFixMode), "3D");
}

TEST(Position, AnyStatusOtherThanExactlyAClearsValidity) {
  for (const char* status : {"V", "a", "A ", "", "AA"}) {
    Rig rig;
    rig.Feed(kRmcA);
    rig.Feed(std::string("$GPRMC,123520.000,") + status + ",4807.0,N,01131.0,E,0,0,230394,,,A*00");
    EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid) << "status '" << status << "'";
  }
}

TEST(Position, FixTypeOneBlanksFixModeAtTheNextUpdate) {
  Rig rig;
  rig.FeedAll({kRmcA, kGsa3, kVtg});
  rig.Feed("$GPGSA,A,1,,,,,,,,,,,,,,,*1E");
  EXPECT_EQ(rig.Label(kIdFixMode), "");
  EXPECT_EQ(rig.Label(kIdLat), "4807.0380N");
  EXPECT_EQ(rig.Label(kIdSpeed), "010.2");
}

TEST(Position, FixModeTextTable) {
  struct {
    const char* fix_type;
    const char* shown;
  } const cases[] = {{"1", ""}, {"2", "2D"}, {"3", "3D"}, {"", ""}, {"03", ""}, {"3 ", ""}};
  for (const auto& c : cases) {
    PositionRecord record;
    record.m_str_fix_mode = c.fix_type;
    LiveView view;
    UpdatePositionDisplay(record, view);
    EXPECT_EQ(view.Text(kIdFixMode), c.shown) << "fix type '" << c.fix_type << "'";
  }
}

TEST(Position, OnlyTheGpTalkerCountsForRmcAndGsa) {
  Rig rig;
  rig.Feed("$GNRMC,123519.000,A,4807.0380,N,01131.0000,E,0.02,31.66,230394,,,A*6A");
  EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid);
  EXPECT_EQ(rig.handler.Record().m_str_utc_time, "");
  EXPECT_EQ(rig.handler.Record().m_str_lat, "");
  rig.FeedAll({kRmcA, kVtg, "$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,1*39"});
  EXPECT_EQ(rig.handler.Record().m_str_fix_mode, "");
  ExpectSixBlank(rig);
  // VTG and GGA are taken from any talker.
  rig.FeedAll({kGsa3, "$GNVTG,054.7,T,034.4,M,005.5,N,042.0,K,A*48",
               "$GNGGA,123519,4807.038,N,01131.000,E,1,08,1.1,12.5,M,46.9,M,,*47"});
  EXPECT_EQ(rig.Label(kIdSpeed), "042.0");
  EXPECT_EQ(rig.Label(kIdHdop), "1.1");
  EXPECT_EQ(rig.Label(kIdAltitude), "12.5");
}

TEST(Position, ShortSentencesAreReadWithEmptyFieldsAndNeverPastTheirEnd) {
  Rig rig;
  rig.FeedAll({kRmcA, kGsa3, kVtg});
  // RMC with fewer than 10 fields: only the time is taken.
  rig.Feed("$GPRMC,130000.00,A,1111.1,S*00");
  EXPECT_EQ(rig.handler.Record().m_str_utc_time, "130000.00");
  EXPECT_EQ(rig.handler.Record().m_str_lat, "4807.0380N");
  // VTG with 7 fields or fewer and GGA with 9 or fewer are ignored.
  rig.Feed("$GPVTG,054.7,T,034.4,M,005.5,N*48");
  EXPECT_EQ(rig.handler.Record().m_str_speed, "010.2");
  rig.Feed("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.7*47");
  EXPECT_EQ(rig.Label(kIdHdop), "");
  // A GSA without its fix-type field reads it as empty.
  rig.Feed("$GPGSA");
  EXPECT_EQ(rig.handler.Record().m_str_fix_mode, "");
  EXPECT_EQ(rig.Label(kIdFixMode), "");
  // RMC without status or time: status empty, so not valid.
  rig.Feed("$GPRMC");
  EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid);
  rig.Feed("$GPRMC,1");
  EXPECT_FALSE(rig.handler.Record().m_b_rmc_valid);
}

TEST(Position, ResetsEmptyTheRecordButKeepValidity) {
  Rig rig;
  rig.FeedAll({kRmcA, kGsa3, kVtg, kGga});

  rig.handler.ResetAtRunStart();  // WM_USER+1005: strings only
  EXPECT_EQ(rig.handler.Record().m_str_lat, "");
  EXPECT_EQ(rig.handler.Record().m_str_speed, "");
  EXPECT_TRUE(rig.handler.Record().m_b_rmc_valid);
  ExpectShowsValidSet(rig);
  EXPECT_EQ(rig.Label(kIdAltitude), "545.4");
  // After a reset the labels wait for RMC, GSA and VTG anew.
  rig.FeedAll({kGsa3, kVtg});
  ExpectShowsValidSet(rig);
  EXPECT_EQ(rig.handler.Record().m_str_utc_time, "");

  rig.FeedAll({kRmcA, kGsa3, kVtg});
  rig.handler.ResetAtRunEnd();  // strings, altitude, HDOP, then redraw
  for (int id : kLiveFieldIds)
    EXPECT_EQ(rig.Label(id), "") << "label " << id;
  EXPECT_TRUE(rig.handler.Record().m_b_rmc_valid);

  rig.FeedAll({kRmcA, kGsa3, kVtg, kGga});
  rig.handler.ResetAtTestStart();  // strings and all eight labels
  for (int id : kLiveFieldIds)
    EXPECT_EQ(rig.Label(id), "") << "label " << id;
  EXPECT_EQ(rig.handler.Record().m_str_fix_mode, "");
  EXPECT_TRUE(rig.handler.Record().m_b_rmc_valid);
}

TEST(LiveView, ObserversAreToldEverySetAndCanLeaveAnyTime) {
  LiveView view;
  std::vector<std::pair<int, std::string>> seen;
  const auto a = view.AddObserver([&](int id, const std::string& t) { seen.emplace_back(id, t); });
  LiveView::Handle b = 0;
  int b_calls = 0;
  b = view.AddObserver([&](int, const std::string&) {
    ++b_calls;
    EXPECT_TRUE(view.RemoveObserver(b));                            // leaves while being told
    view.AddObserver([&](int, const std::string&) { ++b_calls; });  // joins meanwhile
  });
  view.SetText(kIdHdop, "0.9");
  view.SetText(kIdHdop, "0.9");  // unchanged text is still told
  view.SetText(4242, "ignored");
  EXPECT_EQ(view.Text(4242), "");
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::string>>{{kIdHdop, "0.9"}, {kIdHdop, "0.9"}}));
  EXPECT_EQ(b_calls, 2);  // b once, then the one it added once
  EXPECT_TRUE(view.RemoveObserver(a));
  EXPECT_FALSE(view.RemoveObserver(a));
  EXPECT_FALSE(view.RemoveObserver(b));
  view.SetText(kIdLat, "x");
  EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
