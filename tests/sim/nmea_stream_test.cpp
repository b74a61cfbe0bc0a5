// The NMEA the simulated receiver streams: checksums, field counts, talkers
// and forms the decoders rely on, RMC first in each epoch, V before A.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

#include "fix_rules/registry.h"
#include "sim/receiver_model.h"
#include "tests/nmea/nmea_test_util.h"
#include "tests/sim/device_port.h"

namespace {

using simtest::Fields;
using simtest::Lines;

const platform::LocalTime kUtc{2024, 3, 1, 12, 0, 7, 250};

// Checks the "*hh" against an XOR computed here, independently of the builder.
bool ChecksumMatches(const std::string& line) {
  const auto star = line.find('*');
  if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 != line.size()) {
    return false;
  }
  unsigned sum = 0;
  for (std::size_t i = 1; i < star; ++i)
    sum ^= static_cast<unsigned char>(line[i]);
  return std::strtoul(line.substr(star + 1).c_str(), nullptr, 16) == sum;
}

std::vector<std::string> EpochLines(sim::ReceiverModel& model, int k) {
  std::string bytes;
  for (const auto& s : model.Epoch(k, kUtc))
    bytes += s;
  return Lines(bytes);
}

TEST(SimReceiverModel, EverySentenceHasAValidChecksumAndItsFieldCount) {
  sim::ReceiverModel model(7);
  model.Restart(3);
  // Legend: address -> field count including the address (with the checksum in the last).
  const std::map<std::string, std::size_t> counts = {{"$GPRMC", 13}, {"$GPGGA", 15},
                                                     {"$GPVTG", 10}, {"$GPGSA", 19},
                                                     {"$GNGSA", 19}, {"$PWGSA", 19}};
  for (int k = 0; k < 6; ++k) {
    std::string bytes;
    for (const auto& s : model.Epoch(k, kUtc)) {
      ASSERT_GE(s.size(), 2u);
      EXPECT_EQ(s.substr(s.size() - 2), "\r\n") << s;
      bytes += s;
    }
    for (const std::string& line : Lines(bytes)) {
      EXPECT_TRUE(ChecksumMatches(line)) << line;
      EXPECT_LE(line.size() + 2, 82u) << "NMEA 0183 limit: " << line;
      const auto fields = Fields(line);
      if (auto it = counts.find(fields[0]); it != counts.end()) {
        EXPECT_EQ(fields.size(), it->second) << line;
      } else if (fields[0] == "$PWGSV") {
        EXPECT_EQ((fields.size() - 5) % 4, 0u) << "groups of four plus the system ID: " << line;
      } else {
        ASSERT_TRUE(fields[0] == "$GPGSV" || fields[0] == "$GLGSV" || fields[0] == "$GAGSV")
            << line;
        EXPECT_EQ((fields.size() - 4) % 4, 0u) << "groups of four: " << line;
      }
    }
  }
}

TEST(SimReceiverModel, VBeforeTheFixEpochAThenWithPositionAndUsedSatellites) {
  sim::ReceiverModel model(3);
  model.Restart(4);
  for (int k = 0; k < 8; ++k) {
    const auto lines = EpochLines(model, k);
    ASSERT_FALSE(lines.empty());
    const auto rmc = Fields(lines[0]);
    ASSERT_EQ(rmc[0], "$GPRMC") << "RMC leads epoch " << k;
    EXPECT_EQ(rmc[1], "120007.250");
    EXPECT_EQ(rmc[9], "010324");
    for (const std::string& line : lines) {
      const auto f = Fields(line);
      if (f[0] == "$GPGSA") {
        EXPECT_EQ(f[2], k < 4 ? "1" : "3") << line;
      }
      if (f[0] == "$GPGGA" && k >= 4) {
        EXPECT_GT(std::atof(f[8].c_str()), 0.0) << "HDOP: " << line;
        EXPECT_GT(std::atof(f[9].c_str()), 100.0) << "altitude: " << line;
      }
      if (f[0] == "$GPVTG" && k >= 4) {
        EXPECT_EQ(f[8], "K");
        EXPECT_FALSE(f[7].empty()) << "km/h in field 7: " << line;
      }
      if (f[0] == "$GPGSA" && k >= 4) {
        EXPECT_FALSE(f[3].empty()) << "satellites in use: " << line;
      }
    }
    if (k < 4) {
      EXPECT_EQ(rmc[2], "V") << k;
      for (int i = 3; i <= 6; ++i)
        EXPECT_TRUE(rmc[static_cast<std::size_t>(i)].empty()) << lines[0];
    } else {
      EXPECT_EQ(rmc[2], "A") << k;
      EXPECT_EQ(rmc[4], "N");
      EXPECT_EQ(rmc[6], "E");
      EXPECT_NEAR(std::atof(rmc[3].c_str()), 4807.038, 0.02) << "wanders only a little";
      EXPECT_NEAR(std::atof(rmc[5].c_str()), 1131.0, 0.02);
    }
  }
}

