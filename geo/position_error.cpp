#include "geo/position_error.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

}  // namespace

PositionError ErrorBetween(const GeoPosition& fix, const GeoPosition& reference) {
  double distance = 0;
  GeographicLib::Geodesic::WGS84().Inverse(reference.lat_deg, reference.lon_deg, fix.lat_deg,
                                           fix.lon_deg, distance);
  PositionError e{distance, std::nullopt};
  if (fix.alt_m && reference.alt_m)
    e.error_3d_m = std::hypot(distance, *fix.alt_m - *reference.alt_m);
  return e;
}

std::optional<ReferenceChoice> ParseReference(const std::string& text, std::string* error) {
  if (text == "auto")
    return ReferenceChoice{true, {}};
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t comma; (comma = text.find(',', from)) != std::string::npos; from = comma + 1)
    parts.push_back(text.substr(from, comma - from));
  parts.push_back(text.substr(from));
  double v[3] = {0, 0, 0};
  bool ok = parts.size() == 2 || parts.size() == 3;
  for (std::size_t i = 0; ok && i < parts.size(); ++i)
    ok = ParseDecimal(parts[i], v[i]);
  if (!ok || std::fabs(v[0]) > 90.0 || std::fabs(v[1]) > 180.0) {
    if (error)
      *error =
          "the reference must be LAT,LON[,ALT] in decimal degrees (latitude -90 to 90, "
          "longitude -180 to 180) and metres, or auto; not '" +
          text + "'";
    return std::nullopt;
  }
  ReferenceChoice r;
  r.position = {v[0], v[1], parts.size() == 3 ? std::optional<double>(v[2]) : std::nullopt};
  return r;
}

std::optional<GeoPosition> MedianPosition(std::vector<GeoPosition> positions) {
  if (positions.empty())
    return std::nullopt;
  std::vector<double> lat, lon, alt;
  for (const GeoPosition& p : positions) {
    lat.push_back(p.lat_deg);
    lon.push_back(p.lon_deg);
    if (p.alt_m)
      alt.push_back(*p.alt_m);
  }
  GeoPosition m{Median(lat), Median(lon), std::nullopt};
  if (!alt.empty())
    m.alt_m = Median(alt);
  return m;
}
