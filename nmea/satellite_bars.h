// One bar of the satellite signal chart.
#pragma once

#include <cstdint>

struct SatelliteBar {
  std::int32_t used;
  std::int32_t system;
  std::int32_t snr;
  std::int32_t prn;
};
