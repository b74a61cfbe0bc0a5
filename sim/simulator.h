// The module simulator: two pseudo-terminal pairs standing in for a cellular
// module's AT and NMEA ports. It answers the module's AT commands, streams
// the receiver's NMEA (modelled or replayed from a recording) after each
// start, shows the faults it is told to, and records the ground truth of
// every start. It runs in-process (tests) or behind `zuvek-cli sim`.
//
//   auto clock = std::make_shared<platform::ScaledClock>(50);
//   sim::Simulator simulator(clock);
//   simulator.Start(options, &error);
//   open(simulator.AtDevicePath()) ... ; simulator.Truth() ... ; simulator.Stop();
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "profiles/module_profile.h"
#include "sim/acquisition_plan.h"
#include "sim/at_responder.h"
#include "sim/control_fifo.h"
#include "sim/faults.h"
#include "sim/nmea_form.h"
#include "sim/pty_pair.h"
#include "sim/receiver_model.h"
#include "sim/replay.h"
#include "sim/truth_log.h"
#include "sim/ttff_model.h"

namespace sim {

struct SimOptions {
  std::string name = "zuvek-sim";  // links are <name>-AT and <name>-NMEA
  bool publish = true;             // publish links (and the time scale) in the ports folder
  std::string ports_folder;        // empty: platform::SimPortsFolder()
  bool echo = true;                // command echo at start (ATE0/ATE1 switch it)
  double rate_hz = 1.0;            // epochs per second, 1 to 10
  std::uint32_t seed = 1;
  TtffTable ttff;
  std::int64_t reply_delay_ms = 20;  // the module's usual reply latency
  bool gnss_on = false;              // receiver already running at start-up
  std::string truth_path;            // JSON-lines truth file; empty: none
  std::string replay_path;           // recorded NMEA to replay; empty: model
  FaultSet faults;                   // faults of every run
  FaultScript script;                // faults per run
  // The module's AT dialect; null: the default profile's.
  std::shared_ptr<const ModuleProfile> profile;
  // A module model of its own (sim/models/module_models.h), which wins over
  // `profile`; empty: the profile's dialect.
  std::string module;
  NmeaForm nmea_form;  // the modelled receiver's sentences
  // What makes the fix of a replayed capture (fix_rules/registry.h); empty:
  // the default rule. The modelled receiver's fix epoch is the same for all.
  std::string replay_fix_rule;
};

// One command as the simulator received it.
struct AtCommandRecord {
  std::string text;     // without its line end
  std::int64_t us = 0;  // clock's monotonic time at receipt
  int run = 0;
};

class Simulator {
 public:
  // The clock must move on its own (real or scaled); the tool under test
  // should use the same clock object so that truth and results compare.
  explicit Simulator(std::shared_ptr<platform::Clock> clock);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool Start(const SimOptions& options, std::string* error);
  // Stops the threads, closes the ports and removes the links and the
  // published time scale. Idempotent.
  void Stop();

  // The devices behind the ports now (new ones after a vanish fault).
  std::string AtDevicePath() const;
  std::string NmeaDevicePath() const;
  std::string AtLinkPath() const { return at_link_; }
  std::string NmeaLinkPath() const { return nmea_link_; }
  // The published time scale file (platform::SimScalePath); empty when unpublished.
  std::string ScalePath() const { return scale_path_; }
  // The control pipe beside the links (sim/control_fifo.h), "<name>.control";
  // empty when unpublished.
  std::string ControlPath() const { return control_.path(); }
  // Power cycles so far (told through the control pipe, or PowerCycle).
  int PowerCycles() const;
  // The module's power off for off_s seconds of the clock, then on again.
  void PowerCycle(double off_s);

  // Faults for run `run` (1-based) or every run, from now on.
  void SetRunFaults(int run, const FaultSet& faults);
  void SetAllFaults(const FaultSet& faults);

  std::vector<TruthRecord> Truth() const { return truth_.Records(); }
  std::vector<AtCommandRecord> Commands() const;
  bool GnssOn() const;
  int Run() const;
  // Whether a port is still there (false after a drop fault, and during
  // the gap of a vanish fault).
  bool AtPortPresent() const { return at_present_.load(); }
  bool NmeaPortPresent() const { return nmea_present_.load(); }

