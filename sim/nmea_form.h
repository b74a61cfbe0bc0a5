// The form of the modelled receiver's NMEA: whose talker IDs it uses and
// which NMEA version it follows.
//
//   module (the default): the cellular module's own mix, "$GPRMC", $GPGGA,
//     $GPVTG, $GPGSA, $GNGSA per constellation, the vendor $PWGSA/$PWGSV
//     for BeiDou and QZSS, and the GSV of each constellation;
//   gn: a modern multi-constellation receiver, "$GNRMC", $GNGGA, $GNVTG, a
//     $GNGSA per constellation, and $GPGSV, $GLGSV, $GAGSV, $GBGSV (and
//     $GQGSV from NMEA 4.11 on). It never sends "$GPRMC".
//
// The version: from 4.10 on, a GSA carries its system ID as its last field
// (1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, and from 4.11 on 5 QZSS, which
// 4.10 counts with GPS); before 4.10 it has none, and a gn receiver numbers
// Galileo 301..336 and BeiDou 401..437 as u-blox receivers of NMEA 4.0 do.
// Before 2.3, RMC and VTG have no mode field.
#pragma once

#include <string>

namespace sim {

struct NmeaForm {
  bool gn = false;    // false: the module's own mix
  int version = 410;  // 210, 230, 301, 400, 410 or 411

  bool HasSystemIds() const { return version >= 410; }
  bool HasModeField() const { return version >= 230; }
  bool operator==(const NmeaForm&) const = default;
};

// "GP" (the module's own mix; "module" too) or "GN", any case.
bool ParseTalker(const std::string& text, NmeaForm& form);
// "2.1", "2.3", "3.01", "4.0", "4.10" or "4.11".
bool ParseNmeaVersion(const std::string& text, NmeaForm& form);
// The version as written: "4.10".
std::string NmeaVersionText(const NmeaForm& form);

}  // namespace sim
