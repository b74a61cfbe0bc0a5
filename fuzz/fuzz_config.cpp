// LoadConfig on arbitrary bytes: never crashes, the command always ends
// within its 100 bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/app_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  app_config config;
  LoadConfigFromBytes(std::string(reinterpret_cast<const char*>(data), size), config);
  if (config.m_import_xtra_cmd[99] != 0)
    std::abort();
  (void)config.GetImportXtraCmd();
  return 0;
}
