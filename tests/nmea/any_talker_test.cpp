// The any-talker live view mode (every fix rule but "gprmc") on the real
// receiver recordings of tests/data/nmea: RMC of every talker feeds the
// position fields, GSA sentences mark the used satellites by system ID,
// talker or PRN range, and the default mode stays as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "nmea/gsa_any_talker.h"
#include "nmea_test_util.h"
#include "recording_lines.h"

namespace {

namespace fs = std::filesystem;
using namespace nmea_test;

const std::set<std::string> kTalkers = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"};

// The talker of a "$ttXXX" sentence of type `type` in a one-sentence line,
// or "" when the line holds none.
std::string TalkerOf(const std::string& line, const std::string& type) {
  const std::size_t at = line.find('$');
  if (at == std::string::npos || Dollars(line) != 1 || line.compare(at + 3, 3, type) != 0)
    return "";
  const std::string talker = line.substr(at + 1, 2);
  return kTalkers.count(talker) ? talker : "";
}

// Rigs in both modes over one recording; `any` also logs every label change.
struct TwoModes {
  Rig gprmc;
  Rig any;
  std::vector<std::pair<int, std::string>> gprmc_changes, any_changes;
  TwoModes() {
    any.handler.SetLiveViewMode(LiveViewMode::kAnyTalker);
    gprmc.view.AddObserver([this](int id, const std::string& t) {
      gprmc_changes.push_back({id, t});
    });
    any.view.AddObserver([this](int id, const std::string& t) { any_changes.push_back({id, t}); });
  }
  void Feed(const std::string& line) {
    gprmc.handler.OnNmeaLine(line.c_str());
    any.handler.OnNmeaLine(line.c_str());
  }
};

TEST(AnyTalker, GsaPrnRangesFollowTheNmeaNumbering) {
  const std::pair<int, int> vectors[] = {
      {0, kGnssOther},     {1, kGnssGps},      {32, kGnssGps},     {33, kGnssGps},
      {64, kGnssGps},      {65, kGnssGlonass}, {96, kGnssGlonass}, {97, kGnssOther},
      {192, kGnssOther},   {193, kGnssQzss},   {200, kGnssQzss},   {201, kGnssBeidou},
      {237, kGnssBeidou},  {238, kGnssOther},  {300, kGnssOther},  {301, kGnssGalileo},
      {336, kGnssGalileo}, {337, kGnssOther},  {401, kGnssBeidou}, {437, kGnssBeidou},
      {438, kGnssOther},   {-5, kGnssOther},
  };
  for (const auto& [prn, system] : vectors)
    EXPECT_EQ(GsaPrnSystem(prn), system) << "PRN " << prn;
}

// One GSA line each, in the any-talker mode: the used lists it leaves.
TEST(AnyTalker, GsaLinesFillTheListsTheirIdTalkerOrPrnsName) {
  struct Vector {
    const char* line;
    std::vector<int> gps, glonass, galileo, beidou, qzss;
  };
  const Vector vectors[] = {
      // No system ID, combined talker: by PRN (ublox-8.log; VDOP "1.38").
      {"$GNGSA,A,3,23,09,80,70,,,,,,,,,1.71,1.01,1.38*1B", {23, 9}, {80, 70}, {}, {}, {}},
      {"$GNGSA,A,3,201,193,301,401,33,,,,,,,,2.5,1.2,2.2*00", {33}, {}, {301}, {201, 401}, {193}},
      // NMEA 4.10 system ID wins over the PRNs (telit-pls83-w.log: BeiDou 208).
      {"$GNGSA,A,2,208,211,,,,,,,,,,,1.6,1.3,0.9,4*01", {}, {}, {}, {208, 211}, {}},
      {"$GNGSA,A,3,05,12,,,,,,,,,,,1.7,0.8,1.6,2*32", {}, {5, 12}, {}, {}, {}},
      // A decimal 19th field is no system ID (beidou-bd.log): the talker decides.
      {"$BDGSA,A,3,02,03,04,,,,,,,,,,2.1,1.1,1.8,1.2*2D", {}, {}, {}, {2, 3, 4}, {}},
      {"$GPGSA,A,3,73,13,,,,,,,,,,,9.9,9.9,9.9*36", {73, 13}, {}, {}, {}, {}},
      {"$GLGSA,A,2,67,84,,,,,,,,,,,02.5,02.3,01.0*1C", {}, {67, 84}, {}, {}, {}},
      {"$GQGSA,A,3,02,,,,,,,,,,,,1.0,1.0,1.0*00", {}, {}, {}, {}, {2}},
      // NavIC has no list; unknown PRNs, an empty or a cut-off GSA add nothing.
      {"$GIGSA,A,3,05,,,,,,,,,,,,1.0,1.0,1.0*00", {}, {}, {}, {}, {}},
      {"$GNGSA,A,3,,,,,,,,,,,,,1.0,1.0,1.0,6*00", {}, {}, {}, {}, {}},
      {"$GNGSA,A,3,999,-1,0,,,,,,,,,,1.0,1.0,1.0*00", {}, {}, {}, {}, {}},
      {"$GNGSA,A,3,1,,,,,,,,,,,,", {1}, {}, {}, {}, {}},
      {"$GNGSA", {}, {}, {}, {}, {}},
      {"$GN", {}, {}, {}, {}, {}},
  };
  for (const Vector& v : vectors) {
    Rig rig;
    rig.handler.SetLiveViewMode(LiveViewMode::kAnyTalker);
    EXPECT_EQ(rig.Feed(v.line), 1) << v.line;
    const SatelliteCollections& sats = rig.handler.Satellites();
    EXPECT_EQ(sats.m_vec_gps_used, v.gps) << v.line;
    EXPECT_EQ(sats.m_vec_glonass_used, v.glonass) << v.line;
    EXPECT_EQ(sats.m_vec_galileo_used, v.galileo) << v.line;
    EXPECT_EQ(sats.m_vec_beidou_used, v.beidou) << v.line;
    EXPECT_EQ(sats.m_vec_qzss_used, v.qzss) << v.line;
  }
  // Two GSA of one epoch: each replaces only the lists it names.
  Rig rig;
  rig.handler.SetLiveViewMode(LiveViewMode::kAnyTalker);
  rig.FeedAll({"$GNGSA,A,3,23,09,,,,,,,,,,,1.7,1.0,1.4*00",
               "$GNGSA,A,3,80,70,,,,,,,,,,,1.7,1.0,1.4*00",
               "$GNGSA,A,3,16,,,,,,,,,,,,1.7,1.0,1.4*00", "$GNGSA,A,1,,,,,,,,,,,,,,,*00"});
  EXPECT_EQ(rig.handler.Satellites().m_vec_gps_used, std::vector<int>({16}));
  EXPECT_EQ(rig.handler.Satellites().m_vec_glonass_used, std::vector<int>({80, 70}));
}

// Every recording whose RMCs are not all "$GPRMC": in the any-talker mode
// each valid RMC, of whatever talker, is the position record character for
// character, and so are the labels whenever that line filled them. In the
// default mode a recording without "$GPRMC" never shows a position.
TEST(AnyTalker, ValidRmcOfEveryTalkerIsShownCharacterForCharacter) {
  const std::set<std::string> expected_files = {
      "beidou-bd.log", "beidou-gb.log",           "ch-4711.log",
      "rx210.log",     "skytraq-PX1172RH_DS.log", "telit-pls83-w.log",
      "ublox-8.log",   "ublox-f9p-hpnmea.log",    "ublox8-uniqid-monhw.log"};
  std::set<std::string> files;
  std::size_t label_checks = 0;
  for (const auto& path : Recordings()) {
    const std::string name = path.filename().string();
    const auto lines = ReceivedLines(ReadFile(path));
    ASSERT_FALSE(lines.empty()) << "missing recording " << path;
    bool other_rmc = false, gprmc = false;
    for (const auto& line : lines) {
      const std::string talker = TalkerOf(line, "RMC");
      other_rmc |= !talker.empty() && talker != "GP";
      gprmc |= Has(line, "$GPRMC");
    }
    if (!other_rmc)
      continue;
    files.insert(name);

    TwoModes rigs;
    std::set<int> set_now;
    rigs.any.view.AddObserver([&](int id, const std::string&) { set_now.insert(id); });
    std::size_t record_checks = 0;
    for (const auto& line : lines) {
      set_now.clear();
      rigs.Feed(line);
      if (TalkerOf(line, "RMC").empty())
        continue;
      const auto f = Fields(line);
      EXPECT_EQ(rigs.any.handler.Record().m_b_rmc_valid, f[2] == "A") << name << ": " << line;
      if (f.size() < 10 || f[2] != "A")
        continue;
      const PositionRecord& rec = rigs.any.handler.Record();
      EXPECT_EQ(rec.m_str_utc_time, f[1]) << name << ": " << line;
      EXPECT_EQ(rec.m_str_lat, f[3] + f[4]) << name << ": " << line;
      EXPECT_EQ(rec.m_str_lon, f[5] + f[6]) << name << ": " << line;
      EXPECT_EQ(rec.m_str_utc_date, f[9]) << name << ": " << line;
      ++record_checks;
      if (set_now.count(kIdLat) == 0)
        continue;  // the set (RMC, GSA, VTG) was not complete yet
      EXPECT_EQ(rigs.any.Label(kIdLat), f[3] + f[4]) << name << ": " << line;
      EXPECT_EQ(rigs.any.Label(kIdLon), f[5] + f[6]) << name << ": " << line;
      EXPECT_EQ(rigs.any.Label(kIdUtcTime), f[1]) << name << ": " << line;
      EXPECT_EQ(rigs.any.Label(kIdUtcDate), f[9]) << name << ": " << line;
      ++label_checks;
    }
    EXPECT_GT(record_checks, 0u) << name << " has no valid RMC";
    if (!gprmc) {
      for (const int id : {kIdLat, kIdLon, kIdUtcTime, kIdUtcDate})
        EXPECT_EQ(rigs.gprmc.Label(id), "") << name << " in the default mode, label " << id;
      EXPECT_FALSE(rigs.gprmc.handler.Record().m_b_rmc_valid) << name;
    }
  }
  EXPECT_EQ(files, expected_files);
  EXPECT_GT(label_checks, 90u);  // ublox-8 alone fills the labels at 72 RMCs
}

// The used lists of one epoch, counted here from its GSA lines: the system
// ID of NMEA 4.10 (a 19th field that is a digit 1..6), else the talker when
// it names one constellation, else each satellite by its PRN range.
struct UsedCount {
  std::map<char, std::set<int>> lists;  // 'G' (GPS and SBAS), 'R', 'E', 'B', 'Q'

