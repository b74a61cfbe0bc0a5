#include "sim/receiver_model.h"

#include <algorithm>
#include <cstdio>

#include "nmea/nmea_checksum.h"

namespace sim {

namespace {

// Base position of the simulated antenna: 48 deg 07.038' N, 11 deg 31.000' E.
constexpr int kLatDeg = 48;
constexpr double kLatMin = 7.038;
constexpr int kLonDeg = 11;
constexpr double kLonMin = 31.0;
constexpr double kAltitudeM = 520.3;
constexpr int kUsedSnr = 25;      // tracked this strongly, a satellite is in the solution
constexpr int kStartSnr = 12;     // S/N at which a satellite first shows
constexpr int kNoFixSnrCap = 20;  // without a fix the signals stay weak

std::string Format(const char* format, auto... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

bool IsSbas(int prn) {
  return prn >= 33 && prn <= 51;
}

}  // namespace

ReceiverModel::ReceiverModel(std::uint32_t seed, NmeaForm form) : form_(form), rng_(seed) {
  // Appearance order interleaves the constellations, as a receiver acquires them.
  sky_ = {
      {'P', 5, 62, 48, 44},    {'L', 67, 55, 120, 41}, {'A', 8, 48, 210, 40},
      {'P', 13, 45, 296, 42},  {'B', 6, 40, 150, 38},  {'P', 20, 35, 160, 39},
      {'L', 77, 30, 305, 37},  {'A', 26, 28, 80, 36},  {'P', 29, 25, 240, 37},
      {'Q', 193, 70, 170, 40}, {'P', 46, 30, 200, 35}, {'B', 21, 33, 60, 35},
      {'P', 2, 18, 20, 33},    {'L', 68, 20, 15, 33},  {'A', 3, 15, 330, 31},
      {'P', 15, 12, 100, 30},  {'P', 40, 22, 230, 32}, {'B', 16, 10, 280, 28},
      {'Q', 194, 12, 150, 29}, {'P', 7, 8, 260, 26},
  };
}

GeoPosition ReceiverModel::TruePosition() {
  return {kLatDeg + kLatMin / 60.0, kLonDeg + kLonMin / 60.0, kAltitudeM};
}

void ReceiverModel::Restart(const AcquisitionPlan& plan) {
  plan_ = plan;
  fix_epoch_ = plan.fix_epoch;
  lat_min_ = 0;
  lon_min_ = 0;
}

int ReceiverModel::SnrAt(int k, int appear, int target, bool blank_first) {
  if (k < appear)
    return 0;
  if (FixedAt(k)) {
    std::uniform_int_distribution<int> jitter(-1, 1);
    return target + jitter(rng_);
  }
  const int first = plan_.first_tracked_epoch;
  const int acquire = fix_epoch_ >= 0 ? std::max(fix_epoch_ - first, 1) : 30;
  const int ramp = std::max(1, first + acquire - appear);
  const double share = std::min(1.0, static_cast<double>(k - appear + 1) / ramp);
  int snr = kStartSnr + static_cast<int>((target - kStartSnr) * share);
  if (fix_epoch_ < 0)
    snr = std::min(snr, kNoFixSnrCap);
  if (k == appear && blank_first)
    snr = 0;  // seen in the almanac, not yet tracked
  return snr;
}

void ReceiverModel::AddBands(int k, int appear, int acquire, Seen& seen) {
  // Further bands come a third of the acquisition (at least two epochs)
  // after the one before; L5 a little stronger than L1, L2 weaker.
  constexpr int kOffset[] = {0, -4, 3, 1};  // by Band
  const bool sbas = seen.sat->system == 'P' && IsSbas(seen.sat->prn);
  for (std::size_t b = 1; b < form_.bands.size() && b < kMaxBands; ++b) {
    const Band band = form_.bands[b];
    if (sbas || SignalIdOf(band, seen.sat->system) < 0)
      continue;
    const int later = appear + static_cast<int>(b) * std::max(2, acquire / 3);
    seen.band_snr[b] =
        SnrAt(k, later, seen.sat->target_snr + kOffset[static_cast<int>(band)], false);
  }
}

std::vector<ReceiverModel::Seen> ReceiverModel::Visible(int k) {
  const int n = static_cast<int>(sky_.size());
  // From the first tracked epoch on the satellites show up one by one; all
  // are there by the fix.
  const int first = plan_.first_tracked_epoch;
  const int acquire = fix_epoch_ >= 0 ? std::max(fix_epoch_ - first, 1) : 30;
  std::vector<Seen> seen;
  for (int i = 0; i < n; ++i) {
    const int appear = first + i * acquire / n;
    if (k < appear)
      continue;
    const Satellite& sat = sky_[static_cast<std::size_t>(i)];
    seen.push_back({&sat, SnrAt(k, appear, sat.target_snr, i % 3 == 2)});
    if (form_.HasSignalIds())
      AddBands(k, appear, acquire, seen.back());
  }
  // In the solution: three strong satellites for a 2D fix, every strong one
  // for a 3D fix (SBAS corrects, it is not used).
  if (FixedAt(k)) {
    const int most = ThreeDAt(k) ? n : 3;
    int used = 0;
    for (Seen& s : seen) {
      if (used < most && s.snr >= kUsedSnr && !(s.sat->system == 'P' && IsSbas(s.sat->prn))) {
        s.used = true;
        ++used;
      }
    }
  }
  return seen;
}

int ReceiverModel::Prn(const Satellite& sat) const {
  if (form_.gn && !form_.HasSystemIds()) {
    if (sat.system == 'A')
      return 300 + sat.prn;
    if (sat.system == 'B')
      return 400 + sat.prn;
  }
  return sat.prn;
}

void ReceiverModel::AddGsa(std::vector<std::string>& out, const std::string& address,
                           const std::vector<Seen>& seen, const std::string& systems, int system_id,
                           int fix_type) {
  // $GNGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3,1*hh  fields: 1 mode, 2 fix type,
  // 3-14 satellites in use, 15 PDOP, 16 HDOP, 17 VDOP, 18 system ID
  std::string body = address + ",A," + std::to_string(fix_type);
  int used = 0;
  for (const Seen& s : seen) {
    if (!s.used || used == 12 || systems.find(s.sat->system) == std::string::npos)
      continue;
    body += Format(",%02d", Prn(*s.sat));
    ++used;
  }
  for (; used < 12; ++used)
    body += ",";
  body += fix_type == 3 ? ",1.6,0.9,1.3" : fix_type == 2 ? ",2.8,1.9,2.1" : ",,,";
  if (system_id > 0)
    body += Format(",%d", system_id);
  int& mark = fix_type == 3 ? marks_.gsa_3d_line : marks_.gsa_2d_line;
  if (fix_type >= 2 && mark < 0)
    mark = static_cast<int>(out.size());
  out.push_back(BuildNmeaSentence(body));
}

void ReceiverModel::AddGsv(std::vector<std::string>& out, const std::string& address,
                           const std::vector<Seen>& seen, const std::string& systems,
                           int system_id) {
  // $GPGSV,3,1,11,05,62,048,44,...*hh  fields: 1 messages, 2 message number,
  // 3 satellites in view, 4+4k PRN, 5+4k elevation, 6+4k azimuth, 7+4k S/N;
  // the vendor form adds the system ID as the last field.
  std::vector<Seen> mine;
  for (const Seen& s : seen) {
    if (systems.find(s.sat->system) != std::string::npos)
      mine.push_back(s);
  }
  const int count = static_cast<int>(mine.size());
  const int messages = std::max(1, (count + 3) / 4);
  for (int m = 0; m < messages; ++m) {
    std::string body = address + Format(",%d,%d,%02d", messages, m + 1, count);
    bool tracked = false;
    for (int i = m * 4; i < std::min(count, m * 4 + 4); ++i) {
      const Seen& s = mine[static_cast<std::size_t>(i)];
      body += Format(",%02d,%02d,%03d,", Prn(*s.sat), s.sat->elevation, s.sat->azimuth);
      if (s.snr > 0)
        body += Format("%02d", s.snr);
      tracked = tracked || s.snr > 0;
    }
    if (system_id > 0)
      body += Format(",%X", system_id);  // a signal ID is one hex digit
    if (tracked && marks_.tracked_line < 0)
      marks_.tracked_line = static_cast<int>(out.size());
    out.push_back(BuildNmeaSentence(body));
  }
}

std::vector<std::string> ReceiverModel::Epoch(int k, const platform::LocalTime& utc) {
  const bool fixed = FixedAt(k);
  const bool three_d = fixed && ThreeDAt(k);
  const int fix_type = three_d ? 3 : fixed ? 2 : 1;
  marks_ = Marks{};
  const std::vector<Seen> seen = Visible(k);
  const std::string time =
      Format("%02d%02d%02d.%03d", utc.hour, utc.minute, utc.second, utc.millisecond);
  const std::string date = Format("%02d%02d%02d", utc.day, utc.month, utc.year % 100);
  const std::string talker = form_.gn ? "GN" : "GP";
  const std::string mode = form_.HasModeField() ? (fixed ? ",A" : ",N") : "";
  std::vector<std::string> out;
  if (!fixed) {
    out.push_back(BuildNmeaSentence(talker + "RMC," + time + ",V,,,,,,," + date + ",," + mode));
    out.push_back(BuildNmeaSentence(talker + "GGA," + time + ",,,,,0,00,,,M,,M,,"));
    out.push_back(BuildNmeaSentence(talker + "VTG,,T,,M,,N,,K" + mode));
  } else {
    std::uniform_real_distribution<double> step(-0.0002, 0.0002);
    std::uniform_real_distribution<double> speed(0.0, 0.3);
    lat_min_ = std::clamp(lat_min_ + step(rng_), -0.01, 0.01);
    lon_min_ = std::clamp(lon_min_ + step(rng_), -0.01, 0.01);
    const double knots = speed(rng_);
    const std::string lat = Format("%02d%07.4f,N", kLatDeg, kLatMin + lat_min_);
    const std::string lon = Format("%03d%07.4f,E", kLonDeg, kLonMin + lon_min_);
    int used = 0;
    for (const Seen& s : seen)
      used += s.used ? 1 : 0;
    // $GPRMC,hhmmss.sss,A,ddmm.mmmm,N,dddmm.mmmm,E,knots,course,ddmmyy,,,A*hh
    out.push_back(BuildNmeaSentence(talker + "RMC," + time + ",A," + lat + "," + lon +
                                    Format(",%.1f,54.7,", knots) + date + ",," + mode));
    // $GPGGA,time,lat,N,lon,E,quality,used,HDOP,altitude,M,geoid,M,,*hh
    if (three_d) {
      out.push_back(BuildNmeaSentence(
          talker + "GGA," + time + "," + lat + "," + lon +
          Format(",1,%02d,0.9,%.1f,M,47.0,M,,", std::min(used, 12), kAltitudeM + lat_min_ * 100)));
    } else {
      out.push_back(BuildNmeaSentence(talker + "GGA," + time + ",,,,,0," + Format("%02d", used) +
                                      ",,,M,,M,,"));
    }
    // $GPVTG,course,T,,M,knots,N,km/h,K,A*hh
    out.push_back(BuildNmeaSentence(
        talker + Format("VTG,54.7,T,,M,%.1f,N,%.1f,K", knots, knots * 1.852) + mode));
  }
  if (form_.gn)
    AddGnGsaGsv(out, seen, fix_type);
  else
    AddModuleGsaGsv(out, seen, fix_type);
  return out;
}

void ReceiverModel::AddModuleGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen,
                                    int fixed) {
  const bool ids = form_.HasSystemIds();
  AddGsa(out, "GPGSA", seen, "P", ids ? 1 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "P", ids ? 1 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "L", ids ? 2 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "A", ids ? 3 : 0, fixed);
  AddGsa(out, "PWGSA", seen, "B", 4, fixed);
  AddGsa(out, "PWGSA", seen, "Q", 5, fixed);
  if (form_.HasSignalIds()) {
    AddSignalGsvs(out, seen);
    return;
  }
  AddGsv(out, "GPGSV", seen, "P", 0);
  AddGsv(out, "GLGSV", seen, "L", 0);
  AddGsv(out, "GAGSV", seen, "A", 0);
  AddGsv(out, "PWGSV", seen, "B", 4);
  AddGsv(out, "PWGSV", seen, "Q", 5);
}

void ReceiverModel::AddGnGsaGsv(std::vector<std::string>& out, const std::vector<Seen>& seen,
                                int fixed) {
  const bool ids = form_.HasSystemIds();
  const bool qzss_apart = form_.version >= 411;
  AddGsa(out, "GNGSA", seen, qzss_apart ? "P" : "PQ", ids ? 1 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "L", ids ? 2 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "A", ids ? 3 : 0, fixed);
  AddGsa(out, "GNGSA", seen, "B", ids ? 4 : 0, fixed);
  if (qzss_apart)
    AddGsa(out, "GNGSA", seen, "Q", 5, fixed);
  if (form_.HasSignalIds()) {
    AddSignalGsvs(out, seen);
    return;
  }
  AddGsv(out, "GPGSV", seen, qzss_apart ? "P" : "PQ", 0);
  AddGsv(out, "GLGSV", seen, "L", 0);
  AddGsv(out, "GAGSV", seen, "A", 0);
  AddGsv(out, "GBGSV", seen, "B", 0);
  if (qzss_apart)
    AddGsv(out, "GQGSV", seen, "Q", 0);
}

}  // namespace sim

namespace sim {

void ReceiverModel::AddSignalGsvs(std::vector<std::string>& out, const std::vector<Seen>& seen) {
  // $GPGSV,1,1,02,05,62,048,44,13,45,296,42,8*hh: the signal ID last.
  constexpr struct {
    char system;
    const char* address;
  } kTalkers[] = {{'P', "GPGSV"}, {'L', "GLGSV"}, {'A', "GAGSV"}, {'B', "GBGSV"}, {'Q', "GQGSV"}};
  for (const auto& talker : kTalkers) {
    for (std::size_t b = 0; b < form_.bands.size() && b < kMaxBands; ++b) {
      const int id = SignalIdOf(form_.bands[b], talker.system);
      if (id < 0)
        continue;
      // The first band lists every satellite in view; a further one those
      // acquired on it.
      std::vector<Seen> on_band;
      for (const Seen& s : seen) {
        if (s.sat->system != talker.system || (b > 0 && s.band_snr[b] <= 0))
          continue;
        on_band.push_back(s);
        if (b > 0)
          on_band.back().snr = s.band_snr[b];
      }
      if (!on_band.empty() || b == 0)
        AddGsv(out, talker.address, on_band, std::string(1, talker.system), id);
    }
  }
}

}  // namespace sim
