// The fix rules a test can choose (see registry.h for their names).
#pragma once

#include <memory>

#include "fix_rules/fix_rule.h"

namespace fix_rules {

// "$GPRMC" anywhere in the line and its field 2 exactly "A": the tool's own
// rule, unchanged.
std::unique_ptr<FixRule> MakeGprmcRule();
// An RMC of the talkers GP, GN, GL, GA, GB, BD, GQ, QZ, GI with status "A"
// and, when it has the NMEA 2.3 mode field, a mode other than "N".
std::unique_ptr<FixRule> MakeRmcRule();
// A GGA of quality 1 to 5 (6 estimated, 7 manual, 8 simulation are none).
std::unique_ptr<FixRule> MakeGgaRule();
// A GNS whose mode field has a letter other than "N" for any constellation.
std::unique_ptr<FixRule> MakeGnsRule();
// A GSA with fix type 3.
std::unique_ptr<FixRule> MakeGsa3dRule();

}  // namespace fix_rules
