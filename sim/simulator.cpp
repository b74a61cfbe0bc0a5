#include "sim/simulator.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "fix_rules/registry.h"
#include "platform/sim_ports.h"
#include "sim/models/module_models.h"
#include "sim/receiver_model.h"
#include "sim/sim_time.h"

namespace sim {

Simulator::Simulator(std::shared_ptr<platform::Clock> clock) : clock_(std::move(clock)) {}

Simulator::~Simulator() {
  Stop();
}

bool Simulator::Start(const SimOptions& options, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error)
      *error = why;
    return false;
  };
  if (running_)
    return fail("the simulator is already running");
  if (!clock_)
    return fail("no clock");
  if (!(options.rate_hz >= 1.0 && options.rate_hz <= 10.0))
    return fail("rate must be 1 to 10 Hz");
  options_ = options;
  if (!LoadReplay(options, error))
    return false;
  truth_.Reset();
  if (!options.truth_path.empty() && !truth_.Open(options.truth_path)) {
    return fail("cannot write the truth file " + options.truth_path);
  }
  std::shared_ptr<const ModuleSpeaker> speaker =
      options.module.empty()
          ? std::make_shared<AtDialect>(options.profile ? *options.profile : DefaultProfile())
          : MakeModuleModel(options.module);
  if (!speaker)
    return fail("no module model \"" + options.module + "\"");
  if (!OpenPorts(options, error))
    return false;
  responder_ = AtResponder(options.echo, std::move(speaker));
  ResetModule(options);
  at_present_ = true;
  nmea_present_ = true;
  at_thread_ = std::thread([this] { AtLoop(); });
  nmea_thread_ = std::thread([this] { NmeaLoop(); });
  if (!control_.path().empty())
    control_thread_ = std::thread([this] { ControlLoop(); });
  return true;
}

bool Simulator::LoadReplay(const SimOptions& options, std::string* error) {
  replay_.reset();
  if (options.replay_path.empty())
    return true;
  if (!fix_rules::IsKnown(options.replay_fix_rule) && !options.replay_fix_rule.empty()) {
    if (error)
      *error = "unknown fix rule \"" + options.replay_fix_rule +
               "\"; known: " + fix_rules::KnownNamesText();
    return false;
  }
  const std::unique_ptr<FixRule> rule = fix_rules::Make(options.replay_fix_rule);
  replay_ = ReplayCapture::Load(options.replay_path, error, rule.get());
  return replay_.has_value();
}

bool Simulator::OpenPorts(const SimOptions& options, std::string* error) {
  if (!at_pty_.Open(error) || !nmea_pty_.Open(error)) {
    at_pty_.Close();
    return false;
  }
  at_path_ = at_pty_.device_path();
  nmea_path_ = nmea_pty_.device_path();
  at_link_.clear();
  nmea_link_.clear();
  if (!options.publish)
    return true;
  const std::string folder =
      options.ports_folder.empty() ? platform::SimPortsFolder() : options.ports_folder;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!at_pty_.Publish(folder + "/" + options.name + "-AT", error) ||
      !nmea_pty_.Publish(folder + "/" + options.name + "-NMEA", error)) {
    at_pty_.Close();
    nmea_pty_.Close();
    return false;
  }
  at_link_ = at_pty_.link_path();
  nmea_link_ = nmea_pty_.link_path();
  // Beside the links: the clock's speed, for the tool that opens them.
  scale_path_ = platform::SimScalePath(folder, options.name);
  if (!platform::PublishSimScale(scale_path_, clock_->Scale(), error) ||
      !control_.Open(folder + "/" + options.name + ".control", error)) {
    control_.Close();
    scale_path_.clear();
    at_pty_.Close();
    nmea_pty_.Close();
    return false;
  }
  return true;
}

