// The NMEA line handler with all its decoders: the input is cut into lines
// at "\n" (each given the receive path's "\r\n"), as a capture would arrive.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/feed_lines.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LiveView view;
  std::size_t bars_seen = 0;
  NmeaLineHandler handler(view, [&](const std::vector<SatelliteBar>& bars) {
    for (const auto& b : bars) {
      if (b.snr <= 0)
        std::abort();  // bars without signal are never drawn
      if (b.system < 0 || b.system > 6)
        std::abort();
    }
    bars_seen += bars.size();
  });
  const std::string text(reinterpret_cast<const char*>(data), size);
  FeedLines(text, handler);
  handler.OnClearSatellites();
  handler.ResetAtRunEnd();
  return 0;
}