TEST(SimReceiverModel, TalkersSystemIdsAndSbasAsTheDecodersExpect) {
  sim::ReceiverModel model(5);
  model.Restart(0);
  std::set<std::string> gsa_ids;  // address + system ID
  std::set<std::string> gsv_forms;
  bool sbas = false;
  for (const std::string& line : EpochLines(model, 2)) {
    const auto f = Fields(line.substr(0, line.find('*')));
    if (f[0].find("GSA") != std::string::npos)
      gsa_ids.insert(f[0] + "/" + f.back());
    if (f[0] == "$PWGSV")
      gsv_forms.insert(f[0] + "/" + f.back());
    else if (f[0].find("GSV") != std::string::npos)
      gsv_forms.insert(f[0]);
    if (f[0] == "$GPGSV") {
      for (std::size_t i = 4; i + 3 < f.size(); i += 4) {
        const int prn = std::atoi(f[i].c_str());
        sbas = sbas || (prn >= 33 && prn <= 51);
      }
    }
  }
  EXPECT_EQ(gsa_ids, (std::set<std::string>{"$GPGSA/1", "$GNGSA/1", "$GNGSA/2", "$GNGSA/3",
                                            "$PWGSA/4", "$PWGSA/5"}));
  EXPECT_EQ(gsv_forms,
            (std::set<std::string>{"$GPGSV", "$GLGSV", "$GAGSV", "$PWGSV/4", "$PWGSV/5"}));
  EXPECT_TRUE(sbas) << "an SBAS PRN (33-51) among the GPS satellites";
}

int SatellitesInView(const std::vector<std::string>& lines) {
  int count = 0;
  for (const std::string& line : lines) {
    const auto f = Fields(line);
    if (f[0].find("GSV") != std::string::npos && f[2] == "1")
      count += std::atoi(f[3].c_str());
  }
  return count;
}

// Every form of the modelled receiver: its talkers, GSA system IDs and mode
// fields; which fix rules see its fix (the RMC rules at the 2D fix epoch,
// "$GPRMC" only in the module's form; GGA and the 3D GSA at the 3D epoch two
// epochs later); and the any-talker live view showing its position and every
// satellite its GSA lines name as used.
TEST(SimReceiverModel, EveryNmeaFormIsFixedAndDecodedAsItsReceiverWouldBe) {
  const sim::NmeaForm forms[] = {{false, 410}, {false, 400}, {true, 210},
                                 {true, 400},  {true, 410},  {true, 411}};
  for (const sim::NmeaForm& form : forms) {
    SCOPED_TRACE(std::string(form.gn ? "GN " : "GP ") + sim::NmeaVersionText(form));
    sim::ReceiverModel model(7, form);
    model.Restart(sim::AcquisitionPlan{1, 3, 5});
    nmea_test::Rig rig;
    rig.handler.SetLiveViewMode(LiveViewMode::kAnyTalker);
    for (int k = 0; k < 6; ++k) {
      const auto lines = EpochLines(model, k);
      const bool fixed = k >= 3;
      const bool three_d = k >= 5;
      std::set<int> named_used;
      for (const std::string& line : lines) {
        EXPECT_TRUE(ChecksumMatches(line)) << line;
        const auto f = Fields(line);
        const std::string type = f[0].substr(3);
        if (form.gn && f[0].compare(0, 3, "$GP") == 0) {
          EXPECT_EQ(type, "GSV") << "a GN receiver names only its GPS GSV GP: " << line;
        }
        if (type == "RMC") {
          EXPECT_EQ(f.size(), form.HasModeField() ? 13u : 12u) << line;
        }
        if (type == "GSA") {
          if (f[0] != "$PWGSA") {  // the vendor's own sentence always names its system
            EXPECT_EQ(f.size(), form.HasSystemIds() ? 19u : 18u) << line;
          }
          for (std::size_t i = 3; i <= 14 && !f[i].empty(); ++i)
            named_used.insert(std::atoi(f[i].c_str()));
        }
        rig.Feed(line);
      }
      for (const std::string& name : fix_rules::KnownNames()) {
        const auto rule = fix_rules::Make(name);
        const bool seen = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
          return rule->IsFix(l + "\r\n", 0);
        });
        const bool expected = name == "gns"     ? false
                              : name == "gprmc" ? fixed && !form.gn
                              : name == "rmc"   ? fixed
                                                : three_d;
        EXPECT_EQ(seen, expected) << name << " at epoch " << k;
      }
      if (!fixed)
        continue;
      const auto rmc = Fields(lines[0]);
      EXPECT_EQ(rmc[0], form.gn ? "$GNRMC" : "$GPRMC");
      EXPECT_EQ(rig.handler.Record().m_str_lat, rmc[3] + rmc[4]);
      EXPECT_EQ(rig.handler.Record().m_str_lon, rmc[5] + rmc[6]);
      const SatelliteCollections& sats = rig.handler.Satellites();
      std::set<int> shown;
      for (const auto* list :
           {&sats.m_vec_gps_used, &sats.m_vec_glonass_used, &sats.m_vec_galileo_used,
            &sats.m_vec_beidou_used, &sats.m_vec_qzss_used}) {
        shown.insert(list->begin(), list->end());
      }
      if (form.gn && three_d) {
        for (const auto* list : {&sats.m_vec_gps_used, &sats.m_vec_glonass_used,
                                 &sats.m_vec_galileo_used, &sats.m_vec_beidou_used})
          EXPECT_FALSE(list->empty()) << "every constellation has used satellites";
      }
      if (form.gn || form.HasSystemIds()) {
        EXPECT_EQ(shown, named_used) << "epoch " << k;
      }
    }
  }
}

