// The metrics served over HTTP at /metrics in Prometheus's text format, by
// prometheus-cpp's own server (its Exposer), from a thread of its own.
#pragma once

#include <memory>
#include <string>

#include "metrics/metrics_address.h"

namespace prometheus {
class Exposer;
class Registry;
}  // namespace prometheus

namespace metrics {

class MetricsEndpoint {
 public:
  // Listens at once; null, with a sentence in *problem, when it cannot (the
  // port is taken, the address is none of this machine's).
  static std::unique_ptr<MetricsEndpoint> Start(const MetricsAddress& address,
                                                std::shared_ptr<prometheus::Registry> registry,
                                                std::string* problem);
  ~MetricsEndpoint();

  // "http://127.0.0.1:9464/metrics", with the port it listens on.
  std::string Url() const;

 private:
  MetricsEndpoint() = default;
  std::unique_ptr<prometheus::Exposer> exposer_;
  std::shared_ptr<prometheus::Registry> registry_;
  MetricsAddress address_;
  unsigned port_ = 0;
};

}  // namespace metrics
