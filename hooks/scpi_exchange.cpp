#include "hooks/scpi_exchange.h"

#include <charconv>
#include <cstdio>

#include "platform/tcp_link.h"

namespace hooks {
namespace {

using platform::LinkStatus;

constexpr std::string_view kOpc = "*OPC?";
constexpr std::string_view kSystErr = "SYST:ERR?";
constexpr std::string_view kAddressForm =
    ": give HOST:PORT, e.g. 192.168.1.20:5025 or [fe80::2]:5025";

// text in double quotes, its own quotes and backslashes escaped.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + '"';
}

std::string Seconds(std::chrono::milliseconds ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(ms.count()) / 1000.0);
  return text;
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The number an instrument leads a reply with ("+0,\"No error\"" gives 0).
std::optional<long> LeadingNumber(std::string_view reply) {
  if (!reply.empty() && reply.front() == '+')
    reply.remove_prefix(1);
  long value = 0;
  const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
  if (error != std::errc{} || (end != reply.data() + reply.size() && *end != ','))
    return std::nullopt;
  return value;
}

bool HasWhitespace(std::string_view text) {
  return text.find_first_of(" \t\r\n") != std::string_view::npos;
}

std::string AddressText(const ScpiAddress& address) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace

std::optional<ScpiAddress> ParseScpiAddress(std::string_view text, std::string* error) {
  const auto refuse = [&](std::string_view why) -> std::optional<ScpiAddress> {
    if (error)
      *error = Quoted(text) + " is no instrument address (" + std::string(why) + ")" +
               std::string(kAddressForm);
    return std::nullopt;
  };
  if (text.empty())
    return refuse("it is empty");
  if (HasWhitespace(text))
    return refuse("it holds a space");
  ScpiAddress address;
  std::optional<std::string_view> port;
  if (text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos)
      return refuse("its '[' has no ']'");
    address.host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':')
      return refuse("text follows its ']'");
    if (!rest.empty())
      port = rest.substr(1);
  } else if (const auto colon = text.rfind(':');
             colon != std::string_view::npos && text.find(':') == colon) {
    address.host = text.substr(0, colon);
    port = text.substr(colon + 1);
  } else {
    address.host = text;  // a host name, an IPv4 address or an IPv6 address without a port
  }
  if (address.host.empty())
    return refuse("no host");
  if (port) {
    const char* const end = port->data() + port->size();
    unsigned value = 0;
    const auto [stop, failed] = std::from_chars(port->data(), end, value);
    if (port->empty() || failed != std::errc{} || stop != end || value == 0 || value > 65535)
      return refuse("its port is not a number from 1 to 65535");
    address.port = static_cast<std::uint16_t>(value);
  }
  return address;
}

namespace {

// One exchange with an instrument: every step under the one deadline, every
// failure told once in the result.
class Exchange {
 public:
  Exchange(const ScpiAddress& address, std::chrono::milliseconds timeout,
           const std::function<bool()>& cancelled, ScpiResult* result)
      : where_("the instrument at " + AddressText(address)),
        address_(address),
        timeout_(timeout),
        deadline_(std::chrono::steady_clock::now() + timeout),
        cancelled_(cancelled),
        result_(result) {}

  bool Connect();
  // Sends command (reading its reply when it is a query), then "*OPC?" and
  // "SYST:ERR?", and checks their replies.
  bool Run(const std::string& command);

 private:
  bool Send(std::string_view line, const std::string& command);
  // Sends line and reads its reply into *reply.
  bool Ask(std::string_view line, const std::string& command, std::string* reply);
  bool Fail(std::string sentence);
  bool FailLink(LinkStatus status, std::string_view line, const std::string& command);

