// Writes to a port that stopped draining (a hung modem, a USB port in a bad
// state), played by a pseudo-terminal whose other side never reads: a write
// ends within its bound as a failure, Close wakes a writer stuck in it, and
// a close discards what is still queued instead of waiting for the drain.
#include <fcntl.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win_errors.h"
#include "serial/serial.h"
#include "serial/tty_attr_seam.h"
#include "tests/serial/pty_pair.h"

namespace {

using testsupport::PtyPair;
using Clock = std::chrono::steady_clock;

// More than any pseudo-terminal buffers: a write of it cannot complete
// while nobody reads the other side.
const std::string kFlood(4 << 20, 'A');
// The longest a write waits without a time-out of its own.
constexpr auto kWriteBound = std::chrono::milliseconds(CSerial::kWriteTimeLimitMs);

struct WriteOutcome {
  LONG result = -1;
  DWORD written = 0;
  Clock::duration took{};
};

// A write on another thread. A writer the code under test leaves stuck is
// released by draining the other side, so that a failing test still ends.
class BackgroundWrite {
 public:
  BackgroundWrite(CSerial& port, PtyPair& pty) : pty_(pty) {
    done_ = std::async(std::launch::async, [&port] {
      WriteOutcome o;
      const auto start = Clock::now();
      o.result = port.Write(kFlood.data(), static_cast<DWORD>(kFlood.size()), &o.written);
      o.took = Clock::now() - start;
      return o;
    });
  }
  // True once the writer has filled the pty and waits in its write.
  bool Stuck() {
    int queued = 0;
    return testsupport::WaitFor(
               [&] { return ::ioctl(pty_.master(), FIONREAD, &queued) == 0 && queued > 0; }) &&
           !Ended(std::chrono::milliseconds(100));
  }
  bool Ended(Clock::duration within) { return done_.wait_for(within) == std::future_status::ready; }
  // The outcome; drains the other side first if the writer is still stuck.
  WriteOutcome Finish() {
    while (!Ended(std::chrono::milliseconds(0)))
      pty_.Read(1 << 20, 50);
    return done_.get();
  }

 private:
  PtyPair& pty_;
  std::future<WriteOutcome> done_;
};

TEST(StuckWrite, AWriteThatCannotDrainFailsWithinItsBound) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  BackgroundWrite writer(port, pty);
  const bool ended = writer.Ended(kWriteBound + std::chrono::seconds(3));
  const WriteOutcome o = writer.Finish();
  ASSERT_TRUE(ended) << "the write was still waiting long after its bound";
  EXPECT_EQ(o.result, static_cast<LONG>(win::kTimeout));
  EXPECT_EQ(port.GetLastError(), static_cast<LONG>(win::kTimeout));
  EXPECT_GT(o.written, 0u) << "the bytes the driver took are counted";
  EXPECT_LT(o.written, kFlood.size());
  EXPECT_GE(o.took, kWriteBound) << "the driver gets its whole bound to take the bytes";
  // The port still works once the other side reads again.
  pty.Read(kFlood.size(), 200);
  EXPECT_EQ(port.Write("AT\r\n"), 0);
  EXPECT_EQ(pty.Read(4), "AT\r\n");
}

TEST(StuckWrite, CloseWakesAWriterStuckInItsWrite) {
  for (const bool overlapped : {true, false}) {
    SCOPED_TRACE(overlapped ? "overlapped port" : "plain port");
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CSerial port;
    ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, overlapped), 0);
    BackgroundWrite writer(port, pty);
    ASSERT_TRUE(writer.Stuck());
    std::future<LONG> closed = std::async(std::launch::async, [&port] { return port.Close(); });
    const bool close_returned =
        closed.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
    const bool writer_returned = writer.Ended(std::chrono::seconds(1));
    const WriteOutcome o = writer.Finish();
    EXPECT_TRUE(close_returned) << "Close waited for the stuck write";
    EXPECT_TRUE(writer_returned) << "the writer stayed stuck after Close";
    EXPECT_EQ(closed.get(), 0);
    EXPECT_EQ(o.result, static_cast<LONG>(win::kOperationAborted))
        << "the write ended because of the close, not by running out";
    EXPECT_FALSE(port.IsOpen());
    // The object opens again and writes normally.
    ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, overlapped), 0);
    pty.Read(kFlood.size(), 200);
    EXPECT_EQ(port.Write("AT\r\n"), 0);
    EXPECT_EQ(pty.Read(4), "AT\r\n");
  }
}

// Records the output flushes the serial layer asks for, and whether the
// descriptor was still open at that time; the calls themselves go on to the
// system.
class FlushRecorder final : public tty::AttrCalls {
 public:
  struct Call {
    int fd;
    int queue;
    bool open;
  };
  FlushRecorder() : previous_(tty::InstallAttrCalls(this)) {}
  ~FlushRecorder() override { tty::InstallAttrCalls(previous_); }
  FlushRecorder(const FlushRecorder&) = delete;
  FlushRecorder& operator=(const FlushRecorder&) = delete;

  int Get(int fd, termios* t) override { return ::tcgetattr(fd, t); }
  int Set(int fd, const termios& t) override { return ::tcsetattr(fd, TCSANOW, &t); }
  int Flush(int fd, int queue) override {
    flushes.push_back({fd, queue, ::fcntl(fd, F_GETFD) != -1});
    return ::tcflush(fd, queue);
  }
  std::vector<Call> flushes;

 private:
  tty::AttrCalls* previous_;
};

TEST(StuckWrite, CloseDiscardsTheOutputStillQueued) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  FlushRecorder driver;
  CSerial port;
  ASSERT_EQ(port.Open(pty.path().c_str(), 0, 0, true), 0);
  const int fd = port.Descriptor();
  ASSERT_TRUE(driver.flushes.empty());
  ASSERT_EQ(port.Close(), 0);
  ASSERT_EQ(driver.flushes.size(), 1u);
  EXPECT_EQ(driver.flushes[0].fd, fd);
  EXPECT_EQ(driver.flushes[0].queue, TCOFLUSH);
  EXPECT_TRUE(driver.flushes[0].open) << "discarded before the descriptor is closed";
}

}  // namespace
