#include "timeline/signal_sampler.h"

#include <algorithm>
#include <utility>

#include "nmea/gsa_any_talker.h"
#include "nmea/satellite_bars.h"
#include "nmea/signal_ids.h"

namespace timeline {

namespace {

std::uint32_t TalkerCode(std::string_view talker) {
  return talker.size() == 2
             ? (static_cast<std::uint32_t>(static_cast<unsigned char>(talker[0])) << 8) |
                   static_cast<unsigned char>(talker[1])
             : 0;
}

// The NMEA system ID of a GSA's satellites: its own, else its talker's,
// else (GN without ID) the PRN range the any-talker view uses (GPS with
// SBAS for anything unknown).
int GsaSystem(int system_id, std::string_view talker, int prn) {
  if (system_id >= 1 && system_id <= 6)
    return system_id;
  const int system = TalkerSystem(talker);
  if (system >= 0)
    return SystemIdOfSystem(system);
  const int id = SystemIdOfSystem(GsaPrnSystem(prn));
  return id > 0 ? id : 1;
}

std::uint32_t UsedKey(int system_id, int prn) {
  return static_cast<std::uint32_t>(system_id * 1000 + prn);
}

// What a GSV sentence is about: the constellation of its satellites (-1:
// by each one's PRN), the system ID its GSA use, and its signal.
struct GsvSource {
  int system = -1;
  int system_id = 0;
  int signal = kNoSignal;
};

GsvSource SourceOf(std::string_view talker, std::string_view last, bool trailing) {
  GsvSource source;
  const int hex = trailing ? ParseHexId(last) : -1;
  if (!talker.empty() && talker[0] == 'P') {  // a vendor's: the system ID last
    source.system_id = hex > 0 ? hex : 0;
    source.system = hex > 0 ? SystemOfSystemId(hex) : kGnssOther;
    return source;
  }
  source.system = TalkerSystem(talker);
  source.system_id = source.system >= 0 ? SystemIdOfSystem(source.system) : 0;
  // telit-pls83-w.log's $BDGSV ends with BeiDou's system ID 4, no signal.
  source.signal = talker == "BD" && hex == 4 ? kNoSignal : (hex >= 0 ? hex : kNoSignal);
  return source;
}

}  // namespace

void TopSnr::Add(int value) {
  int at = snr_count < 4 ? snr_count++ : 4;
  if (at == 4) {
    if (value <= snr[3])
      return;
    at = 3;
  }
  while (at > 0 && snr[static_cast<std::size_t>(at - 1)] < value) {
    snr[static_cast<std::size_t>(at)] = snr[static_cast<std::size_t>(at - 1)];
    --at;
  }
  snr[static_cast<std::size_t>(at)] = value;
}

double TopSnr::Mean() const {
  if (snr_count == 0)
    return 0.0;
  double sum = 0;
  for (int i = 0; i < snr_count; ++i)
    sum += snr[static_cast<std::size_t>(i)];
  return sum / snr_count;
}

double SkySample::SnrMean() const {
  TopSnr top;
  top.snr = snr;
  top.snr_count = snr_count;
  return top.Mean();
}

SignalSampler::SignalSampler() {
  seen_.reserve(kMaxSatellites);
  previous_seen_.reserve(kMaxSatellites);
}

void SignalSampler::Reset() {
  seen_.clear();
  previous_seen_.clear();
  used_count_ = previous_used_count_ = 0;
  gga_used_ = -1;
  epoch_gsv_ = epoch_gsa_ = false;
  previous_ = SkySample();
}

LineFacts SignalSampler::Feed(SentenceCursor s) {
  LineFacts facts;
  const std::string_view type = s.Type();
  if (type == "RMC") {
    facts.rmc = true;
  } else if (type == "GSV") {
    FeedGsv(s, facts);
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

void SignalSampler::FeedGsv(SentenceCursor& s, LineFacts& facts) {
  // $GPGSV,3,1,11,05,62,048,44,...*hh  fields: 1 messages, 2 message number,
  // 3 satellites in view, 4+4k PRN, 5+4k elevation, 6+4k azimuth, 7+4k S/N;
  // one more field: the signal ID (NMEA 4.11) or a vendor's system ID.
  std::array<std::string_view, 32> f{};
  int n = 0;
  for (std::string_view field; n < static_cast<int>(f.size()) && s.Next(field);)
    f[static_cast<std::size_t>(n++)] = field;
  epoch_gsv_ = true;
  const bool trailing = n > 3 && (n - 3) % 4 == 1;
  const GsvSource source =
      SourceOf(s.Talker(), trailing ? f[static_cast<std::size_t>(n - 1)] : "", trailing);
  std::uint32_t talker = TalkerCode(s.Talker());
  if (s.Talker() == "PW" && trailing)
    talker = (talker << 4) + static_cast<std::uint32_t>(std::max(0, FieldNumber(f[n - 1])));
  for (int i = 3; i + 3 < n; i += 4) {
    const int prn = FieldNumber(f[static_cast<std::size_t>(i)]);
    if (prn < 0)
      continue;
    const int snr = std::max(0, FieldNumber(f[static_cast<std::size_t>(i + 3)]));
    const std::uint32_t key = (talker << 10) + static_cast<std::uint32_t>(prn % 1024);
    auto it =
        std::find_if(seen_.begin(), seen_.end(), [key](const Seen& t) { return t.key == key; });
    if (it == seen_.end()) {
      if (seen_.size() == kMaxSatellites)
        continue;
      int system = source.system >= 0 ? source.system : GsaPrnSystem(prn);
      if (system == kGnssGps && IsSbasPrn(prn))
        system = kGnssSbas;
      const int system_id = source.system_id > 0 ? source.system_id : GsaSystem(0, "GN", prn);
      it = seen_.insert(seen_.end(), Seen{key, 0, system_id, {}});
      it->sky.system = system;
      it->sky.prn = prn;
    }
    it->snr = std::max(it->snr, snr);  // another signal of the same satellite
    if (const int el = FieldNumber(f[static_cast<std::size_t>(i + 1)]); el >= 0)
      it->sky.elevation = el;
    if (const int az = FieldNumber(f[static_cast<std::size_t>(i + 2)]); az >= 0)
      it->sky.azimuth = az;
    it->sky.SetSignal(source.signal, snr);
    facts.tracked = facts.tracked || snr > 0;
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
      AddUsed(UsedKey(GsaSystem(system_id, s.Talker(), prn), prn));
  }
  return fix_type > 0 ? fix_type : 0;
}

void SignalSampler::AddUsed(std::uint32_t key) {
  auto* end = used_.begin() + used_count_;
  if (std::find(used_.begin(), end, key) == end && used_count_ < kMaxUsed)
    used_[static_cast<std::size_t>(used_count_++)] = key;
}

bool SignalSampler::IsUsed(const Seen& seen) const {
  const auto& used = epoch_gsa_ ? used_ : previous_used_;
  const int count = epoch_gsa_ ? used_count_ : previous_used_count_;
  const auto holds = [&](int prn) {
    return std::find(used.begin(), used.begin() + count, UsedKey(seen.system_id, prn)) !=
           used.begin() + count;
  };
  const int prn = seen.sky.prn;
  // The numberings of GSV and GSA may differ (nmea/sky_epoch.h).
  if (holds(prn))
    return true;
  if (seen.sky.system == kGnssBeidou && prn < 100)
    return holds(prn + 200) || holds(prn + 400);
  return seen.sky.system == kGnssGalileo && prn < 100 && holds(prn + 300);
}

SkySample SignalSampler::Current() const {
  SkySample sample = previous_;
  if (epoch_gsv_) {
    TopSnr top;
    int tracked = 0;
    for (const Seen& t : seen_) {
      if (t.snr > 0) {
        ++tracked;
        top.Add(t.snr);
      }
    }
    sample.tracked = tracked;
    sample.snr = top.snr;
    sample.snr_count = top.snr_count;
  }
  if (epoch_gsa_)
    sample.used = used_count_;
  else if (gga_used_ >= 0)
    sample.used = gga_used_;
  if (!epoch_gsv_ && !epoch_gsa_)
    return sample;
  sample.per_signal_count = 0;
  for (const Seen& t : SeenNow()) {
    const bool used = IsUsed(t);
    for (int i = 0; i < t.sky.level_count; ++i) {
      const SignalLevel& level = t.sky.levels[static_cast<std::size_t>(i)];
      if (level.signal == kNoSignal || level.snr <= 0)
        continue;
      auto* end = sample.per_signal.begin() + sample.per_signal_count;
      auto* it = std::find_if(sample.per_signal.begin(), end, [&](const SignalSample& s) {
        return s.system == t.sky.system && s.signal == level.signal;
      });
      if (it == end) {
        if (sample.per_signal_count == SkySample::kMaxSignals)
          continue;
        ++sample.per_signal_count;
        *it = SignalSample{t.sky.system, level.signal, 0, 0, {}};
      }
      ++it->tracked;
      it->used += used ? 1 : 0;
      it->top.Add(level.snr);
    }
  }
  std::sort(sample.per_signal.begin(), sample.per_signal.begin() + sample.per_signal_count,
            [](const SignalSample& a, const SignalSample& b) {
              const int ra = ConstellationRank(a.system), rb = ConstellationRank(b.system);
              return ra != rb ? ra < rb
                              : SignalRank(a.system, a.signal) < SignalRank(b.system, b.signal);
            });
  return sample;
}

void SignalSampler::Satellites(std::vector<SkySatellite>& out) const {
  out.clear();
  for (const Seen& t : SeenNow()) {
    out.push_back(t.sky);
    out.back().used = IsUsed(t);
  }
  std::stable_sort(out.begin(), out.end(), [](const SkySatellite& a, const SkySatellite& b) {
    const int ra = ConstellationRank(a.system), rb = ConstellationRank(b.system);
    return ra != rb ? ra < rb : a.prn < b.prn;
  });
}

void SignalSampler::StartEpoch(const SkySample& current) {
  previous_ = current;
  if (epoch_gsv_)
    std::swap(seen_, previous_seen_);
  if (epoch_gsa_) {
    previous_used_ = used_;
    previous_used_count_ = used_count_;
  }
  seen_.clear();
  used_count_ = 0;
  gga_used_ = -1;
  epoch_gsv_ = epoch_gsa_ = false;
}

}  // namespace timeline
