// Satellites of one epoch: what the GSV sentences report in view and what the
// GSA sentences report in use, per constellation.
#pragma once

#include <array>
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
  kGnssNavic = 7,  // GSV with a signal ID or system ID 6 (never a bar without signals)
};

// The chart's letter for a constellation code: R G S B E Q, I for NavIC, a
// blank otherwise.
char GnssLetter(int system);

// A satellite record whose sentence named no signal (nmea/signal_ids.h).
inline constexpr int kNoSignal = -1;

// One satellite in view, as a GSV sentence gave it.
struct SatelliteInfo {
  int prn;                 // never 0
  int snr;                 // dB-Hz; 0 when the field was empty
  int system;              // GnssSystem
  int signal = kNoSignal;  // the NMEA 4.11 signal ID of the sentence
  int elevation = -1;      // degrees; -1 when the field was empty
  int azimuth = -1;        // degrees from north; -1 when the field was empty

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
  // The satellites in use by NMEA system ID (index 1..15), from every GSA
  // that carries one, whatever its talker, joined over the epoch: receivers
  // that send a GSA per band list a satellite used on L1 and L5 in both, one
  // used on L1 only in the first (st-teseo-liv4f.log). Only the bars of an
  // epoch with signal IDs read them.
  std::array<std::vector<int>, 16> used_by_system_id;
  bool had_gsv = false;  // a GSV sentence came, even one without satellites
  bool had_gsa = false;  // a GSA sentence came

  // Empties everything (the handler of WM_USER+1006, and the end of an epoch).
  void OnClearSatellites();
  // The chart's used list of a constellation code (SBAS: none); null for none.
  std::vector<int>* UsedList(int system);
  const std::vector<int>* UsedList(int system) const;
};
