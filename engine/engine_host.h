// What the test engine asks of the program that hosts it (the window, the
// CLI, a test). The engine calls these from its worker thread; a host with
// a user interface carries them out on its own thread, in order, while the
// worker waits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "timeline/signal_sampler.h"
#include "timeline/timeline_record.h"

// The user messages between the worker and its host (WM_USER = 1024).
inline constexpr unsigned kMsgTestResult = 1024 + 1000;       // posted, wParam = TestResult*
inline constexpr unsigned kMsgTestStarted = 1024 + 1002;      // posted
inline constexpr unsigned kMsgTestFinished = 1024 + 1003;     // posted
inline constexpr unsigned kMsgNmeaLine = 1024 + 1004;         // sent by the receive path
inline constexpr unsigned kMsgClearPosition = 1024 + 1005;    // sent
inline constexpr unsigned kMsgClearSatellites = 1024 + 1006;  // sent

// Where a run is, for hosts that show progress.
enum class RunPhase {
  Query,
  FirstStop,
  Delete,
  Xtra,
  Pause,
  Start,
  FixWait,
  Record,
  Capture,
  Tidy,
  Stop,
  ClosingPause,
  Reconnect,
  Hook,        // a hook runs (hooks/hook.h)
  PowerCycle,  // a power-cycle test's hook cuts the power; the ports come back
};
const char* RunPhaseName(RunPhase phase);

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // The state of the "Import XTRA" box at this moment.
  virtual bool IsImportXtraChecked() = 0;
  // Enables or disables the setup controls (restart type, counts, XTRA).
  virtual void EnableSetupControls(bool enable) = 0;
  // Shows a message with an OK button and returns once the user dismissed it.
  virtual void ShowMessage(const std::string& text) = 0;
  // Blanks the live view at the end of a run that is not the last.
  virtual void ClearLiveViewAfterRun() = 0;
  // Progress, for hosts that show it; run is 1-based.
  virtual void OnPhase(unsigned /*run*/, RunPhase /*phase*/) {}
  // A per-test log could not be opened (the engine also shows "fopen failed!").
  virtual void OnLogFailure(const std::string& /*path*/) {}
  // A log or result file lost a write (told once per file), or the day
  // folder has less room than the test may need: a sentence naming the file
  // or folder and what to do. The test goes on. Called from the thread that
  // wrote (the worker, or the host's own thread for the all-NMEA log).
  virtual void OnStorageProblem(const std::string& /*sentence*/) {}
  // Something the user should know while the test goes on (the module that
  // came back after a reconnect answers its identity otherwise): a sentence.
  // Told as a storage problem is, unless the host tells it otherwise.
  virtual void OnNotice(const std::string& sentence) { OnStorageProblem(sentence); }
  // A port was lost during a test: waits up to `seconds` for both ports to
  // come back under their names and opens them again; true when they are
  // open. cancelled() holds when the test has to end (Stop, program exit).
  virtual bool ReconnectPorts(unsigned /*seconds*/, const std::function<bool()>& /*cancelled*/) {
    return false;
  }
  // The test's files were named (their folder made): the result log, the
  // runs CSV and the summary. Worker thread.
  virtual void OnTestFiles(const std::string& /*result_log*/, const std::string& /*csv*/,
                           const std::string& /*summary*/) {}
  // Only with the test's verdict limits: after run n was recorded, the
  // verdict so far: "UNDECIDED" or "PASS after 14 runs (yield ...)". Worker thread.
  virtual void OnVerdict(unsigned /*run*/, const std::string& /*text*/) {}
  // Run n's start command was answered: its "OK" arrived at ok_stamp_us
  // (the engine clock's monotonic us; 0 when unknown) and the fix wait
  // begins. Worker thread.
  virtual void OnStartOk(unsigned /*run*/, std::int64_t /*ok_stamp_us*/) {}
  // Run n first reached a phase of its timeline, ms after its start's
  // "OK". Worker thread.
  virtual void OnTimeline(unsigned /*run*/, timeline::TimelinePhase /*phase*/,
                          std::int64_t /*ms*/) {}
  // An epoch of run n, ms after its start's "OK", as the signal file gets
  // it (the first minutes of the run). Worker thread.
  virtual void OnSignalSample(unsigned /*run*/, std::int64_t /*ms*/,
                              const timeline::SkySample& /*sky*/) {}
};
