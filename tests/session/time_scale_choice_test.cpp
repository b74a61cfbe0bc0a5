// Which time scale the CLI and the window take for a pair of ports: the
// simulator's own for the ports of a running simulator (named by link or by
// device), real time for anything else, and what was asked and cannot be
// given refused (CLI) or ignored with a note (window).
#include "session/time_scale_choice.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/sim_ports.h"
#include "sim/simulator.h"
#include "tests/support/plain_pty.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

using testsupport::PlainPty;

// Simulators publishing in a scratch ports folder (ZUVEK_SIM_DIR).
class TimeScaleChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZUVEK_SIM_DIR", folder_.path().c_str(), 1); }
  void TearDown() override {
    for (auto& s : sims_)
      s->Stop();
    unsetenv("ZUVEK_SIM_DIR");
  }
  sim::Simulator& Start(const std::string& name, double scale) {
    auto clock = scale == 1.0 ? std::shared_ptr<platform::Clock>(new platform::RealClock)
                              : std::make_shared<platform::ScaledClock>(scale);
    sims_.push_back(std::make_unique<sim::Simulator>(clock));
    sim::SimOptions options;
    options.name = name;
    std::string error;
    EXPECT_TRUE(sims_.back()->Start(options, &error)) << error;
    return *sims_.back();
  }
  TempDir folder_;
  std::vector<std::unique_ptr<sim::Simulator>> sims_;
};

TEST_F(TimeScaleChoiceTest, TheSimulatorPublishesItsScaleBesideItsLinksAndTakesItAway) {
  sim::Simulator& s = Start("fast", 20);
  EXPECT_EQ(s.ScalePath(), platform::SimScalePath(folder_.path().string(), "fast"));
  ASSERT_TRUE(std::filesystem::exists(s.ScalePath()));
  for (const std::string& port :
       {s.AtLinkPath(), s.NmeaLinkPath(), s.AtDevicePath(), s.NmeaDevicePath()}) {
    SCOPED_TRACE(port);
    const auto found = platform::FindSimPort(port);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, "fast");
    EXPECT_EQ(found->scale, 20.0);
  }
  s.Stop();
  EXPECT_FALSE(std::filesystem::exists(s.ScalePath()));
  EXPECT_FALSE(platform::FindSimPort(s.AtDevicePath()).has_value());
}

TEST_F(TimeScaleChoiceTest, AScaleFileOfAProcessThatIsGoneIsNoSimulator) {
  PlainPty pty;
  const std::string link = folder_.file("gone-AT");
  ASSERT_EQ(symlink(pty.Path().c_str(), link.c_str()), 0);
  // Left by a simulator that was killed: its process no longer exists.
  testsupport::WriteFile(folder_.file("gone.scale"), "time_scale=20\npid=999999999\n");
  EXPECT_FALSE(platform::FindSimPort(link).has_value());
  EXPECT_FALSE(platform::FindSimPort(pty.Path()).has_value());
}

TEST_F(TimeScaleChoiceTest, TheRunTakesTheSimulatorsScaleAndRefusesAnyOther) {
  sim::Simulator& fast = Start("fast", 20);
  sim::Simulator& other = Start("other", 20);
  PlainPty real_at, real_nmea;
  struct Case {
    const char* legend;
    std::optional<double> asked;
    std::string at, nmea;
    double scale;
    bool refused;
    const char* note;  // part of the note; empty: no note
  };
  const Case cases[] = {
      {"plain ports, nothing asked", std::nullopt, real_at.Path(), real_nmea.Path(), 1, false, ""},
      {"plain ports, real time asked", 1.0, real_at.Path(), real_nmea.Path(), 1, false, ""},
      {"plain ports, 20 asked", 20.0, real_at.Path(), real_nmea.Path(), 1, true,
       "is only for the simulator"},
      {"one plain port", 20.0, fast.AtLinkPath(), real_nmea.Path(), 1, true,
       " is not a port of a running `zuvek-cli sim`"},
      {"two simulators", 20.0, fast.AtLinkPath(), other.NmeaLinkPath(), 1, true,
       "belong to different simulators"},
      {"links, nothing asked", std::nullopt, fast.AtLinkPath(), fast.NmeaLinkPath(), 20, false,
       "time scale 20, taken from the simulator \"fast\""},
      {"devices, nothing asked", std::nullopt, fast.AtDevicePath(), fast.NmeaDevicePath(), 20,
       false, "taken from the simulator"},
      {"link and device, the same asked", 20.0, fast.AtLinkPath(), fast.NmeaDevicePath(), 20, false,
       ""},
      {"another scale asked", 5.0, fast.AtLinkPath(), fast.NmeaLinkPath(), 1, true,
       "--time-scale 5 does not match the simulator \"fast\""},
      {"real time asked", 1.0, fast.AtDevicePath(), fast.NmeaDevicePath(), 1, true,
       "does not match"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const TimeScaleChoice choice = ChooseRunTimeScale(c.asked, c.at, c.nmea);
    EXPECT_EQ(choice.refused, c.refused);
    if (!c.refused) {
      EXPECT_EQ(choice.scale, c.scale);
    }
    if (*c.note) {
      EXPECT_NE(choice.note.find(c.note), std::string::npos) << choice.note;
    } else {
      EXPECT_EQ(choice.note, "");
    }
  }
}

TEST_F(TimeScaleChoiceTest, TheWindowScalesOnlyForTheSimulatorsPorts) {
  sim::Simulator& fast = Start("fast", 20);
  sim::Simulator& slow = Start("slow", 1);
  PlainPty real_at, real_nmea;
  struct Case {
    const char* legend;
    std::optional<double> asked;  // ZUVEK_TIME_SCALE
    std::string at, nmea;
    double scale;
    const char* note;
  };
  const Case cases[] = {
      {"plain ports, nothing asked", std::nullopt, real_at.Path(), real_nmea.Path(), 1, ""},
      {"plain ports, 20 asked: ignored", 20.0, real_at.Path(), real_nmea.Path(), 1,
       "zuvek: ignoring ZUVEK_TIME_SCALE=20: "},
      {"one simulator port: ignored", 20.0, real_at.Path(), fast.NmeaLinkPath(), 1,
       "is not a port of a running simulator"},
      {"simulator at 20, 20 asked", 20.0, fast.AtLinkPath(), fast.NmeaLinkPath(), 20, ""},
      {"simulator devices at 20, 20 asked", 20.0, fast.AtDevicePath(), fast.NmeaDevicePath(), 20,
       ""},
      {"simulator at 20, nothing asked", std::nullopt, fast.AtLinkPath(), fast.NmeaLinkPath(), 20,
       "time scale 20, taken from the simulator \"fast\""},
      {"simulator at 1, 20 asked: its own", 20.0, slow.AtLinkPath(), slow.NmeaLinkPath(), 1,
       "runs at time scale 1"},
      {"simulator at 1, nothing asked", std::nullopt, slow.AtLinkPath(), slow.NmeaLinkPath(), 1,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const TimeScaleChoice choice = ChooseWindowTimeScale(c.asked, c.at, c.nmea);
    EXPECT_FALSE(choice.refused);
    EXPECT_EQ(choice.scale, c.scale);
    if (*c.note) {
      EXPECT_NE(choice.note.find(c.note), std::string::npos) << choice.note;
    } else {
      EXPECT_EQ(choice.note, "");
    }
  }
}

}  // namespace
