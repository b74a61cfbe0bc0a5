// Runs the test engine against the fake module in virtual time, with a host
// that records everything the engine asks of it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/app_config.h"
#include "engine/engine_host.h"
#include "engine/results.h"
#include "engine/ttff_engine.h"
#include "platform/debug_log.h"
#include "platform/message_loop.h"
#include "platform/message_target.h"
#include "tests/engine/fake_module.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

class RecordingHost : public EngineHost {
 public:
  bool import_xtra = false;
  std::vector<std::string> messages;
  std::vector<bool> setup_enables;
  int live_view_clears = 0;
  std::function<void(unsigned, RunPhase)> on_phase;
  std::vector<std::string> storage_problems;  // may come from the worker
  std::mutex storage_mutex;

  bool IsImportXtraChecked() override { return import_xtra; }
  void EnableSetupControls(bool enable) override { setup_enables.push_back(enable); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ClearLiveViewAfterRun() override { ++live_view_clears; }
  void OnStorageProblem(const std::string& sentence) override {
    std::lock_guard<std::mutex> lock(storage_mutex);
    storage_problems.push_back(sentence);
  }
  void OnPhase(unsigned run, RunPhase phase) override {
    if (on_phase)
      on_phase(run, phase);
  }
};

class EngineHarness {
 public:
  EngineHarness()
      : clock(std::make_shared<platform::FakeClock>()), module(*clock, at, nmea), target(loop) {
    previous_clock_ = platform::SetProcessClock(clock);
    saved_config_ = g_config;
    g_config = app_config{};
    debug_path_ = tmp.file("debug.txt");
    SetDebugLogStream(std::fopen(debug_path_.c_str(), "w"));
    target.On(kMsgTestResult, [this](WPARAM w, LPARAM) -> LRESULT {
      std::unique_ptr<TestResult> r(reinterpret_cast<TestResult*>(w));
      results.push_back(*r);
      return 0;
    });
    target.On(kMsgTestStarted, [this](WPARAM, LPARAM) -> LRESULT {
      messages.push_back(kMsgTestStarted);
      return 0;
    });
    target.On(kMsgTestFinished, [this](WPARAM, LPARAM) -> LRESULT {
      messages.push_back(kMsgTestFinished);
      return 0;
    });
    target.On(kMsgClearPosition, [this](WPARAM, LPARAM) -> LRESULT {
      messages.push_back(kMsgClearPosition);
      return 1;
    });
    target.On(kMsgClearSatellites, [this](WPARAM, LPARAM) -> LRESULT {
      messages.push_back(kMsgClearSatellites);
      return 1;
    });
    EngineEnvironment env;
    env.clock = clock.get();
    env.at_queue = &at;
    env.nmea_queue = &nmea;
    env.write_at = [this](const std::string& cmd) { module.Write(cmd); };
    env.target = &target;
    env.host = &host;
    env.day_dir = tmp.path().string();
    env_ = env;
    engine = std::make_unique<TestEngine>(env);
  }

  // The engine again, with its per-test logs in `dir`.
  void UseDayDir(const std::string& dir) {
    engine.reset();
    env_.day_dir = dir;
    engine = std::make_unique<TestEngine>(env_);
  }

  // The engine again, speaking this profile.
  void UseProfile(const ModuleProfile& profile) {
    engine.reset();
    env_.test.profile = std::make_shared<const ModuleProfile>(profile);
    engine = std::make_unique<TestEngine>(env_);
  }

  ~EngineHarness() {
    engine.reset();
    CloseDebugLog();
    g_config = saved_config_;
    platform::SetProcessClock(previous_clock_);
  }

  // Starts a test and runs the host's loop until the worker has ended.
  void RunTest(int restart_type, unsigned times) {
    ASSERT_TRUE(engine->Start(restart_type, times));
    ASSERT_TRUE(loop.RunUntil([this] { return !engine->IsRunning(); }, 60000))
        << "the test did not end";
    engine->Join();
    loop.ProcessPending();
  }

  std::string DebugLog() const {
    std::fflush(g_fp_debug_log);
    return ReadFile(debug_path_);
  }
  std::string ResultLog() const { return ReadFile(engine->LastOutcome().logs.result); }
  std::string AtLog() const { return ReadFile(engine->LastOutcome().logs.at); }
  std::string NmeaLog() const { return ReadFile(engine->LastOutcome().logs.nmea); }

  TempDir tmp;
  std::shared_ptr<platform::FakeClock> clock;
  LineQueue at, nmea;
  FakeModule module;
  platform::MessageLoop loop;
  platform::MessageTarget target;
  RecordingHost host;
  std::unique_ptr<TestEngine> engine;
  std::vector<TestResult> results;
  std::vector<unsigned> messages;

 private:
  std::shared_ptr<platform::Clock> previous_clock_;
  app_config saved_config_;
  std::string debug_path_;
  EngineEnvironment env_;
};

}  // namespace testsupport