 private:
  struct Pending {
    std::int64_t due_us;
    std::string bytes;
    AtAction action;
    int restart_type;
  };
  struct Session {  // the receiver's current start
    int generation = 0;
    std::int64_t ok_us = 0;
    int fix_epoch = -1;
    AcquisitionPlan plan;  // the modelled receiver's phases (fix_epoch its 2D)
    std::size_t truth_index = SIZE_MAX;
    bool fixed = false;
  };

  void AtLoop();
  // Reads the control pipe until the simulator stops (simulator_control.cpp).
  void ControlLoop();
  // Under the lock: the replies now due (and how long until the next), and
  // the drop and vanish faults; false when the simulator stops.
  bool TakeDueReplies(std::vector<Pending>& due, int& wait_ms, bool& drop);
  void NmeaLoop();
  // The lines of the next epoch: the replay's, or the receiver model's with
  // its phase marks.
  struct EpochLines {
    std::vector<std::string> lines;
    int fix_line = -1;
    ReceiverModel::Marks marks;
    std::int64_t gap_us = 0;
  };
  EpochLines NextEpoch(ReceiverModel& model, int epoch);
  // The phases and the fix the epoch's lines showed, at the moments they left.
  void RecordEpochTruth(const Session& session, int generation, int epoch, const EpochLines& e,
                        const std::vector<std::int64_t>& left);
  bool LoadReplay(const SimOptions& options, std::string* error);
  // The two pseudo-terminals, and their links when published.
  bool OpenPorts(const SimOptions& options, std::string* error);
  // The module as after power-up, under the lock.
  void ResetModule(const SimOptions& options);
  void OnCommand(const std::string& command);
  void Apply(AtAction action, int restart_type, std::int64_t written_us);
  void StartReceiverLocked(std::int64_t ok_us, bool spontaneous);
  void StopReceiverLocked();
  std::int64_t PeriodUs() const;
  static void Decorate(std::vector<std::string>& lines, const FaultSet& faults);
  // Writes the epoch; returns the clock's time right after each line left
  // (the same for all of a burst); empty when the port is gone.
  std::vector<std::int64_t> WriteEpoch(const std::vector<std::string>& lines, bool split_crlf);
  // The vanish fault, on the thread that owns the port: renews it when a
  // vanish began since `seen`, publishes it again once the gap is over.
  void FollowVanish(PtyPair& pty, std::string& device, const std::string& link,
                    std::atomic<bool>& present, int& seen, bool& hidden);

  std::shared_ptr<platform::Clock> clock_;
  SimOptions options_;
  std::optional<ReplayCapture> replay_;
  PtyPair at_pty_;
  PtyPair nmea_pty_;
  std::string at_path_, nmea_path_, at_link_, nmea_link_;
  std::string scale_path_;  // the published time scale; empty when not published
  AtResponder responder_;
  TruthLog truth_;
  std::atomic<bool> at_present_{false};
  std::atomic<bool> nmea_present_{false};

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  bool stop_ = false;
  bool running_ = false;
  FaultScript script_;
  FaultSet run_faults_;
  int run_ = 0;
  bool started_in_run_ = false;
  bool gnss_on_ = false;
  int next_restart_type_ = kRestartHot;
  bool next_assisted_ = false;
  Session session_;
  std::unique_ptr<TtffModel> ttff_;
  std::mt19937 acquisition_rng_;  // apart from the TTFF draws, which stay as they were
  std::vector<AtCommandRecord> commands_;
  std::vector<Pending> pending_;
  int vanish_count_ = 0;             // vanishes so far
  int vanished_run_ = -1;            // the run of the last vanish
  std::int64_t vanish_back_us_ = 0;  // when the last vanish ends
  int power_cycles_ = 0;
  ControlFifo control_;

  std::thread at_thread_;
  std::thread nmea_thread_;
  std::thread control_thread_;
};

}  // namespace sim
