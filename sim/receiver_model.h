// The simulated receiver's sentences, epoch by epoch after a start.
//
// Each epoch is "$GPRMC" first, then $GPGGA, $GPVTG, the GSA sentences
// ($GPGSA, $GNGSA with system IDs 1, 2, 3, the vendor $PWGSA with 4 and 5)
// and the GSV sentences ($GPGSV with SBAS among the GPS satellites, $GLGSV,
// $GAGSV, the vendor $PWGSV with system ID 4 or 5 as last field). Before the
// fix epoch RMC says "V" with empty position fields while satellites appear
// one by one with rising S/N; from it on RMC says "A", the position wanders a
// little and GSA reports fix type 3 with the satellites in use. That is the
// module's own form; another form (sim/nmea_form.h) changes the talkers, the
// GSA system IDs and the mode fields, never the sky or the fix epoch.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geo/geo_position.h"
#include "platform/clock.h"
#include "sim/nmea_form.h"

namespace sim {

class ReceiverModel {
 public:
  explicit ReceiverModel(std::uint32_t seed, NmeaForm form = {});

  // A new start whose first fixed epoch is fix_epoch (0-based; -1: never).
  void Restart(int fix_epoch);
  // The sentences of epoch k after the start, at the given UTC time.
  std::vector<std::string> Epoch(int k, const platform::LocalTime& utc);
  bool FixedAt(int k) const { return fix_epoch_ >= 0 && k >= fix_epoch_; }
  // Where the simulated antenna is; the fixes wander a few metres about it.
  static GeoPosition TruePosition();

 private:
  struct Satellite {
    char system;  // 'P' GPS (with SBAS), 'L' GLONASS, 'A' Galileo, 'B' BeiDou, 'Q' QZSS
    int prn;
    int elevation;
    int azimuth;
    int target_snr;
  };
  struct Seen {
    const Satellite* sat;
    int snr;  // 0: not yet tracked (empty S/N field)
  };

  std::vector<Seen> Visible(int k);
  // The satellite's number in this form's sentences.
  int Prn(const Satellite& sat) const;
  void AddModuleGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen,
                       bool fixed) const;
  void AddGnGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen, bool fixed) const;
  // system_id 0: the sentence has no system ID field.
  void AddGsa(std::vector<std::string>& out, const std::string& address,
              const std::vector<Seen>& seen, const std::string& systems, int system_id,
              bool fixed) const;
  void AddGsv(std::vector<std::string>& out, const std::string& address,
              const std::vector<Seen>& seen, const std::string& systems, int system_id) const;

  NmeaForm form_;
  std::vector<Satellite> sky_;
  std::mt19937 rng_;
  int fix_epoch_ = -1;
  double lat_min_ = 0;  // offset of the position in minutes of arc
  double lon_min_ = 0;
};

}  // namespace sim
