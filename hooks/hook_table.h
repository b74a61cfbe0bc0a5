// Hooks as TOML: a [[hook]] table per hook, in zuvek.toml, in a bench file
// (for every module, or [[module.hook]] for one) and in a hooks file
// (`zuvek-cli run --hooks FILE`).
//
//   [[hook]]
//   name = "attenuator"             # optional: the moment's name
//   at = "before-reset"             # the moment (hooks/hook.h)
//   command = "atten-set 30"        # run with /bin/sh -c
//   timeout = 20                    # seconds; 60 when not given
//   on_failure = "fail-run"         # fail-run, end-test or note
//
//   [[hook]]                        # an instrument over SCPI instead
//   at = "before-reset"
//   scpi = "192.168.1.20:5025"
//   commands = ["SOUR:POW -130", "OUTP ON"]
#pragma once

#include <toml++/toml.h>

#include <string>
#include <vector>

#include "hooks/hook.h"

namespace hooks {

struct HookTableLoad {
  HookList hooks;
  // One sentence per problem ("zuvek.toml:7: ..."); a hook with a problem
  // is left out.
  std::vector<std::string> problems;
};

// The tables of an array `[[hook]]` (`node` is the array); `source` names
// the file in the sentences.
HookTableLoad ReadHookTables(const toml::node& node, const std::string& source);
// A hooks file: [[hook]] tables and nothing else.
HookTableLoad ParseHookFile(const std::string& text, const std::string& source);
HookTableLoad LoadHookFile(const std::string& path);

// The hooks as TOML tables named `table` ("hook", "module.hook"), each
// with every key, so that reading them back gives the same hooks.
std::string FormatHookTables(const HookList& hooks, const std::string& table = "hook");

}  // namespace hooks
