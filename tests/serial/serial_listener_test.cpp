// CSerialEx / CSerialWnd / CSerialMFC on real pseudo-terminals: the listener
// thread, its notifications, stopping it, and a device that goes away.
#include <dirent.h>
#include <gtest/gtest.h>

#include <thread>

#include <mutex>
#include <vector>

#include "platform/message_loop.h"
#include "platform/win_errors.h"
#include "serial/serial_mfc.h"
#include "tests/serial/pty_pair.h"

namespace {

using testsupport::PtyPair;

struct Note {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// A window stand-in that records every notification it receives.
class Recorder {
 public:
  explicit Recorder(std::vector<UINT> messages) : target_(loop_) {
    for (UINT m : messages) {
      target_.On(m, [this, m](WPARAM w, LPARAM l) {
        notes_.push_back({m, w, l});
        return LRESULT{0};
      });
    }
  }
  platform::MessageTarget* target() { return &target_; }
  platform::MessageLoop& loop() { return loop_; }
  // Runs the loop until n notifications arrived (at most timeout_ms).
  bool WaitCount(std::size_t n, DWORD timeout_ms = 3000) {
    return loop_.RunUntil([&] { return notes_.size() >= n; }, timeout_ms);
  }
  std::vector<Note> notes_;

 private:
  platform::MessageLoop loop_;
  platform::MessageTarget target_;
};

int ThreadCount() {
  // A sanitizer's runtime starts a helper thread of its own with the first
  // thread the program makes; make sure it exists before anything is counted.
  static const bool warmed = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmed;
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (dirent* e = ::readdir(d))
      n += e->d_name[0] != '.';
    ::closedir(d);
  }
  return n;
}

// A joined thread can stay listed in /proc/self/task for a moment after it
// ended (on a loaded machine): the count is given a second to settle.
bool ThreadCountSettlesAt(int expected) {
  return testsupport::WaitFor([&] { return ThreadCount() == expected; }, 1000);
}

TEST(SerialListener, RegisteredMessageIsTheSystemWideNumber) {
  const UINT msg = InitDefaultComMsg();
  EXPECT_EQ(msg, platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg"));
  EXPECT_GE(msg, 0xC000u);
  EXPECT_EQ(g_default_com_msg, msg);
}

TEST(SerialListener, ArrivalPostsTheDefaultMessageWithEventAndUserValue) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const UINT msg = InitDefaultComMsg();
  Recorder rec({msg});
  CSerialMFC port;
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target(), 0, 1), 0);
  EXPECT_EQ(port.Message(), msg);
  EXPECT_TRUE(port.IsListening());
  ASSERT_TRUE(pty.Write("$GPGGA\r\n"));
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_EQ(rec.notes_[0].message, msg);
  EXPECT_EQ(rec.notes_[0].wparam, WPARAM{1}) << "EV_RXCHAR, no line errors";
  EXPECT_EQ(rec.notes_[0].lparam, 1);
  EXPECT_EQ(port.Close(), 0);
  EXPECT_FALSE(port.IsListening());
  EXPECT_EQ(port.Message(), 0u) << "close clears the message number";
}

TEST(SerialListener, ExplicitMessageNumberIsUsed) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const UINT mine = WM_USER + 77;
  Recorder rec({mine, InitDefaultComMsg()});
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target(), mine, 0), 0);
  ASSERT_TRUE(pty.Write("x"));
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_EQ(rec.notes_[0].message, mine);
  EXPECT_EQ(rec.notes_[0].lparam, 0);
}

TEST(SerialListener, WParamCarriesEventLowAndErrorsHigh) {
  // Line errors cannot be made on a pty, so the handler is called directly.
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const UINT msg = InitDefaultComMsg();
  Recorder rec({msg});
  CSerialMFC port;
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target(), 0, 1), 0);
  port.OnEvent(EV_RXCHAR | EV_ERR, CE_FRAME);
  port.OnEvent(0x1FFFF, 0x30008);  // both cut to 16 bits
  ASSERT_TRUE(rec.WaitCount(2));
  EXPECT_EQ(LoWord(rec.notes_[0].wparam), 0x81);
  EXPECT_EQ(HiWord(rec.notes_[0].wparam), 8);
  EXPECT_EQ(rec.notes_[1].wparam, WPARAM{0x0008FFFF});
}

