// Satellites of one epoch: what the GSV sentences report in view and what the
// GSA sentences report in use, per constellation.
#pragma once

#include <vector>

// Constellation code of a satellite.
enum GnssSystem : int {
  kGnssGlonass = 0,  // GSV address contains "GL"
  kGnssGps = 1,      // GSV address contains "GP"
  kGnssSbas = 2,     // a GPS satellite with PRN 33..51 (set when bars are built)
  kGnssBeidou = 3,   // vendor GSV, system ID 4
  kGnssGalileo = 4,  // GSV address contains "GA"
  kGnssQzss = 5,     // vendor GSV, system ID 5
  kGnssOther = 6,
};

// The chart's letter for a constellation code: R G S B E Q, a blank otherwise.
char GnssLetter(int system);

// One satellite in view, as a GSV sentence gave it.
struct SatelliteInfo {
  int prn;     // never 0
  int snr;     // dB-Hz; 0 when the field was empty
  int system;  // GnssSystem

  bool operator==(const SatelliteInfo&) const = default;
};

// The six collections of one epoch, filled between two RMC lines.
struct SatelliteCollections {
  std::vector<SatelliteInfo> m_vec_satellites;  // every GSV satellite, arrival order
  std::vector<int> m_vec_gps_used;              // "$GPGSA", "$GNGSA" system ID 1
  std::vector<int> m_vec_glonass_used;          // "$GNGSA" system ID 2
  std::vector<int> m_vec_galileo_used;          // "$GNGSA" system ID 3
  std::vector<int> m_vec_beidou_used;           // "$PWGSA" system ID 4
  std::vector<int> m_vec_qzss_used;             // "$PWGSA" system ID 5

  // Empties all six (the handler of WM_USER+1006, and the end of an epoch).
  void OnClearSatellites();
};
