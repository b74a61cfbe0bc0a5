// The GSV parser on one arbitrary sentence.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "nmea/gsv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);  // cut at a NUL
  std::vector<SatelliteInfo> sats;
  ParseGsvSentence(line.c_str(), sats);
  for (const auto& s : sats) {
    if (s.prn == 0)
      std::abort();  // a PRN of 0 is never kept
  }
  // Every satellite takes four fields: never more satellites than commas / 4.
  std::size_t commas = 0;
  for (char c : line)
    commas += c == ',';
  if (sats.size() > commas / 4 + 1)
    std::abort();
  return 0;
}
