// CSerial on real pseudo-terminals: open and close, the error codes of the
// edge cases, line format, read modes and time-outs.
#include <gtest/gtest.h>

#include <limits.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

#include "platform/win_errors.h"
#include "serial/serial.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::PtyPair;

LONG Code(DWORD c) {
  return static_cast<LONG>(c);
}

class SerialCore : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.Ok()); }
  PtyPair pty;
};

TEST_F(SerialCore, OpenCloseReopen) {
  CSerial port;
  EXPECT_FALSE(port.IsOpen());
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR);
  EXPECT_EQ(port.Close(), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Close(), 0) << "closing a closed port succeeds";
  ASSERT_EQ(port.Open(pty.path().c_str()), 0) << "a closed port opens again";
  ASSERT_EQ(port.Write("hello"), 0);
  EXPECT_EQ(pty.Read(5), "hello");
}

TEST_F(SerialCore, SecondOpenOfSameObjectRefusedFirstStaysUsable) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_EQ(port.Open(pty.path().c_str()), Code(win::kAlreadyInitialized));
  EXPECT_EQ(port.GetLastError(), Code(win::kAlreadyInitialized));
  ASSERT_TRUE(pty.Write("ab"));
  char buf[8] = {};
  DWORD n = 0;
  ASSERT_TRUE(testsupport::WaitFor([&] {
    port.Read(buf, sizeof buf, &n);
    return n > 0;
  }));
  EXPECT_EQ(std::string(buf, n), "ab");
}

TEST_F(SerialCore, ExclusiveOpenRefusesASecondOwner) {
  // Root passes TIOCEXCL; the advisory lock refuses it all the same.
  CSerial first, second;
  ASSERT_EQ(first.Open(pty.path().c_str()), 0);
  EXPECT_EQ(CSerial::ProbePort(pty.path().c_str()), CSerial::PortInUse);
  EXPECT_EQ(second.Open(pty.path().c_str()), Code(win::kAccessDenied));
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_EQ(CSerial::ProbePort(pty.path().c_str()), CSerial::PortAvailable);
  EXPECT_EQ(second.Open(pty.path().c_str()), 0) << "free again after the close";
}

TEST_F(SerialCore, DestructorClosesThePort) {
  {
    CSerial port;
    ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  }
  CSerial again;
  EXPECT_EQ(again.Open(pty.path().c_str()), 0);
}

