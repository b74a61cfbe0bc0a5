#include "geo/geo_position.h"

#include <cmath>
#include <cstdlib>

#include "fix_rules/registry.h"
#include "fix_rules/sentence_fields.h"

bool ParseDecimal(const std::string& text, double& out) {
  if (text.empty())
    return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(out);
}

std::optional<double> NmeaCoordinate(const std::string& value, const std::string& hemisphere) {
  double raw = 0;
  if (!ParseDecimal(value, raw) || raw < 0)
    return std::nullopt;
  const double degrees = std::floor(raw / 100.0);
  const double minutes = raw - degrees * 100.0;
  if (minutes >= 60.0)
    return std::nullopt;
  double deg = degrees + minutes / 60.0;
  if (hemisphere == "S" || hemisphere == "W")
    deg = -deg;
  else if (hemisphere != "N" && hemisphere != "E")
    return std::nullopt;
  const bool latitude = hemisphere == "N" || hemisphere == "S";
  if (std::fabs(deg) > (latitude ? 90.0 : 180.0))
    return std::nullopt;
  return deg;
}

std::optional<GeoPosition> PositionOfSentence(const std::string& line) {
  // A sentence that counts as a fix by its own rule; RMC, GGA and GNS carry
  // the position in the same four fields after a time, GGA and GNS the
  // altitude in field 9.
  static const auto rmc = fix_rules::Make("rmc");
  static const auto gga = fix_rules::Make("gga");
  static const auto gns = fix_rules::Make("gns");
  const fix_rules::Sentence s(line);
  std::size_t lat = 0;
  if (s.type == "RMC" && rmc->IsFix(line, 0))
    lat = 3;
  else if ((s.type == "GGA" && gga->IsFix(line, 0)) || (s.type == "GNS" && gns->IsFix(line, 0)))
    lat = 2;
  else
    return std::nullopt;
  const auto la = NmeaCoordinate(s.Field(lat), s.Field(lat + 1));
  const auto lo = NmeaCoordinate(s.Field(lat + 2), s.Field(lat + 3));
  if (!la || !lo)
    return std::nullopt;
  GeoPosition p{*la, *lo, std::nullopt};
  double alt = 0;
  if (lat == 2 && ParseDecimal(s.Field(9), alt))
    p.alt_m = alt;
  return p;
}
