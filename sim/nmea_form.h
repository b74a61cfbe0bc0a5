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
//
// The signals: a receiver of one signal per satellite (the default) sends a
// GSV group per constellation; a dual- or triple-band one (NMEA 4.11, signal
// IDs) a group per constellation and signal, on each constellation's own
// talker ($GPGSV, $GLGSV, $GAGSV, $GBGSV, $GQGSV), each ending in its
// signal ID. Its bands, named by any of their signals:
//
//   band  names          GPS      GLONASS  Galileo  BeiDou  QZSS
//   L1    L1 E1 B1I G1   L1 C/A   G1 C/A   E1       B1I     L1 C/A
//   L2    L2 G2          L2 CL    G2 C/A   -        -       L2 CL
//   L5    L5 E5a B2a     L5 Q     -        E5a      B2a     L5 Q
//   E5b   E5b B2I        -        -        E5b      B2I     -
//
// A satellite's first band is acquired first, the others some epochs later.
#pragma once

#include <string>
#include <vector>

namespace sim {

enum class Band { kL1, kL2, kL5, kE5b };

struct NmeaForm {
  bool gn = false;    // false: the module's own mix
  int version = 410;  // 210, 230, 301, 400, 410 or 411
  // The bands of a multi-band receiver, the first acquired first; empty: one
  // signal per satellite, no signal IDs.
  std::vector<Band> bands{};

  bool HasSystemIds() const { return version >= 410; }
  bool HasModeField() const { return version >= 230; }
  bool HasSignalIds() const { return !bands.empty(); }
  bool operator==(const NmeaForm&) const = default;
};

// "L1,L5", "E1,E5a", "L1,L2,E5b" ... (above): the bands, the NMEA version
// made 4.11; false with the sentence when a name is unknown or given twice.
bool ParseSignals(const std::string& text, NmeaForm& form, std::string* error);
// The bands as given: "L1,L5".
std::string SignalsText(const NmeaForm& form);
// The NMEA 4.11 signal ID of a band in a constellation ('P' GPS, 'L'
// GLONASS, 'A' Galileo, 'B' BeiDou, 'Q' QZSS); -1 when it has none there.
int SignalIdOf(Band band, char system);

// "GP" (the module's own mix; "module" too) or "GN", any case.
bool ParseTalker(const std::string& text, NmeaForm& form);
// "2.1", "2.3", "3.01", "4.0", "4.10" or "4.11".
bool ParseNmeaVersion(const std::string& text, NmeaForm& form);
// The version as written: "4.10".
std::string NmeaVersionText(const NmeaForm& form);

}  // namespace sim
