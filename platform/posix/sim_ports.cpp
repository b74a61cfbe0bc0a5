#include "platform/sim_ports.h"

#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string SimPortsFolder() {
  if (const char* dir = std::getenv("ZUVEK_SIM_DIR"); dir && *dir)
    return dir;
  return "/tmp/zuvek-sim-" + std::to_string(static_cast<unsigned long>(getuid()));
}

}  // namespace platform
