// CSerialPort on a real pseudo-terminal: the worker's deliveries, the
// receive-buffer hand-over, queued and immediate writes, and its reports.
#include <gtest/gtest.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_loop.h"
#include "serial/serial_port.h"
#include "tests/serial/pty_pair.h"

namespace {

using testsupport::PtyPair;

class ThreadPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    target.On(CSerialPort::kMsgRxChar, [this](WPARAM w, LPARAM l) {
      EXPECT_EQ(l, 7) << "lParam is the port number";
      received.append(port.ReceiveBuffer(), w);
      ++deliveries;
      if (release)
        port.ReleaseReceiveBuffer();
      return LRESULT{0};
    });
  }
  PtyPair pty;
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  // The worker reports on its own thread.
  std::mutex reports_mutex;
  std::vector<std::string> reports_;
  std::vector<std::string> Reports() {
    std::lock_guard<std::mutex> lock(reports_mutex);
    return reports_;
  }
  CSerialPort port{[this](const std::string& t) {
    std::lock_guard<std::mutex> lock(reports_mutex);
    reports_.push_back(t);
  }};
  std::string received;
  int deliveries = 0;
  bool release = true;
};

TEST_F(ThreadPort, DeliversReceivedBytesAndWritesQueuedData) {
  ASSERT_TRUE(port.InitPortOnDevice(&target, pty.path(), 7, 115200));
  EXPECT_EQ(port.GetWriteBufferSize(), 512u);
  ASSERT_TRUE(port.StartMonitoring());
  EXPECT_FALSE(port.StartMonitoring()) << "one worker";
  ASSERT_TRUE(pty.Write("$GPGGA,1\r\n"));
  ASSERT_TRUE(loop.RunUntil([&] { return received.size() >= 10; }, 3000));
  EXPECT_EQ(received, "$GPGGA,1\r\n");
  ASSERT_TRUE(port.WriteToPort("AT+WGPS?\r\n", 10));
  EXPECT_EQ(pty.Read(10), "AT+WGPS?\r\n");
  ASSERT_TRUE(port.WriteToPortNow("AT\r\n", 4));
  EXPECT_EQ(pty.Read(4), "AT\r\n");
  EXPECT_TRUE(port.StopMonitoring());
  EXPECT_TRUE(Reports().empty());
}

TEST_F(ThreadPort, NextDeliveryWaitsUntilTheOwnerReleasesTheBuffer) {
  release = false;
  ASSERT_TRUE(port.InitPortOnDevice(&target, pty.path(), 7));
  ASSERT_TRUE(port.StartMonitoring());
  ASSERT_TRUE(pty.Write("one"));
  ASSERT_TRUE(loop.RunUntil([&] { return deliveries == 1; }, 3000));
  ASSERT_TRUE(pty.Write("two"));
  // The worker holds "two" until the buffer is released.
  EXPECT_FALSE(loop.RunUntil([&] { return deliveries > 1; }, 100));
  port.ReleaseReceiveBuffer();
  ASSERT_TRUE(loop.RunUntil([&] { return deliveries == 2; }, 3000));
  EXPECT_EQ(received, "onetwo");
  EXPECT_TRUE(port.StopMonitoring());
}

TEST_F(ThreadPort, ReceptionsAreBoundedByTheReceiveBuffer) {
  ASSERT_TRUE(port.InitPortOnDevice(&target, pty.path(), 7));
  std::string big(12000, 'n');
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(port.StartMonitoring());
  std::thread writer([&] { pty.Write(big); });
  const bool all = loop.RunUntil([&] { return received.size() >= big.size(); }, 5000);
  writer.join();
  ASSERT_TRUE(all);
  EXPECT_EQ(received, big) << "nothing lost or reordered across deliveries";
  EXPECT_GE(deliveries, 3) << "no delivery holds more than 5120 bytes";
}

TEST_F(ThreadPort, BadArgumentsAndMissingDevicesAreRefusedNotCrashed) {
  EXPECT_FALSE(port.InitPortOnDevice(nullptr, pty.path(), 7));
  EXPECT_FALSE(port.InitPortOnDevice(&target, pty.path(), 0));
  EXPECT_FALSE(port.InitPortOnDevice(&target, pty.path(), 180));
  EXPECT_EQ(Reports().size(), 3u);
  EXPECT_FALSE(port.InitPortOnDevice(&target, "/dev/zuvek-no-such-tty", 7));
  EXPECT_FALSE(port.WriteToPort("x", 1)) << "no device";
  EXPECT_FALSE(port.StartMonitoring());
}

TEST_F(ThreadPort, LineSettingsThePtyRefusesAreReported) {
  // A rate the driver has no code for is refused by BuildCommDCB.
  ASSERT_TRUE(port.InitPortOnDevice(&target, pty.path(), 7, 12345));
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_NE(Reports()[0].find("BuildCommDCB()"), std::string::npos);
  EXPECT_NE(Reports()[0].find("Port: 7"), std::string::npos);
}

TEST_F(ThreadPort, DeviceLossIsReportedOnceAndTheWorkerEnds) {
  ASSERT_TRUE(port.InitPortOnDevice(&target, pty.path(), 7));
  ASSERT_TRUE(port.StartMonitoring());
  pty.CloseMaster();
  ASSERT_TRUE(testsupport::WaitFor([&] { return !Reports().empty(); }, 2000));
  EXPECT_NE(Reports()[0].find("WaitCommEvent()"), std::string::npos);
  EXPECT_TRUE(port.StopMonitoring());
  EXPECT_EQ(Reports().size(), 1u);
}

TEST(ThreadPortText, ErrorTextIsBounded) {
  const std::string step(5000, 's');
  const std::string text = CSerialPort::FormatError(step.c_str(), EIO, 3);
  EXPECT_LT(text.size(), CSerialPort::kMaxErrorText);
  const std::string normal = CSerialPort::FormatError("WriteFile()", EIO, 3);
  EXPECT_EQ(normal.rfind("WARNING:  WriteFile() Failed with the following error: \n", 0), 0u);
  EXPECT_NE(
      normal.find("\nPort: 3\nPlease make sure the Serial Port Cable is connected normally ! "),
      std::string::npos);
}

}  // namespace
