// The whole tool in-process against the module simulator on pseudo-terminals,
// at a high time scale: the hub with its real ports and receive path, the
// engine, and a host that records what the engine asked of it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/app_config.h"
#include "engine/ttff_engine.h"
#include "platform/debug_log.h"
#include "platform/message_loop.h"
#include "platform/working_folders.h"
#include "session/module_hub.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

class SimRigHost : public EngineHost {
 public:
  explicit SimRigHost(platform::MessageTarget& target, ModuleHub& hub)
      : target_(target), hub_(hub) {}
  bool import_xtra = false;
  std::vector<std::string> messages;
  std::vector<std::string> notices;  // what the engine told while the test went on
  std::function<void(unsigned, RunPhase)> on_phase;

  bool IsImportXtraChecked() override { return import_xtra; }
  void EnableSetupControls(bool) override {}
  void ShowMessage(const std::string& text) override {
    target_.Invoke([&] { messages.push_back(text); });
  }
  void OnNotice(const std::string& sentence) override {
    target_.Invoke([&] { notices.push_back(sentence); });
  }
  void ClearLiveViewAfterRun() override {
    target_.Invoke([&] { hub_.OnRunEndReset(); });
  }
  void OnPhase(unsigned run, RunPhase phase) override {
    if (on_phase)
      on_phase(run, phase);
  }

 private:
  platform::MessageTarget& target_;
  ModuleHub& hub_;
};

class SimRig {
 public:
  explicit SimRig(double scale = 50.0) : clock(std::make_shared<platform::ScaledClock>(scale)) {
    previous_clock_ = platform::SetProcessClock(clock);
    saved_config_ = g_config;
    g_config = app_config{};
    g_config.SetIntervalSleep(1);
    g_config.SetTimeout(60);
    folders.InitIn(tmp.dir(), *clock);
    debug_path_ = tmp.file("debug.txt");
    SetDebugLogStream(std::fopen(debug_path_.c_str(), "w"));
    options.publish = false;
    options.ttff = {{2, 2}, {3, 3}, {4, 4}, {2, 2}, {3, 3}, {3, 3}};
  }

  ~SimRig() {
    engine.reset();
    hub.reset();
    simulator.Stop();
    CloseDebugLog();
    g_config = saved_config_;
    platform::SetProcessClock(previous_clock_);
  }

  // Starts the simulator and opens the ports; false with a message when not.
  void Open() {
    std::string error;
    ASSERT_TRUE(simulator.Start(options, &error)) << error;
    hub = std::make_unique<ModuleHub>(target, *clock, folders);
    host = std::make_unique<SimRigHost>(target, *hub);
    hub->SetPortLostHandler([this](int port, const std::string& text) {
      lost.push_back(port);
      lost_texts.push_back(text);
    });
    target.On(kMsgTestResult, [this](WPARAM w, LPARAM) -> LRESULT {
      std::unique_ptr<TestResult> r(reinterpret_cast<TestResult*>(w));
      results.push_back(*r);
      return 0;
    });
    target.On(kMsgTestStarted, [this](WPARAM, LPARAM) -> LRESULT {
      hub->OnTestStarted();
      return 1;
    });
    target.On(kMsgTestFinished, [](WPARAM, LPARAM) -> LRESULT { return 1; });
    auto messages =
        hub->OpenPorts({simulator.AtDevicePath(), 115200, simulator.NmeaDevicePath(), 115200, ""});
    ASSERT_TRUE(messages.empty()) << messages.front();
    EngineEnvironment env = hub->MakeEngineEnvironment(*host);
    if (tool_profile)
      env.test.profile = tool_profile;
    env.test.reference = reference;
    engine = std::make_unique<TestEngine>(std::move(env));
  }

  // Runs a whole test, pumping the hub's loop until the worker ends.
  void RunTest(int restart_type, unsigned times, DWORD real_timeout_ms = 120000) {
    ASSERT_TRUE(engine->Start(restart_type, times));
    ASSERT_TRUE(loop.RunUntil([this] { return !engine->IsRunning(); }, real_timeout_ms))
        << "the test did not end";
    engine->Join();
    loop.ProcessPending();
  }

  // The commands the simulator received, in order, without their line ends.
  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& c : simulator.Commands())
      out.push_back(c.text);
    return out;
  }
  std::string ResultLog() const { return ReadFile(engine->LastOutcome().logs.result); }
  std::string AtLog() const { return ReadFile(engine->LastOutcome().logs.at); }
  std::string DebugLog() const {
    std::fflush(g_fp_debug_log);
    return ReadFile(debug_path_);
  }

  TempDir tmp;
  std::shared_ptr<platform::ScaledClock> clock;
  WorkingFolders folders;
  sim::SimOptions options;  // options.profile: the dialect the simulator speaks
  std::shared_ptr<const ModuleProfile> tool_profile;  // the tool's; null: the default
  std::optional<ReferenceChoice> reference;           // the tool's reference position
  sim::Simulator simulator{clock};
  platform::MessageLoop loop;
  platform::MessageTarget target{loop};
  std::unique_ptr<ModuleHub> hub;
  std::unique_ptr<SimRigHost> host;
  std::unique_ptr<TestEngine> engine;
  std::vector<TestResult> results;
  std::vector<int> lost;
  std::vector<std::string> lost_texts;

 private:
  std::shared_ptr<platform::Clock> previous_clock_;
  app_config saved_config_;
  std::string debug_path_;
};

}  // namespace testsupport
