// An instrument driven over SCPI on a raw socket (the instruments' usual
// port 5025): a hook's list of commands, each confirmed with "*OPC?" and
// checked with "SYST:ERR?".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hooks {

struct ScpiAddress {
  std::string host;
  std::uint16_t port = 5025;
};

// "HOST:PORT", "HOST" (port 5025) or "[IPv6]:PORT". On bad text returns
// nullopt and a sentence in error.
std::optional<ScpiAddress> ParseScpiAddress(std::string_view text, std::string* error);

struct ScpiResult {
  bool ok = false;
  // When !ok: a sentence naming the command and what the instrument said,
  // or did not say in time.
  std::string failure;
  // What was sent ("> CMD") and received ("< REPLY"), for the debug log.
  std::vector<std::string> transcript;
};

// Connects to the instrument and, for each command in order: sends it
// (reading its reply when it is a query), sends "*OPC?" and waits for "1",
// then sends "SYST:ERR?" and expects error 0. Stops at the first failure.
// The whole exchange ends by timeout; cancelled() is asked while waiting.
ScpiResult RunScpiCommands(const ScpiAddress& address, const std::vector<std::string>& commands,
                           std::chrono::milliseconds timeout,
                           const std::function<bool()>& cancelled);

}  // namespace hooks
