// NMEA 4.10 system IDs and NMEA 4.11 signal IDs: which constellation a
// talker or an ID stands for, and the names the window, the report and the
// CLI give them.
//
//   system ID (GSA field 18, the vendor GSV's last field): 1 GPS, 2 GLONASS,
//     3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC
//   signal ID (GSV's last field, one hex digit), per system:
//     GPS      1 L1 C/A  2 L1 P(Y)  3 L1 M  4 L2 P(Y)  5 L2 CM  6 L2 CL  7 L5 I  8 L5 Q
//     GLONASS  1 G1 C/A  2 G1 P  3 G2 C/A  4 G2 P
//     Galileo  1 E5a  2 E5b  3 E5a+b  4 E6 A  5 E6 BC  6 E1 A  7 E1 (B/C)
//     BeiDou   1 B1I  2 B1Q  3 B1C  4 B1A  5 B2a  6 B2b  7 B2a+b  8 B3I  9 B3Q
//              A B3A  B B2I  C B2Q
//     QZSS     1 L1 C/A  2 L1C D  3 L1C P  4 L1S  5 L2 CM  6 L2 CL  7 L5 I  8 L5 Q
//              9 L6D  A L6E
//     NavIC    1 L5 SPS  2 S SPS  3 L5 RS  4 S RS  5 L1 SPS
//   and 0, in every system, for all signals. An ID the table lacks keeps its
//   number: "GPS signal 9", "system 9".
#pragma once

#include <string>
#include <string_view>

#include "nmea/satellites.h"

// Constellation codes of system IDs beyond the table: kGnssUnknownSystem + ID.
// The chart's classic bars count them as kGnssOther.
inline constexpr int kGnssUnknownSystem = 100;

// One hex digit (a system or signal ID) as a number 0..15; -1 for anything else.
int ParseHexId(std::string_view field);

// The constellation of a system ID (1..6 as above, others kept as numbers).
int SystemOfSystemId(int system_id);
// The system ID of a constellation code (GPS and SBAS 1, ...); 0 for none.
int SystemIdOfSystem(int system);
// The constellation a talker names: GP, GL, GA, GB and BD, GQ and QZ, GI;
// -1 for others (GN names none).
int TalkerSystem(std::string_view talker);

// "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC", "SBAS", "system 9",
// "other".
std::string SystemName(int system);
// "L1 C/A", "all signals", "signal 9"; empty for kNoSignal. SBAS satellites
// go by the GPS table.
std::string SignalName(int system, int signal);
// "GPS L1 C/A"; the system name alone for kNoSignal.
std::string SignalLabel(int system, int signal);

// The names read back: the constellation of SystemName's text (-1 for
// none), the signal ID of SignalName's (kNoSignal for an empty one, -2 for
// a text that is no name of it).
int SystemFromName(std::string_view name);
int SignalFromName(int system, std::string_view name);
// SignalLabel's text read back ("GPS L5 Q"); false for another text.
bool ParseSignalLabel(std::string_view label, int& system, int& signal);

// The frequency band a signal lies in, for drawing the signals of every
// constellation on the same band alike.
enum class SignalBand { kL1, kL2, kL5, kE5b, kE6, kS, kOther, kNone };
SignalBand BandOf(int system, int signal);
// The order of a constellation's signals in the chart and the files: by
// band, L1 first, then by signal ID.
int SignalRank(int system, int signal);
