#include "metrics/metrics_endpoint.h"

#include <prometheus/exposer.h>
#include <prometheus/registry.h>

namespace metrics {

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(
    const MetricsAddress& address, std::shared_ptr<prometheus::Registry> registry,
    std::string* problem) {
  std::unique_ptr<MetricsEndpoint> endpoint(new MetricsEndpoint());
  try {
    // One thread: a scraper or two, never a crowd.
    endpoint->exposer_ = std::make_unique<prometheus::Exposer>(address.BindText(), 1);
  } catch (const std::exception&) {
    *problem = "cannot serve the metrics on " + address.BindText() +
               ": the port is in use by another program, or the address is none of this "
               "machine's; choose another port (or address) with --metrics";
    return nullptr;
  }
  const auto ports = endpoint->exposer_->GetListeningPorts();
  endpoint->port_ = ports.empty() ? address.port : static_cast<unsigned>(ports.front());
  endpoint->registry_ = std::move(registry);
  endpoint->address_ = address;
  endpoint->exposer_->RegisterCollectable(endpoint->registry_);
  return endpoint;
}

MetricsEndpoint::~MetricsEndpoint() = default;

std::string MetricsEndpoint::Url() const {
  return "http://" + address_.HostPort(port_) + "/metrics";
}

}  // namespace metrics