void Simulator::ResetModule(const SimOptions& options) {
  std::lock_guard lock(mutex_);
  ttff_ = std::make_unique<TtffModel>(options.ttff, options.seed);
  acquisition_rng_.seed(options.seed * 40503u + 7);
  script_ = options.script;
  run_ = 0;
  run_faults_ = options.faults;
  run_faults_.Merge(script_.ForRun(1));
  started_in_run_ = false;
  gnss_on_ = false;
  next_restart_type_ = kRestartHot;
  next_assisted_ = false;
  session_ = Session{};
  commands_.clear();
  pending_.clear();
  vanish_count_ = 0;
  vanished_run_ = -1;
  power_cycles_ = 0;
  if (options.gnss_on)
    StartReceiverLocked(clock_->MonotonicUs(), true);
  stop_ = false;
  running_ = true;
}

void Simulator::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!running_)
      return;
    stop_ = true;
  }
  wake_.notify_all();
  if (at_thread_.joinable())
    at_thread_.join();
  if (nmea_thread_.joinable())
    nmea_thread_.join();
  if (control_thread_.joinable())
    control_thread_.join();
  control_.Close();
  truth_.CloseAll();
  at_pty_.Close();
  nmea_pty_.Close();
  if (!scale_path_.empty())
    platform::RemoveSimScale(scale_path_);
  scale_path_.clear();
  at_present_ = false;
  nmea_present_ = false;
  std::lock_guard lock(mutex_);
  running_ = false;
}

void Simulator::SetRunFaults(int run, const FaultSet& faults) {
  std::lock_guard lock(mutex_);
  script_.Set(run, faults);
  if (run == std::max(run_, 1)) {
    run_faults_ = options_.faults;
    run_faults_.Merge(script_.ForRun(run));
  }
}

void Simulator::SetAllFaults(const FaultSet& faults) {
  std::lock_guard lock(mutex_);
  script_.SetAll(faults);
  run_faults_ = options_.faults;
  run_faults_.Merge(script_.ForRun(std::max(run_, 1)));
}

std::string Simulator::AtDevicePath() const {
  std::lock_guard lock(mutex_);
  return at_path_;
}

std::string Simulator::NmeaDevicePath() const {
  std::lock_guard lock(mutex_);
  return nmea_path_;
}

void Simulator::FollowVanish(PtyPair& pty, std::string& device, const std::string& link,
                             std::atomic<bool>& present, int& seen, bool& hidden) {
  int count = 0;
  std::int64_t back_us = 0;
  {
    std::lock_guard lock(mutex_);
    count = vanish_count_;
    back_us = vanish_back_us_;
  }
  if (count != seen) {
    seen = count;
    present = false;
    std::string error;
    pty.Renew(&error);  // the old device and its link are gone now
    std::lock_guard lock(mutex_);
    device = pty.device_path();
    hidden = true;
  }
  if (hidden && clock_->MonotonicUs() >= back_us) {
    hidden = false;
    std::string error;
    if (!link.empty() && pty.IsOpen() && pty.Publish(link, &error))
      present = true;
  }
}

std::vector<AtCommandRecord> Simulator::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

bool Simulator::GnssOn() const {
  std::lock_guard lock(mutex_);
  return gnss_on_;
}

int Simulator::Run() const {
  std::lock_guard lock(mutex_);
  return run_;
}

std::int64_t Simulator::PeriodUs() const {
  return static_cast<std::int64_t>(1e6 / std::clamp(options_.rate_hz, 1.0, 10.0));
}

