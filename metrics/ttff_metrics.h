// The live metrics of a test, or of a bench of tests, in a Prometheus
// registry: per module (the label `module`, as the results store names it)
// the runs done and planned, the fixes and the failures by reason, the last
// TTFF and a TTFF histogram (with the label `restart`, the test's restart
// type as the test names it), the current phase, the port state, the
// reconnects and the verdict; per bench, the modules running. Any thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace prometheus {
class Registry;
class Counter;
class Gauge;
class Histogram;
template <typename T>
class Family;
}  // namespace prometheus

namespace metrics {

// The histogram's upper bounds for a test with this fix time-out: a few
// seconds up to the time-out, which is the last.
std::vector<double> TtffBuckets(double timeout_s);

class TtffMetrics {
 public:
  TtffMetrics();
  ~TtffMetrics();
  TtffMetrics(const TtffMetrics&) = delete;
  TtffMetrics& operator=(const TtffMetrics&) = delete;

  std::shared_ptr<prometheus::Registry> Registry() const { return registry_; }

  // A module's test began: its restart type, its runs and its fix time-out.
  // The port is up, its counts start at zero.
  void TestStarted(const std::string& module, const std::string& restart, unsigned planned,
                   double timeout_s);
  // A run was recorded: a fix after ttff_s, or a failure for `reason`.
  void RunRecorded(const std::string& module, bool fix, double ttff_s, const std::string& reason);
  // The phase the module's test is in ("fix wait", "ended", ...).
  void Phase(const std::string& module, const std::string& phase);
  void PortState(const std::string& module, bool up);
  void Reconnected(const std::string& module);
  // The verdict so far: "PASS", "FAIL" or "UNDECIDED".
  void Verdict(const std::string& module, const std::string& verdict);
  // The bench: how many modules it has, and how many of them run now.
  void BenchModules(unsigned modules, unsigned running);

 private:
  struct Module;
  Module& Of(const std::string& module);
  // The series of the module's runs, labelled with its restart type.
  void AddRunMetrics(Module& m, const std::string& module);
  // Sets `value` for the label value `current` and 0 for every other seen.
  void StateSet(prometheus::Family<prometheus::Gauge>& family, const std::string& module,
                const std::string& label, std::map<std::string, prometheus::Gauge*>& seen,
                const std::string& current);

  std::shared_ptr<prometheus::Registry> registry_;
  prometheus::Family<prometheus::Counter>& runs_;
  prometheus::Family<prometheus::Gauge>& planned_;
  prometheus::Family<prometheus::Counter>& successes_;
  prometheus::Family<prometheus::Counter>& failures_;
  prometheus::Family<prometheus::Gauge>& last_ttff_;
  prometheus::Family<prometheus::Histogram>& ttff_;
  prometheus::Family<prometheus::Gauge>& phase_;
  prometheus::Family<prometheus::Gauge>& port_up_;
  prometheus::Family<prometheus::Counter>& reconnects_;
  prometheus::Family<prometheus::Gauge>& verdict_;
  prometheus::Family<prometheus::Gauge>& bench_modules_;
  prometheus::Family<prometheus::Gauge>& bench_running_;
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Module>> modules_;
};

}  // namespace metrics
