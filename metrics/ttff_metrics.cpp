#include "metrics/ttff_metrics.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

namespace metrics {

namespace {

using prometheus::Labels;

// Upper bounds that suit times to first fix: a hot start's seconds up to a
// cold start's minutes.
constexpr double kLadder[] = {1,  2,   3,   5,   7.5, 10,  15,  20,  30,   45,   60,
                              90, 120, 180, 240, 300, 450, 600, 900, 1200, 1800, 3600};

template <typename Builder>
auto& Registered(Builder builder, prometheus::Registry& registry, const char* name,
                 const char* help) {
  return builder.Name(name).Help(help).Register(registry);
}

}  // namespace

std::vector<double> TtffBuckets(double timeout_s) {
  std::vector<double> bounds;
  for (const double b : kLadder)
    if (b < timeout_s)
      bounds.push_back(b);
  if (timeout_s > 0)
    bounds.push_back(timeout_s);
  return bounds;
}

struct TtffMetrics::Module {
  std::string restart;
  std::vector<double> buckets = TtffBuckets(200);
  prometheus::Counter* runs = nullptr;
  prometheus::Gauge* planned = nullptr;
  prometheus::Counter* successes = nullptr;
  prometheus::Gauge* last_ttff = nullptr;
  prometheus::Histogram* ttff = nullptr;
  prometheus::Gauge* port_up = nullptr;
  prometheus::Counter* reconnects = nullptr;
  std::map<std::string, prometheus::Counter*> failures;  // by reason
  std::map<std::string, prometheus::Gauge*> phases, verdicts;
};

TtffMetrics::TtffMetrics()
    : registry_(std::make_shared<prometheus::Registry>()),
      runs_(Registered(prometheus::BuildCounter(), *registry_, "zuvek_runs_total",
                       "Runs recorded, with a fix or without")),
      planned_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_runs_planned",
                          "Runs the test was asked for")),
      successes_(Registered(prometheus::BuildCounter(), *registry_, "zuvek_successes_total",
                            "Runs that found a fix")),
      failures_(Registered(prometheus::BuildCounter(), *registry_, "zuvek_failures_total",
                           "Runs without a fix, by reason")),
      last_ttff_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_last_ttff_seconds",
                            "The TTFF of the last run that found a fix")),
      ttff_(Registered(prometheus::BuildHistogram(), *registry_, "zuvek_ttff_seconds",
                       "TTFF of the runs that found a fix")),
      phase_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_phase",
                        "1 for the phase the module's test is in, 0 for the others it was in")),
      port_up_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_port_up",
                          "1 while the module's ports are open, 0 while one is lost")),
      reconnects_(Registered(prometheus::BuildCounter(), *registry_, "zuvek_reconnects_total",
                             "Lost ports that came back and were opened again")),
      verdict_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_verdict",
                          "1 for the test's verdict so far (PASS, FAIL, UNDECIDED), 0 for the "
                          "others; only with verdict limits")),
      bench_modules_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_bench_modules",
                                "Modules of the bench")),
      bench_running_(Registered(prometheus::BuildGauge(), *registry_, "zuvek_bench_modules_running",
                                "Modules of the bench whose test runs now")) {}

TtffMetrics::~TtffMetrics() = default;

TtffMetrics::Module& TtffMetrics::Of(const std::string& module) {
  auto& m = modules_[module];
  if (!m) {
    m = std::make_unique<Module>();
    m->port_up = &port_up_.Add({{"module", module}});
    m->reconnects = &reconnects_.Add({{"module", module}});
  }
  return *m;
}

void TtffMetrics::AddRunMetrics(Module& m, const std::string& module) {
  const Labels labels{{"module", module}, {"restart", m.restart}};
  m.runs = &runs_.Add(labels);
  m.planned = &planned_.Add(labels);
  m.successes = &successes_.Add(labels);
  m.last_ttff = nullptr;  // none before the first fix
  m.ttff = &ttff_.Add(labels, m.buckets);
  m.failures.clear();
}

void TtffMetrics::TestStarted(const std::string& module, const std::string& restart,
                              unsigned planned, double timeout_s) {
  std::lock_guard<std::mutex> lock(mutex_);
  Module& m = Of(module);
  m.restart = restart;
  m.buckets = TtffBuckets(timeout_s);
  AddRunMetrics(m, module);
  m.planned->Set(planned);
  m.port_up->Set(1);
}

void TtffMetrics::RunRecorded(const std::string& module, bool fix, double ttff_s,
                              const std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  Module& m = Of(module);
  if (!m.runs)  // a run before its test's start: no restart type known
    AddRunMetrics(m, module);
  m.runs->Increment();
  if (fix) {
    m.successes->Increment();
    if (!m.last_ttff)
      m.last_ttff = &last_ttff_.Add({{"module", module}, {"restart", m.restart}});
    m.last_ttff->Set(ttff_s);
    m.ttff->Observe(ttff_s);
    return;
  }
  auto& failures = m.failures[reason];
  if (!failures)
    failures = &failures_.Add({{"module", module}, {"restart", m.restart}, {"reason", reason}});
  failures->Increment();
}

void TtffMetrics::StateSet(prometheus::Family<prometheus::Gauge>& family, const std::string& module,
                           const std::string& label,
                           std::map<std::string, prometheus::Gauge*>& seen,
                           const std::string& current) {
  auto& gauge = seen[current];
  if (!gauge)
    gauge = &family.Add({{"module", module}, {label, current}});
  for (auto& [value, g] : seen)
    g->Set(value == current ? 1 : 0);
}

void TtffMetrics::Phase(const std::string& module, const std::string& phase) {
  std::lock_guard<std::mutex> lock(mutex_);
  Module& m = Of(module);
  StateSet(phase_, module, "phase", m.phases, phase);
}

void TtffMetrics::PortState(const std::string& module, bool up) {
  std::lock_guard<std::mutex> lock(mutex_);
  Of(module).port_up->Set(up ? 1 : 0);
}

void TtffMetrics::Reconnected(const std::string& module) {
  std::lock_guard<std::mutex> lock(mutex_);
  Module& m = Of(module);
  m.reconnects->Increment();
  m.port_up->Set(1);
}

void TtffMetrics::Verdict(const std::string& module, const std::string& verdict) {
  std::lock_guard<std::mutex> lock(mutex_);
  Module& m = Of(module);
  StateSet(verdict_, module, "verdict", m.verdicts, verdict);
}

void TtffMetrics::BenchModules(unsigned modules, unsigned running) {
  std::lock_guard<std::mutex> lock(mutex_);
  bench_modules_.Add({}).Set(modules);
  bench_running_.Add({}).Set(running);
}

}  // namespace metrics