TEST(SerialNames, BadNamesGiveTheirCodesAndLeaveThePortReusable) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.file("plain.txt"), "not a tty");
  const std::string long_missing = "/" + std::string(122, 'x');  // 123 characters
  struct Case {
    const char* legend;
    std::string name;
    LONG code;
  } cases[] = {
      {"missing device", "/dev/zuvek-no-such-tty", Code(win::kFileNotFound)},
      {"missing bare name maps to /dev", "zuvek-no-such-tty", Code(win::kFileNotFound)},
      {"empty name", "", Code(win::kFileNotFound)},
      {"a file that is no tty", dir.file("plain.txt"), Code(win::kNotSupported)},
      {"bare name of a device that is no tty (/dev/null)", "null", Code(win::kNotSupported)},
      {"123 characters still fit (then not found)", long_missing, Code(win::kFileNotFound)},
      {"124 and more fit too (then not found)",
       long_missing + "/" + std::string(200, 'y') + "/" + std::string(200, 'y'),
       Code(win::kFileNotFound)},
      {"longer than the system takes: refused", std::string(PATH_MAX, 'z'),
       Code(win::kFilenameExcedRange)},
      {"a very long name refused", std::string(5000, 'z'), Code(win::kFilenameExcedRange)},
  };
  for (const auto& c : cases) {
    CSerial port;
    EXPECT_EQ(port.Open(c.name.c_str()), c.code) << c.legend;
    EXPECT_EQ(port.GetLastError(), c.code) << c.legend;
    EXPECT_FALSE(port.IsOpen()) << c.legend;
  }
  CSerial port;
  EXPECT_EQ(port.Open(nullptr), Code(win::kFileNotFound));
  EXPECT_EQ(CSerial::ProbePort("/dev/zuvek-no-such-tty"), CSerial::PortNotAvailable);
  EXPECT_EQ(CSerial::ProbePort(dir.file("plain.txt").c_str()), CSerial::PortUnknown);
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  EXPECT_EQ(port.Open(pty.path().c_str()), 0) << "a failed open leaves the object reusable";
  port.Close();
  // A /dev/serial/by-id name longer than 123 characters opens the device.
  const std::string by_id = dir.file(
      "usb-SIMCOM_Technology_Co._Ltd._SIMCOM_SIM7600G-H_LTE_Cat4_Module_with_GNSS_"
      "0123456789ABCDEF0123456789ABCDEF-if02-port0");
  ASSERT_GT(by_id.size(), 124u);
  ASSERT_EQ(::symlink(pty.path().c_str(), by_id.c_str()), 0);
  EXPECT_EQ(port.Open(by_id.c_str()), 0) << by_id.size() << " characters";
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialCore, ClosedPortOperationsGiveInvalidHandle) {
  CSerial port;
  char buf[4];
  DWORD n = 7;
  const struct {
    const char* legend;
    std::function<LONG()> op;
  } ops[] = {
      {"SetLineFormat", [&] { return port.SetLineFormat(9600, 8, 0, 0); }},
      {"SetEventCharacter", [&] { return port.SetEventCharacter('\n', true); }},
      {"SetEventMask", [&] { return port.SetEventMask(EV_RXCHAR); }},
      {"WaitForEvent", [&] { return port.WaitForEvent(); }},
      {"SetFlowControl", [&] { return port.SetFlowControl(CSerial::FlowNone); }},
      {"SetReadMode", [&] { return port.SetReadMode(CSerial::ReadBlocking); }},
      {"Write", [&] { return port.Write("x"); }},
      {"Read", [&] { return port.Read(buf, sizeof buf, &n); }},
      {"SendBreak", [&] { return port.SendBreak(); }},
      {"PurgeBuffers", [&] { return port.PurgeBuffers(); }},
  };
  for (const auto& o : ops) {
    EXPECT_EQ(o.op(), Code(win::kInvalidHandle)) << o.legend;
    EXPECT_EQ(port.GetLastError(), Code(win::kInvalidHandle)) << o.legend;
  }
  EXPECT_EQ(n, 0u) << "the count is zeroed even on a closed port";
  const struct {
    const char* legend;
    std::function<LONG()> getter;
    LONG failure;
  } getters[] = {
      {"GetBaudRate", [&] { return port.GetBaudRate(); }, -1},
      {"GetDataBits", [&] { return port.GetDataBits(); }, -1},
      {"GetParity", [&] { return port.GetParity(); }, -1},
      {"GetStopBits", [&] { return port.GetStopBits(); }, -1},
      {"GetFlowControl", [&] { return port.GetFlowControl(); }, -1},
      {"GetEventMask", [&] { return static_cast<LONG>(port.GetEventMask()); }, 0},
      {"GetEventCharacter", [&] { return static_cast<LONG>(port.GetEventCharacter()); }, 0},
      {"GetLineErrors", [&] { return static_cast<LONG>(port.GetLineErrors()); }, 0},
  };
  for (const auto& g : getters) {
    EXPECT_EQ(g.getter(), g.failure) << g.legend;
    EXPECT_EQ(port.GetLastError(), Code(win::kInvalidHandle)) << g.legend;
  }
  EXPECT_FALSE(port.IsCtsOn());
  EXPECT_NE(port.GetLastError(), 0);
}

TEST_F(SerialCore, LineFormatReadsBack) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  // A pseudo-terminal keeps eight data bits and no parity; speed and stop
  // bits are its own to keep.
  const struct {
    const char* legend;
    DWORD baud;
    BYTE stop;
  } formats[] = {
      {"the program's 115200 8N1", 115200, ONESTOPBIT},
      {"9600 8N1", 9600, ONESTOPBIT},
      {"4800 8N2", 4800, TWOSTOPBITS},
      {"19200 8N2", 19200, TWOSTOPBITS},
  };
  for (const auto& f : formats) {
    ASSERT_EQ(port.SetLineFormat(f.baud, 8, NOPARITY, f.stop), 0) << f.legend;
    EXPECT_EQ(port.GetBaudRate(), static_cast<LONG>(f.baud)) << f.legend;
    EXPECT_EQ(port.GetDataBits(), 8) << f.legend;
    EXPECT_EQ(port.GetParity(), NOPARITY) << f.legend;
    EXPECT_EQ(port.GetStopBits(), f.stop) << f.legend;
  }
}

