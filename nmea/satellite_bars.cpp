#include "nmea/satellite_bars.h"

#include <algorithm>

namespace {

int Contains(const std::vector<int>& list, int prn) {
  return std::find(list.begin(), list.end(), prn) != list.end() ? 1 : 0;
}

}  // namespace

bool IsSbasPrn(int prn) {
  // 33..51 as one unsigned compare: negative PRNs wrap far above 18.
  return static_cast<unsigned>(prn) - 33u <= 18u;
}

void BuildSatelliteBars(std::vector<SatelliteBar>& bars, const std::vector<int>& gps_used,
                        const std::vector<int>& glonass_used, const std::vector<int>& galileo_used,
                        const std::vector<int>& beidou_used, const std::vector<int>& qzss_used,
                        const std::vector<SatelliteInfo>& satellites) {
  bars.clear();
  for (const SatelliteInfo& sat : satellites) {
    SatelliteBar bar{0, sat.system, sat.snr, sat.prn};
    switch (sat.system) {
      case kGnssGps:
        bar.used = Contains(gps_used, sat.prn);
        if (IsSbasPrn(sat.prn))
          bar.system = kGnssSbas;
        break;
      case kGnssGlonass:
        bar.used = Contains(glonass_used, sat.prn);
        break;
      case kGnssGalileo:
        bar.used = Contains(galileo_used, sat.prn);
        break;
      case kGnssBeidou:
        bar.used = Contains(beidou_used, sat.prn);
        break;
      case kGnssQzss:
        bar.used = Contains(qzss_used, sat.prn);
        break;
      default:
        bar.system = kGnssOther;
        break;
    }
    if (bar.snr > 0)
      bars.push_back(bar);
  }
}
