// The simulator options that `zuvek-cli sim` and `zuvek-cli run`'s built-in
// simulator share: the module profile it speaks and the form of its NMEA.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "sim/simulator.h"

namespace cli {

struct SimFormChoice {
  std::string talker;   // "GP" or "GN"; empty: the module's own mix
  std::string version;  // "4.10" ...; empty: 4.10
  std::string signals;  // "L1,L5" ...; empty: one signal per satellite

  // Adds the options, named with `prefix` ("--" or "--sim-"), their help
  // led by `lead` ("simulator: "; empty: capitalised).
  void Add(CLI::App* sub, const std::string& prefix, const std::string& lead);
  // Into the simulator's options; false with a sentence when a value is wrong.
  bool ApplyTo(sim::SimOptions& options, std::string* error) const;
};

// The profile of that name or file into the options; false with the
// problems (FILE:LINE: what is wrong) when it is refused.
bool ApplySimProfile(const std::string& name_or_file, sim::SimOptions& options, std::string* error);

}  // namespace cli
