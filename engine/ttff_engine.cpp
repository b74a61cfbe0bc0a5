#include "engine/ttff_engine.h"

#include "engine/worker.h"

std::atomic<int> bExitThread{0};

const char* RunPhaseName(RunPhase phase) {
  switch (phase) {
    case RunPhase::Query:
      return "query";
    case RunPhase::FirstStop:
      return "first stop";
    case RunPhase::Delete:
      return "delete";
    case RunPhase::Xtra:
      return "XTRA";
    case RunPhase::Pause:
      return "pause";
    case RunPhase::Start:
      return "start";
    case RunPhase::FixWait:
      return "fix wait";
    case RunPhase::Record:
      return "record";
    case RunPhase::Capture:
      return "capture";
    case RunPhase::Tidy:
      return "tidy";
    case RunPhase::Stop:
      return "stop";
    case RunPhase::ClosingPause:
      return "closing pause";
    case RunPhase::Reconnect:
      return "reconnect";
    case RunPhase::Hook:
      return "hook";
    case RunPhase::PowerCycle:
      return "power cycle";
  }
  return "?";
}

TestEngine::TestEngine(EngineEnvironment env) : env_(std::move(env)) {
  // The first lost write of every log, the engine's own and the program's.
  EngineHost* host = env_.host;
  previous_listener_ = platform::SetWriteFailureListener([host](const platform::WriteFailure& f) {
    if (host)
      host->OnStorageProblem(platform::WriteFailureSentence(f));
  });
}

TestEngine::~TestEngine() {
  RequestShutdown();
  Join();
  platform::SetWriteFailureListener(std::move(previous_listener_));
}

bool TestEngine::Start(int restart_type, unsigned times) {
  bool expected = false;
  if (times == 0 || !running_.compare_exchange_strong(expected, true))
    return false;
  if (worker_.joinable())
    worker_.join();  // the previous test's thread has ended
  m_nRestartType = restart_type;
  m_nTimes = times;
  shutdown_ = false;
  m_nRunState = 2;
  if (env_.host)
    env_.host->EnableSetupControls(false);
  worker_ = std::thread([this] { TestThreadProc(); });
  return true;
}

void TestEngine::Stop() {
  bExitThread = 1;
}

void TestEngine::RequestShutdown() {
  shutdown_ = true;
}

void TestEngine::Join() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
    worker_.join();
}

TestOutcome TestEngine::LastOutcome() const {
  std::lock_guard<std::mutex> lock(outcome_mutex_);
  return outcome_;
}

void TestEngine::TestThreadProc() {
  {
    Worker worker(*this);
    worker.Execute();
  }
  running_ = false;
}
