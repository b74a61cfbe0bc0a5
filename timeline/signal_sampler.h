// The sky of one receiver epoch as the GSV and GSA sentences tell it: how
// many satellites are tracked (S/N > 0), how many are in use, and the four
// strongest S/N values. Allocation-free: it sees every line of a run.
#pragma once

#include <array>
#include <cstdint>

#include "timeline/sentence_cursor.h"

namespace timeline {

struct SkySample {
  int tracked = 0;           // satellites with S/N > 0
  int used = 0;              // satellites in use (GSA; GGA's count when no GSA)
  std::array<int, 4> snr{};  // the strongest S/N values (dB-Hz), strongest first
  int snr_count = 0;         // how many of snr are filled
  double SnrMean() const;    // of snr; 0 when none
};

// What one line said that the timeline's moments depend on.
struct LineFacts {
  bool rmc = false;      // an RMC of any talker: a new epoch begins with it
  bool tracked = false;  // a GSV naming a satellite with S/N > 0
  int gsa_mode = 0;      // a GSA's fix type (1 none, 2 2D, 3 3D); 0 for other lines
};

class SignalSampler {
 public:
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
  void Reset() { *this = SignalSampler(); }

 private:
  struct Tracked {
    std::uint32_t key;  // talker (or vendor system ID) and PRN
    int snr;
  };
  void FeedGsv(SentenceCursor& s);
  int FeedGsa(SentenceCursor& s);
  void AddUsed(std::uint32_t key);

  static constexpr int kMaxSatellites = 128;
  static constexpr int kMaxUsed = 96;
  std::array<Tracked, kMaxSatellites> tracked_{};
  int tracked_count_ = 0;
  std::array<std::uint32_t, kMaxUsed> used_{};
  int used_count_ = 0;
  int gga_used_ = -1;  // GGA's count in this epoch; -1 none
  bool epoch_gsv_ = false, epoch_gsa_ = false;
  SkySample previous_;
};

}  // namespace timeline
