#include "geo/geo_position.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "nmea/split_fields.h"

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
  const auto dollar = line.rfind('$');
  if (dollar == std::string::npos || line.size() < dollar + 7)
    return std::nullopt;
  std::string body = line.substr(dollar);
  if (const auto star = body.find('*'); star != std::string::npos)
    body.erase(star);
  while (!body.empty() && (body.back() == '\r' || body.back() == '\n'))
    body.pop_back();
  std::vector<std::string> f;
  SplitNmeaFields(f, body);
  const std::string type = f[0].size() == 6 ? f[0].substr(3) : "";
  std::size_t lat = 0;
  std::size_t alt = 0;
  if (type == "RMC" && f.size() > 6 && f[2] == "A") {
    lat = 3;
  } else if (type == "GGA" && f.size() > 9 && f[6].size() == 1 && f[6][0] >= '1' &&
             f[6][0] <= '5') {
    lat = 2;
    alt = 9;
  } else if (type == "GNS" && f.size() > 9 && !f[6].empty() &&
             f[6].find_first_not_of('N') != std::string::npos) {
    lat = 2;
    alt = 9;
  } else {
    return std::nullopt;
  }
  const auto la = NmeaCoordinate(f[lat], f[lat + 1]);
  const auto lo = NmeaCoordinate(f[lat + 2], f[lat + 3]);
  if (!la || !lo)
    return std::nullopt;
  GeoPosition p{*la, *lo, std::nullopt};
  double a = 0;
  if (alt > 0 && ParseDecimal(f[alt], a))
    p.alt_m = a;
  return p;
}
