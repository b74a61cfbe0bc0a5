// The simulator's NMEA port: one epoch per period while the receiver runs,
// from the receiver model or from a recording, with the NMEA faults applied.
#include <poll.h>

#include <chrono>

#include "nmea/nmea_checksum.h"
#include "sim/receiver_model.h"
#include "sim/sim_time.h"
#include "sim/simulator.h"

namespace sim {

namespace {

constexpr std::size_t kBurstBytes = 1100;  // above the 1024 bytes of one read
constexpr std::size_t kOverlongLine = 300;
constexpr int kNmeaWriteTimeoutMs = 50;

// The position the fix line reports, with the altitude of the epoch's first
// sentence that gives one when the fix line does not.
std::optional<GeoPosition> FixPosition(const std::vector<std::string>& lines, int fix_line) {
  if (fix_line < 0 || fix_line >= static_cast<int>(lines.size()))
    return std::nullopt;
  std::optional<GeoPosition> p = PositionOfSentence(lines[static_cast<std::size_t>(fix_line)]);
  for (std::size_t i = 0; p && !p->alt_m && i < lines.size(); ++i) {
    if (const auto other = PositionOfSentence(lines[i]); other && other->alt_m)
      p->alt_m = other->alt_m;
  }
  return p;
}

}  // namespace

void Simulator::Decorate(std::vector<std::string>& lines, const FaultSet& faults) {
  if (faults.garbage) {
    std::string noise;
    for (int i = 0; i < 24; ++i)
      noise += static_cast<char>(0x80 + (i * 37) % 0x7f);
    lines.push_back(noise + "\r\n");
    lines.push_back(std::string(6, '\0') + BuildNmeaSentence("GPTXT,01,01,02,AFTER NUL BYTES"));
    lines.push_back(BuildNmeaSentence("GPTXT,01,01,02," + std::string(kOverlongLine, 'X')));
  }
  if (faults.burst) {
    std::size_t size = 0;
    for (const std::string& line : lines)
      size += line.size();
    for (int n = 1; size < kBurstBytes || n == 1; ++n) {
      lines.push_back(BuildNmeaSentence("GPTXT,01,01,02,BURST PADDING LINE " + std::to_string(n) +
                                        " OF THIS EPOCH"));
      size += lines.back().size();
    }
  }
}

std::vector<std::int64_t> Simulator::WriteEpoch(const std::vector<std::string>& lines,
                                                bool split_crlf) {
  if (!nmea_pty_.IsOpen())
    return {};
  if (!nmea_pty_.PeerOpen()) {
    // Sent into a line no one listens to: lost, but sent all the same.
    return std::vector<std::int64_t>(lines.size(), clock_->MonotonicUs());
  }
  if (!split_crlf) {
    // A receiver's UART sends the epoch as one burst.
    std::string bytes;
    for (const std::string& line : lines)
      bytes += line;
    nmea_pty_.Write(bytes, kNmeaWriteTimeoutMs);
    return std::vector<std::int64_t>(lines.size(), clock_->MonotonicUs());
  }
  std::vector<std::int64_t> left;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t cut = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0
                                ? line.size() - 1
                                : line.size();
    nmea_pty_.Write(std::string_view(line).substr(0, cut), kNmeaWriteTimeoutMs);
    poll(nullptr, 0, 1);  // let the reader see the CR alone
    nmea_pty_.Write(std::string_view(line).substr(cut), kNmeaWriteTimeoutMs);
    left.push_back(clock_->MonotonicUs());
  }
  return left;
}

Simulator::EpochLines Simulator::NextEpoch(ReceiverModel& model, int epoch) {
  EpochLines e;
  e.gap_us = PeriodUs();
  if (replay_) {
    const auto& epochs = replay_->Epochs();
    if (epoch < static_cast<int>(epochs.size())) {
      const ReplayEpoch& recorded = epochs[static_cast<std::size_t>(epoch)];
      e.lines = recorded.lines;
      e.fix_line = recorded.fix_line;
      e.gap_us = recorded.gap_us;
    }
  } else {
    e.lines = model.Epoch(epoch, LocalToUtc(clock_->Now(), nullptr));
    if (model.FixedAt(epoch))
      e.fix_line = 0;  // "$GPRMC" leads every epoch
    e.marks = model.LastMarks();
  }
  return e;
}

void Simulator::RecordEpochTruth(const Session& session, int generation, int epoch,
                                 const EpochLines& e, const std::vector<std::int64_t>& left) {
  auto at = [&left](int line) {
    return line >= 0 && line < static_cast<int>(left.size()) ? left[static_cast<std::size_t>(line)]
                                                             : std::int64_t{-1};
  };
  std::lock_guard lock(mutex_);
  if (session_.generation != generation || session.truth_index == SIZE_MAX)
    return;
  using Phase = TruthLog::Phase;
  for (const auto& [phase, line] : {std::pair{Phase::kFirstSnr, e.marks.tracked_line},
                                    std::pair{Phase::kFirst2d, e.marks.gsa_2d_line},
                                    std::pair{Phase::kFirst3d, e.marks.gsa_3d_line}}) {
    if (at(line) >= 0)
      truth_.SetPhase(session.truth_index, phase, at(line));
  }
  if (at(e.fix_line) >= 0)
    truth_.SetFix(session.truth_index, at(e.fix_line), epoch, FixPosition(e.lines, e.fix_line));
}

void Simulator::NmeaLoop() {
  ReceiverModel model(options_.seed * 2654435761u + 1, options_.nmea_form);
  int generation = -1;
  int epoch = 0;
  std::int64_t next_us = 0;
  int vanish_seen = 0;
  bool hidden = false;
  while (true) {
    FollowVanish(nmea_pty_, nmea_path_, nmea_link_, nmea_present_, vanish_seen, hidden);
    Session session;
    FaultSet faults;
    bool started_in_run = false;
    {
      std::unique_lock lock(mutex_);
      if (stop_)
        break;
      // A module whose NMEA output is off (a set-up it has not had) streams nothing.
      if (!gnss_on_ || !responder_.speaker().NmeaOn()) {
        wake_.wait_for(lock, std::chrono::milliseconds(50),
                       [this] { return stop_ || (gnss_on_ && responder_.speaker().NmeaOn()); });
        continue;
      }
      session = session_;
      faults = run_faults_;
      started_in_run = started_in_run_;
      if (session.generation != generation) {
        generation = session.generation;
        epoch = 0;
        next_us = session.ok_us + PeriodUs();
        model.Restart(session.plan);
      }
      if (clock_->MonotonicUs() < next_us) {
        const int ms = std::max(1, RealMsUntil(*clock_, next_us, 50));
        wake_.wait_for(lock, std::chrono::milliseconds(ms),
                       [this, generation] { return stop_ || session_.generation != generation; });
        continue;
      }
    }
    const std::int64_t now = clock_->MonotonicUs();
    if (nmea_present_ && faults.drop_nmea_s >= 0 && started_in_run &&
        now >= session.ok_us + static_cast<std::int64_t>(faults.drop_nmea_s * 1e6)) {
      nmea_present_ = false;
      nmea_pty_.Close();  // the modem fell off the bus
    }
    EpochLines e = NextEpoch(model, epoch);
    if (!e.lines.empty()) {
      Decorate(e.lines, faults);  // appends only: the marks stay true
      const std::vector<std::int64_t> left = WriteEpoch(e.lines, faults.split_crlf);
      RecordEpochTruth(session, generation, epoch, e, left);
    }
    ++epoch;
    next_us += e.gap_us;
  }
}

}  // namespace sim
