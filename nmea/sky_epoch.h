// The satellites of one receiver epoch, as the chart, the sky plot, the CLI's
// decode and the report draw them: one satellite with its elevation, its
// azimuth, whether it is in use and an S/N per signal.
//
// The chart's bars follow from it. An epoch whose GSV sentences carry no
// signal ID has the chart's classic bars (BuildSatelliteBars: one per GSV
// record with S/N, in arrival order). An epoch with signal IDs has one bar
// per satellite and signal with S/N, grouped by constellation (GPS, SBAS,
// GLONASS, Galileo, BeiDou, QZSS, NavIC, others), by PRN within one and by
// signal ID within a satellite; never two bars for the same pair.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "nmea/satellite_bars.h"
#include "nmea/satellites.h"

struct SignalLevel {
  int signal;  // NMEA 4.11 signal ID; kNoSignal when the sentence named none
  int snr;     // dB-Hz; 0 when not tracked on it
  bool operator==(const SignalLevel&) const = default;
};

struct SkySatellite {
  // More signals of one satellite than any receiver reports; beyond it a
  // signal is left out.
  static constexpr int kMaxSignals = 8;

  int system = kGnssOther;  // GnssSystem (GPS PRNs 33..51: SBAS)
  int prn = 0;
  int elevation = -1;  // degrees; -1 unknown
  int azimuth = -1;    // degrees from north; -1 unknown
  bool used = false;
  int level_count = 0;
  std::array<SignalLevel, kMaxSignals> levels{};  // by SignalRank

  // Sets the S/N of a signal (a later report of the same signal replaces it).
  void SetSignal(int signal, int snr);
  // The strongest S/N of its signals; 0 when not tracked.
  int BestSnr() const;
  bool operator==(const SkySatellite& other) const;
};

struct SkyEpoch {
  std::vector<SatelliteBar> bars;
  std::vector<SkySatellite> satellites;  // GSV's satellites, in bar order
  // Some GSV of the epoch carried a signal ID: the bars are per signal.
  bool per_signal = false;
};

using SkyEpochSink = std::function<void(const SkyEpoch&)>;

// Whether a satellite is in use: in its constellation's chart list or, by
// NMEA system ID, in used_by_system_id. BeiDou and Galileo satellites match
// across the numberings of GSV and GSA (BeiDou 8 is 208 or 408 in some GSA,
// telit-pls83-w.log; Galileo 11 is 311).
bool IsUsed(const SatelliteCollections& sats, int system, int prn);

// Rebuilds `epoch` from the collections (`epoch`'s room is reused).
void BuildSkyEpoch(const SatelliteCollections& sats, SkyEpoch& epoch);

// The rank of a constellation in the chart's order; others after NavIC.
int ConstellationRank(int system);
