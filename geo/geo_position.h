// A position on the WGS-84 ellipsoid, and the one an NMEA sentence reports.
#pragma once

#include <optional>
#include <string>

struct GeoPosition {
  double lat_deg = 0;           // north positive
  double lon_deg = 0;           // east positive
  std::optional<double> alt_m;  // above mean sea level, when known
  bool operator==(const GeoPosition&) const = default;
};

// The position of an RMC, GGA (with its altitude) or GNS that its own fix
// rule (fix_rules/registry.h: rmc, gga, gns) takes for a fix, read from the
// line's last "$"; nothing for any other line or one without a position.
std::optional<GeoPosition> PositionOfSentence(const std::string& line);

// A whole decimal number with nothing after it, finite; false otherwise.
bool ParseDecimal(const std::string& text, double& out);

// "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere letter into signed
// degrees; nothing when the text is no coordinate.
std::optional<double> NmeaCoordinate(const std::string& value, const std::string& hemisphere);
