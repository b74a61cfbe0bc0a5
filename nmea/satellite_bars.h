// The bars of the satellite signal chart, one per satellite with a signal
// (nmea/sky_epoch.h: one per satellite and signal when the receiver names
// its signals).
#pragma once

#include <vector>

#include "nmea/satellites.h"

struct SatelliteBar {
  int used;    // 1 when the receiver uses the satellite, else 0
  int system;  // GnssSystem; GPS PRNs 33..51 become SBAS
  int snr;     // dB-Hz, always above 0
  int prn;
  int signal = kNoSignal;  // NMEA 4.11 signal ID; kNoSignal for the classic bars

  bool operator==(const SatelliteBar&) const = default;
};

// A GPS talker's PRN 33..51: an SBAS satellite.
bool IsSbasPrn(int prn);

// Rebuilds `bars` from the used lists and the collected satellites: one bar
// per satellite with S/N above 0, in arrival order, neither sorted nor
// merged. The chart's SetSatellites calls this.
void BuildSatelliteBars(std::vector<SatelliteBar>& bars, const std::vector<int>& gps_used,
                        const std::vector<int>& glonass_used, const std::vector<int>& galileo_used,
                        const std::vector<int>& beidou_used, const std::vector<int>& qzss_used,
                        const std::vector<SatelliteInfo>& satellites);