  std::string where_;
  ScpiAddress address_;
  std::chrono::milliseconds timeout_;
  platform::TcpLink::Deadline deadline_;
  const std::function<bool()>& cancelled_;
  ScpiResult* result_;
  platform::TcpLink link_;
};

bool Exchange::Fail(std::string sentence) {
  result_->ok = false;
  result_->failure = std::move(sentence);
  return false;
}

bool Exchange::Connect() {
  std::string detail;
  const std::string port = std::to_string(address_.port);
  switch (link_.Connect(address_.host, address_.port, deadline_, cancelled_, &detail)) {
    case LinkStatus::kOk:
      return true;
    case LinkStatus::kUnknownHost:
      return Fail("the instrument's host " + Quoted(address_.host) + " is not known (" + detail +
                  "): check the host name or give the instrument's IP address");
    case LinkStatus::kRefused:
      return Fail(where_ + " refused the connection (nothing listens on port " + port +
                  "): check that the instrument is on, that " + port +
                  " is its raw SCPI port (usually 5025) and that its SCPI socket is enabled");
    case LinkStatus::kUnreachable:
      return Fail("no route to " + where_ + " (" + detail +
                  "): check its address and its network connection");
    case LinkStatus::kTimedOut:
      return Fail("no connection to " + where_ + " within " + Seconds(timeout_) +
                  ": check that the instrument is on, its address and that no firewall is in "
                  "the way");
    case LinkStatus::kCancelled:
      return Fail("the exchange with " + where_ + " was stopped before it connected");
    default:
      return Fail("no connection to " + where_ + " (" + detail + "): check its address and port");
  }
}

bool Exchange::FailLink(LinkStatus status, std::string_view line, const std::string& command) {
  const std::string after = line == command ? "" : " after " + Quoted(command);
  switch (status) {
    case LinkStatus::kClosed:
      return Fail(where_ + " closed the connection at " + Quoted(line) + after +
                  ": check that no other program holds its SCPI socket (most instruments take "
                  "one at a time) and what the instrument's display says");
    case LinkStatus::kTimedOut:
      return Fail(where_ + " did not answer " + Quoted(line) + after + " within the time-out of " +
                  Seconds(timeout_) +
                  (line == command && line.find('?') != std::string_view::npos
                       ? ": check the query against the instrument's manual (an "
                         "instrument stays silent on a query it does not know)"
                       : ": check whether the instrument is busy or hung (its "
                         "display)") +
                  ", or give the hook a longer time-out");
    case LinkStatus::kCancelled:
      return Fail("the exchange with " + where_ + " was stopped at " + Quoted(line) + after);
    case LinkStatus::kTooLong:
      return Fail(where_ + " answered " + Quoted(line) + after + " with more than " +
                  std::to_string(platform::TcpLink::kMaxLine) +
                  " bytes without an end of line: check that the instrument ends its replies "
                  "with a line feed");
    default:
      return Fail("the connection to " + where_ + " failed at " + Quoted(line) + after +
                  ": check the instrument and its network connection");
  }
}

bool Exchange::Send(std::string_view line, const std::string& command) {
  result_->transcript.push_back("> " + std::string(line));
  const LinkStatus status = link_.WriteLine(line, deadline_, cancelled_);
  return status == LinkStatus::kOk || FailLink(status, line, command);
}

bool Exchange::Ask(std::string_view line, const std::string& command, std::string* reply) {
  if (!Send(line, command))
    return false;
  std::string raw;
  if (const LinkStatus status = link_.ReadLine(&raw, deadline_, cancelled_);
      status != LinkStatus::kOk)
    return FailLink(status, line, command);
  *reply = Trimmed(raw);
  result_->transcript.push_back("< " + *reply);
  return true;
}

bool Exchange::Run(const std::string& command) {
  std::string reply;
  const bool query = command.find('?') != std::string::npos;
  if (!(query ? Ask(command, command, &reply) : Send(command, command)))
    return false;
  if (!Ask(kOpc, command, &reply))
    return false;
  if (reply != "1" && reply != "+1")
    return Fail(where_ + " answered " + Quoted(reply) + " to *OPC? after " + Quoted(command) +
                " (expected \"1\"): check the command against the instrument's manual");
  if (!Ask(kSystErr, command, &reply))
    return false;
  if (LeadingNumber(reply) != 0)
    return Fail(where_ + " answered " + Quoted(reply) + " after " + Quoted(command) +
                ": check the command and its values against the instrument's manual");
  return true;
}

}  // namespace

ScpiResult RunScpiCommands(const ScpiAddress& address, const std::vector<std::string>& commands,
                           std::chrono::milliseconds timeout,
                           const std::function<bool()>& cancelled) {
  ScpiResult result;
  for (const std::string& command : commands) {
    if (Trimmed(command).empty() || command.find_first_of("\r\n") != std::string::npos) {
      result.failure = "the SCPI command " + Quoted(command) +
                       " is empty or holds a line break: give one command per list item";
      return result;
    }
  }
  result.ok = true;
  if (commands.empty())
    return result;
  Exchange exchange(address, timeout, cancelled, &result);
  if (!exchange.Connect())
    return result;
  for (const std::string& command : commands) {
    if (!exchange.Run(command))
      break;
  }
  return result;
}

}  // namespace hooks
