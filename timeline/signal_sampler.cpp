#include "timeline/signal_sampler.h"

#include <algorithm>
#include <functional>

namespace timeline {

namespace {

std::uint32_t TalkerCode(std::string_view talker) {
  return talker.size() == 2
             ? (static_cast<std::uint32_t>(static_cast<unsigned char>(talker[0])) << 8) |
                   static_cast<unsigned char>(talker[1])
             : 0;
}

// The constellation a GSA's satellites belong to: its NMEA 4.10 system ID,
// else its talker, else (GN without ID) the PRN range the any-talker view
// uses: GPS 1-64 (with SBAS), GLONASS 65-96, QZSS 193-200, BeiDou 201-237
// and 401-437, Galileo 301-336.
int GsaSystem(int system_id, std::string_view talker, int prn) {
  if (system_id >= 1 && system_id <= 6)
    return system_id;
  if (talker == "GP")
    return 1;
  if (talker == "GL")
    return 2;
  if (talker == "GA")
    return 3;
  if (talker == "GB" || talker == "BD")
    return 4;
  if (talker == "GQ" || talker == "QZ")
    return 5;
  if (talker == "GI")
    return 6;
  if (prn >= 65 && prn <= 96)
    return 2;
  if (prn >= 193 && prn <= 200)
    return 5;
  if ((prn >= 201 && prn <= 237) || (prn >= 401 && prn <= 437))
    return 4;
  if (prn >= 301 && prn <= 336)
    return 3;
  return 1;
}

}  // namespace

double SkySample::SnrMean() const {
  if (snr_count == 0)
    return 0.0;
  double sum = 0;
  for (int i = 0; i < snr_count; ++i)
    sum += snr[static_cast<std::size_t>(i)];
  return sum / snr_count;
}

LineFacts SignalSampler::Feed(SentenceCursor s) {
  LineFacts facts;
  const std::string_view type = s.Type();
  if (type == "RMC") {
    facts.rmc = true;
  } else if (type == "GSV") {
    const int before = tracked_count_;
    FeedGsv(s);
    facts.tracked = tracked_count_ > before;
  } else if (type == "GSA") {
    facts.gsa_mode = FeedGsa(s);
  } else if (type == "GGA") {
    // $GPGGA,time,lat,N,lon,E,quality,used,HDOP,...  field 7: satellites in use
    std::string_view f;
    for (int i = 1; i <= 7 && s.Next(f); ++i) {
      if (i == 7 && FieldNumber(f) >= 0)
        gga_used_ = FieldNumber(f);
    }
  }
  return facts;
}

void SignalSampler::FeedGsv(SentenceCursor& s) {
  // $GPGSV,3,1,11,05,62,048,44,...*hh  fields: 1 messages, 2 message number,
  // 3 satellites in view, 4+4k PRN, 5+4k elevation, 6+4k azimuth, 7+4k S/N;
  // one more field: the signal ID (NMEA 4.10) or a vendor's system ID.
  std::array<std::string_view, 32> f{};
  int n = 0;
  for (std::string_view field; n < static_cast<int>(f.size()) && s.Next(field);)
    f[static_cast<std::size_t>(n++)] = field;
  epoch_gsv_ = true;
  std::uint32_t talker = TalkerCode(s.Talker());
  if (s.Talker() == "PW" && (n - 3) % 4 == 1)
    talker = (talker << 4) + static_cast<std::uint32_t>(std::max(0, FieldNumber(f[n - 1])));
  for (int i = 3; i + 3 < n; i += 4) {
    const int prn = FieldNumber(f[static_cast<std::size_t>(i)]);
    const int snr = FieldNumber(f[static_cast<std::size_t>(i + 3)]);
    if (prn < 0 || snr <= 0)
      continue;
    const std::uint32_t key = (talker << 10) + static_cast<std::uint32_t>(prn % 1024);
    auto* end = tracked_.begin() + tracked_count_;
    auto* it =
        std::find_if(tracked_.begin(), end, [key](const Tracked& t) { return t.key == key; });
    if (it != end)
      it->snr = std::max(it->snr, snr);  // another signal of the same satellite
    else if (tracked_count_ < kMaxSatellites)
      tracked_[static_cast<std::size_t>(tracked_count_++)] = {key, snr};
  }
}

int SignalSampler::FeedGsa(SentenceCursor& s) {
  // $GNGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3,1*hh  fields: 1 mode, 2 fix type,
  // 3-14 satellites in use, 15 PDOP, 16 HDOP, 17 VDOP, 18 system ID (4.10)
  std::array<int, 12> prns{};
  int fix_type = 0, system_id = 0;
  std::string_view f;
  for (int i = 1; s.Next(f); ++i) {
    if (i == 2)
      fix_type = FieldNumber(f);
    else if (i >= 3 && i <= 14)
      prns[static_cast<std::size_t>(i - 3)] = FieldNumber(f);
    else if (i == 18)
      system_id = FieldNumber(f);
  }
  epoch_gsa_ = true;
  for (int prn : prns) {
    if (prn > 0)
      AddUsed(static_cast<std::uint32_t>(GsaSystem(system_id, s.Talker(), prn) * 1000 + prn));
  }
  return fix_type > 0 ? fix_type : 0;
}

void SignalSampler::AddUsed(std::uint32_t key) {
  auto* end = used_.begin() + used_count_;
  if (std::find(used_.begin(), end, key) == end && used_count_ < kMaxUsed)
    used_[static_cast<std::size_t>(used_count_++)] = key;
}

SkySample SignalSampler::Current() const {
  SkySample sample = previous_;
  if (epoch_gsv_) {
    std::array<int, kMaxSatellites> snrs{};
    for (int i = 0; i < tracked_count_; ++i)
      snrs[static_cast<std::size_t>(i)] = tracked_[static_cast<std::size_t>(i)].snr;
    const int top = std::min(tracked_count_, 4);
    std::partial_sort(snrs.begin(), snrs.begin() + top, snrs.begin() + tracked_count_,
                      std::greater<int>());
    sample.tracked = tracked_count_;
    sample.snr = {};
    sample.snr_count = top;
    std::copy(snrs.begin(), snrs.begin() + top, sample.snr.begin());
  }
  if (epoch_gsa_)
    sample.used = used_count_;
  else if (gga_used_ >= 0)
    sample.used = gga_used_;
  return sample;
}

void SignalSampler::StartEpoch(const SkySample& current) {
  previous_ = current;
  tracked_count_ = 0;
  used_count_ = 0;
  gga_used_ = -1;
  epoch_gsv_ = epoch_gsa_ = false;
}

}  // namespace timeline
