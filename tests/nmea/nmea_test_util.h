// Helpers shared by the NMEA tests.
#pragma once

#include <string>
#include <vector>

#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"

namespace nmea_test {

// A handler over its own live view that keeps every epoch it handed out.
struct Rig {
  LiveView view;
  std::vector<std::vector<SatelliteBar>> epochs;  // the bars of each
  std::vector<SkyEpoch> skies;
  NmeaLineHandler handler{view, [this](const SkyEpoch& sky) {
                            epochs.push_back(sky.bars);
                            skies.push_back(sky);
                          }};

  // Feeds one sentence as the receive path delivers it, with "\r\n".
  int Feed(const std::string& sentence) { return handler.OnNmeaLine((sentence + "\r\n").c_str()); }
  void FeedAll(const std::vector<std::string>& sentences) {
    for (const auto& s : sentences)
      Feed(s);
  }
  const std::string& Label(int id) const { return view.Text(id); }
};

}  // namespace nmea_test
