#include "supervisor/bench_supervisor.h"

#include <poll.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>

#include "platform/child_process.h"

namespace supervisor {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxLine = 1 << 20;  // a longer "line" is no event: dropped

struct Child {
  ModuleLaunch launch;
  const SuperviseOptions* options = nullptr;
  platform::ChildHandle handle;
  std::string buffer;
  bool dropping = false;  // inside an overlong line
  Clock::time_point started, heard;
  bool killed = false;
};

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Reads what the child wrote; false at the end of its output.
bool Drain(Child& c, BenchDisplay& display) {
  char chunk[16384];
  for (int reads = 0; reads < 8; ++reads) {  // a flood cannot hold the others up
    const ssize_t n = read(c.handle.out_fd, chunk, sizeof chunk);
    if (n == 0)
      return false;
    if (n < 0)
      return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.heard = Clock::now();
    for (ssize_t i = 0; i < n; ++i) {
      const char ch = chunk[i];
      if (ch != '\n') {
        if (!c.dropping && c.buffer.size() < kMaxLine)
          c.buffer += ch;
        else
          c.dropping = true, c.buffer.clear();
        continue;
      }
      if (!c.dropping) {
        display.Tell(c.launch.state.name, ApplyEvent(c.launch.state, c.buffer));
        if (c.options->on_event)
          c.options->on_event(c.launch.state.name, c.buffer);
      }
      c.buffer.clear();
      c.dropping = false;
    }
  }
  return true;
}

void Close(Child& c) {
  if (c.handle.out_fd >= 0)
    close(c.handle.out_fd);
  c.handle.out_fd = -1;
}

void Reaped(Child& c, const platform::ChildEnd& end, BenchDisplay& display) {
  while (c.handle.out_fd >= 0 && Drain(c, display)) {
    pollfd p{c.handle.out_fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0)
      break;
  }
  Close(c);
  ModuleState& s = c.launch.state;
  s.ended = true;
  s.exit_code = end.exit_code;
  s.cpu_s = end.cpu_s;
  s.wall_s = Since(c.started);
  if (s.problem.empty()) {
    if (end.signal != 0 && !c.killed) {
      s.problem = std::string("its test died of signal ") + std::to_string(end.signal) + " (" +
                  strsignal(end.signal) + "); see " + c.launch.stderr_path;
    } else if (!s.started && end.exit_code != 0) {
      const std::string last = LastLine(c.launch.stderr_path);
      s.problem = last.empty() ? "its test did not start (exit " + std::to_string(end.exit_code) +
                                     "); see " + c.launch.stderr_path
                               : last;
    }
  }
  display.Tell(s.name, "exit " + std::to_string(s.exit_code) +
                           (s.problem.empty() ? "" : " (" + s.problem + ")"));
}

}  // namespace

std::string LastLine(const std::string& path) {
  std::ifstream in(path);
  std::string line, last;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    if (!line.empty())
      last = line;
  }
  return last;
}

namespace {

// Starts each module's test; a module that failed before (its simulator) or
// whose test cannot be started has ended.
std::vector<Child> SpawnAll(std::vector<ModuleLaunch> launches, const SuperviseOptions& options) {
  std::vector<Child> children;
  children.reserve(launches.size());
  for (ModuleLaunch& launch : launches) {
    Child c;
    c.launch = std::move(launch);
    c.options = &options;
    c.started = c.heard = Clock::now();
    if (!c.launch.state.problem.empty()) {  // it failed before its test could start
      c.launch.state.ended = true;
      children.push_back(std::move(c));
      continue;
    }
    std::string error;
    c.handle = platform::SpawnChild(c.launch.argv, c.launch.stderr_path, &error);
    if (c.handle.pid < 0) {
      c.launch.state.ended = true;
      c.launch.state.problem = error;
    }
    children.push_back(std::move(c));
  }
  return children;
}

// Waits up to 100 ms for output and reads it; false when no test is left.
bool ReadOutputs(std::vector<Child>& children, BenchDisplay& display) {
  std::vector<pollfd> fds;
  std::vector<Child*> owners;
  bool alive = false;
  for (Child& c : children) {
    if (c.launch.state.ended)
      continue;
    alive = true;
    if (c.handle.out_fd >= 0) {
      fds.push_back({c.handle.out_fd, POLLIN, 0});
      owners.push_back(&c);
    }
  }
  if (!alive)
    return false;
  if (poll(fds.data(), fds.size(), 100) > 0) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents != 0 && !Drain(*owners[i], display))
        Close(*owners[i]);
    }
  }
  return true;
}

// Reaps the tests that ended; kills one that outlived the interrupt's grace
// or said nothing for too long.
void ReapOrKill(std::vector<Child>& children, const SuperviseOptions& options, bool interrupted,
                Clock::time_point interrupt_at, BenchDisplay& display) {
  for (Child& c : children) {
    if (c.launch.state.ended)
      continue;
    const platform::ChildEnd end = platform::ReapChild(c.handle.pid, false);
    if (end.ended) {
      Reaped(c, end, display);
      continue;
    }
    if (c.killed)
      continue;
    if (interrupted && Since(interrupt_at) > options.grace_s) {
      c.killed = true;
      c.launch.state.problem = "its test did not end within " + Number(options.grace_s) +
                               " s of the interrupt and was killed";
      platform::SignalChild(c.handle.pid, SIGKILL);
    } else if (Since(c.heard) > options.silence_s) {
      c.killed = true;
      c.launch.state.problem = "its test said nothing for " + Number(options.silence_s) +
                               " s and was killed; see " + c.launch.stderr_path;
      platform::SignalChild(c.handle.pid, SIGKILL);
    }
  }
}

std::vector<ModuleState> States(const std::vector<Child>& children) {
  std::vector<ModuleState> out;
  for (const Child& c : children)
    out.push_back(c.launch.state);
  return out;
}

}  // namespace

SuperviseResult Supervise(std::vector<ModuleLaunch> launches, const SuperviseOptions& options,
                          const std::atomic<bool>& interrupted, BenchDisplay& display) {
  std::vector<Child> children = SpawnAll(std::move(launches), options);
  SuperviseResult result;
  Clock::time_point interrupt_at{};
  while (ReadOutputs(children, display)) {
    if (interrupted && !result.interrupted) {
      result.interrupted = true;
      interrupt_at = Clock::now();
      for (Child& c : children)
        if (!c.launch.state.ended)
          platform::SignalChild(c.handle.pid, SIGINT);
    }
    ReapOrKill(children, options, result.interrupted, interrupt_at, display);
    display.Draw(States(children));
    if (options.on_progress)
      options.on_progress(States(children));
  }
  result.modules = States(children);
  if (options.on_progress)
    options.on_progress(result.modules);
  display.Finish(result.modules);
  return result;
}

}  // namespace supervisor