  static char ByPrn(int prn) {
    if (prn >= 1 && prn <= 64)
      return 'G';
    if (prn >= 65 && prn <= 96)
      return 'R';
    if (prn >= 193 && prn <= 200)
      return 'Q';
    if ((prn >= 201 && prn <= 237) || (prn >= 401 && prn <= 437))
      return 'B';
    if (prn >= 301 && prn <= 336)
      return 'E';
    return '-';
  }

  void Add(const std::string& line, const std::string& talker) {
    const auto f = Fields(line);
    char whole = 0;  // the list of the whole sentence; 0: by PRN
    const std::string last = f.back().substr(0, f.back().find('*'));
    const std::map<std::string, char> by_talker = {{"GP", 'G'}, {"GL", 'R'}, {"GA", 'E'},
                                                   {"GB", 'B'}, {"BD", 'B'}, {"GQ", 'Q'},
                                                   {"QZ", 'Q'}, {"GI", '-'}};
    if (f.size() >= 19 && last.size() == 1 && last[0] >= '1' && last[0] <= '6') {
      whole = "GREBQ-"[last[0] - '1'];
    } else if (by_talker.count(talker)) {
      whole = by_talker.at(talker);
    }
    std::vector<int> ids;
    for (std::size_t i = 3; i <= 14 && i < f.size() && !f[i].empty(); ++i)
      ids.push_back(ToInt(f[i]));
    std::set<char> replaced;
    if (whole != 0)
      replaced.insert(whole);
    for (int prn : ids)
      replaced.insert(whole != 0 ? whole : ByPrn(prn));
    for (char list : replaced)
      lists[list].clear();
    for (int prn : ids)
      lists[whole != 0 ? whole : ByPrn(prn)].insert(prn);
  }

