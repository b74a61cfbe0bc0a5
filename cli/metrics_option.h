// `--metrics [ADDRESS:]PORT` and `--metrics-hold SECONDS` of `run` and
// `bench`: the live metrics served for Prometheus while the test runs, and
// for a while after its end, so that a scrape sees the final counts.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace metrics {
class TtffMetrics;
class MetricsEndpoint;
}  // namespace metrics

namespace cli {

struct MetricsOptions {
  std::string address;  // empty: no endpoint
  double hold_s = 15;   // real seconds served after the end
};

void AddMetricsOptions(CLI::App* sub, MetricsOptions& o);

// The endpoint of --metrics and the metrics it serves.
class MetricsService {
 public:
  MetricsService();
  ~MetricsService();

  // Starts the endpoint when --metrics was given and says where it is;
  // false after telling on standard error why it cannot be (nothing of the
  // test has started then). `command` is "run" or "bench".
  bool Start(const MetricsOptions& o, const char* command);
  // The metrics to feed; null without --metrics.
  metrics::TtffMetrics* Metrics() { return endpoint_ ? metrics_.get() : nullptr; }
  // After the test's end: serves --metrics-hold seconds more (Ctrl-C,
  // SIGTERM and SIGHUP end it at once), then stops.
  void HoldAfterEnd();

 private:
  std::unique_ptr<metrics::TtffMetrics> metrics_;
  std::unique_ptr<metrics::MetricsEndpoint> endpoint_;
  double hold_s_ = 0;
};

}  // namespace cli
