// TTFF accuracy against the simulator's ground truth.
//
//   ttff_accuracy [runs=30] [time-scale=5] [restart=hot|warm|cold]
//
// Runs the whole tool in-process (hub, real pseudo-terminals, receive path,
// engine) against the module simulator and compares, run by run, the TTFF
// that the result log records (100-ms polls) and the precise TTFF (arrival
// stamps) with the time between the simulator writing the start's "OK" and
// its first valid "$GPRMC". Prints the error percentiles; exits 1 when the
// 95th percentile is above 0.15 s (result log) or 5 ms (precise).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/app_config.h"
#include "engine/ttff_engine.h"
#include "engine/ttff_report.h"
#include "platform/debug_log.h"
#include "platform/message_loop.h"
#include "platform/working_folders.h"
#include "session/module_hub.h"
#include "sim/simulator.h"

namespace {

class QuietHost : public EngineHost {
 public:
  bool IsImportXtraChecked() override { return false; }
  void EnableSetupControls(bool) override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void ClearLiveViewAfterRun() override {}
};

}  // namespace

int main(int argc, char** argv) {
  const unsigned runs = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 30;
  const double scale = argc > 2 ? std::atof(argv[2]) : 5.0;
  const std::string type = argc > 3 ? argv[3] : "hot";
  const int restart = type == "cold" ? 1 : type == "warm" ? 2 : 0;

  auto clock = std::make_shared<platform::ScaledClock>(scale);
  platform::SetProcessClock(clock);
  g_config.SetIntervalSleep(1);
  g_config.SetTimeout(120);

  char dir_template[] = "/tmp/zuvek-bench-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir)
    return 2;
  WorkingFolders folders;
  folders.InitIn(std::string(dir) + "/", *clock);

  sim::SimOptions options;
  options.publish = false;
  options.seed = 7;
  // TTFFs spread over several epochs, so the fix falls anywhere in a second.
  options.ttff = {{2, 9}, {2, 9}, {2, 9}, {2, 9}, {2, 9}, {2, 9}};
  sim::Simulator simulator(clock);
  std::string error;
  if (!simulator.Start(options, &error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 2;
  }

  platform::MessageLoop loop;
  platform::MessageTarget target(loop);
  ModuleHub hub(target, *clock, folders);
  QuietHost host;
  target.On(kMsgTestResult, [](WPARAM w, LPARAM) -> LRESULT {
    delete reinterpret_cast<TestResult*>(w);
    return 0;
  });
  auto messages =
      hub.OpenPorts({simulator.AtDevicePath(), 115200, simulator.NmeaDevicePath(), 115200, ""});
  if (!messages.empty())
    return 2;
  TestEngine engine(hub.MakeEngineEnvironment(host));
  std::printf("%u %s starts at time scale %.0f ...\n", runs, type.c_str(), scale);
  engine.Start(restart, runs);
  loop.RunUntil([&] { return !engine.IsRunning(); });
  engine.Join();
  loop.ProcessPending();
  hub.ClosePorts();
  simulator.Stop();

  const auto records = engine.LastOutcome().records;
  const auto truth = simulator.Truth();
  std::vector<double> err_log, err_precise;
  for (size_t i = 0; i < records.size() && i < truth.size(); ++i) {
    if (!records[i].success || truth[i].TtffUs() < 0)
      continue;
    const double t = static_cast<double>(truth[i].TtffUs()) / 1e6;
    err_log.push_back(std::fabs(records[i].ttff_s - t));
    err_precise.push_back(std::fabs(records[i].ttff_precise_s - t));
  }
  const SeriesStatistics log_err = ComputeSeries(err_log);
  const SeriesStatistics precise_err = ComputeSeries(err_precise);
  std::printf("runs compared: %zu of %u\n", err_log.size(), runs);
  std::printf("result-log TTFF error (s):  median %.3f  p95 %.3f  max %.3f\n", log_err.median,
              log_err.p95, log_err.max);
  std::printf("precise TTFF error (ms):    median %.2f  p95 %.2f  max %.2f\n",
              precise_err.median * 1e3, precise_err.p95 * 1e3, precise_err.max * 1e3);
  std::printf(
      "(errors in simulated seconds; at time scale %.0f a real scheduling delay counts %.0f "
      "times)\n",
      scale, scale);
  const bool ok = err_log.size() == runs && log_err.p95 <= 0.15 && precise_err.p95 <= 0.005;
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
