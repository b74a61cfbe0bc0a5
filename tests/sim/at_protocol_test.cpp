// The AT side of the simulated module: every command's reply, the echo, and
// commands that arrive split, batched, unterminated or wrapped in garbage.
#include <gtest/gtest.h>

#include "sim/at_responder.h"
#include "tests/sim/device_port.h"

namespace {

using sim::AtAction;
using sim::AtResponder;

const platform::LocalTime kLocal{2024, 1, 15, 8, 30, 5, 0};

struct ReplyCase {
  const char* legend;
  const char* command;
  bool gnss_on;
  std::vector<std::string> lines;
  AtAction action;
  int restart_type;
};

TEST(SimAtResponder, EachCommandGetsItsReply) {
  const ReplyCase cases[] = {
      {"plain AT", "AT", false, {"OK\r\n"}, AtAction::kNone, 0},
      {"state query, receiver off",
       "AT+WGPS?",
       false,
       {"+WGPS: 0\r\n", "OK\r\n"},
       AtAction::kNone,
       0},
      {"state query, receiver on",
       "AT+WGPS?",
       true,
       {"+WGPS: 1\r\n", "OK\r\n"},
       AtAction::kNone,
       0},
      {"start", "AT+WGPS=1", false, {"OK\r\n"}, AtAction::kStart, 0},
      {"stop", "AT+WGPSEND", true, {"OK\r\n"}, AtAction::kStop, 0},
      {"delete for a cold start", "AT+WGPSDEL=0", false, {"OK\r\n"}, AtAction::kDelete, 1},
      {"delete for a hot start", "AT+WGPSDEL=1", false, {"OK\r\n"}, AtAction::kDelete, 0},
      {"delete for a warm start", "AT+WGPSDEL=2", false, {"OK\r\n"}, AtAction::kDelete, 2},
      {"clock in local time, zone +1 h = 4 quarters",
       "AT+CCLK?",
       false,
       {"+CCLK: \"24/01/15,08:30:05+04\"\r\n", "OK\r\n"},
       AtAction::kNone,
       0},
      {"XTRA time",
       "AT+WGPSXTRATIME=0,\"2024/01/15,08:30:05\",1,1,3500",
       false,
       {"OK\r\n"},
       AtAction::kXtraTime,
       0},
      {"XTRA data, default file",
       "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"",
       false,
       {"OK\r\n"},
       AtAction::kXtraData,
       0},
      {"XTRA data, any configured file",
       "AT+WGPSXTRADATA=\"FLASH:other.bin\"",
       false,
       {"OK\r\n"},
       AtAction::kXtraData,
       0},
      {"lower case is the same command",
       "at+wgps?",
       false,
       {"+WGPS: 0\r\n", "OK\r\n"},
       AtAction::kNone,
       0},
      {"unknown command", "AT+CSQ", false, {"ERROR\r\n"}, AtAction::kNone, 0},
      {"delete with a type the module lacks",
       "AT+WGPSDEL=3",
       false,
       {"ERROR\r\n"},
       AtAction::kNone,
       0},
      {"start with another argument", "AT+WGPS=2", false, {"ERROR\r\n"}, AtAction::kNone, 0},
  };
  for (const ReplyCase& c : cases) {
    AtResponder responder(false);
    const sim::AtReply reply = responder.Answer(c.command, c.gnss_on, kLocal, 60);
    EXPECT_EQ(reply.lines, c.lines) << c.legend;
    EXPECT_EQ(reply.action, c.action) << c.legend;
    if (c.action == AtAction::kDelete) {
      EXPECT_EQ(reply.restart_type, c.restart_type) << c.legend;
    }
    EXPECT_TRUE(reply.echo.empty()) << c.legend;
  }
}

TEST(SimAtResponder, ClockZoneWestOfGreenwichIsNegativeQuarters) {
  // UTC-3:30 is 14 quarter hours behind.
  EXPECT_EQ(sim::FormatCclk(kLocal, -210), "+CCLK: \"24/01/15,08:30:05-14\"\r\n");
}

TEST(SimAtResponder, EchoOnByDefaultAndSwitchedByAte) {
  AtResponder responder;
  EXPECT_EQ(responder.Answer("AT+WGPS?", false, kLocal, 0).echo, "AT+WGPS?\r\n");
  // ATE0 itself is still echoed: the switch takes effect after it.
  EXPECT_EQ(responder.Answer("ATE0", false, kLocal, 0).echo, "ATE0\r\n");
  EXPECT_EQ(responder.Answer("AT+WGPS?", false, kLocal, 0).echo, "");
  EXPECT_EQ(responder.Answer("ATE1", false, kLocal, 0).echo, "");
  EXPECT_EQ(responder.Answer("AT", false, kLocal, 0).echo, "AT\r\n");
}

struct FramingCase {
  const char* legend;
  std::vector<std::string> writes;
  std::vector<std::string> commands;
};

TEST(SimAtResponder, FramingOfCommands) {
  const FramingCase cases[] = {
      {"CR LF ends a command, the empty line between is ignored", {"AT+WGPS?\r\n"}, {"AT+WGPS?"}},
      {"CR alone ends a command", {"AT+WGPSEND\r"}, {"AT+WGPSEND"}},
      {"LF alone ends a command", {"AT+WGPSEND\n"}, {"AT+WGPSEND"}},
      {"split across three writes", {"AT+WG", "PSDEL", "=2\r\n"}, {"AT+WGPSDEL=2"}},
      {"CR and LF in separate writes", {"AT\r", "\n"}, {"AT"}},
      {"several commands in one write",
       {"AT+WGPS?\r\nAT+CCLK?\r\nAT+WGPS=1\r\n"},
       {"AT+WGPS?", "AT+CCLK?", "AT+WGPS=1"}},
      {"no terminator yet: nothing to answer", {"AT+WGPS?"}, {}},
      {"binary garbage before the command is dropped",
       {std::string("\x01\xff\x00\x80", 4) + "AT+WGPS?\r\n"},
       {"AT+WGPS?"}},
      {"a garbage line without AT is ignored", {std::string("\xfe\xfd\x00zz\r\n", 6)}, {}},
      {"an overlong line overflows and is thrown away",
       {std::string(600, 'A'), "\r\nAT\r\n"},
       {"AT"}},
  };
  for (const FramingCase& c : cases) {
    AtResponder responder;
    std::vector<std::string> got;
    for (const std::string& w : c.writes) {
      for (auto& command : responder.Feed(w))
        got.push_back(command);
    }
    EXPECT_EQ(got, c.commands) << c.legend;
  }
}

// Over the pseudo-terminal: what a terminal program on the AT port sees.
class SimAtPort : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(fx.Start(&error)) << error;
  }
  simtest::SimFixture fx;
};