TEST(SimReceiverModel, SatellitesAppearOneByOneBeforeTheFix) {
  sim::ReceiverModel model(9);
  model.Restart(10);
  int previous = 0;
  for (int k = 0; k <= 10; ++k) {
    const int now = SatellitesInView(EpochLines(model, k));
    EXPECT_GE(now, previous) << k;
    previous = now;
  }
  model.Restart(10);
  EXPECT_LT(SatellitesInView(EpochLines(model, 0)), previous)
      << "fewer at the start than at the fix";
}

// The multi-band form (--signals L1,L5): a GSV group per constellation and
// signal on each constellation's own talker, each ending in the NMEA 4.11
// signal ID of its band in that constellation (GLONASS has no L5, SBAS no
// second signal); each satellite's L5 first tracked epochs after its L1;
// decoded into one bar per satellite and signal.
TEST(SimReceiverModel, TheMultiBandFormSendsAGsvGroupPerSignalAndTheSecondComesLater) {
  sim::NmeaForm form;
  std::string error;
  ASSERT_TRUE(sim::ParseSignals("L1,L5", form, &error)) << error;
  EXPECT_EQ(form.version, 411);
  sim::ReceiverModel model(7, form);
  model.Restart(sim::AcquisitionPlan{2, 12, 14});
  // Legend: talker -> the signal IDs its groups may end in (L1, L5).
  const std::map<std::string, std::set<int>> ids = {{"$GPGSV", {1, 8}},
                                                    {"$GLGSV", {1}},
                                                    {"$GAGSV", {7, 1}},
                                                    {"$GBGSV", {1, 5}},
                                                    {"$GQGSV", {1, 8}}};
  std::map<std::pair<std::string, int>, int> first_l1, first_l5;  // (talker, PRN) -> epoch
  nmea_test::Rig rig;
  for (int k = 0; k < 20; ++k) {
    for (const std::string& line : EpochLines(model, k)) {
      rig.Feed(line);
      const auto f = Fields(line.substr(0, line.find('*')));
      if (f[0].find("GSV") == std::string::npos)
        continue;
      ASSERT_TRUE(ids.count(f[0])) << "a constellation's own talker: " << line;
      ASSERT_EQ((f.size() - 4) % 4, 1u) << "the signal ID last: " << line;
      const int id = std::stoi(f.back(), nullptr, 16);
      ASSERT_TRUE(ids.at(f[0]).count(id)) << line;
      const bool l1 = id == (f[0] == "$GAGSV" ? 7 : 1);  // E1; L1 C/A, G1 C/A, B1I
      for (std::size_t i = 4; i + 3 < f.size(); i += 4) {
        const int prn = std::stoi(f[i]);
        if (f[i + 3].empty())
          continue;
        EXPECT_FALSE(!l1 && f[0] == "$GPGSV" && prn >= 33 && prn <= 51) << "SBAS on L5: " << line;
        (l1 ? first_l1 : first_l5).emplace(std::make_pair(f[0], prn), k);
      }
    }
  }
  EXPECT_GE(first_l5.size(), 12u);
  for (const auto& [sat, epoch] : first_l5) {
    ASSERT_TRUE(first_l1.count(sat)) << sat.first << sat.second;
    EXPECT_GE(epoch, first_l1.at(sat) + 2) << sat.first << sat.second;
  }
  // The last epoch, decoded: a bar per satellite and signal, never two.
  ASSERT_FALSE(rig.skies.empty());
  const SkyEpoch& sky = rig.skies.back();
  EXPECT_TRUE(sky.per_signal);
  std::set<std::tuple<int, int, int>> bars;
  for (const SatelliteBar& b : sky.bars)
    EXPECT_TRUE(bars.insert({b.system, b.prn, b.signal}).second);
  EXPECT_EQ(bars.size(), first_l1.size() + first_l5.size());
}

