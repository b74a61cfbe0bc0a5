// The receive path on real pseudo-terminals: bytes into the two queues, NMEA
// lines out as WM_USER+1004, in order, with nothing lost or held back.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "platform/message_loop.h"
#include "serial/receive_path.h"
#include "serial/serial_mfc.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::PtyPair;

DWORD Waiting(const CSerial& port) {
  DWORD n = 0;
  tty::InputWaiting(port.Descriptor(), &n);
  return n;
}

// The hub's receive side: two ports, two queues, the display tail, and a
// target that records the NMEA lines it is sent.
class ReceiveHub : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(at_pty.Ok());
    ASSERT_TRUE(nmea_pty.Ok());
    target.On(kWmNmeaLine, [this](WPARAM w, LPARAM l) {
      EXPECT_EQ(l, 0);
      lines.emplace_back(reinterpret_cast<const char*>(w));
      return LRESULT{0};
    });
  }
  // Ports opened without listeners: the test drives OnSerialMessage.
  void OpenQuiet() {
    ASSERT_EQ(at.CSerialEx::Open(at_pty.path().c_str()), 0);
    ASSERT_EQ(nmea.CSerialEx::Open(nmea_pty.path().c_str()), 0);
  }
  // Ports with listeners, bound as the hub binds them.
  void OpenListening() {
    const UINT msg = InitDefaultComMsg();
    target.On(msg, [this](WPARAM w, LPARAM l) { return path.OnSerialMessage(w, l); });
    path.SetMessageNumber(msg);
    ASSERT_EQ(at.Open(at_pty.path().c_str(), &target, 0, 0), 0);
    ASSERT_EQ(nmea.Open(nmea_pty.path().c_str(), &target, 0, 1), 0);
  }
  // Writes to the NMEA side and waits until the port holds all of it.
  void Feed(const std::string& bytes, PtyPair& pty, CSerial& port) {
    const DWORD before = Waiting(port);
    ASSERT_TRUE(pty.Write(bytes));
    ASSERT_TRUE(testsupport::WaitFor([&] { return Waiting(port) >= before + bytes.size(); }));
  }
  std::string Tail() const { return std::string(display.begin(), display.end()); }

  // The loop and its target outlive the ports, whose listener threads post
  // to them until the ports' destructors join those threads.
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  PtyPair at_pty, nmea_pty;
  CSerialMFC at, nmea;
  LineQueue at_queue, nmea_queue;
  std::vector<char> display;
  platform::FakeClock clock{5'000'000};
  ReceivePath path{at, nmea, at_queue, nmea_queue, display, target, clock};
  std::vector<std::string> lines;
};

TEST_F(ReceiveHub, CarriageReturnAndLineFeedSplitAcrossReads) {
  OpenQuiet();
  Feed("$GPGGA,1*00\r", nmea_pty, nmea);
  path.OnSerialMessage(EV_RXCHAR, 1);
  EXPECT_TRUE(lines.empty()) << "a lone CR ends no line";
  EXPECT_EQ(Tail(), "$GPGGA,1*00\r");
  Feed("\n$GPR", nmea_pty, nmea);
  path.OnSerialMessage(EV_RXCHAR, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "$GPGGA,1*00\r\n");
  EXPECT_EQ(Tail(), "$GPR");
  // The locked queue got every raw byte, in order.
  std::vector<std::string> taken;
  nmea_queue.Extract(taken);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0], "$GPGGA,1*00\r\n");
  EXPECT_EQ(nmea_queue.Size(), 4u);
}

TEST_F(ReceiveHub, TwoSentencesInOneReadGiveTwoLinesInOrder) {
  OpenQuiet();
  Feed("$GPRMC,a\r\n$GPGSA,b\r\n\r\n", nmea_pty, nmea);
  path.OnSerialMessage(EV_RXCHAR, 1);
  const std::vector<std::string> want = {"$GPRMC,a\r\n", "$GPGSA,b\r\n", "\r\n"};
  EXPECT_EQ(lines, want) << "CRLF alone is a line of two characters";
  EXPECT_TRUE(display.empty());
}

TEST_F(ReceiveHub, NulCutsTheDeliveredLineButTheWholeLineLeaves) {
  OpenQuiet();
  Feed(std::string("$GP\0junk\r\n$GN", 13), nmea_pty, nmea);
  path.OnSerialMessage(EV_RXCHAR, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "$GP");
  EXPECT_EQ(Tail(), "$GN");
  std::vector<std::string> taken;
  nmea_queue.Extract(taken);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0], "$GP");
  EXPECT_EQ(nmea_queue.Size(), 3u);
}

TEST_F(ReceiveHub, OnlyEventRxcharAloneReads) {
  OpenQuiet();
  Feed("OK\r\n", at_pty, at);
  const struct {
    const char* legend;
    WPARAM wparam;
  } ignored[] = {
      {"EV_RXCHAR with EV_ERR (0x81)", 0x81},
      {"EV_BREAK", EV_BREAK},
      {"port lost", kEventPortLost},
      {"no event", 0},
  };
  for (const auto& i : ignored) {
    path.OnSerialMessage(i.wparam, 0);
    EXPECT_EQ(at_queue.Size(), 0u) << i.legend;
    EXPECT_EQ(Waiting(at), 4u) << i.legend << ": the bytes stay waiting";
  }
  path.OnSerialMessage(MakeWParam(EV_RXCHAR, CE_FRAME), 0);
  EXPECT_EQ(at_queue.Size(), 4u) << "line errors in the high word do not stop the read";
  EXPECT_TRUE(lines.empty()) << "AT bytes are no NMEA lines";
  EXPECT_TRUE(nmea_queue.Size() == 0 && display.empty());
}

