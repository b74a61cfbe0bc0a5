#include "cli/run_session.h"

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "cli/command.h"
#include "cli/end_signals.h"
#include "config/app_config.h"
#include "metrics/event_feed.h"
#include "profiles/module_commands.h"
#include "store/opening_store_sink.h"
#include "store/store_location.h"

namespace cli {

namespace {

// The reasons a port did not open, without the message-box texts that only
// say that it failed.
std::string OpenProblem(const std::vector<std::string>& messages) {
  std::string problem;
  for (const auto& m : messages)
    if (m != kOpenPortFailed && m != kSerialFailed && problem.find(m) == std::string::npos)
      problem += (problem.empty() ? "" : " ") + m;
  return problem.empty() ? messages.front() : problem;
}

}  // namespace

RunSession::RunSession(platform::Clock& clock, const WorkingFolders& folders, const RunOptions& o,
                       std::string module)
    : o_(o),
      module_(std::move(module)),
      target_(loop_),
      hub_(target_, clock, folders),
      events_(o.events ? std::make_unique<RunEvents>() : nullptr),
      host_(hub_, target_, clock, o.runs, o.xtra, o.quiet || o.events) {
  host_.SetEvents(events_.get());
}

RunSession::~RunSession() = default;

void RunSession::FeedMetrics(metrics::TtffMetrics& metrics) {
  if (!events_) {  // the events for the metrics alone, not on standard output
    events_ = std::make_unique<RunEvents>(false);
    host_.SetEvents(events_.get());
  }
  events_->SetObserver([&metrics, module = module_](const nlohmann::json& event) {
    metrics::ApplyEvent(metrics, module, event);
  });
}

bool RunSession::OpenPorts(const std::string& recorded_restart) {
  PortRequest request{o_.at_port, o_.at_baud, o_.nmea_port, o_.nmea_baud, ""};
  const auto messages = hub_.OpenPorts(request);
  for (const auto& m : messages)
    std::cerr << "zuvek-cli: " << m << "\n";
  if (!messages.empty()) {
    hub_.ClosePorts();
    if (events_)
      events_->Emit("end", {{"exit", kExitFailure}, {"problem", OpenProblem(messages)}});
    return false;
  }
  if (events_)
    events_->Emit("start", {{"runs", o_.runs},
                            {"restart", recorded_restart},
                            {"at_port", o_.at_port},
                            {"nmea_port", o_.nmea_port},
                            {"time_scale", o_.scale},
                            {"timeout_s", g_config.GetTimeout()},
                            {"pid", static_cast<long>(getpid())}});
  return true;
}

void RunSession::BindMessages(unsigned reconnect_s, bool power_cycles) {
  hub_.SetPortLostHandler([this, reconnect_s, power_cycles](int port, const std::string& text) {
    if (power_cycles)
      return;  // every run's power cycle takes the ports away: the debug log says so
    if (events_)
      events_->Emit("port", {{"up", false}, {"port", port == 0 ? "AT" : "NMEA"}});
    if (reconnect_s == 0)
      host_.Say("zuvek-cli: " + text);
    else
      host_.Say(std::string("zuvek-cli: the ") + (port == 0 ? "AT" : "NMEA") +
                " port is gone: the device disappeared or was unplugged");
  });
  target_.On(kMsgTestResult, [this](WPARAM w, LPARAM) -> LRESULT {
    std::unique_ptr<TestResult> result(reinterpret_cast<TestResult*>(w));
    host_.OnResult(*result);
    return 0;
  });
  target_.On(kMsgTestStarted, [this](WPARAM, LPARAM) -> LRESULT {
    hub_.OnTestStarted();
    return 1;
  });
  target_.On(kMsgTestFinished, [](WPARAM, LPARAM) -> LRESULT { return 1; });
}

TestOutcome RunSession::RunTest(const TestSettings& settings) {
  BindMessages(settings.reconnect_s, o_.RestartType() == RESTART_POWER_CYCLE);
  EngineEnvironment env = hub_.MakeEngineEnvironment(host_);
  env.test = settings;
  hub_.SetFixRule(settings.fix_rule);
  // A store that cannot be opened costs the test nothing: a sentence, and
  // the text logs as ever.
  const std::string where = store::ChooseStoreLocation(settings.store, "");
  store::OpeningStoreSink sink([where] { return where; }, [this] { return module_; },
                               [this](const std::string& s) { host_.Say(s); });
  if (!store::IsNoStore(where))
    env.result_sink = &sink;
  TestEngine engine(std::move(env));
  engine.Start(o_.RestartType(), o_.runs);
  LoopUntilEnd(engine);
  engine.Join();
  loop_.ProcessPending();
  host_.EndLine();
  hub_.ClosePorts();
  return engine.LastOutcome();
}

void RunSession::LoopUntilEnd(TestEngine& engine) {
  auto last_tick = std::chrono::steady_clock::now();
  // Every message wakes the loop; between them a look ten times a second is
  // enough for Ctrl-C and the end, and a bench of many modules does not pay
  // a wake-up per module every 10 ms.
  loop_.RunUntil(
      [&] {
        // Stopped as the window's Stop does, so that a run begun and not
        // finished is filed as "stopped" in every output, then ended at once.
        if (EndRequested() && !engine.ShutdownRequested()) {
          host_.Say("zuvek-cli: interrupted; writing what the test has");
          engine.Stop();
          engine.RequestShutdown();
        }
        if (events_ && events_->ReaderGone() && !engine.ShutdownRequested()) {
          host_.Say(
              "zuvek-cli: the bench that started this test is gone; writing what the "
              "test has");
          engine.Stop();
          engine.RequestShutdown();
        }
        if (std::chrono::steady_clock::now() - last_tick > std::chrono::seconds(1)) {
          last_tick = std::chrono::steady_clock::now();
          host_.Tick();
          if (events_)
            events_->Emit("alive");  // a supervisor tells a hung test from a slow one
        }
        return !engine.IsRunning();
      },
      INFINITE, 100);
}

}  // namespace cli