TEST_F(SerialCore, RefusedLineFormatsGiveACodeAndKeepTheOldFormat) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  ASSERT_EQ(port.SetLineFormat(19200, 8, NOPARITY, ONESTOPBIT), 0);
  const struct {
    const char* legend;
    DWORD baud;
    BYTE bits, parity, stop;
  } bad[] = {
      {"a rate the driver has no code for", 12345, 8, 0, 0},
      {"nine data bits", 9600, 9, 0, 0},
      {"four data bits", 9600, 4, 0, 0},
      {"parity value 5", 9600, 8, 5, 0},
      {"stop bits value 3", 9600, 8, 0, 3},
      {"the pty keeps no parity: even parity refused", 9600, 8, EVENPARITY, 0},
      {"the pty keeps 8 bits: seven refused", 9600, 7, 0, 0},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(port.SetLineFormat(b.baud, b.bits, b.parity, b.stop), Code(win::kInvalidParameter))
        << b.legend;
  }
  EXPECT_EQ(port.GetDataBits(), 8);
  EXPECT_EQ(port.GetParity(), NOPARITY);
}

TEST_F(SerialCore, FlowControlModesReadBack) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  for (auto mode : {CSerial::FlowHardware, CSerial::FlowSoftware, CSerial::FlowNone}) {
    ASSERT_EQ(port.SetFlowControl(mode), 0) << mode;
    EXPECT_EQ(port.GetFlowControl(), mode);
  }
  EXPECT_EQ(port.SetFlowControl(static_cast<CSerial::FlowControl>(7)), Code(win::kInvalidArg));
  EXPECT_EQ(port.GetFlowControl(), CSerial::FlowNone);
}

TEST_F(SerialCore, ReadModesAndEventCharacter) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_EQ(port.SetReadMode(static_cast<CSerial::ReadMode>(2)), Code(win::kInvalidArg));
  EXPECT_EQ(port.SetEventCharacter('\n', true), 0);
  EXPECT_EQ(port.GetEventCharacter(), '\n');
  EXPECT_EQ(port.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR | EV_RXFLAG);
  EXPECT_EQ(port.GetLineErrors(), 0u) << "a pty has no line errors";
  EXPECT_EQ(port.GetLastError(), 0);
  EXPECT_FALSE(port.IsCtsOn()) << "a pty has no modem lines";
  EXPECT_NE(port.GetLastError(), 0);
  EXPECT_EQ(port.PurgeBuffers(), 0);
}

TEST_F(SerialCore, NonBlockingReadReturnsWhatWaits) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  char buf[64];
  DWORD n = 99;
  EXPECT_EQ(port.Read(buf, sizeof buf, &n), 0);
  EXPECT_EQ(n, 0u) << "nothing waiting: count 0 at once";
  ASSERT_TRUE(pty.Write("$GPRMC\r\n"));
  std::string got;
  ASSERT_TRUE(testsupport::WaitFor([&] {
    EXPECT_EQ(port.Read(buf, sizeof buf, &n), 0);
    got.append(buf, n);
    return got.size() >= 8;
  }));
  EXPECT_EQ(got, "$GPRMC\r\n") << "raw bytes, no translation";
  EXPECT_EQ(port.Read(buf, sizeof buf, nullptr), 0) << "a null count pointer is allowed";
}

TEST_F(SerialCore, NonOverlappedPortRefusesTimeoutsAndOverlapped) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, false), 0);
  char buf[4];
  DWORD n = 5;
  OVERLAPPED ov;
  EXPECT_EQ(port.Read(buf, sizeof buf, &n, nullptr, 100), Code(win::kInvalidFunction));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(port.Read(buf, sizeof buf, &n, &ov, INFINITE), Code(win::kInvalidFunction));
  EXPECT_EQ(port.Write("x", &n, nullptr, 100), Code(win::kInvalidFunction));
  EXPECT_EQ(port.WaitForEvent(nullptr, 100), Code(win::kInvalidFunction));
  EXPECT_EQ(pty.Read(1, 50), "") << "nothing was written";
}

