// SetLineFormat against drivers a pseudo-terminal cannot play, through the
// termios seam: a USB modem driver that keeps every line setting it had
// (speed included), one that takes the speed and keeps the rest, and a UART
// that takes everything. The port is a real pty (for the open and its
// lock); only the termios calls reach the fake driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/debug_log.h"
#include "platform/win_errors.h"
#include "serial/serial.h"
#include "serial/tty_attr_seam.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::PtyPair;

enum class Takes { Nothing, SpeedOnly, Everything };

// The line of a driver as its tcsetattr leaves it. A driver without line
// settings gets the kernel's treatment of such drivers: the new termios is
// stored with the hardware part (c_cflag but HUPCL and CLOCAL, the speeds)
// of the old one.
class FakeDriver final : public tty::AttrCalls {
 public:
  explicit FakeDriver(Takes takes) : takes_(takes) {
    line_.c_cflag = CS8 | CREAD | CLOCAL;
    cfsetispeed(&line_, B9600);
    cfsetospeed(&line_, B9600);
    previous_ = tty::InstallAttrCalls(this);
  }
  ~FakeDriver() override { tty::InstallAttrCalls(previous_); }
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  int Get(int, termios* t) override {
    *t = line_;
    return 0;
  }
  int Set(int, const termios& t) override {
    termios next = t;
    if (takes_ != Takes::Everything) {
      constexpr tcflag_t kSoft = HUPCL | CLOCAL;
      next.c_cflag = (t.c_cflag & kSoft) | (line_.c_cflag & ~kSoft);
    }
    // The speed lives in c_cflag too: set it after the flags.
    const termios& speed_from = takes_ == Takes::Nothing ? line_ : t;
    cfsetispeed(&next, cfgetispeed(&speed_from));
    cfsetospeed(&next, cfgetospeed(&speed_from));
    line_ = next;
    return 0;
  }
  int Flush(int, int) override { return 0; }

 private:
  Takes takes_;
  termios line_{};
  tty::AttrCalls* previous_ = nullptr;
};

// The debug log of the test, read back whole.
class DebugLogCapture {
 public:
  DebugLogCapture() { SetDebugLogStream(std::fopen(tmp_.file("debug.txt").c_str(), "w")); }
  ~DebugLogCapture() { CloseDebugLog(); }
  std::string Text() const {
    std::fflush(g_fp_debug_log);
    return testsupport::ReadFile(tmp_.file("debug.txt"));
  }

 private:
  testsupport::TempDir tmp_;
};

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(LineFormatDrivers, KeptSettingsAreAcceptedPartlyTakenOnesRefused) {
  const LONG kRefused = static_cast<LONG>(win::kInvalidParameter);
  // Every driver starts at 9600 8N1.
  const struct {
    const char* legend;
    Takes takes;
    DWORD baud;
    BYTE bits, parity, stop;
    LONG result;
    LONG baud_after;
    bool noted;  // the debug log names the port and the speed it kept
  } cases[] = {
      {"modem driver keeps everything: 115200 8N1 asked", Takes::Nothing, 115200, 8, NOPARITY,
       ONESTOPBIT, 0, 9600, true},
      {"modem driver keeps everything: 4800 7E2 asked", Takes::Nothing, 4800, 7, EVENPARITY,
       TWOSTOPBITS, 0, 9600, true},
      {"modem driver, the speed it has: nothing to note", Takes::Nothing, 9600, 8, NOPARITY,
       ONESTOPBIT, 0, 9600, false},
      {"modem driver, same speed, other format: indistinguishable from a refusal", Takes::Nothing,
       9600, 7, EVENPARITY, ONESTOPBIT, kRefused, 9600, false},
      {"takes the speed, keeps parity: refused", Takes::SpeedOnly, 115200, 8, EVENPARITY,
       ONESTOPBIT, kRefused, 115200, false},
      {"takes the speed, keeps the size: refused", Takes::SpeedOnly, 115200, 7, NOPARITY,
       ONESTOPBIT, kRefused, 115200, false},
      {"takes the speed, 8N1 asked: all of it taken", Takes::SpeedOnly, 115200, 8, NOPARITY,
       ONESTOPBIT, 0, 115200, false},
      {"a UART takes everything", Takes::Everything, 19200, 7, ODDPARITY, TWOSTOPBITS, 0, 19200,
       false},
  };
  for (const auto& c : cases) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    FakeDriver driver(c.takes);
    DebugLogCapture log;
    CSerial port;
    ASSERT_EQ(port.Open(pty.path().c_str()), 0) << c.legend;
    EXPECT_EQ(port.SetLineFormat(c.baud, c.bits, c.parity, c.stop), c.result) << c.legend;
    EXPECT_EQ(port.GetLastError(), c.result) << c.legend;
    EXPECT_EQ(port.GetBaudRate(), c.baud_after) << c.legend;
    const std::string text = log.Text();
    if (c.noted) {
      EXPECT_EQ(Count(text, pty.path()), 1u) << c.legend << "\n" << text;
      EXPECT_NE(text.find("9600 baud"), std::string::npos) << c.legend << "\n" << text;
    } else {
      EXPECT_EQ(Count(text, pty.path()), 0u) << c.legend << "\n" << text;
    }
  }
}

TEST(LineFormatDrivers, AKeptLineIsNotedOncePerOpen) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  FakeDriver driver(Takes::Nothing);
  DebugLogCapture log;
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_EQ(port.SetLineFormat(115200, 8, NOPARITY, ONESTOPBIT), 0);
  EXPECT_EQ(port.SetLineFormat(57600, 8, NOPARITY, ONESTOPBIT), 0);
  EXPECT_EQ(Count(log.Text(), pty.path()), 1u) << log.Text();
  port.Close();
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_EQ(port.SetLineFormat(115200, 8, NOPARITY, ONESTOPBIT), 0);
  EXPECT_EQ(Count(log.Text(), pty.path()), 2u) << "a new open notes it again\n" << log.Text();
}

}  // namespace
