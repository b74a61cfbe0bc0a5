#include "nmea/satellites.h"

#include <utility>

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
    case kGnssNavic:
      return 'I';
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
  for (std::vector<int>& list : used_by_system_id)
    list.clear();
  had_gsv = had_gsa = false;
}

const std::vector<int>* SatelliteCollections::UsedList(int system) const {
  switch (system) {
    case kGnssGps:
      return &m_vec_gps_used;
    case kGnssGlonass:
      return &m_vec_glonass_used;
    case kGnssGalileo:
      return &m_vec_galileo_used;
    case kGnssBeidou:
      return &m_vec_beidou_used;
    case kGnssQzss:
      return &m_vec_qzss_used;
    default:
      return nullptr;
  }
}

std::vector<int>* SatelliteCollections::UsedList(int system) {
  return const_cast<std::vector<int>*>(std::as_const(*this).UsedList(system));
}
