// Positions out of NMEA sentences, the reference given by a user, the
// median of positions, and the geodesic error checked against published
// lengths of a degree on the WGS-84 ellipsoid.
#include <gtest/gtest.h>

#include <cmath>

#include "geo/position_error.h"

namespace {

TEST(GeoPosition, SentencesOfEveryTalkerGiveTheirPositionOrNone) {
  const struct {
    const char* line;
    bool has;
    double lat, lon;
    double alt;  // NAN: none
  } cases[] = {
      {"$GPRMC,120007.250,A,4807.0380,N,01131.0000,E,0.1,54.7,010324,,,A*5C\r\n", true, 48.1173,
       11.5166667, NAN},
      {"$GNRMC,000000.00,A,3347.1210,S,15112.3060,W,,,,,,A*4D", true, -33.785350, -151.205100, NAN},
      {"$GPRMC,120007.250,V,,,,,,,010324,,,N*4A", false, 0, 0, NAN},
      {"$GNGGA,120007.00,4807.0380,N,01131.0000,E,1,12,0.9,520.3,M,47.0,M,,*79", true, 48.1173,
       11.5166667, 520.3},
      {"$GPGGA,120007.00,4807.0380,N,01131.0000,E,6,12,0.9,520.3,M,47.0,M,,*60", false, 0, 0,
       NAN},  // estimated: no fix
      {"$GPGGA,120007.00,4807.0380,N,01131.0000,E,0,00,,,M,,M,,*75", false, 0, 0, NAN},
      {"$GNGNS,120007.00,4807.0380,N,01131.0000,E,AAN,15,0.9,520.3,47.0,,*1A", true, 48.1173,
       11.5166667, 520.3},
      {"$GNGNS,120007.00,4807.0380,N,01131.0000,E,NNN,00,,,,,*0E", false, 0, 0, NAN},
      {"\x7f\x01junk$GPRMC,1,A,0000.0000,N,00000.0000,E,,,,,*2C", true, 0, 0, NAN},
      {"$GPRMC,1,A,4861.0000,N,01131.0000,E,,,,,*25", false, 0, 0, NAN},  // 61 minutes
      {"$GPRMC,1,A,4807.0380,X,01131.0000,E,,,,,*38", false, 0, 0, NAN},
      {"$GPRMC,1,A,9107.0000,N,01131.0000,E,,,,,*21", false, 0, 0, NAN},
      {"$GPGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3*39", false, 0, 0, NAN},
      {"$GPRMC,1,A", false, 0, 0, NAN},
      {"", false, 0, 0, NAN},
  };
  for (const auto& c : cases) {
    const auto p = PositionOfSentence(c.line);
    ASSERT_EQ(p.has_value(), c.has) << c.line;
    if (!p)
      continue;
    EXPECT_NEAR(p->lat_deg, c.lat, 1e-6) << c.line;
    EXPECT_NEAR(p->lon_deg, c.lon, 1e-6) << c.line;
    EXPECT_EQ(p->alt_m.has_value(), !std::isnan(c.alt)) << c.line;
    if (p->alt_m) {
      EXPECT_DOUBLE_EQ(*p->alt_m, c.alt) << c.line;
    }
  }
}

// One degree of latitude (centred on the latitude) and of longitude along
// the parallel, as the published WGS-84 tables give them in metres.
TEST(GeoPosition, ErrorsMatchThePublishedLengthsOfADegree) {
  const struct {
    double lat, meridian_m, parallel_m;
  } table[] = {{0, 110574, 111320}, {15, 110649, 107551}, {30, 110852, 96486},
               {45, 111132, 78847}, {60, 111412, 55800},  {75, 111618, 28902}};
  for (const auto& t : table) {
    const double north =
        ErrorBetween({t.lat + 0.5, 0, std::nullopt}, {t.lat - 0.5, 0, std::nullopt}).horizontal_m;
    EXPECT_NEAR(north, t.meridian_m, 1.0) << t.lat;
    // The geodesic between two points of a parallel runs a little poleward
    // of it: shorter than the parallel's arc by well under 0.1 %.
    const double east =
        ErrorBetween({t.lat, 0.5, std::nullopt}, {t.lat, -0.5, std::nullopt}).horizontal_m;
    EXPECT_LE(east, t.parallel_m + 1.0) << t.lat;
    EXPECT_GT(east, t.parallel_m * 0.999) << t.lat;
  }
  // The 3D error: horizontal and vertical together, only with both altitudes.
  const PositionError e = ErrorBetween({48.0, 11.0, 530.0}, {48.0, 11.0, 520.0});
  EXPECT_NEAR(e.horizontal_m, 0.0, 1e-9);
  ASSERT_TRUE(e.error_3d_m);
  EXPECT_NEAR(*e.error_3d_m, 10.0, 1e-9);
  EXPECT_FALSE(ErrorBetween({48.0, 11.0, 530.0}, {48.0, 11.0, std::nullopt}).error_3d_m);
}

TEST(GeoPosition, ReferencesAndTheirMedian) {
  std::string why;
  const auto given = ParseReference("48.1173,-11.5,520.3", &why);
  ASSERT_TRUE(given) << why;
  EXPECT_FALSE(given->automatic);
  EXPECT_EQ(given->position, (GeoPosition{48.1173, -11.5, 520.3}));
  EXPECT_EQ(ParseReference("-33.8,151.2", &why)->position, (GeoPosition{-33.8, 151.2, {}}));
  EXPECT_TRUE(ParseReference("auto", &why)->automatic);
  for (const char* bad : {"", "48.1", "48,11,5,1", "91,0", "0,181", "48,east", "48,11,", "nan,0"}) {
    EXPECT_FALSE(ParseReference(bad, &why)) << bad;
    EXPECT_NE(why.find(std::string("not '") + bad + "'"), std::string::npos) << why;
  }

  EXPECT_FALSE(MedianPosition({}));
  const auto m =
      MedianPosition({{1, 10, 100.0}, {3, 30, std::nullopt}, {2, 50, 300.0}, {9, 20, {}}});
  ASSERT_TRUE(m);
  EXPECT_DOUBLE_EQ(m->lat_deg, 2.5);
  EXPECT_DOUBLE_EQ(m->lon_deg, 25.0);
  EXPECT_EQ(m->alt_m, 200.0) << "the altitudes of those that have one";
}

}  // namespace
