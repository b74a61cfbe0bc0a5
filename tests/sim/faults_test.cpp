// Faults of the simulated module: the script that chooses them per run, and
// each fault doing what it says on the wire.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/faults.h"
#include "tests/sim/device_port.h"

namespace {

using simtest::Fields;
using simtest::Lines;

TEST(SimFaultScript, ParsesRunsAndAllRunsRules) {
  std::string error;
  const auto script = sim::FaultScript::Parse(
      "# faults of the nightly test\n"
      "all: late=300\n"
      "run 2: no-delete-ack error=at+wgps=1   # lower case prefix\n"
      "\n"
      "run 3: drop-nmea=4.5 garbage\n",
      &error);
  ASSERT_TRUE(script) << error;
  const sim::FaultSet run1 = script->ForRun(1);
  EXPECT_EQ(run1.late_ms, 300);
  EXPECT_FALSE(run1.no_delete_ack);
  const sim::FaultSet run2 = script->ForRun(2);
  EXPECT_EQ(run2.late_ms, 300) << "the all-runs rule applies too";
  EXPECT_TRUE(run2.no_delete_ack);
  EXPECT_TRUE(run2.ErrorFor("AT+WGPS=1"));
  EXPECT_FALSE(run2.ErrorFor("AT+WGPS?"));
  const sim::FaultSet run3 = script->ForRun(3);
  EXPECT_DOUBLE_EQ(run3.drop_nmea_s, 4.5);
  EXPECT_LT(run3.vanish_after_s, 0);
  const auto vanish = sim::FaultScript::Parse("run 2: vanish=3:4.5\n", &error);
  ASSERT_TRUE(vanish) << error;
  EXPECT_DOUBLE_EQ(vanish->ForRun(2).vanish_after_s, 3);
  EXPECT_DOUBLE_EQ(vanish->ForRun(2).vanish_for_s, 4.5);
  EXPECT_TRUE(run3.garbage);
  EXPECT_LT(run3.drop_at_s, 0);
}

TEST(SimFaultScript, RejectsWhatItDoesNotKnow) {
  // Legend: a bad script and why it is bad.
  const char* bad[] = {
      "run 0: silent\n",      // runs count from 1
      "run x: silent\n",      // not a number
      "run 2: explode\n",     // no such fault
      "run 2: late=soon\n",   // late needs milliseconds
      "run 2: late=-5\n",     // and not negative ones
      "silent\n",             // no rule head
      "sometimes: silent\n",  // unknown head
      "run 2: silent=1\n",    // silent takes no value
      "run 2: vanish=3\n",    // vanish needs AFTER:FOR
      "run 2: vanish=3:x\n",  // in seconds
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(sim::FaultScript::Parse(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

class SimFaults : public ::testing::Test {
 protected:
  bool StartWith(const std::string& fault_words) {
    std::string script = "all:";
    script += " " + fault_words + "\n";
    std::string error;
    auto parsed = sim::FaultScript::Parse(script, &error);
    if (!parsed)
      return false;
    fx.options.script = *parsed;
    fx.options.ttff.hot = {2, 2};
    if (!fx.Start(&error))
      return false;
    at = std::make_unique<simtest::DevicePort>(fx.simulator->AtDevicePath());
    nmea = std::make_unique<simtest::DevicePort>(fx.simulator->NmeaDevicePath());
    return at->ok() && nmea->ok();
  }
  // Sends the start and waits for its "OK".
  bool StartReceiver() {
    at->Write("AT+WGPS=1\r\n");
    return at->ReadUntilContains("AT+WGPS=1\r\nOK\r\n", 3000);
  }
  int RmcCount() const {
    int n = 0;
    const std::string& r = nmea->received();
    for (auto p = r.find("$GPRMC"); p != std::string::npos; p = r.find("$GPRMC", p + 1))
      ++n;
    return n;
  }
  bool ReadEpochs(int count) {
    return nmea->ReadUntil([&](const std::string&) { return RmcCount() > count; }, 5000);
  }

  simtest::SimFixture fx{50};
  std::unique_ptr<simtest::DevicePort> at;
  std::unique_ptr<simtest::DevicePort> nmea;
};

TEST_F(SimFaults, SilentModuleSendsNothingNotEvenTheEcho) {
  ASSERT_TRUE(StartWith("silent"));
  ASSERT_TRUE(at->Write("AT+WGPS?\r\n"));
  ASSERT_TRUE(simtest::WaitFor([&] { return fx.simulator->Commands().size() == 1; }, 2000));
  // The reply would leave at once; a tenth of a second (5 s of module time) shows none did.
  EXPECT_FALSE(at->ReadUntil([](const std::string& r) { return !r.empty(); }, 100));
  EXPECT_EQ(at->received(), "");
}

TEST_F(SimFaults, LateReplyComesAfterItsDelay) {
  ASSERT_TRUE(StartWith("late=3000"));
  const std::int64_t sent = fx.clock->MonotonicUs();
  ASSERT_TRUE(at->Write("AT+WGPS?\r\n"));
  ASSERT_TRUE(at->ReadUntilContains("AT+WGPS?\r\n", 2000));
  EXPECT_LT(fx.clock->MonotonicUs() - sent, 3'000'000) << "the echo is not delayed";
  ASSERT_TRUE(at->ReadUntilContains("OK\r\n", 3000));
  EXPECT_GE(fx.clock->MonotonicUs() - sent, 3'000'000);
  EXPECT_EQ(at->received(), "AT+WGPS?\r\n+WGPS: 0\r\nOK\r\n");
}

TEST_F(SimFaults, DeleteIsNeverAcknowledgedAndDeletesNothing) {
  ASSERT_TRUE(StartWith("no-delete-ack"));
  ASSERT_TRUE(at->Write("AT+WGPSDEL=0\r\nAT\r\n"));
  ASSERT_TRUE(at->ReadUntilContains("AT\r\nOK\r\n", 2000));
  EXPECT_EQ(at->received(), "AT+WGPSDEL=0\r\nAT\r\nOK\r\n");
  ASSERT_TRUE(StartReceiver());
  ASSERT_TRUE(simtest::WaitFor([&] { return fx.simulator->Truth().size() == 1; }, 2000));
  EXPECT_EQ(fx.simulator->Truth()[0].restart_type, sim::kRestartHot);
}

TEST_F(SimFaults, ErrorRepliesToTheChosenCommandOnly) {
  ASSERT_TRUE(StartWith("error=AT+WGPS=1"));
  ASSERT_TRUE(at->Write("AT+WGPS=1\r\nAT+WGPS?\r\n"));
  ASSERT_TRUE(at->ReadUntilContains("+WGPS: 0\r\nOK\r\n", 2000));
  EXPECT_EQ(at->received(), "AT+WGPS=1\r\nERROR\r\nAT+WGPS?\r\n+WGPS: 0\r\nOK\r\n");
  EXPECT_FALSE(fx.simulator->GnssOn());
}

TEST_F(SimFaults, GnssAlreadyOnAtTheFirstQueryAndFixed) {
  ASSERT_TRUE(StartWith("gnss-on"));
  ASSERT_TRUE(at->Write("AT+WGPS?\r\n"));
  ASSERT_TRUE(at->ReadUntilContains("OK\r\n", 2000));
  EXPECT_NE(at->received().find("+WGPS: 1\r\n"), std::string::npos) << at->received();
  ASSERT_TRUE(ReadEpochs(1));
  EXPECT_EQ(Fields(Lines(nmea->received())[0])[2], "A");
  EXPECT_TRUE(fx.simulator->Truth().empty()) << "nobody started it: no truth";
}

TEST_F(SimFaults, FixThatNeverComes) {
  ASSERT_TRUE(StartWith("no-fix"));
  ASSERT_TRUE(StartReceiver());
  ASSERT_TRUE(ReadEpochs(8));
  for (const std::string& line : Lines(nmea->received())) {
    if (line.rfind("$GPRMC", 0) == 0) {
      EXPECT_EQ(Fields(line)[2], "V") << line;
    }
    if (line.rfind("$GPGSA", 0) == 0) {
      EXPECT_EQ(Fields(line)[2], "1") << line;
    }
  }
  fx.simulator->Stop();
  const auto truth = fx.simulator->Truth();
  ASSERT_EQ(truth.size(), 1u);
  EXPECT_EQ(truth[0].fix_us, -1);
  EXPECT_EQ(truth[0].TtffUs(), -1);
  EXPECT_TRUE(truth[0].closed);
}

TEST_F(SimFaults, GarbageNulBytesAndOverlongLinesBetweenGoodEpochs) {
  ASSERT_TRUE(StartWith("garbage"));
  ASSERT_TRUE(StartReceiver());
  ASSERT_TRUE(ReadEpochs(4));
  const std::string& r = nmea->received();
  EXPECT_NE(r.find('\0'), std::string::npos);
  EXPECT_NE(r.find('\x80'), std::string::npos);
  std::size_t longest = 0;
  for (const std::string& line : Lines(r))
    longest = std::max(longest, line.size());
  EXPECT_GT(longest, 256u);
  // The receiver still gets its fix through the noise, RMC still leading.
  bool fixed = false;
  for (const std::string& line : Lines(r)) {
    if (line.rfind("$GPRMC", 0) == 0 && Fields(line)[2] == "A")
      fixed = true;
  }
  EXPECT_TRUE(fixed);
  EXPECT_EQ(r.rfind("$GPRMC", 0), 0u);
}

TEST_F(SimFaults, CrAndLfLeaveInSeparateWrites) {
  ASSERT_TRUE(StartWith("split-crlf"));
  ASSERT_TRUE(StartReceiver());
  int chunks_ending_in_cr = 0;
  std::size_t seen = 0;
  ASSERT_TRUE(nmea->ReadUntil(
      [&](const std::string& r) {
        if (r.size() > seen && r.back() == '\r')
          ++chunks_ending_in_cr;
        seen = r.size();
        return chunks_ending_in_cr >= 3;
      },
      5000))
      << "reads never ended between CR and LF";
  EXPECT_EQ(Lines(nmea->received())[0].rfind("$GPRMC", 0), 0u);
}

TEST_F(SimFaults, EpochBurstAbove1024Bytes) {
  ASSERT_TRUE(StartWith("burst"));
  ASSERT_TRUE(StartReceiver());
  ASSERT_TRUE(ReadEpochs(3));
  const std::string& r = nmea->received();
  const auto first = r.find("$GPRMC");
  const auto second = r.find("$GPRMC", first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_GT(second - first, 1024u);
}

TEST_F(SimFaults, NmeaPortVanishesMidRunWhileAtGoesOn) {
  ASSERT_TRUE(StartWith("drop-nmea=10"));
  const std::string link = fx.simulator->NmeaLinkPath();
  ASSERT_TRUE(StartReceiver());
  // The device side hangs up once the controller side is gone.
  EXPECT_FALSE(nmea->ReadUntil([](const std::string&) { return false; }, 3000));
  EXPECT_TRUE(nmea->hung_up());
  EXPECT_FALSE(fx.simulator->NmeaPortPresent());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_GE(RmcCount(), 1) << "it streamed before it vanished";
  at->received().clear();
  ASSERT_TRUE(at->Write("AT+WGPS?\r\n"));
  EXPECT_TRUE(at->ReadUntilContains("OK\r\n", 2000));
}

TEST_F(SimFaults, AtPortVanishesMidRun) {
  ASSERT_TRUE(StartWith("drop-at=10"));
  ASSERT_TRUE(StartReceiver());
  EXPECT_FALSE(at->ReadUntil([](const std::string&) { return false; }, 3000));
  EXPECT_TRUE(at->hung_up());
  EXPECT_FALSE(fx.simulator->AtPortPresent());
}

TEST_F(SimFaults, BothPortsVanishAndComeBackUnderTheirLinksAsNewDevices) {
  ASSERT_TRUE(StartWith("vanish=1:20"));
  const std::string at_link = fx.simulator->AtLinkPath();
  const std::string nmea_link = fx.simulator->NmeaLinkPath();
  const std::string at_before = fx.simulator->AtDevicePath();
  const std::string nmea_before = fx.simulator->NmeaDevicePath();
  ASSERT_TRUE(StartReceiver());
  // 1 s (20 ms) after the OK both hang up, the links go and the receiver stops.
  EXPECT_FALSE(at->ReadUntil([](const std::string&) { return false; }, 3000));
  EXPECT_TRUE(at->hung_up());
  EXPECT_FALSE(nmea->ReadUntil([](const std::string&) { return false; }, 3000));
  EXPECT_TRUE(nmea->hung_up());
  EXPECT_FALSE(fx.simulator->AtPortPresent());
  EXPECT_FALSE(std::filesystem::exists(at_link));
  EXPECT_FALSE(std::filesystem::exists(nmea_link));
  EXPECT_FALSE(fx.simulator->GnssOn());
  // 20 s (0.4 s) later: the same links, new pseudo-terminals behind them.
  ASSERT_TRUE(simtest::WaitFor(
      [&] { return fx.simulator->AtPortPresent() && fx.simulator->NmeaPortPresent(); }, 5000));
  EXPECT_EQ(std::filesystem::read_symlink(at_link).string(), fx.simulator->AtDevicePath());
  EXPECT_EQ(std::filesystem::read_symlink(nmea_link).string(), fx.simulator->NmeaDevicePath());
  EXPECT_NE(fx.simulator->AtDevicePath(), at_before);
  EXPECT_NE(fx.simulator->NmeaDevicePath(), nmea_before);
  // The module answers on its new port, its receiver off after the reset.
  simtest::DevicePort again(at_link);
  ASSERT_TRUE(again.ok());
  ASSERT_TRUE(again.Write("AT+WGPS?\r\n"));
  EXPECT_TRUE(again.ReadUntilContains("+WGPS: 0\r\nOK\r\n", 3000)) << again.received();
}

TEST(SimFaultsClosedPort, ReplyToAToolThatClosedThePortIsLostNotKept) {
  simtest::SimFixture fx(50);
  fx.options.echo = false;
  fx.options.faults.late_ms = 2000;
  std::string error;
  ASSERT_TRUE(fx.Start(&error)) << error;
  {
    simtest::DevicePort at(fx.simulator->AtDevicePath());
    ASSERT_TRUE(at.ok());
    ASSERT_TRUE(at.Write("AT+WGPS?\r\n"));
    ASSERT_TRUE(simtest::WaitFor([&] { return fx.simulator->Commands().size() == 1; }, 2000));
  }  // closed before the late reply leaves
  const std::int64_t due = fx.simulator->Commands()[0].us + 2'000'000;
  ASSERT_TRUE(simtest::WaitFor([&] { return fx.clock->MonotonicUs() > due + 1'000'000; }, 2000));
  simtest::DevicePort again(fx.simulator->AtDevicePath(), /*flush=*/false);
  ASSERT_TRUE(again.ok());
  ASSERT_TRUE(again.Write("AT\r\n"));
  ASSERT_TRUE(again.ReadUntilContains("OK\r\n", 3000));
  EXPECT_EQ(again.received(), "OK\r\n") << "no stale +WGPS reply";
}

TEST(SimFaultsPerRun, OnlyRunTwoLosesItsDeleteAcknowledgement) {
  simtest::SimFixture fx(50);
  std::string error;
  ASSERT_TRUE(fx.Start(&error)) << error;
  sim::FaultSet faults;
  faults.no_delete_ack = true;
  fx.simulator->SetRunFaults(2, faults);
  simtest::DevicePort at(fx.simulator->AtDevicePath());
  ASSERT_TRUE(at.ok());
  auto run = [&](int n) {
    at.received().clear();
    at.Write("AT+WGPS?\r\nAT+WGPSDEL=1\r\nAT+WGPS=1\r\n");
    EXPECT_TRUE(at.ReadUntilContains("AT+WGPS=1\r\nOK\r\n", 3000)) << n;
    EXPECT_TRUE(simtest::WaitFor([&] { return fx.simulator->Run() == n; }, 2000));
    return at.received();
  };
  EXPECT_NE(run(1).find("AT+WGPSDEL=1\r\nOK\r\n"), std::string::npos);
  EXPECT_NE(run(2).find("AT+WGPSDEL=1\r\nAT+WGPS=1\r\nOK\r\n"), std::string::npos);
  EXPECT_NE(run(3).find("AT+WGPSDEL=1\r\nOK\r\n"), std::string::npos);
}

}  // namespace