bool Simulator::TakeDueReplies(std::vector<Pending>& due, int& wait_ms, bool& drop) {
  std::lock_guard lock(mutex_);
  if (stop_)
    return false;
  const std::int64_t now = clock_->MonotonicUs();
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->due_us <= now) {
      due.push_back(std::move(*it));
      it = pending_.erase(it);
    } else {
      wait_ms = std::min(wait_ms, RealMsUntil(*clock_, it->due_us, 20));
      ++it;
    }
  }
  drop = at_present_ && run_faults_.drop_at_s >= 0 && started_in_run_ &&
         now >= session_.ok_us + static_cast<std::int64_t>(run_faults_.drop_at_s * 1e6);
  if (run_faults_.vanish_after_s >= 0 && started_in_run_ && vanished_run_ != run_ &&
      now >= session_.ok_us + static_cast<std::int64_t>(run_faults_.vanish_after_s * 1e6)) {
    // The module resets: its ports go, its receiver stops, what it was
    // about to say is lost.
    vanished_run_ = run_;
    ++vanish_count_;
    vanish_back_us_ = now + static_cast<std::int64_t>(run_faults_.vanish_for_s * 1e6);
    StopReceiverLocked();
    responder_.speaker().ForgetSetup();  // a model's NMEA output, say
    pending_.clear();
    due.clear();
  }
  return true;
}

void Simulator::AtLoop() {
  char buffer[1024];
  int vanish_seen = 0;
  bool hidden = false;
  while (true) {
    int wait_ms = 20;
    bool drop = false;
    std::vector<Pending> due;
    if (!TakeDueReplies(due, wait_ms, drop))
      break;
    FollowVanish(at_pty_, at_path_, at_link_, at_present_, vanish_seen, hidden);
    for (const Pending& item : due) {
      if (at_pty_.PeerOpen())
        at_pty_.Write(item.bytes);
      if (item.action != AtAction::kNone)
        Apply(item.action, item.restart_type, clock_->MonotonicUs());
    }
    if (drop) {
      at_present_ = false;
      at_pty_.Close();  // the modem fell off the bus
    }
    if (!at_pty_.IsOpen()) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stop_; });
      continue;
    }
    pollfd p{at_pty_.master(), POLLIN, 0};
    if (poll(&p, 1, std::max(wait_ms, 1)) <= 0)
      continue;
    if (p.revents & POLLIN) {
      const long n = at_pty_.Read(buffer, sizeof buffer);
      if (n > 0) {
        for (const std::string& command :
             responder_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) {
          OnCommand(command);
        }
        continue;
      }
    }
    if (p.revents & (POLLHUP | POLLERR)) {
      // No one has the port open: look again shortly instead of spinning.
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop_; });
    }
  }
}

void Simulator::OnCommand(const std::string& command) {
  const std::int64_t now = clock_->MonotonicUs();
  const platform::LocalTime local = clock_->Now();
  int offset_minutes = 0;
  LocalToUtc(local, &offset_minutes);
  const std::string upper = UpperCase(command);
  std::lock_guard lock(mutex_);
  // A state query after a start opens the next run of the tool's test (a
  // dialect without a query: the first command after a start).
  const ModuleSpeaker& speaker = responder_.speaker();
  if ((speaker.HasQuery() ? speaker.IsQuery(command) : true) && (run_ == 0 || started_in_run_)) {
    ++run_;
    started_in_run_ = false;
    run_faults_ = options_.faults;
    run_faults_.Merge(script_.ForRun(run_));
    if (run_faults_.gnss_on && !gnss_on_)
      StartReceiverLocked(now, true);
  }
  commands_.push_back({command, now, run_});
  AtReply reply = responder_.Answer(command, gnss_on_, local, offset_minutes);
  const FaultSet& faults = run_faults_;
  if (faults.silent)
    return;
  if (faults.ErrorFor(upper)) {
    reply.lines = {"ERROR\r\n"};
    reply.action = AtAction::kNone;
  } else if (faults.no_delete_ack && reply.action == AtAction::kDelete) {
    reply.lines.clear();
    reply.action = AtAction::kNone;
  }
  if (!reply.echo.empty())
    pending_.push_back({now, reply.echo, AtAction::kNone, 0});
  if (reply.lines.empty())
    return;
  std::string bytes;
  for (const std::string& line : reply.lines)
    bytes += line;
  const std::int64_t delay_us = (options_.reply_delay_ms + faults.late_ms) * 1000;
  pending_.push_back({now + delay_us, std::move(bytes), reply.action, reply.restart_type});
  if (!reply.later.empty())  // an unsolicited line after the reply
    pending_.push_back({now + delay_us + reply.later_ms * 1000, reply.later, AtAction::kNone, 0});
}

