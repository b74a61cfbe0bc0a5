// The run timeline's signal samples on a real dual-band receiver: ST
// Teseo-LIV4F (st-teseo-liv4f.log, gpsd's, BSD-2), GPS L1 C/A and L5 Q,
// Galileo E1 and E5a, BeiDou B1I and B2a, and a GSA per band. Every line of
// the capture starts with "$$": the live view takes that for two sentences
// run together and decodes none, the timeline reads each at its last "$".
// The first whole epoch is checked against figures worked out by hand from
// its lines; every epoch against a count made here from the raw fields.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "nmea/signal_ids.h"
#include "tests/nmea/recording_lines.h"
#include "timeline/run_timeline.h"

namespace {

using namespace nmea_test;

constexpr std::int64_t kStartOkUs = 1'000'000;

struct Played {
  std::vector<timeline::SkySample> samples;
  timeline::TimelineRecord record;
};

Played PlayCapture(const std::string& name, const std::string& rule) {
  Played out;
  timeline::RunTimeline t(rule);
  t.SetSampleListener(
      [&out](std::int64_t, const timeline::SkySample& sky) { out.samples.push_back(sky); });
  t.Begin(kStartOkUs);
  std::int64_t stamp = kStartOkUs;
  for (const std::string& line : ReceivedLines(ReadFile(kRecordingDir / name)))
    t.Feed(line, stamp += 1000);
  t.Finish();
  out.record = t.Record();
  return out;
}

struct SignalWant {
  std::string signal;
  int tracked, used;
  std::vector<int> snr;
};

std::vector<SignalWant> Got(const timeline::SkySample& s) {
  std::vector<SignalWant> out;
  for (int i = 0; i < s.per_signal_count; ++i) {
    const timeline::SignalSample& p = s.per_signal[static_cast<std::size_t>(i)];
    out.push_back({SignalLabel(p.system, p.signal), p.tracked, p.used,
                   std::vector<int>(p.top.snr.begin(), p.top.snr.begin() + p.top.snr_count)});
  }
  return out;
}

TEST(SignalSamples, TheFirstEpochOfADualBandReceiverAsWorkedOutByHand) {
  const Played p = PlayCapture("st-teseo-liv4f.log", "rmc");
  ASSERT_GE(p.samples.size(), 3u);
  // Lines 1-25 come before the first $GNRMC; epoch 1 is lines 26-48. Used:
  // both GSA of a constellation together (GPS 27 08 07 and 27 08).
  const timeline::SkySample& e = p.samples[1];
  EXPECT_EQ(e.tracked, 24);  // 9 GPS, 3 Galileo, 12 BeiDou
  EXPECT_EQ(e.used, 13);
  EXPECT_EQ(std::vector<int>(e.snr.begin(), e.snr.begin() + e.snr_count),
            (std::vector<int>{45, 42, 42, 41}));  // B25, E16, G7, B34 at their best
  const std::vector<SignalWant> want = {
      {"GPS L1 C/A", 9, 3, {42, 38, 34, 32}},  {"GPS L5 Q", 2, 2, {40, 35}},
      {"Galileo E1", 3, 3, {42, 38, 36}},      {"Galileo E5a", 3, 3, {42, 37, 36}},
      {"BeiDou B1I", 12, 7, {45, 41, 40, 34}}, {"BeiDou B2a", 4, 4, {40, 35, 23, 23}},
  };
  const std::vector<SignalWant> got = Got(e);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].signal, want[i].signal);
    EXPECT_EQ(got[i].tracked, want[i].tracked) << want[i].signal;
    EXPECT_EQ(got[i].used, want[i].used) << want[i].signal;
    EXPECT_EQ(got[i].snr, want[i].snr) << want[i].signal;
  }
  // The fix (rule rmc) is line 26: its epoch's sky, where each satellite stood.
  const auto& sky = p.record.sky_at_fix;
  const auto find = [&sky](int system, int prn) -> const SkySatellite* {
    for (const SkySatellite& s : sky)
      if (s.system == system && s.prn == prn)
        return &s;
    return nullptr;
  };
  ASSERT_EQ(sky.size(), 28u);  // 9 GPS, 4 Galileo, 15 BeiDou in view
  const SkySatellite* b25 = find(kGnssBeidou, 25);
  ASSERT_TRUE(b25);
  EXPECT_EQ(b25->elevation, 45);
  EXPECT_EQ(b25->azimuth, 271);
  EXPECT_TRUE(b25->used);
  ASSERT_EQ(b25->level_count, 2);
  EXPECT_EQ(b25->levels[0], (SignalLevel{1, 45}));
  EXPECT_EQ(b25->levels[1], (SignalLevel{5, 40}));
  const SkySatellite* e11 = find(kGnssGalileo, 11);
  ASSERT_TRUE(e11);
  EXPECT_FALSE(e11->used);
  EXPECT_EQ(e11->BestSnr(), 0);  // in view, not tracked
}

// The signal names of the capture, from the NMEA 4.11 table.
const std::map<std::string, std::map<int, std::string>> kNames = {
    {"GP",
     {{1, "GPS L1 C/A"}, {5, "GPS L2 CM"}, {6, "GPS L2 CL"}, {7, "GPS L5 I"}, {8, "GPS L5 Q"}}},
    {"GA", {{1, "Galileo E5a"}, {2, "Galileo E5b"}, {7, "Galileo E1"}}},
    {"BD", {{1, "BeiDou B1I"}, {3, "BeiDou B1C"}, {5, "BeiDou B2a"}, {11, "BeiDou B2I"}}},
};

TEST(SignalSamples, EveryEpochOfADualBandReceiverMatchesACountOfItsFields) {
  const Played p = PlayCapture("st-teseo-liv4f.log", "rmc");
  // Per epoch and signal: the last S/N of each satellite.
  std::vector<std::map<std::string, std::map<int, int>>> epochs(1);
  for (const std::string& line : ReceivedLines(ReadFile(kRecordingDir / "st-teseo-liv4f.log"))) {
    const std::string sentence = line.substr(line.rfind('$'));
    if (sentence.compare(3, 3, "RMC") == 0) {
      epochs.emplace_back();
      continue;
    }
    if (sentence.compare(3, 3, "GSV") != 0)
      continue;
    const auto f = Fields(sentence.substr(0, sentence.find('*')));
    const std::string& name = kNames.at(sentence.substr(1, 2)).at(std::stoi(f.back(), nullptr, 16));
    for (std::size_t i = 4; i + 3 < f.size(); i += 4)
      if (!f[i].empty())
        epochs.back()[name][ToInt(f[i])] = ToInt(f[i + 3]);
  }
  ASSERT_EQ(p.samples.size(), epochs.size());
  std::size_t checked = 0;
  for (std::size_t e = 0; e < epochs.size(); ++e) {
    std::map<std::string, std::pair<int, int>> want;  // tracked, strongest
    for (const auto& [name, sats] : epochs[e])
      for (const auto& [prn, snr] : sats)
        if (snr > 0) {
          ++want[name].first;
          want[name].second = std::max(want[name].second, snr);
        }
    std::map<std::string, std::pair<int, int>> got;
    for (const SignalWant& w : Got(p.samples[e]))
      got[w.signal] = {w.tracked, w.snr.empty() ? 0 : w.snr.front()};
    // An epoch without GSV keeps the last one's signals.
    if (!epochs[e].empty()) {
      EXPECT_EQ(got, want) << "epoch " << e;
      checked += want.size();
    }
  }
  EXPECT_GT(checked, 60u);
}

}  // namespace