TEST_F(SimAtPort, PublishesRecognisableLinksToTheDevicePaths) {
  const std::string at_link = fx.simulator->AtLinkPath();
  const std::string nmea_link = fx.simulator->NmeaLinkPath();
  EXPECT_EQ(at_link, fx.dir.path().string() + "/zuvek-sim-AT");
  EXPECT_EQ(nmea_link, fx.dir.path().string() + "/zuvek-sim-NMEA");
  EXPECT_EQ(std::filesystem::read_symlink(at_link).string(), fx.simulator->AtDevicePath());
  EXPECT_EQ(std::filesystem::read_symlink(nmea_link).string(), fx.simulator->NmeaDevicePath());
  fx.simulator->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(at_link)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(nmea_link)));
  fx.simulator->Stop();  // a second stop does nothing
  // The same object starts a fresh session: new ports, no old commands.
  std::string error;
  ASSERT_TRUE(fx.simulator->Start(fx.options, &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(at_link));
  EXPECT_TRUE(fx.simulator->Commands().empty());
  EXPECT_TRUE(fx.simulator->Truth().empty());
}

TEST_F(SimAtPort, ASecondSimulatorNeverTakesALiveName) {
  sim::Simulator second(fx.clock);
  sim::SimOptions options = fx.options;
  std::string error;
  EXPECT_FALSE(second.Start(options, &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
  EXPECT_EQ(std::filesystem::read_symlink(fx.simulator->AtLinkPath()).string(),
            fx.simulator->AtDevicePath());
  options.name = "bench2";
  ASSERT_TRUE(second.Start(options, &error)) << error;
  EXPECT_EQ(second.AtLinkPath(), fx.dir.path().string() + "/bench2-AT");
  second.Stop();
  // A link left dangling by a killed simulator is taken over.
  const std::string stale = fx.dir.path().string() + "/old-AT";
  std::filesystem::create_symlink("/dev/pts/no-such-terminal", stale);
  options.name = "old";
  ASSERT_TRUE(second.Start(options, &error)) << error;
  EXPECT_EQ(std::filesystem::read_symlink(stale).string(), second.AtDevicePath());
}

TEST_F(SimAtPort, AnswersWithEchoThenWithoutAfterAte0) {
  simtest::DevicePort at(fx.simulator->AtLinkPath());
  ASSERT_TRUE(at.ok());
  ASSERT_TRUE(at.Write("AT+WGPS?\r\n"));
  ASSERT_TRUE(at.ReadUntilContains("OK\r\n", 2000));
  EXPECT_EQ(at.received(), "AT+WGPS?\r\n+WGPS: 0\r\nOK\r\n");
  at.received().clear();
  ASSERT_TRUE(at.Write("ATE0\r\n"));
  ASSERT_TRUE(at.ReadUntilContains("OK\r\n", 2000));
  at.received().clear();
  ASSERT_TRUE(at.Write("AT+WGPS=1\r\n"));
  ASSERT_TRUE(at.ReadUntilContains("OK\r\n", 2000));
  EXPECT_EQ(at.received(), "OK\r\n");
  EXPECT_TRUE(simtest::WaitFor([&] { return fx.simulator->GnssOn(); }, 2000));
}

TEST_F(SimAtPort, KeepsServingThroughGarbageSplitsAndReopens) {
  for (int round = 0; round < 5; ++round) {
    simtest::DevicePort at(fx.simulator->AtDevicePath());
    ASSERT_TRUE(at.ok()) << round;
    ASSERT_TRUE(at.Write(std::string("\x00\xff\x13garbage\r\n", 12)));
    ASSERT_TRUE(at.Write("AT+WG"));
    ASSERT_TRUE(at.Write("PS?\r\nAT+CCLK?\r\nAT+NOPE\r\n"));
    ASSERT_TRUE(at.ReadUntilContains("ERROR\r\n", 2000)) << round << ": " << at.received();
    const auto lines = simtest::Lines(at.received());
    ASSERT_EQ(lines.size(), 8u) << at.received();
    EXPECT_EQ(lines[1], "+WGPS: 0");
    EXPECT_EQ(lines[2], "OK");
    EXPECT_EQ(lines[4].rfind("+CCLK: \"", 0), 0u);
    EXPECT_EQ(lines[7], "ERROR");
  }
  // Every command is recorded, in order, with the run it belongs to.
  const auto commands = fx.simulator->Commands();
  ASSERT_EQ(commands.size(), 15u);
  EXPECT_EQ(commands[0].text, "AT+WGPS?");
  EXPECT_EQ(commands[1].text, "AT+CCLK?");
  EXPECT_EQ(commands[2].text, "AT+NOPE");
  EXPECT_EQ(commands[0].run, 1);
  for (std::size_t i = 1; i < commands.size(); ++i)
    EXPECT_GE(commands[i].us, commands[i - 1].us);
}

TEST_F(SimAtPort, XtraBeforeStartMarksItAssistedAndDeleteSetsTheRestartType) {
  simtest::DevicePort at(fx.simulator->AtDevicePath());
  ASSERT_TRUE(at.ok());
  const std::string script =
      "AT+WGPSDEL=2\r\nAT+WGPSXTRATIME=0,\"2024/01/15,08:30:05\",1,1,3500\r\n"
      "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\nAT+WGPS=1\r\n";
  ASSERT_TRUE(at.Write(script));
  ASSERT_TRUE(
      at.ReadUntil([](const std::string& r) { return simtest::Lines(r).size() >= 8; }, 2000));
  ASSERT_TRUE(simtest::WaitFor([&] { return fx.simulator->Truth().size() == 1; }, 2000));
  auto truth = fx.simulator->Truth();
  EXPECT_EQ(truth[0].restart_type, sim::kRestartWarm);
  EXPECT_TRUE(truth[0].assisted);
  // Stop and start again without a delete: the receiver kept its data.
  ASSERT_TRUE(at.Write("AT+WGPSEND\r\nAT+WGPS=1\r\n"));
  ASSERT_TRUE(
      at.ReadUntil([](const std::string& r) { return simtest::Lines(r).size() >= 12; }, 2000));
  ASSERT_TRUE(simtest::WaitFor([&] { return fx.simulator->Truth().size() == 2; }, 2000));
  truth = fx.simulator->Truth();
  EXPECT_EQ(truth[1].restart_type, sim::kRestartHot);
  EXPECT_FALSE(truth[1].assisted);
  EXPECT_TRUE(truth[0].closed);
}

}  // namespace
