// The name of the machine a test ran on (for the summary's conditions).
#pragma once

#include <string>

namespace platform {

// The host name; empty when it cannot be read.
std::string HostName();

}  // namespace platform
