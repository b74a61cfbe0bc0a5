// One test of `zuvek-cli run` on its ports: the message loop, the session's
// hub, the CLI host and the engine, driven until the test ends.
#pragma once

#include <memory>
#include <string>

#include "cli/cli_host.h"
#include "cli/run_events.h"
#include "cli/run_options.h"
#include "engine/ttff_engine.h"
#include "engine/ttff_settings.h"
#include "platform/message_loop.h"
#include "platform/message_target.h"
#include "platform/working_folders.h"
#include "session/module_hub.h"

namespace metrics {
class TtffMetrics;
}

namespace cli {

class RunSession {
 public:
  // `module` names the module in the results store.
  RunSession(platform::Clock& clock, const WorkingFolders& folders, const RunOptions& o,
             std::string module);
  ~RunSession();

  // The test's events also feed these metrics (--metrics), under the
  // module's name. Before OpenPorts.
  void FeedMetrics(metrics::TtffMetrics& metrics);
  // Opens both ports; false after telling why on standard error (and in the
  // end event with --events). Then the start event, which names the
  // restart type as the test records it (`recorded_restart`: "plain" for a
  // --plain-start test).
  bool OpenPorts(const std::string& recorded_restart);
  // Runs the test to its end (Ctrl-C, SIGTERM and SIGHUP end it early, with
  // every finished run written) and closes the ports; the outcome.
  TestOutcome RunTest(const TestSettings& settings);

  CliHost& Host() { return host_; }
  RunEvents* Events() { return events_.get(); }

 private:
  void BindMessages(unsigned reconnect_s, bool power_cycles);
  // The loop until the engine ends: Ctrl-C, the progress line and the
  // alive event once a second.
  void LoopUntilEnd(TestEngine& engine);

  const RunOptions& o_;
  const std::string module_;
  platform::MessageLoop loop_;
  platform::MessageTarget target_;
  ModuleHub hub_;
  std::unique_ptr<RunEvents> events_;
  CliHost host_;
};

}  // namespace cli