TEST_F(SerialCore, TimedBlockingReadRunsOutWithNothingLost) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  ASSERT_EQ(port.SetReadMode(CSerial::ReadBlocking), 0);
  char buf[16] = {};
  DWORD n = 9;
  EXPECT_EQ(port.Read(buf, 4, &n, nullptr, 30), Code(win::kTimeout));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(port.GetLastError(), Code(win::kTimeout));
  // Bytes arriving in two pieces complete one blocking read.
  std::thread writer([&] {
    pty.Write("ab");
    pty.Write("cd");
  });
  EXPECT_EQ(port.Read(buf, 4, &n, nullptr, 5000), 0);
  writer.join();
  EXPECT_EQ(std::string(buf, n), "abcd");
  // The caller's event is signalled on completion.
  WakeEvent done;
  OVERLAPPED ov;
  ov.hEvent = &done;
  ASSERT_TRUE(pty.Write("ef"));
  EXPECT_EQ(port.Read(buf, 2, &n, &ov, 5000), 0);
  EXPECT_TRUE(done.IsSet());
  EXPECT_EQ(std::string(buf, n), "ef");
}

TEST_F(SerialCore, WaitForEventReportsArrivalWakeAndTimeout) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 20), Code(win::kTimeout));
  ASSERT_TRUE(pty.Write("x"));
  ASSERT_EQ(port.WaitForEvent(nullptr, 5000), 0);
  EXPECT_EQ(port.TakeEvent(), EV_RXCHAR);
  EXPECT_EQ(port.TakeEvent(), 0u) << "taking the event clears the word";
  // Bytes still waiting are no new event: the next wait times out.
  EXPECT_EQ(port.WaitForEvent(nullptr, 20), Code(win::kTimeout));
  // Re-applying the mask completes a wait with an empty word.
  std::thread waker([&] { port.SetEventMask(port.GetEventMask()); });
  EXPECT_EQ(port.WaitForEvent(nullptr, 5000), 0);
  waker.join();
  EXPECT_EQ(port.TakeEvent(), 0u);
  // A mask without EV_RXCHAR ignores arrivals.
  ASSERT_EQ(port.SetEventMask(EV_BREAK), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 5000), 0) << "the mask change itself wakes";
  ASSERT_TRUE(pty.Write("y"));
  EXPECT_EQ(port.WaitForEvent(nullptr, 50), Code(win::kTimeout));
}

TEST_F(SerialCore, ConcurrentReadAndWriteDoNotWaitOnEachOther) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  ASSERT_EQ(port.SetReadMode(CSerial::ReadBlocking), 0);
  // A blocking read waits for bytes that only arrive after a write on the
  // same object from another thread has completed and been answered.
  char buf[3] = {};
  DWORD n = 0;
  LONG read_result = -1;
  std::thread reader([&] { read_result = port.Read(buf, 3, &n, nullptr, 5000); });
  std::string cmd = "AT\r";
  ASSERT_EQ(port.Write(cmd.c_str(), nullptr, nullptr, 2000), 0);
  EXPECT_EQ(pty.Read(3), cmd);
  ASSERT_TRUE(pty.Write("OK\n"));
  reader.join();
  EXPECT_EQ(read_result, 0);
  EXPECT_EQ(std::string(buf, n), "OK\n");
}

TEST_F(SerialCore, VanishedDeviceFailsReadWriteAndWait) {
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  pty.CloseMaster();
  char buf[8];
  DWORD n = 3;
  EXPECT_EQ(port.Read(buf, sizeof buf, &n), Code(win::kDeviceNotConnected));
  EXPECT_EQ(n, 0u);
  EXPECT_NE(port.Write("x", nullptr, nullptr, 1000), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 5000), Code(win::kDeviceNotConnected));
  EXPECT_EQ(port.Close(), 0);
}

}  // namespace
