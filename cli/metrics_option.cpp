#include "cli/metrics_option.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/end_signals.h"
#include "metrics/metrics_endpoint.h"
#include "metrics/ttff_metrics.h"

namespace cli {

void AddMetricsOptions(CLI::App* sub, MetricsOptions& o) {
  sub->add_option("--metrics", o.address,
                  "serve live metrics for Prometheus at http://[ADDRESS:]PORT/metrics (the "
                  "address 127.0.0.1 unless one is given; port 0: any free one)");
  sub->add_option("--metrics-hold", o.hold_s,
                  "with --metrics: keep serving them SECONDS after the end, so that a scrape "
                  "sees the final counts (Ctrl-C ends it at once)")
      ->check(CLI::Range(0.0, 86400.0))
      ->capture_default_str();
}

MetricsService::MetricsService() : metrics_(std::make_unique<metrics::TtffMetrics>()) {}

MetricsService::~MetricsService() = default;

bool MetricsService::Start(const MetricsOptions& o, const char* command) {
  if (o.address.empty())
    return true;
  std::string problem;
  const auto address = metrics::ParseMetricsAddress(o.address, &problem);
  if (address)
    endpoint_ = metrics::MetricsEndpoint::Start(*address, metrics_->Registry(), &problem);
  if (!endpoint_) {
    std::cerr << "zuvek-cli " << command << ": " << problem << " (nothing was started)\n";
    return false;
  }
  hold_s_ = o.hold_s;
  std::cerr << "zuvek-cli: metrics for Prometheus at " << endpoint_->Url() << "\n";
  return true;
}

void MetricsService::HoldAfterEnd() {
  if (!endpoint_)
    return;
  if (hold_s_ > 0 && !EndRequested()) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "zuvek-cli: the metrics stay served for %g s (--metrics-hold); Ctrl-C ends "
                  "that at once\n",
                  hold_s_);
    std::cerr << text << std::flush;
    // Real time, not the test's clock: the scraper's interval is real.
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(hold_s_);
    while (!EndRequested() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  endpoint_.reset();
}

}  // namespace cli
