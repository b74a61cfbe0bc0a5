// The chart's bars and the sky of each epoch, per signal: vectors of
// receivers that send their GSV in any order or every few epochs, and two
// properties over random epochs: with signal IDs one bar per satellite and
// signal, as a count made here from the sentences says; without them the
// chart's classic bars, as a reference written here from the chart's rules
// says.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "nmea/signal_ids.h"
#include "nmea_test_util.h"
#include "recording_lines.h"

namespace {

using nmea_test::Rig;

const std::string kRmcLine =
    "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,0.02,31.66,230394,,,A*6A";

std::string Gsv(const std::string& talker, const std::vector<std::pair<int, int>>& sats,
                const std::string& tail = "") {
  std::string line = "$" + talker + "GSV,1,1," + std::to_string(sats.size());
  for (const auto& [prn, snr] : sats)
    line += "," + std::to_string(prn) + ",30,100," + (snr > 0 ? std::to_string(snr) : "");
  return line + tail + "*00";
}

TEST(SkyEpochs, TheChartKeepsTheLastSkyUntilTheNextIsKnown) {
  Rig rig;
  const std::string g1 = Gsv("GP", {{5, 40}, {7, 30}});
  const std::string g2 = Gsv("GP", {{5, 41}, {9, 35}});
  const std::string gsa = "$GPGSA,A,3,05,,,,,,,,,,,,1,1,1*00";
  // GSV every third epoch, GSA every epoch, RMC first (beidou-bd.log).
  rig.FeedAll({kRmcLine, g1, gsa, kRmcLine, gsa, kRmcLine, "$GPGSA,A,3,07,,,,,,,,,,,,1,1,1*00",
               kRmcLine, g2, kRmcLine});
  ASSERT_EQ(rig.epochs.size(), 5u);
  EXPECT_TRUE(rig.epochs[0].empty());  // nothing known yet
  const std::vector<SatelliteBar> first = {{1, 1, 40, 5}, {0, 1, 30, 7}};
  EXPECT_EQ(rig.epochs[1], first);
  EXPECT_EQ(rig.epochs[2], first);  // no GSV: the same satellites, the epoch's GSA
  EXPECT_EQ(rig.epochs[3], (std::vector<SatelliteBar>{{0, 1, 40, 5}, {1, 1, 30, 7}}));
  // No GSA in the last epoch: the last GSA's list (07) still says who is used.
  EXPECT_EQ(rig.epochs[4], (std::vector<SatelliteBar>{{0, 1, 41, 5}, {0, 1, 35, 9}}));
  // RMC last (skytraq-PX1172RH_DS.log): each RMC hands its own epoch.
  Rig last;
  last.FeedAll({g1, gsa, kRmcLine, g2, kRmcLine, kRmcLine});
  ASSERT_EQ(last.epochs.size(), 3u);
  EXPECT_EQ(last.epochs[0], first);
  EXPECT_EQ(last.epochs[2], last.epochs[1]);
  // The end of a run empties the sky: the next RMC hands nothing.
  last.handler.OnClearSatellites();
  last.Feed(kRmcLine);
  EXPECT_TRUE(last.epochs.back().empty());
  EXPECT_TRUE(last.skies.back().satellites.empty());
}

TEST(SkyEpochs, ADualBandEpochHasOneSatelliteWithABarPerSignal) {
  Rig rig;
  rig.FeedAll({Gsv("GP", {{5, 41}, {13, 0}}, ",1"), Gsv("GP", {{5, 45}}, ",8"),
               Gsv("GA", {{8, 40}}, ",7"), Gsv("GA", {{8, 44}}, ",1"),
               "$GNGSA,A,3,05,,,,,,,,,,,,1,1,1,1*00", kRmcLine});
  ASSERT_EQ(rig.skies.size(), 1u);
  const SkyEpoch& sky = rig.skies[0];
  EXPECT_TRUE(sky.per_signal);
  // GPS before Galileo; each satellite's L1-band signal before its L5-band one.
  const std::vector<SatelliteBar> want = {
      {1, 1, 41, 5, 1}, {1, 1, 45, 5, 8}, {0, 4, 40, 8, 7}, {0, 4, 44, 8, 1}};
  EXPECT_EQ(sky.bars, want);
  ASSERT_EQ(sky.satellites.size(), 3u);  // G5, G13 (in view only), E8
  EXPECT_EQ(sky.satellites[1].prn, 13);
  EXPECT_EQ(sky.satellites[1].BestSnr(), 0);
  EXPECT_EQ(sky.satellites[2].level_count, 2);
  EXPECT_EQ(sky.satellites[2].elevation, 30);
}

// One random epoch: GSV groups of some constellations, with or without a
// signal ID, some satellites reported twice; GSA lists by system ID.
struct RandomEpoch {
  std::vector<std::string> lines;
  // What the sentences say, counted apart from the decoder.
  std::map<std::tuple<char, int, int>, int> last_snr;  // (letter, prn, signal) -> S/N
};

RandomEpoch MakeEpoch(std::mt19937& rng, bool signals) {
  struct Talker {
    const char* id;
    char letter;
    std::vector<int> signal_ids;
  };
  const Talker talkers[] = {{"GP", 'G', {1, 6, 8}}, {"GL", 'R', {1, 3}}, {"GA", 'E', {7, 1, 2}}};
  std::uniform_int_distribution<int> prn(1, 40), snr(0, 50), count(0, 4), pick(0, 2);
  RandomEpoch e;
  for (const Talker& t : talkers) {
    for (int group = 0, groups = count(rng); group < groups; ++group) {
      const int signal = t.signal_ids[static_cast<std::size_t>(pick(rng)) % t.signal_ids.size()];
      std::vector<std::pair<int, int>> sats;
      for (int n = count(rng); n > 0; --n) {
        int p = prn(rng) + (t.letter == 'R' ? 64 : 0);
        if (t.letter == 'G' && p >= 33)
          p -= 20;  // no SBAS here: its letter differs
        sats.emplace_back(p, snr(rng));
        e.last_snr[{t.letter, p, signals ? signal : kNoSignal}] = sats.back().second;
      }
      e.lines.push_back(Gsv(t.id, sats, signals ? "," + std::to_string(signal) : ""));
    }
  }
  e.lines.push_back("$GNGSA,A,3,01,02,03,04,05,,,,,,,,1,1,1,1*00");
  e.lines.push_back("$GPGSV,1,1,00*00");  // the epoch always has a GSV
  e.lines.push_back(kRmcLine);
  return e;
}

TEST(SkyEpochs, WithSignalIdsOneBarPerSatelliteAndSignalAsTheSentencesSay) {
  std::mt19937 rng(2311);
  std::size_t bars = 0;
  for (int round = 0; round < 300; ++round) {
    Rig rig;
    const RandomEpoch e = MakeEpoch(rng, true);
    rig.FeedAll(e.lines);
    ASSERT_EQ(rig.epochs.size(), 1u);
    std::set<std::tuple<char, int, int>> seen;
    for (const SatelliteBar& b : rig.epochs[0]) {
      const auto key = std::make_tuple(GnssLetter(b.system), b.prn, b.signal);
      EXPECT_TRUE(seen.insert(key).second) << "two bars for one satellite and signal";
      const auto it = e.last_snr.find(key);
      ASSERT_NE(it, e.last_snr.end());
      EXPECT_EQ(b.snr, it->second);  // the last report of it
      EXPECT_EQ(b.used != 0, GnssLetter(b.system) == 'G' && b.prn <= 5);
    }
    for (const auto& [key, snr] : e.last_snr)
      EXPECT_EQ(seen.count(key), snr > 0 ? 1u : 0u);
    bars += seen.size();
  }
  EXPECT_GT(bars, 1000u);
}

// The chart's classic bars, written here from its rules: every GSV record of
// the GP, GL and GA talkers with S/N above 0, in arrival order, GPS PRNs
// 33..51 as SBAS, used when in its constellation's list.
std::vector<SatelliteBar> ClassicBars(const std::vector<std::string>& lines) {
  std::set<int> used;  // the epoch's GPS list, wherever in it the GSA came
  for (const std::string& line : lines) {
    const auto f = nmea_test::Fields(line);
    if (line.rfind("$GNGSA", 0) == 0) {
      used.clear();
      for (std::size_t i = 3; i <= 14 && !f[i].empty(); ++i)
        used.insert(std::stoi(f[i]));
    }
  }
  std::vector<SatelliteBar> bars;
  for (const std::string& line : lines) {
    const auto f = nmea_test::Fields(line.substr(0, line.find('*')));
    const int code = line.rfind("$GPGSV", 0) == 0   ? 1
                     : line.rfind("$GLGSV", 0) == 0 ? 0
                     : line.rfind("$GAGSV", 0) == 0 ? 4
                                                    : -1;
    for (std::size_t i = 4; code >= 0 && i + 3 < f.size(); i += 4) {
      const int prn = std::stoi(f[i]), snr = f[i + 3].empty() ? 0 : std::stoi(f[i + 3]);
      if (snr > 0)
        bars.push_back({code == 1 && used.count(prn) ? 1 : 0, code, snr, prn});
    }
  }
  return bars;
}

TEST(SkyEpochs, WithoutSignalIdsTheChartsClassicBars) {
  std::mt19937 rng(23);
  std::size_t bars = 0;
  for (int round = 0; round < 300; ++round) {
    Rig rig;
    const RandomEpoch e = MakeEpoch(rng, false);
    rig.FeedAll(e.lines);
    ASSERT_EQ(rig.epochs.size(), 1u);
    EXPECT_FALSE(rig.skies[0].per_signal);
    EXPECT_EQ(rig.epochs[0], ClassicBars(e.lines));  // duplicates and all
    bars += rig.epochs[0].size();
  }
  EXPECT_GT(bars, 1000u);
}

}  // namespace
