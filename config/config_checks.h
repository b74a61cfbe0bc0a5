// What a test can use of TTFF.cfg's values, and the sentences for a file
// that is damaged or holds values no test can use. Told when a test starts,
// in the window and the CLI; the file's format stays as it is.
#pragma once

#include <string>
#include <vector>

#include "config/app_config.h"

struct ConfigRange {
  const char* what;  // "fix time-out"
  long long min, max;
  const char* unit;  // "s"
};
// A fix wait or a capture longer than a day tells nothing a day does not,
// and the waits count milliseconds in 32 bits (49 days); an XTRA time more
// than an hour uncertain helps no receiver, and the record keeps the
// uncertainty as a signed 32-bit value.
inline constexpr ConfigRange kTimeoutRange{"fix time-out", 1, 86400, "s"};
inline constexpr ConfigRange kIntervalSleepRange{"logging after a fix", 1, 86400, "s"};
inline constexpr ConfigRange kUncertaintyRange{"XTRA time uncertainty", 1, 3600000, "ms"};

// One sentence per value of the record that no test can use, naming
// `source` (the file, or "the options"), the value and the range.
std::vector<std::string> UnusableConfigValues(const app_config& config, const std::string& source);
// After LoadConfig: "TTFF.cfg is damaged: 7 of its 11 settings could be
// read, the rest keep their defaults; ..." or "" for a whole file or none.
std::string DamagedConfigSentence(const ConfigLoad& load, const std::string& path);