void Simulator::Apply(AtAction action, int restart_type, std::int64_t written_us) {
  {
    std::lock_guard lock(mutex_);
    switch (action) {
      case AtAction::kStart:
        if (restart_type >= 0 && !gnss_on_ && !run_faults_.reset_ignored)
          next_restart_type_ = restart_type;  // a start command of its own per restart type
        if (!gnss_on_)
          StartReceiverLocked(written_us, false);
        started_in_run_ = true;
        break;
      case AtAction::kRestart:  // a restart command of its own, also while running
        if (!run_faults_.reset_ignored)
          next_restart_type_ = restart_type;
        if (gnss_on_)
          StopReceiverLocked();
        StartReceiverLocked(written_us, false);
        started_in_run_ = true;
        break;
      case AtAction::kStop:
        StopReceiverLocked();
        break;
      case AtAction::kDelete:
        if (!run_faults_.reset_ignored)
          next_restart_type_ = restart_type;
        break;
      case AtAction::kXtraTime:
      case AtAction::kXtraData:
        next_assisted_ = true;
        break;
      case AtAction::kNone:
        break;
    }
  }
  wake_.notify_all();
}

void Simulator::StartReceiverLocked(std::int64_t ok_us, bool spontaneous) {
  gnss_on_ = true;
  Session session;
  session.generation = session_.generation + 1;
  session.ok_us = ok_us;
  if (spontaneous) {
    // Already running before anyone asked: it has its fix.
    session.fix_epoch = replay_ ? replay_->FirstFixEpoch() : 0;
    session.plan = AcquisitionPlan::AtOnce(session.fix_epoch);
    session_ = session;
    return;
  }
  TruthRecord record;
  record.run = run_;
  record.restart_type = next_restart_type_;
  record.assisted = next_assisted_;
  record.replay = replay_.has_value();
  if (!replay_)
    record.true_position = ReceiverModel::TruePosition();
  record.ok_us = ok_us;
  record.phases = !replay_;
  if (replay_) {
    session.fix_epoch = replay_->FirstFixEpoch();
  } else {
    const std::int64_t ttff = ttff_->DrawUs(next_restart_type_, next_assisted_);
    if (run_faults_.reset_ignored && !run_faults_.no_fix) {
      session.fix_epoch = 0;  // it never lost its fix
    } else if (!run_faults_.no_fix) {
      record.ttff_drawn_us = ttff;
      // Epoch k leaves at ok + (k + 1) periods: the fix waits for the first
      // epoch at or after the drawn moment.
      const double periods = std::ceil(static_cast<double>(ttff) / static_cast<double>(PeriodUs()));
      session.fix_epoch = std::max(0, static_cast<int>(periods) - 1);
    }
    // A receiver that kept its fix shows it all at once; a real start
    // acquires as its restart type does (sim/acquisition_plan.h).
    session.plan =
        run_faults_.reset_ignored && !run_faults_.no_fix
            ? AcquisitionPlan::AtOnce(session.fix_epoch)
            : DrawAcquisitionPlan(next_restart_type_, session.fix_epoch,
                                  1e6 / static_cast<double>(PeriodUs()), acquisition_rng_);
  }
  session.truth_index = truth_.Begin(record);
  session_ = session;
  // The receiver keeps what it learnt: the next start is hot unless deleted.
  next_restart_type_ = kRestartHot;
  next_assisted_ = false;
}

void Simulator::StopReceiverLocked() {
  gnss_on_ = false;
  if (session_.truth_index != SIZE_MAX)
    truth_.Close(session_.truth_index);
  session_.truth_index = SIZE_MAX;
  ++session_.generation;
}

}  // namespace sim
