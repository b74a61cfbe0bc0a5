// Closing the hub's ports while the worker's AT write is stuck on a module
// that stopped draining its AT port (played by a pseudo-terminal whose other
// side never reads): ClosePorts must not wait for that write.
#include <sys/ioctl.h>

#include <chrono>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "app/core/module_hub.h"
#include "app/core/working_folders.h"
#include "engine/engine_host.h"
#include "platform/clock.h"
#include "platform/message_loop.h"
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

TEST(ModuleHubClose, ClosePortsDoesNotWaitForAStuckAtWrite) {
  PtyPair at, nmea;
  ASSERT_TRUE(at.Ok() && nmea.Ok());
  testsupport::TempDir tmp;
  platform::RealClock clock;
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), clock);
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  ModuleHub hub(target, clock, folders);
  const auto messages = hub.OpenPorts({at.path(), 115200, nmea.path(), 115200, false});
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

}  // namespace
