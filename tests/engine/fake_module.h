// A scripted module on the engine's two queues, driven by a fake clock:
// commands the engine writes get their replies after a latency, NMEA epochs
// arrive once a second after the start, all in virtual time.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "profiles/module_profile.h"
#include "serial/line_queue.h"

namespace testsupport {

class FakeModule {
 public:
  struct Command {
    std::int64_t at_us;
    std::string text;
  };

  FakeModule(platform::FakeClock& clock, LineQueue& at, LineQueue& nmea)
      : clock_(clock), at_(at), nmea_(nmea) {
    clock_.SetSleepHook([this](std::int64_t now) { Deliver(now); });
  }
  ~FakeModule() { clock_.SetSleepHook({}); }

  // Behaviour, set before the test starts.
  bool gnss_on = false;
  std::int64_t latency_ms = 100;
  // TTFF per start (1-based start number) in ms; negative: never a fix.
  std::function<std::int64_t(int start)> ttff_ms = [](int) { return 20000; };
  // Return false to leave a command unanswered (count: 1-based per text).
  std::function<bool(const std::string& cmd, int count)> answer = [](const std::string&, int) {
    return true;
  };
  // A final error line ("ERROR", "+CME ERROR: 3") instead of the reply; an
  // empty text: the usual reply (count: 1-based per text).
  std::function<std::string(const std::string& cmd, int count)> refuse =
      [](const std::string&, int) { return std::string(); };
  std::string clock_reply = "+CCLK: \"24/01/15,08:30:00+32\"\r\n";
  // The dialect: the default's commands unless SpeakProfile changed them.
  std::string query_cmd = "AT+WGPS?\r\n", on_reply = "+WGPS: 1\r\n", off_reply = "+WGPS: 0\r\n";
  std::string stop_cmd = "AT+WGPSEND\r\n", clock_cmd = "AT+CCLK?\r\n";
  std::vector<std::string> start_cmds = {"AT+WGPS=1\r\n"};
  // Speaks the profile's commands (its start commands all start GNSS).
  void SpeakProfile(const ModuleProfile& profile);
  // When set: the command that turns NMEA output on. A start streams NMEA
  // only once it was written since the module came up (ForgetSetup: a reset).
  std::string nmea_setup;
  void ForgetSetup() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_up_ = false;
  }
  // Extra reply lines sent before the final one, per command prefix.
  std::map<std::string, std::vector<std::string>> extra_lines;

  // The engine's AT write.
  void Write(const std::string& cmd);

  std::vector<Command> Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }
  std::vector<std::string> CommandTexts() const;
  int Starts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_;
  }
  // Time the OK of the n-th start (1-based) was delivered, and its fix line.
  std::int64_t StartOkUs(int n) const { return start_ok_us_.at(static_cast<size_t>(n - 1)); }

 private:
  struct Event {
    std::int64_t due_us;
    bool to_at;
    std::string bytes;
  };
  void Schedule(std::int64_t due_us, bool to_at, std::string bytes);
  void Deliver(std::int64_t now);
  void ScheduleEpochs(std::int64_t ok_us, int start);

  platform::FakeClock& clock_;
  LineQueue& at_;
  LineQueue& nmea_;
  mutable std::mutex mutex_;
  std::vector<Command> commands_;
  std::map<std::string, int> counts_;
  std::deque<Event> events_;
  int starts_ = 0;
  bool set_up_ = false;
  std::vector<std::int64_t> start_ok_us_;
};

}  // namespace testsupport
