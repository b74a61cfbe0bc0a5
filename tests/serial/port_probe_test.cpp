// What a port is: NMEA recognised by checksummed sentences, AT by its "OK",
// on pseudo-terminals playing an NMEA port, an AT port, a silent port and a
// held one. The probe writes nothing but "AT\r\n", never to an NMEA port, and
// leaves the line settings as it found them.
#include "serial/port_probe.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <thread>

#include "tests/serial/pty_pair.h"
#include "tests/support/holder_process.h"

namespace {

constexpr ProbeTiming kQuick{400, 400};

TEST(ProbeScan, RecognisesValidSentencesAndTheirTalkers) {
  struct Case {
    const char* legend;
    std::string bytes;
    int sentences;
    std::vector<std::string> talkers;
  };
  const Case cases[] = {
      {"two talkers, CRLF", "$GPGGA,,,,,,0,,,,,,,,*66\r\n$GLGSV,1,1,00*65\r\n", 2, {"GL", "GP"}},
      {"a bad checksum is no sentence", "$GPGGA,,,,,,0,,,,,,,,*67\r\n", 0, {}},
      {"a bare LF ends a line too", "$GNGSA,A,1,,,,,,,,,,,,,,,*00\n", 1, {"GN"}},
      {"proprietary sentences count as P; lower-case hex", "$PQXFI,1*4b\r\n", 1, {"P"}},
      {"garbage before the dollar on the line", "\x01\xff$GPGSV,1,1,00*79\r\n", 1, {"GP"}},
      {"an AT reply is no NMEA", "AT\r\r\nOK\r\n", 0, {}},
      {"a sentence cut short", "$GPGGA,123", 0, {}},
      {"no checksum at all", "$GPGGA,,,,,,0,,,,,,,,\r\n", 0, {}},
  };
  for (const Case& c : cases) {
    const NmeaSeen seen = ScanNmea(c.bytes);
    EXPECT_EQ(seen.sentences, c.sentences) << c.legend;
    EXPECT_EQ(seen.talkers, c.talkers) << c.legend;
  }
}

TEST(ProbeScan, OkMustBeALineOfItsOwn) {
  EXPECT_TRUE(HasOkLine("AT\r\r\nOK\r\n"));
  EXPECT_TRUE(HasOkLine("\r\nOK\r\n"));
  EXPECT_FALSE(HasOkLine("OKAY\r\n"));
  EXPECT_FALSE(HasOkLine("AT\r\r\nERROR\r\n"));
  EXPECT_FALSE(HasOkLine(""));
}

// The module side of a pty: streams NMEA, answers AT, or stays silent, and
// records every byte the probe wrote.
class PlayedPort {
 public:
  enum class Role { kNmea, kAt, kSilent };
  explicit PlayedPort(Role role) : role_(role) {
    // Raw, as a serial line is: a pty's default line discipline would echo
    // the module's own bytes back to it.
    const int fd = ::open(pty_.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd, TCSANOW, &t);
    }
    if (fd >= 0)
      ::close(fd);
    thread_ = std::thread([this] { Loop(); });
  }
  ~PlayedPort() {
    stop_ = true;
    thread_.join();
  }
  const std::string& path() const { return pty_.path(); }
  bool Ok() const { return pty_.Ok(); }
  // Bytes the probe wrote (after the probe returned).
  std::string Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  void Loop() {
    while (!stop_) {
      if (role_ == Role::kNmea)
        pty_.Write("$GPGGA,,,,,,0,,,,,,,,*66\r\n$GLGSV,1,1,00*65\r\n");
      char buf[256];
      pollfd p{pty_.master(), POLLIN, 0};
      if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
        const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
        if (n > 0) {
          std::lock_guard<std::mutex> lock(mutex_);
          received_.append(buf, static_cast<std::size_t>(n));
          if (role_ == Role::kAt && received_.find("AT\r") != std::string::npos)
            pty_.Write("AT\r\r\nOK\r\n");
        }
      }
    }
  }
  Role role_;
  testsupport::PtyPair pty_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

