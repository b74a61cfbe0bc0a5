// Where the metrics endpoint listens: `[ADDRESS:]PORT`, the loopback when no
// address is given. ADDRESS is an IPv4 address, an IPv6 one in brackets or
// `localhost`; PORT 0 takes any free port.
#pragma once

#include <optional>
#include <string>

namespace metrics {

struct MetricsAddress {
  std::string host = "127.0.0.1";  // numeric; IPv6 without its brackets
  bool ipv6 = false;
  unsigned port = 0;

  // "127.0.0.1:9464", "[::1]:9464": as the HTTP server takes it.
  std::string BindText() const;
  // The same with another port (the one taken for port 0).
  std::string HostPort(unsigned port) const;
};

// The address of `text`; none, with a sentence in *problem, for one that is
// no address and port.
std::optional<MetricsAddress> ParseMetricsAddress(const std::string& text, std::string* problem);

}  // namespace metrics
