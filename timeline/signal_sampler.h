// The sky of one receiver epoch as the GSV and GSA sentences tell it: how
// many satellites are tracked (S/N > 0), how many are in use, and the four
// strongest S/N values, over every signal and per signal a receiver names
// (NMEA 4.11); and the satellites themselves, where they stand. No
// allocation after construction: it sees every line of a run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "nmea/sky_epoch.h"
#include "timeline/sentence_cursor.h"

namespace timeline {

// The strongest S/N values of a set of satellites.
struct TopSnr {
  std::array<int, 4> snr{};  // strongest first
  int snr_count = 0;         // how many of snr are filled
  void Add(int value);
  double Mean() const;  // 0 when none
};

// One signal of one constellation in an epoch.
struct SignalSample {
  int system = kGnssOther;  // GnssSystem, GPS PRNs 33..51 as SBAS
  int signal = kNoSignal;   // NMEA 4.11 signal ID
  int tracked = 0;          // satellites with S/N > 0 on it
  int used = 0;             // of those, in use
  TopSnr top;
};

struct SkySample {
  int tracked = 0;           // satellites with S/N > 0
  int used = 0;              // satellites in use (GSA; GGA's count when no GSA)
  std::array<int, 4> snr{};  // the strongest S/N values (dB-Hz), strongest first
  int snr_count = 0;         // how many of snr are filled
  double SnrMean() const;    // of snr; 0 when none
  // Per signal the GSV sentences named, by constellation and signal ID; none
  // for a receiver that names no signal.
  static constexpr int kMaxSignals = 24;
  std::array<SignalSample, kMaxSignals> per_signal{};
  int per_signal_count = 0;
};

// What one line said that the timeline's moments depend on.
struct LineFacts {
  bool rmc = false;      // an RMC of any talker: a new epoch begins with it
  bool tracked = false;  // a GSV naming a satellite with S/N > 0
  int gsa_mode = 0;      // a GSA's fix type (1 none, 2 2D, 3 3D); 0 for other lines
};

class SignalSampler {
 public:
  SignalSampler();

  // Takes the satellites of one sentence into the epoch in progress.
  LineFacts Feed(SentenceCursor sentence);
  // Ends the epoch in progress: the next lines begin a new one. An epoch
  // without GSV keeps the previous epoch's tracked satellites, one without
  // GSA or GGA its count in use (receivers that send GSV every few epochs).
  void StartEpoch() { StartEpoch(Current()); }
  // The same, given what Current() gives now.
  void StartEpoch(const SkySample& current);
  // The epoch so far, with what it lacks taken from the previous one.
  SkySample Current() const;
  // The satellites in view of the epoch so far (the previous epoch's when it
  // has no GSV yet), with their use.
  void Satellites(std::vector<SkySatellite>& out) const;
  void Reset();

 private:
  struct Seen {
    std::uint32_t key;  // talker (or vendor system ID) and PRN
    int snr;            // the strongest of its signals
    int system_id;      // NMEA system ID its GSA uses
    SkySatellite sky;
  };
  void FeedGsv(SentenceCursor& s, LineFacts& facts);
  int FeedGsa(SentenceCursor& s);
  void AddUsed(std::uint32_t key);
  bool IsUsed(const Seen& seen) const;
  const std::vector<Seen>& SeenNow() const { return epoch_gsv_ ? seen_ : previous_seen_; }

  static constexpr std::size_t kMaxSatellites = 128;
  static constexpr int kMaxUsed = 96;
  std::vector<Seen> seen_, previous_seen_;  // room for kMaxSatellites, swapped
  std::array<std::uint32_t, kMaxUsed> used_{};
  int used_count_ = 0;
  std::array<std::uint32_t, kMaxUsed> previous_used_{};
  int previous_used_count_ = 0;
  int gga_used_ = -1;  // GGA's count in this epoch; -1 none
  bool epoch_gsv_ = false, epoch_gsa_ = false;
  SkySample previous_;
};

}  // namespace timeline