TEST(Probe, AnNmeaPortIsNamedByItsTalkersAndNeverWrittenTo) {
  PlayedPort port(PlayedPort::Role::kNmea);
  ASSERT_TRUE(port.Ok());
  const ProbeReport r = ProbePort(port.path(), kQuick);
  EXPECT_EQ(r.kind, ProbeKind::kNmea);
  EXPECT_EQ(r.talkers, (std::vector<std::string>{"GL", "GP"}));
  EXPECT_GT(r.sentences_per_s, 0.0);
  EXPECT_EQ(port.Received(), "");
}

TEST(Probe, AnAtPortAnswersOkToASingleAt) {
  PlayedPort port(PlayedPort::Role::kAt);
  ASSERT_TRUE(port.Ok());
  const ProbeReport r = ProbePort(port.path(), kQuick);
  EXPECT_EQ(r.kind, ProbeKind::kAt) << r.text;
  EXPECT_EQ(port.Received(), "AT\r\n");
}

TEST(Probe, ASilentPortGetsOneAtAndIsSilent) {
  PlayedPort port(PlayedPort::Role::kSilent);
  ASSERT_TRUE(port.Ok());
  const ProbeReport r = ProbePort(port.path(), kQuick);
  EXPECT_EQ(r.kind, ProbeKind::kSilent);
  // A module's NMEA port while GNSS is off says nothing either: the hint says so.
  EXPECT_EQ(r.text,
            "if GNSS is off, the NMEA port says nothing too: start GNSS on the AT port (the "
            "profile's start, zuvek-cli profiles show NAME) and probe again");
  EXPECT_EQ(port.Received(), "AT\r\n");
}

TEST(Probe, APortSomeoneHoldsIsBusyAndUntouched) {
  PlayedPort port(PlayedPort::Role::kSilent);
  ASSERT_TRUE(port.Ok());
  testsupport::HolderProcess holder(port.path(), "zuvek-holder");
  ASSERT_TRUE(holder.Holds());
  const ProbeReport r = ProbePort(port.path(), kQuick);
  EXPECT_EQ(r.kind, ProbeKind::kBusy);
  ASSERT_EQ(r.holders.size(), 1u);
  EXPECT_EQ(r.holders[0].name, "zuvek-holder");
  EXPECT_NE(r.text.find("is in use by zuvek-holder"), std::string::npos) << r.text;
  EXPECT_EQ(port.Received(), "");
}

TEST(Probe, AMissingPortFailsWithTheSentence) {
  const ProbeReport r = ProbePort("/nonexistent/ttyUSB9", kQuick);
  EXPECT_EQ(r.kind, ProbeKind::kFailed);
  EXPECT_EQ(r.text.rfind("/nonexistent/ttyUSB9 does not exist.", 0), 0u) << r.text;
}

TEST(Probe, TheLineSettingsAreLeftAsTheyWere) {
  PlayedPort port(PlayedPort::Role::kAt);
  ASSERT_TRUE(port.Ok());
  // A line in cooked mode with echo at 9600: the probe needs raw mode, and
  // must put all of it back.
  const int fd = ::open(port.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(fd, &before), 0);
  before.c_lflag |= ICANON | ECHO;
  before.c_iflag |= ICRNL;
  ::cfsetispeed(&before, B9600);
  ::cfsetospeed(&before, B9600);
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &before), 0);
  ASSERT_EQ(::tcgetattr(fd, &before), 0);
  ::close(fd);

  EXPECT_EQ(ProbePort(port.path(), kQuick).kind, ProbeKind::kAt);

  const int again = ::open(port.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(again, 0);
  termios after{};
  ASSERT_EQ(::tcgetattr(again, &after), 0);
  ::close(again);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B9600));
}

}  // namespace
