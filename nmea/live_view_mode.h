// Which sentences feed the live position fields and the chart's used flags.
#pragma once

#include <string_view>

enum class LiveViewMode {
  // The fix rule "gprmc": position from "$GPRMC" and "$GPGSA" only; GSA
  // lists by the talker and the system ID digit. The default.
  kGprmc,
  // Any other fix rule: RMC and GSA of every talker of kAnyTalkers feed the
  // position, and a GSA without a system ID is split by PRN ranges
  // (nmea/gsa_any_talker.h).
  kAnyTalker,
};

// The talkers the any-talker mode decodes: GPS, combined, GLONASS, Galileo,
// BeiDou (NMEA "GB" and the Chinese "BD"), QZSS ("GQ" and "QZ"), NavIC.
inline constexpr const char* kAnyTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"};

// Whether the line holds "$" + a talker of kAnyTalkers + `type` (for
// instance "RMC") anywhere, as the "$GPRMC" test does for the GP talker.
bool HasAnyTalkerSentence(std::string_view line, const char* type);
