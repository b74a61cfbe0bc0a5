// Bringing the module's ports back after one vanished during a test
// (`zuvek-cli run --reconnect SECONDS`, `reconnect` in zuvek.toml).
#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"

class ModuleHub;
namespace platform {
class MessageTarget;
}

// Called from the test's worker thread. Closes both ports on the hub's
// owner thread, waits until both names the user opened come back (a by-id
// name or a simulator link may point at a new device) for at most `seconds`
// of the clock, and opens them again there. Returns true when both are
// open; false when they did not come back in time (then *why says what
// happened), or when cancelled() held.
bool ReconnectPorts(ModuleHub& hub, platform::MessageTarget& target, const platform::Clock& clock,
                    unsigned seconds, const std::function<bool()>& cancelled,
                    std::string* why = nullptr);
