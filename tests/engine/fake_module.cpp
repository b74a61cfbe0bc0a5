#include "tests/engine/fake_module.h"

#include <algorithm>
#include <cstdio>

namespace testsupport {

namespace {

std::string WithChecksum(const std::string& body) {
  unsigned char sum = 0;
  for (char c : body)
    sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

}  // namespace

std::vector<std::string> FakeModule::CommandTexts() const {
  std::vector<std::string> out;
  for (const auto& c : Commands())
    out.push_back(c.text);
  return out;
}

void FakeModule::SpeakProfile(const ModuleProfile& profile) {
  query_cmd = profile.query.command;
  on_reply = profile.reply_on + "\r\n";
  off_reply = profile.reply_off + "\r\n";
  stop_cmd = profile.stop.command;
  clock_cmd = profile.clock.command;
  start_cmds.clear();
  for (int type = 0; type < 3; ++type)
    start_cmds.push_back(profile.StartFor(type).command);
}

void FakeModule::Schedule(std::int64_t due_us, bool to_at, std::string bytes) {
  // Kept in due order; equal times keep their scheduling order.
  auto it = std::upper_bound(events_.begin(), events_.end(), due_us,
                             [](std::int64_t t, const Event& e) { return t < e.due_us; });
  events_.insert(it, Event{due_us, to_at, std::move(bytes)});
}

void FakeModule::Deliver(std::int64_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!events_.empty() && events_.front().due_us <= now) {
    Event e = std::move(events_.front());
    events_.pop_front();
    (e.to_at ? at_ : nmea_).Append(e.bytes.data(), e.bytes.size(), e.due_us);
  }
}

void FakeModule::ScheduleEpochs(std::int64_t ok_us, int start) {
  const std::int64_t ttff = ttff_ms(start);
  // One epoch a second, for as long as any test waits (bounded).
  for (int k = 1; k <= 400; ++k) {
    const std::int64_t t = ok_us + k * 1'000'000;
    const bool fixed = ttff >= 0 && (t - ok_us) >= ttff * 1000;
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,%06d.00,%s,,,,,,,150124,,,N", k, fixed ? "A" : "V");
    std::string epoch = WithChecksum(body) + WithChecksum("GPGGA,1,2,3,4,5,6,7,8,1.2,45.0,M,,");
    Schedule(t, false, epoch);
  }
  if (ttff >= 0 && ttff % 1000 != 0) {
    // A fix between two epochs: its own RMC at exactly ok + ttff.
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,000000.50,A,4807.038,N,01131.000,E,0.0,0.0,150124,,,A");
    Schedule(ok_us + ttff * 1000, false, WithChecksum(body));
  }
}

void FakeModule::Write(const std::string& cmd) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::int64_t now = clock_.MonotonicUs();
  commands_.push_back({now, cmd});
  const int count = ++counts_[cmd];
  set_up_ = set_up_ || cmd == nmea_setup;
  if (!answer(cmd, count))
    return;
  const std::int64_t due = now + latency_ms * 1000;
  if (const std::string refusal = refuse(cmd, count); !refusal.empty()) {
    Schedule(due, true, refusal + "\r\n");
    return;
  }
  for (const auto& [prefix, lines] : extra_lines) {
    if (cmd.rfind(prefix, 0) == 0) {
      for (const auto& l : lines)
        Schedule(due, true, l);
    }
  }
  if (cmd == query_cmd) {
    Schedule(due, true, gnss_on ? on_reply : off_reply);
  } else if (cmd == stop_cmd) {
    gnss_on = false;
    // The receiver stops: epochs still queued are dropped.
    events_.erase(
        std::remove_if(events_.begin(), events_.end(), [](const Event& e) { return !e.to_at; }),
        events_.end());
  } else if (cmd == clock_cmd) {
    Schedule(due, true, clock_reply);
  } else if (std::find(start_cmds.begin(), start_cmds.end(), cmd) != start_cmds.end()) {
    gnss_on = true;
    ++starts_;
    start_ok_us_.push_back(due);
    Schedule(due, true, "OK\r\n");
    if (nmea_setup.empty() || set_up_)
      ScheduleEpochs(due, starts_);
    return;
  }
  Schedule(due, true, "OK\r\n");
}

}  // namespace testsupport