TEST_F(ReceiveHub, NothingWaitingChangesNothing) {
  OpenQuiet();
  path.OnSerialMessage(EV_RXCHAR, 1);
  path.OnSerialMessage(EV_RXCHAR, 0);
  EXPECT_EQ(nmea_queue.Size(), 0u);
  EXPECT_EQ(at_queue.Size(), 0u);
  EXPECT_TRUE(lines.empty());
  at.Close();
  path.OnSerialMessage(EV_RXCHAR, 0);  // a notification after the close
  EXPECT_EQ(at_queue.Size(), 0u);
}

TEST_F(ReceiveHub, OneNotificationTakesABurstAboveTheReadBuffer) {
  OpenQuiet();
  std::string burst;
  for (int i = 0; burst.size() < 3000; ++i) {
    burst += "$GPGSV,3,1,11,01,23,045,32,02,11,300,28,03,55,120,40,04,07,200,*" +
             std::to_string(10 + i % 90) + "\r\n";
  }
  Feed(burst, nmea_pty, nmea);
  path.OnSerialMessage(EV_RXCHAR, 1);
  EXPECT_EQ(nmea_queue.Size(), burst.size()) << "read until nothing waits";
  EXPECT_EQ(Waiting(nmea), 0u);
  std::string joined;
  for (const auto& l : lines)
    joined += l;
  EXPECT_EQ(joined, burst);
}

TEST_F(ReceiveHub, BytesAreStampedWithTheClockOfTheirRead) {
  OpenQuiet();
  Feed("+WGPS: 0\r\n", at_pty, at);
  path.OnSerialMessage(EV_RXCHAR, 0);
  clock.Advance(250'000);
  Feed("OK\r\n", at_pty, at);
  path.OnSerialMessage(EV_RXCHAR, 0);
  std::vector<std::string> taken;
  std::vector<std::int64_t> stamps;
  at_queue.Extract(taken, &stamps);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(stamps, (std::vector<std::int64_t>{5'000'000, 5'250'000}));
}

TEST_F(ReceiveHub, ListenedBurstArrivesInFullWithoutFurtherInput) {
  OpenListening();
  std::string epoch;
  for (int i = 0; epoch.size() < 30'000; ++i) {
    epoch += "$GPGSV,4," + std::to_string(i) + ",14,01,40,083,46,02,17,308,41,12,07,344,39*7C\r\n";
  }
  epoch += "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
  // The module writes the epoch in one go (more than the pty holds, so from
  // its own thread); no byte follows it: the fix line must still come
  // through.
  bool written = false;
  std::thread module([&] { written = nmea_pty.Write(epoch); });
  const bool all = loop.RunUntil([&] { return nmea_queue.Size() == epoch.size(); }, 5000);
  module.join();
  ASSERT_TRUE(written);
  ASSERT_TRUE(all) << nmea_queue.Size() << " of " << epoch.size();
  std::string joined;
  for (const auto& l : lines)
    joined += l;
  EXPECT_EQ(joined, epoch);
  ASSERT_TRUE(at_pty.Write("OK\r\n"));
  ASSERT_TRUE(loop.RunUntil([&] { return at_queue.Size() == 4; }, 3000));
}

TEST_F(ReceiveHub, LostNmeaPortReachesTheHubAsItsOwnNotification) {
  OpenListening();
  std::vector<WPARAM> lost;
  const UINT msg = InitDefaultComMsg();
  target.On(msg, [&](WPARAM w, LPARAM l) {
    if (LoWord(w) == kEventPortLost)
      lost.push_back(static_cast<WPARAM>(l));
    return path.OnSerialMessage(w, l);
  });
  nmea_pty.CloseMaster();
  ASSERT_TRUE(loop.RunUntil([&] { return !lost.empty(); }, 1000));
  EXPECT_EQ(lost, std::vector<WPARAM>{1});
  EXPECT_TRUE(lines.empty());
}

TEST_F(ReceiveHub, GarbageWithoutLineEndsIsCappedAndLogged) {
  OpenQuiet();
  testsupport::TempDir dir;
  std::FILE* log = std::fopen(dir.file("debug.txt").c_str(), "w");
  ASSERT_NE(log, nullptr);
  std::FILE* old = SetDebugLogStream(log);
  LineQueue small(4096);
  std::vector<char> tail;
  ReceivePath capped(at, nmea, at_queue, small, tail, target, clock);
  std::string junk(3000, '\x7f');
  for (int i = 0; i < 30; ++i) {
    Feed(junk, nmea_pty, nmea);
    capped.OnSerialMessage(EV_RXCHAR, 1);
  }
  SetDebugLogStream(old);
  std::fclose(log);
  EXPECT_LE(small.Size(), 4096u);
  EXPECT_LE(tail.size(), ReceivePath::kMaxDisplayTail);
  EXPECT_EQ(small.Size() + small.DroppedBytes(), 90000u) << "every byte kept or counted";
  EXPECT_GT(capped.DroppedDisplayBytes(), 0u);
  const std::string text = testsupport::ReadFile(dir.file("debug.txt"));
  EXPECT_NE(text.find("NMEA queue full"), std::string::npos);
  EXPECT_NE(text.find("without line end dropped"), std::string::npos);
  // A well-formed line after the garbage still comes through whole.
  Feed("\r\n$GPRMC,1\r\n", nmea_pty, nmea);
  capped.OnSerialMessage(EV_RXCHAR, 1);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "$GPRMC,1\r\n");
}

}  // namespace
