// Helpers shared by the NMEA tests.
#pragma once

#include <string>
#include <vector>

#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"

namespace nmea_test {

// A handler over its own live view that keeps every bar list it handed out.
struct Rig {
  LiveView view;
  std::vector<std::vector<SatelliteBar>> epochs;
  NmeaLineHandler handler{
      view, [this](const std::vector<SatelliteBar>& bars) { epochs.push_back(bars); }};

  // Feeds one sentence as the receive path delivers it, with "\r\n".
  int Feed(const std::string& sentence) { return handler.OnNmeaLine((sentence + "\r\n").c_str()); }
  void FeedAll(const std::vector<std::string>& sentences) {
    for (const auto& s : sentences)
      Feed(s);
  }
  const std::string& Label(int id) const { return view.Text(id); }
};

}  // namespace nmea_test
