// Replay of recorded NMEA: comment lines skipped, line ends repaired, epochs
// from one RMC to the next at the recorded rate, first fix in the truth.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/replay.h"
#include "tests/sim/device_port.h"
#include "tests/support/test_paths.h"

namespace {

TEST(SimReplayCapture, CutsEpochsAtRmcAndRepairsLineEnds) {
  const std::string text =
      "# Name: test receiver\n"
      "$GPGGA,120000.00,,,,,0,00,,,M,,M,,*00\n"  // before the first RMC
      "$GPRMC,120000.00,V,,,,,,,010324,,,N*00\r\n"
      "$GPGSV,1,1,00*00\r\r\n"  // CR CR LF
      "# a comment in the middle\n"
      "$GPRMC,120000.50,V,,,,,,,010324,,,N*00\n"
      "\n"
      "$GNRMC,120001.00,A,4807.0,N,01131.0,E,,,010324,,,A*00\n"  // A, but not $GPRMC
      "$GPRMC,120500.00,A,4807.0,N,01131.0,E,,,010324,,,A*00\n"  // clock jumps at the fix
      "$GPVTG,,T,,M,,N,,K,A*00";                                 // no final line end
  const auto capture = sim::ReplayCapture::FromText(text);
  const auto& epochs = capture.Epochs();
  ASSERT_EQ(epochs.size(), 4u);
  EXPECT_EQ(epochs[0].lines, (std::vector<std::string>{"$GPGGA,120000.00,,,,,0,00,,,M,,M,,*00\r\n",
                                                       "$GPRMC,120000.00,V,,,,,,,010324,,,N*00\r\n",
                                                       "$GPGSV,1,1,00*00\r\n"}));
  EXPECT_EQ(epochs[0].gap_us, 500'000) << "RMC times 0.5 s apart";
  EXPECT_EQ(epochs[1].gap_us, 500'000);
  EXPECT_EQ(epochs[2].gap_us, 1'000'000) << "a 299-s jump is not a rate: 1 s";
  EXPECT_EQ(epochs[2].fix_line, -1) << "$GNRMC is never the tool's fix";
  EXPECT_EQ(epochs[3].fix_line, 0);
  EXPECT_EQ(epochs[3].lines.back(), "$GPVTG,,T,,M,,N,,K,A*00\r\n");
  EXPECT_EQ(capture.FirstFixEpoch(), 3);
}

TEST(SimReplayCapture, ReadsRmcTimes) {
  EXPECT_DOUBLE_EQ(sim::RmcSecondsOfDay("$GPRMC,170958.972,V,,"), 61798.972);
  EXPECT_DOUBLE_EQ(sim::RmcSecondsOfDay("$GNRMC,000001,A,"), 1.0);
  EXPECT_LT(sim::RmcSecondsOfDay("$GPRMC,,V,,,,,,,,,,N*53"), 0);
  EXPECT_LT(sim::RmcSecondsOfDay("$GPRMC,12ab56,V"), 0);
  EXPECT_FALSE(sim::IsGprmcFix("$GPRMC"));
  EXPECT_TRUE(sim::IsGprmcFix("xx$GPRMC,1,A,"));
}

std::string ExpectedLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string line, out;
  while (std::getline(file, line)) {
    while (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty() || line[0] == '#')
      continue;
    out += line + "\r\n";
  }
  return out;
}

TEST(SimReplay, RealCaptureIsReproducedWithItsFirstFixEpoch) {
  // bn-9015.log: a SkyTraq receiver, CRLF data under LF comment lines, four
  // V epochs and then A at 1 Hz (the fifth $GPRMC, epoch 4, is the first fix).
  const std::string path = std::string(testsupport::kNmeaDataDir) + "/bn-9015.log";
  ASSERT_TRUE(std::ifstream(path)) << "missing recording " << path;
  const std::string expected = ExpectedLines(path);
  simtest::SimFixture fx(50);
  fx.options.replay_path = path;
  std::string error;
  ASSERT_TRUE(fx.Start(&error)) << error;
  simtest::DevicePort at(fx.simulator->AtDevicePath());
  simtest::DevicePort nmea(fx.simulator->NmeaDevicePath());
  ASSERT_TRUE(at.ok() && nmea.ok());
  ASSERT_TRUE(at.Write("AT+WGPS=1\r\n"));
  ASSERT_TRUE(
      nmea.ReadUntil([&](const std::string& r) { return r.size() >= expected.size(); }, 5000))
      << nmea.received().size() << " of " << expected.size() << " bytes";
  EXPECT_EQ(nmea.received(), expected);
  ASSERT_TRUE(simtest::WaitForFixTruth(*fx.simulator, 0, 2000));
  const auto truth = fx.simulator->Truth();
  ASSERT_EQ(truth.size(), 1u);
  EXPECT_TRUE(truth[0].replay);
  EXPECT_EQ(truth[0].fix_epoch, 4);
  // Epoch 0 leaves a second after the start, then one per recorded second;
  // the write may be late by scheduling, but by less than an epoch.
  EXPECT_GE(truth[0].TtffUs(), 5'000'000);
  EXPECT_LT(truth[0].TtffUs(), 6'000'000);
  // A second start replays the capture from its beginning again.
  nmea.received().clear();
  ASSERT_TRUE(at.Write("AT+WGPSEND\r\nAT+WGPS=1\r\n"));
  ASSERT_TRUE(
      nmea.ReadUntil([&](const std::string& r) { return r.size() >= expected.size(); }, 5000));
  EXPECT_EQ(nmea.received(), expected);
}

}  // namespace
