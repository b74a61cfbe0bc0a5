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
  NmeaLineHandler handler(view, [&](const SkyEpoch& sky) {
    for (std::size_t i = 0; i < sky.bars.size(); ++i) {
      const SatelliteBar& b = sky.bars[i];
      if (b.snr <= 0)
        std::abort();  // bars without signal are never drawn
      if (!sky.per_signal && (b.system < 0 || b.system > 6 || b.signal != kNoSignal))
        std::abort();  // the classic bars: the chart's seven codes
      for (std::size_t j = 0; sky.per_signal && j < i; ++j) {
        const SatelliteBar& a = sky.bars[j];
        if (a.system == b.system && a.prn == b.prn && a.signal == b.signal)
          std::abort();  // one bar per satellite and signal
      }
    }
    bars_seen += sky.bars.size();
  });
  const std::string text(reinterpret_cast<const char*>(data), size);
  FeedLines(text, handler);
  handler.OnClearSatellites();
  handler.ResetAtRunEnd();
  return 0;
}
