// The name of the machine the program runs on.
#pragma once

#include <string>

namespace platform {

// The host name; "unknown" when the system gives none.
std::string HostName();
// A random 128-bit identifier as text (8-4-4-4-12 hex digits, version 4).
std::string RandomUuid();

}  // namespace platform
