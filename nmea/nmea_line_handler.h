// The entry point for every received NMEA line (WM_USER+1004): logs it to the
// all-NMEA log, decodes the live position and collects the satellites of the
// epoch, handing the chart its bars at each RMC line.
#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "nmea/live_view.h"
#include "nmea/live_view_mode.h"
#include "nmea/position_record.h"
#include "nmea/satellite_bars.h"
#include "nmea/satellites.h"

// The all-NMEA log while the ports are open; null while it is closed.
// Opened and closed with the ports, written only by OnNmeaLine.
extern std::FILE* g_fp_nmea_all;

// Receives the bar list once per RMC line (the chart, the CLI's decode).
using SatelliteBarSink = std::function<void(const std::vector<SatelliteBar>&)>;

// Runs on the user-interface thread only; takes no lock.
class NmeaLineHandler {
 public:
  explicit NmeaLineHandler(LiveView& view, SatelliteBarSink sink = nullptr);

  // Handles one line: the NUL-terminated text as received, with its "\r\n".
  // Returns 0 when the line holds two sentences run together (logged, not
  // decoded) or no text at all, 1 otherwise.
  int OnNmeaLine(const char* text);

  void SetSink(SatelliteBarSink sink) { sink_ = std::move(sink); }

  // kGprmc (the default) for the fix rule "gprmc", kAnyTalker for any other:
  // then RMC and GSA of every talker feed the position fields, and GSA
  // sentences fill the used lists as nmea/gsa_any_talker.h says.
  void SetLiveViewMode(LiveViewMode mode) { mode_ = mode; }
  LiveViewMode Mode() const { return mode_; }

  // WM_USER+1006: empties the satellite collections (the chart keeps its bars).
  void OnClearSatellites() { sats_.OnClearSatellites(); }
  // The position resets, see LiveView.
  void ResetAtTestStart() { view_.ResetAtTestStart(record_); }
  void ResetAtRunStart() { view_.ResetAtRunStart(record_); }
  void ResetAtRunEnd() { view_.ResetAtRunEnd(record_); }

  const PositionRecord& Record() const { return record_; }
  const SatelliteCollections& Satellites() const { return sats_; }
  LiveView& View() { return view_; }

 private:
  void EndEpoch();

  LiveView& view_;
  SatelliteBarSink sink_;
  LiveViewMode mode_ = LiveViewMode::kGprmc;
  PositionRecord record_;
  SatelliteCollections sats_;
  std::vector<SatelliteBar> bars_;
};
