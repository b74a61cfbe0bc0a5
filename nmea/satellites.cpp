#include "nmea/satellites.h"

char GnssLetter(int system) {
  switch (system) {
    case kGnssGlonass:
      return 'R';
    case kGnssGps:
      return 'G';
    case kGnssSbas:
      return 'S';
    case kGnssBeidou:
      return 'B';
    case kGnssGalileo:
      return 'E';
    case kGnssQzss:
      return 'Q';
    default:
      return ' ';
  }
}

void SatelliteCollections::OnClearSatellites() {
  m_vec_satellites.clear();
  m_vec_gps_used.clear();
  m_vec_glonass_used.clear();
  m_vec_galileo_used.clear();
  m_vec_beidou_used.clear();
  m_vec_qzss_used.clear();
}
