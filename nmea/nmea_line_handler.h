// The entry point for every received NMEA line (WM_USER+1004): logs it to the
// all-NMEA log, decodes the live position and collects the satellites of the
// epoch, handing the chart its bars and the sky plot its satellites at each
// RMC line.
#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "nmea/live_view.h"
#include "nmea/live_view_mode.h"
#include "nmea/position_record.h"
#include "nmea/satellite_bars.h"
#include "nmea/satellites.h"
#include "nmea/sky_epoch.h"

// The all-NMEA log while the ports are open; null while it is closed.
// Opened and closed with the ports, written only by OnNmeaLine.
extern std::FILE* g_fp_nmea_all;

// Runs on the user-interface thread only; takes no lock.
class NmeaLineHandler {
 public:
  // The sink receives the epoch once per RMC line (the chart and the sky
  // plot, the CLI's decode).
  explicit NmeaLineHandler(LiveView& view, SkyEpochSink sink = nullptr);

  // Handles one line: the NUL-terminated text as received, with its "\r\n".
  // Returns 0 when the line holds two sentences run together (logged, not
  // decoded) or no text at all, 1 otherwise.
  int OnNmeaLine(const char* text);

  void SetSink(SkyEpochSink sink) { sink_ = std::move(sink); }

  // kGprmc (the default) for the fix rule "gprmc", kAnyTalker for any other:
  // then RMC and GSA of every talker feed the position fields, and GSA
  // sentences fill the used lists as nmea/gsa_any_talker.h says.
  void SetLiveViewMode(LiveViewMode mode) { mode_ = mode; }
  LiveViewMode Mode() const { return mode_; }

  // WM_USER+1006: empties the satellite collections (the chart keeps its
  // bars until the next RMC line, which then hands an empty sky).
  void OnClearSatellites() {
    sats_.OnClearSatellites();
    last_.OnClearSatellites();
  }
  // The position resets, see LiveView.
  void ResetAtTestStart() { view_.ResetAtTestStart(record_); }
  void ResetAtRunStart() { view_.ResetAtRunStart(record_); }
  void ResetAtRunEnd() { view_.ResetAtRunEnd(record_); }

  const PositionRecord& Record() const { return record_; }
  // The collections of the epoch in progress.
  const SatelliteCollections& Satellites() const { return sats_; }
  LiveView& View() { return view_; }

 private:
  // The chart's sentences: the GSA forms the live view fills its lists
  // from, and any GSA with a system ID; false for other lines.
  bool HandleGsa(const char* text);
  void HandleGsv(const char* text);
  // The epoch's sky: what came since the last RMC line, with the GSV (and
  // the GSA) of the last epoch that had any where it brought none, so the
  // chart never empties because a receiver sends its GSV after its RMC or
  // every few epochs only.
  void EndEpoch();

  LiveView& view_;
  SkyEpochSink sink_;
  LiveViewMode mode_ = LiveViewMode::kGprmc;
  PositionRecord record_;
  SatelliteCollections sats_;  // the epoch in progress
  SatelliteCollections last_;  // the sky handed out last
  SkyEpoch sky_;
  std::vector<std::string> fields_;  // reused by every split
};
