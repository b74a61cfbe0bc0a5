// How far a fix lies from the reference position: the geodesic distance on
// the WGS-84 ellipsoid (GeographicLib), and with both altitudes known the
// 3D error, the horizontal and vertical errors put together.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/geo_position.h"

struct PositionError {
  double horizontal_m = 0;
  std::optional<double> error_3d_m;  // when both altitudes are known
};

PositionError ErrorBetween(const GeoPosition& fix, const GeoPosition& reference);

// The reference of a test: a given position, or "auto", the median of the
// positions the runs reported after their fixes.
struct ReferenceChoice {
  bool automatic = false;
  GeoPosition position;  // when not automatic
};

// "LAT,LON[,ALT]" in decimal degrees (north and east positive) and metres,
// or "auto"; nothing with a sentence in `error` for anything else.
std::optional<ReferenceChoice> ParseReference(const std::string& text, std::string* error);

// The median of each coordinate (latitude, longitude, and the altitude of
// those that have one); nothing for no positions. Good for a bench antenna:
// the spread of the positions is metres, far from any wrap of the longitude.
std::optional<GeoPosition> MedianPosition(std::vector<GeoPosition> positions);
