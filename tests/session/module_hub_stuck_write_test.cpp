// A module that stopped draining its AT port, played by a pseudo-terminal
// whose other side never reads: ClosePorts must not wait for the worker's
// stuck AT write, and a test on such a port ends by the usual reply
// time-outs instead of hanging in a write.
#include <sys/ioctl.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "config/app_config.h"
#include "engine/engine_host.h"
#include "engine/ttff_engine.h"
#include "platform/clock.h"
#include "platform/message_loop.h"
#include "platform/win_errors.h"
#include "platform/working_folders.h"
#include "profiles/module_commands.h"
#include "session/module_hub.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::PtyPair;

class IdleHost final : public EngineHost {
 public:
  bool IsImportXtraChecked() override { return false; }
  void EnableSetupControls(bool) override {}
  void ShowMessage(const std::string&) override {}
  void ClearLiveViewAfterRun() override {}
};

TEST(ModuleHubStuckWrite, ClosePortsDoesNotWaitForAStuckAtWrite) {
  PtyPair at, nmea;
  ASSERT_TRUE(at.Ok() && nmea.Ok());
  testsupport::TempDir tmp;
  platform::RealClock clock;
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), clock);
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  ModuleHub hub(target, clock, folders);
  const auto messages = hub.OpenPorts({at.path(), 115200, nmea.path(), 115200, ""});
  ASSERT_TRUE(messages.empty()) << messages.front();
  IdleHost host;
  const EngineEnvironment env = hub.MakeEngineEnvironment(host);

  // The worker writes more than the AT port can ever hold.
  const std::string flood(4 << 20, 'A');
  auto worker = std::async(std::launch::async, [&] { env.write_at(flood); });
  int queued = 0;
  ASSERT_TRUE(testsupport::WaitFor(
      [&] { return ::ioctl(at.master(), FIONREAD, &queued) == 0 && queued > 0; }));
  ASSERT_EQ(worker.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
      << "the write did not get stuck";

  auto closing = std::async(std::launch::async, [&] { hub.ClosePorts(); });
  const bool closed = closing.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
  const bool worker_freed = worker.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
  // A stuck writer is released by reading the other side, so that a failing
  // test still ends.
  while (closing.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready ||
         worker.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
    at.Read(1 << 20, 50);
  }
  EXPECT_TRUE(closed) << "ClosePorts waited for the stuck AT write";
  EXPECT_TRUE(worker_freed) << "the worker stayed stuck in its write";
  EXPECT_FALSE(hub.PortsOpen());
  EXPECT_FALSE(hub.AtPort().IsOpen());
  EXPECT_FALSE(hub.NmeaPort().IsOpen());
}

// A scaled process clock and the default settings for one test.
struct ScaledTest {
  explicit ScaledTest(double scale)
      : clock(std::make_shared<platform::ScaledClock>(scale)),
        previous_clock(platform::SetProcessClock(clock)),
        saved_config(g_config) {
    g_config = app_config{};
  }
  ~ScaledTest() {
    g_config = saved_config;
    platform::SetProcessClock(previous_clock);
  }
  ScaledTest(const ScaledTest&) = delete;
  ScaledTest& operator=(const ScaledTest&) = delete;

  std::shared_ptr<platform::ScaledClock> clock;
  std::shared_ptr<platform::Clock> previous_clock;
  app_config saved_config;
};

TEST(ModuleHubStuckWrite, AtWritesThatCannotDrainFailAndTheTestEndsByItsReplyTimeOuts) {
  PtyPair at, nmea;
  ASSERT_TRUE(at.Ok() && nmea.Ok());
  testsupport::TempDir tmp;
  ScaledTest scaled(50.0);
  platform::Clock* clock = scaled.clock.get();
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), *clock);
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  target.On(kMsgTestStarted, [](WPARAM, LPARAM) -> LRESULT { return 1; });
  target.On(kMsgTestFinished, [](WPARAM, LPARAM) -> LRESULT { return 1; });
  {
    ModuleHub hub(target, *clock, folders);
    const auto messages = hub.OpenPorts({at.path(), 115200, nmea.path(), 115200, ""});
    ASSERT_TRUE(messages.empty()) << messages.front();
    // The module stops taking bytes: its AT port is full.
    const std::string flood(4 << 20, 'A');
    ASSERT_EQ(
        hub.AtPort().Write(flood.data(), static_cast<DWORD>(flood.size()), nullptr, nullptr, 50),
        static_cast<LONG>(win::kTimeout));
    IdleHost host;
    TestEngine engine(hub.MakeEngineEnvironment(host));
    ASSERT_TRUE(engine.Start(RESTART_HOT, 1));
    // Two queries of 2 s each at most, their waits 0.2 s at this scale.
    const bool ended = loop.RunUntil([&] { return !engine.IsRunning(); }, 15000);
    // A worker stuck in its write is released by reading the other side,
    // so that a failing test still ends.
    while (engine.IsRunning()) {
      at.Read(1 << 20, 20);
      loop.RunUntil([&] { return !engine.IsRunning(); }, 100);
    }
    engine.Join();
    loop.ProcessPending();
    EXPECT_TRUE(ended) << "the worker hung in a write";
    EXPECT_EQ(engine.LastOutcome().end_reason, "no reply to AT+WGPS?");
    hub.ClosePorts();
  }
}

}  // namespace