TEST(SerialListener, StartTwiceStartsOneThreadAndStopEndsIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  Recorder rec({InitDefaultComMsg()});
  CSerialMFC port;
  const int before = ThreadCount();
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target()), 0);
  EXPECT_EQ(ThreadCount(), before + 1);
  EXPECT_EQ(port.StartListener(), 0);
  EXPECT_EQ(ThreadCount(), before + 1) << "no second listener";
  EXPECT_EQ(port.StopListener(INFINITE), 0);
  EXPECT_FALSE(port.IsListening());
  EXPECT_TRUE(ThreadCountSettlesAt(before)) << ThreadCount() << " threads, " << before << " before";
  EXPECT_EQ(port.ListenerExitCode(), 0);
  EXPECT_EQ(port.StopListener(INFINITE), 0) << "no listener: returns at once";
  // The port stays open without a listener; restarting works.
  ASSERT_EQ(port.StartListener(), 0);
  ASSERT_TRUE(pty.Write("y"));
  ASSERT_TRUE(rec.WaitCount(1));
  EXPECT_EQ(port.Close(), 0);
  EXPECT_TRUE(ThreadCountSettlesAt(before)) << ThreadCount() << " threads, " << before << " before";
  EXPECT_EQ(port.Close(), 0) << "close without a listener";
}

TEST(SerialListener, FailedOpenLeavesNoThreadAndNoPort) {
  Recorder rec({InitDefaultComMsg()});
  CSerialMFC port;
  const int before = ThreadCount();
  EXPECT_EQ(port.Open("/dev/zuvek-no-such-tty", rec.target()),
            static_cast<LONG>(win::kFileNotFound));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.IsListening());
  EXPECT_TRUE(ThreadCountSettlesAt(before)) << ThreadCount() << " threads, " << before << " before";
}

TEST(SerialListener, DeviceLossIsReportedOnceAndTheListenerEnds) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const UINT msg = InitDefaultComMsg();
  Recorder rec({msg});
  CSerialMFC port;
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target(), 0, 1), 0);
  const int threads = ThreadCount();
  pty.CloseMaster();
  // Told within a second.
  ASSERT_TRUE(rec.WaitCount(1, 1000));
  EXPECT_EQ(rec.notes_[0].message, msg);
  EXPECT_EQ(LoWord(rec.notes_[0].wparam), kEventPortLost);
  EXPECT_EQ(HiWord(rec.notes_[0].wparam), 0);
  EXPECT_EQ(rec.notes_[0].lparam, 1);
  // The listener ended by itself (no spinning thread is left behind) and
  // posted nothing more.
  ASSERT_TRUE(testsupport::WaitFor([&] { return ThreadCount() == threads - 1; }, 1000));
  EXPECT_EQ(port.ListenerExitCode(), static_cast<LONG>(win::kDeviceNotConnected));
  rec.loop().ProcessPending();
  EXPECT_EQ(rec.notes_.size(), 1u);
  EXPECT_TRUE(port.IsOpen()) << "the owner closes the port";
  EXPECT_EQ(port.Close(), 0);
}

TEST(SerialListener, LossWhileBytesWaitDeliversTheBytesNotification) {
  // Bytes arrive, then the device goes: the arrival is still announced
  // before (or instead of being swallowed by) the loss.
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const UINT msg = InitDefaultComMsg();
  Recorder rec({msg});
  CSerialMFC port;
  ASSERT_EQ(port.Open(pty.path().c_str(), rec.target(), 0, 0), 0);
  ASSERT_TRUE(pty.Write("OK\r\n"));
  ASSERT_TRUE(rec.WaitCount(1));
  pty.CloseMaster();
  const auto lost = [&] {
    int n = 0;
    for (const auto& note : rec.notes_)
      n += LoWord(note.wparam) == kEventPortLost;
    return n;
  };
  ASSERT_TRUE(rec.loop().RunUntil([&] { return lost() > 0; }, 1000));
  ASSERT_TRUE(
      testsupport::WaitFor([&] { return !port.IsListening() || port.ListenerExitCode() != 0; }));
  rec.loop().ProcessPending();
  EXPECT_EQ(lost(), 1);
  EXPECT_EQ(LoWord(rec.notes_.back().wparam), kEventPortLost) << "the loss comes last";
  EXPECT_EQ(LoWord(rec.notes_.front().wparam), EV_RXCHAR);
}

TEST(SerialListener, DestroyingAListeningPortStopsItsThread) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  Recorder rec({InitDefaultComMsg()});
  const int before = ThreadCount();
  {
    CSerialMFC port;
    ASSERT_EQ(port.Open(pty.path().c_str(), rec.target()), 0);
  }
  EXPECT_TRUE(ThreadCountSettlesAt(before)) << ThreadCount() << " threads, " << before << " before";
  CSerial again;
  EXPECT_EQ(again.Open(pty.path().c_str()), 0) << "the device was released";
}

}  // namespace