TEST(SimNmeaForm, SignalsByAnyNameOfTheirBand) {
  const struct {
    const char* text;
    const char* bands;  // as SignalsText gives them; empty: refused
  } kCases[] = {
      {"L1,L5", "L1,L5"}, {"e1,E5a", "L1,L5"}, {"B1I,B2a", "L1,L5"}, {"L1,L2,E5b", "L1,L2,E5b"},
      {"G1,G2", "L1,L2"}, {"B2I", "E5b"},      {"L1,E1", ""},        {"L1,X9", ""},
      {"", ""},           {"L1,", ""}};
  for (const auto& c : kCases) {
    sim::NmeaForm form;
    std::string error;
    const bool ok = sim::ParseSignals(c.text, form, &error);
    EXPECT_EQ(ok, *c.bands != 0) << c.text;
    if (ok)
      EXPECT_EQ(sim::SignalsText(form), c.bands) << c.text;
    else
      EXPECT_FALSE(error.empty()) << c.text;
  }
  EXPECT_EQ(sim::SignalIdOf(sim::Band::kE5b, 'B'), 11);  // B2I: "B" in a GSV
  EXPECT_EQ(sim::SignalIdOf(sim::Band::kL5, 'L'), -1);   // GLONASS has no L5
}

TEST(SimNmeaPort, StreamsEpochsLedByRmcWithVBeforeA) {
  simtest::SimFixture fx(50);
  fx.options.ttff.hot = {3.0, 3.0};
  std::string error;
  ASSERT_TRUE(fx.Start(&error)) << error;
  simtest::DevicePort at(fx.simulator->AtDevicePath());
  simtest::DevicePort nmea(fx.simulator->NmeaDevicePath());
  ASSERT_TRUE(at.ok() && nmea.ok());
  ASSERT_TRUE(at.Write("AT+WGPS=1\r\n"));
  // Seven epochs at 1 Hz: 7 s of simulator time, 140 ms at scale 50.
  ASSERT_TRUE(nmea.ReadUntil(
      [](const std::string& r) {
        int rmc = 0;
        for (auto p = r.find("$GPRMC"); p != std::string::npos; p = r.find("$GPRMC", p + 1))
          ++rmc;
        return rmc >= 7;
      },
      5000));
  const auto lines = Lines(nmea.received());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("$GPRMC,", 0), 0u) << "the stream starts with an epoch's RMC";
  bool seen_a = false;
  int v_epochs = 0;
  for (const std::string& line : lines) {
    EXPECT_TRUE(ChecksumMatches(line)) << line;
    if (line.rfind("$GPRMC", 0) != 0)
      continue;
    const std::string status = Fields(line)[2];
    if (status == "A")
      seen_a = true;
    else {
      EXPECT_FALSE(seen_a) << "V after A: " << line;
      ++v_epochs;
    }
  }
  EXPECT_TRUE(seen_a);
  EXPECT_EQ(v_epochs, 2) << "a 3-s TTFF fixes at the third epoch (ok + 3 s)";
}

}  // namespace