  bool Used(char letter, int prn) const {
    const char list = letter == 'S' ? 'G' : letter;
    const auto it = lists.find(list);
    return it != lists.end() && it->second.count(prn) > 0;
  }
};

// Every recording: the any-talker mode hands the chart the same bars as the
// default mode, with used flags as the independent count says; on ublox-8,
// whose GSA carry no system ID, that turns its used satellites on.
TEST(AnyTalker, UsedFlagsMatchAnIndependentCount) {
  std::map<std::string, std::size_t> used_by_file;
  std::size_t bars = 0;
  for (const auto& path : Recordings()) {
    const std::string name = path.filename().string();
    TwoModes rigs;
    std::vector<UsedCount> expected;
    UsedCount epoch, last;  // an epoch without GSA keeps the last one's lists
    bool epoch_gsa = false;
    for (const auto& line : ReceivedLines(ReadFile(path))) {
      rigs.Feed(line);
      if (Dollars(line) >= 2)
        continue;
      if (Has(line, "RMC")) {
        if (epoch_gsa)
          last = epoch;
        expected.push_back(last);
        epoch = {};
        epoch_gsa = false;
      } else if (const std::string talker = TalkerOf(line, "GSA"); !talker.empty()) {
        epoch.Add(line, talker);
        epoch_gsa = true;
      }
      ASSERT_FALSE(Has(line, "$PWGSA")) << "vendor sentences are not counted here";
    }
    ASSERT_EQ(rigs.any.epochs.size(), expected.size()) << name;
    ASSERT_EQ(rigs.gprmc.epochs.size(), expected.size()) << name;
    for (std::size_t e = 0; e < expected.size(); ++e) {
      if (rigs.any.skies[e].per_signal)
        continue;  // used per satellite and signal: SkyEpochs and the golden decodes
      const auto& got = rigs.any.epochs[e];
      const auto& plain = rigs.gprmc.epochs[e];
      ASSERT_EQ(got.size(), plain.size()) << name << " epoch " << e;
      for (std::size_t b = 0; b < got.size(); ++b) {
        EXPECT_EQ(got[b].prn, plain[b].prn) << name << " epoch " << e;
        EXPECT_EQ(got[b].snr, plain[b].snr) << name << " epoch " << e;
        EXPECT_EQ(got[b].system, plain[b].system) << name << " epoch " << e;
        const bool want = expected[e].Used(GnssLetter(got[b].system), got[b].prn);
        EXPECT_EQ(got[b].used != 0, want)
            << name << " epoch " << e << " " << GnssLetter(got[b].system) << got[b].prn;
        used_by_file[name] += got[b].used != 0;
        ++bars;
      }
    }
  }
  EXPECT_GT(bars, 1000u);
  EXPECT_GT(used_by_file["ublox-8.log"], 900u);
  EXPECT_GT(used_by_file["st-teseo-liv3f.log"], 400u);
  EXPECT_GT(used_by_file["ch-4711.log"], 0u);
}

// Recordings whose RMC and GSA sentences are all of the GP talker decode
// alike in both modes: the same label changes in the same order and the
// same bars with the same used flags. The default mode itself is pinned by
// the golden files of nmea.DecodeGolden.
TEST(AnyTalker, GpOnlyRecordingsDecodeAlikeInBothModes) {
  std::size_t files = 0;
  for (const auto& path : Recordings()) {
    const auto lines = ReceivedLines(ReadFile(path));
    bool gp_only = true;
    for (const auto& line : lines) {
      for (const char* type : {"RMC", "GSA"}) {
        const std::string talker = TalkerOf(line, type);
        gp_only &= talker.empty() || talker == "GP";
      }
    }
    if (!gp_only)
      continue;
    ++files;
    TwoModes rigs;
    for (const auto& line : lines)
      rigs.Feed(line);
    EXPECT_EQ(rigs.any_changes, rigs.gprmc_changes) << path.filename();
    ASSERT_EQ(rigs.any.epochs.size(), rigs.gprmc.epochs.size()) << path.filename();
    for (std::size_t e = 0; e < rigs.any.epochs.size(); ++e) {
      const auto& a = rigs.any.epochs[e];
      const auto& g = rigs.gprmc.epochs[e];
      ASSERT_EQ(a.size(), g.size()) << path.filename() << " epoch " << e;
      for (std::size_t b = 0; b < a.size(); ++b)
        EXPECT_EQ(a[b].used, g[b].used) << path.filename() << " epoch " << e << " bar " << b;
    }
  }
  EXPECT_EQ(files, 15u);
}

}  // namespace
