// The bench file: the modules a bench tests at the same time, in TOML.
//
//   profile = "quectel-eg25"          # defaults for every module (optional)
//   fix_rule = "rmc"
//   reference = "48.1173,11.516667,520.3"
//   [[module]]
//   name = "eg25-a"                   # required, unique, [A-Za-z0-9._-]+
//   at_port = "/dev/serial/by-id/...-if02-port0"     # required
//   nmea_port = "/dev/serial/by-id/...-if01-port0"   # required
//   at_baud = 115200                  # optional
//   nmea_baud = 115200
//   profile = "..."  fix_rule = "..."  reference = "..."   # win over the defaults
//   [[module.hook]]                   # this module's hooks (hooks/hook_table.h);
//   at = "power-cycle"                # [[hook]] before the first [[module]]:
//   command = "uhubctl -l 1-1 -p 2 -a cycle"   # every module's
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hooks/hook.h"

namespace supervisor {

struct BenchModule {
  std::string name;
  std::string at_port, nmea_port;
  std::optional<unsigned> at_baud, nmea_baud;
  // The module's own or the file's default; empty: the run's own default.
  std::string profile, fix_rule, reference;
  // The file's hooks for every module, a moment the module's own hooks
  // have replaced by those.
  hooks::HookList hooks;
};

struct BenchFileLoad {
  std::vector<BenchModule> modules;
  // One sentence per problem ("bench.toml:7: ..."); the bench starts only
  // when there is none.
  std::vector<std::string> problems;
};

// Reads the text of a bench file; `source` names it in the sentences.
BenchFileLoad ParseBenchFile(const std::string& text, const std::string& source);
// Reads the file at path.
BenchFileLoad LoadBenchFile(const std::string& path);

// Whether a module name can be a folder name: [A-Za-z0-9._-]+, not "." or "..".
bool IsGoodModuleName(const std::string& name);

}  // namespace supervisor
