// The simulated receiver's sentences, epoch by epoch after a start.
//
// Each epoch is "$GPRMC" first, then $GPGGA, $GPVTG, the GSA sentences
// ($GPGSA, $GNGSA with system IDs 1, 2, 3, the vendor $PWGSA with 4 and 5)
// and the GSV sentences ($GPGSV with SBAS among the GPS satellites, $GLGSV,
// $GAGSV, the vendor $PWGSV with system ID 4 or 5 as last field). Before the
// fix epoch RMC says "V" with empty position fields while satellites appear
// one by one (from the plan's first tracked epoch) with rising S/N, tracked
// before they are used; from it on RMC says "A" and the position wanders a
// little. GSA reports fix type 1 before the fix, 2 with three satellites in
// use from the fix epoch (2D), 3 with every strong one from the plan's 3D
// epoch; GGA gives its quality and altitude only with the 3D fix, as this
// modelled receiver's chipset does. That is the module's own form; another
// form (sim/nmea_form.h) changes the talkers, the GSA system IDs and the
// mode fields, never the sky or the epochs of the phases. A multi-band form
// adds each satellite's further signals some epochs after its first one,
// and sends a GSV group per constellation and signal.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geo/geo_position.h"
#include "platform/clock.h"
#include "sim/acquisition_plan.h"
#include "sim/nmea_form.h"

namespace sim {

class ReceiverModel {
 public:
  explicit ReceiverModel(std::uint32_t seed, NmeaForm form = {});

  // A new start whose first fixed epoch is fix_epoch (0-based; -1: never),
  // tracking from the first epoch and 3D at once.
  void Restart(int fix_epoch) { Restart(AcquisitionPlan::AtOnce(fix_epoch)); }
  void Restart(const AcquisitionPlan& plan);
  // The sentences of epoch k after the start, at the given UTC time.
  std::vector<std::string> Epoch(int k, const platform::LocalTime& utc);
  bool FixedAt(int k) const { return fix_epoch_ >= 0 && k >= fix_epoch_; }
  bool ThreeDAt(int k) const { return plan_.first_3d_epoch >= 0 && k >= plan_.first_3d_epoch; }
  // Which lines of the last Epoch() first showed a phase (-1: none there):
  // a GSV with a satellite at S/N > 0, a GSA of fix type 2, one of type 3.
  struct Marks {
    int tracked_line = -1;
    int gsa_2d_line = -1;
    int gsa_3d_line = -1;
  };
  const Marks& LastMarks() const { return marks_; }
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
  static constexpr int kMaxBands = 4;
  struct Seen {
    const Satellite* sat;
    int snr;            // 0: not yet tracked (empty S/N field)
    bool used = false;  // in the solution
    // The S/N of the form's further bands (index 1..; 0: not yet acquired).
    std::array<int, kMaxBands> band_snr{};
  };

  std::vector<Seen> Visible(int k);
  // The S/N at epoch k of a signal that shows from epoch `appear` on and
  // reaches `target` by the fix; 0 before it shows.
  int SnrAt(int k, int appear, int target, bool blank_first);
  // The further bands of the multi-band form.
  void AddBands(int k, int appear, int acquire, Seen& seen);
  // A GSV group per constellation and signal (the multi-band form).
  void AddSignalGsvs(std::vector<std::string>& out, const std::vector<Seen>& seen);
  // The satellite's number in this form's sentences.
  int Prn(const Satellite& sat) const;
  // fix_type: 1 none, 2 2D, 3 3D.
  void AddModuleGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen, int fix_type);
  void AddGnGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen, int fix_type);
  // system_id 0: the sentence has no system ID field.
  void AddGsa(std::vector<std::string>& out, const std::string& address,
              const std::vector<Seen>& seen, const std::string& systems, int system_id,
              int fix_type);
  void AddGsv(std::vector<std::string>& out, const std::string& address,
              const std::vector<Seen>& seen, const std::string& systems, int system_id);

  NmeaForm form_;
  std::vector<Satellite> sky_;
  std::mt19937 rng_;
  int fix_epoch_ = -1;
  AcquisitionPlan plan_;
  Marks marks_;
  double lat_min_ = 0;  // offset of the position in minutes of arc
  double lon_min_ = 0;
};

}  // namespace sim
