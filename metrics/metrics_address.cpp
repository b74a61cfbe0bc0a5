#include "metrics/metrics_address.h"

#include <arpa/inet.h>

namespace metrics {

namespace {

std::optional<unsigned> Port(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const unsigned port = static_cast<unsigned>(std::stoul(text));
  return port <= 65535 ? std::optional<unsigned>(port) : std::nullopt;
}

// A numeric address of this family (inet_pton only parses, it asks nothing
// of the system).
bool Numeric(int family, const std::string& text) {
  unsigned char out[16];
  return inet_pton(family, text.c_str(), out) == 1;
}

}  // namespace

std::string MetricsAddress::BindText() const {
  return HostPort(port);
}

std::string MetricsAddress::HostPort(unsigned other_port) const {
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(other_port);
}

std::optional<MetricsAddress> ParseMetricsAddress(const std::string& text, std::string* problem) {
  MetricsAddress address;
  const auto colon = text.rfind(':');
  std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
  const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    address.ipv6 = true;
  }
  if (host == "localhost")
    host = "127.0.0.1";
  const bool host_ok =
      host.empty() || (address.ipv6 ? Numeric(AF_INET6, host) : Numeric(AF_INET, host));
  const auto port_number = Port(port);
  if (!host_ok || !port_number) {
    *problem = "--metrics " + text + ": " +
               (!host_ok ? "\"" + host +
                               "\" is no address; give an IPv4 address (127.0.0.1, 0.0.0.0 for "
                               "every interface), an IPv6 one in brackets ([::1]) or localhost"
                         : "\"" + port + "\" is no port; give a number from 1 to 65535") +
               ", as [ADDRESS:]PORT (9464 listens on 127.0.0.1:9464)";
    return std::nullopt;
  }
  if (!host.empty())
    address.host = host;
  address.port = *port_number;
  return address;
}

}  // namespace metrics
