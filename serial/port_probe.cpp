#include "serial/port_probe.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <set>

#include "nmea/nmea_checksum.h"
#include "platform/win_errors.h"
#include "serial/posix_tty.h"

namespace {

using Steady = std::chrono::steady_clock;

// "$GPGGA,...*hh": the talker ("GP"; "P" for a proprietary $P... sentence),
// or empty when the line is no valid sentence.
std::string TalkerOf(std::string_view line) {
  const auto dollar = line.find_first_of("$!");
  if (dollar == std::string_view::npos)
    return {};
  line.remove_prefix(dollar);
  if (line.find('*') < 6 || !HasMatchingChecksum(line))
    return {};
  for (std::size_t i = 1; i < 6; ++i) {
    if (!std::isupper(static_cast<unsigned char>(line[i])) &&
        !std::isdigit(static_cast<unsigned char>(line[i])))
      return {};
  }
  return line[1] == 'P' ? "P" : std::string(line.substr(1, 2));
}

template <typename F>
void ForEachLine(std::string_view bytes, F f) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
      end = bytes.size();
    if (end > start)
      f(bytes.substr(start, end - start));
    start = end + 1;
  }
}

int RemainingMs(Steady::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Reads what comes until the deadline or until done(bytes) says enough.
template <typename Done>
void ReadUntil(int fd, Steady::time_point deadline, std::string* bytes, Done done) {
  char buf[1024];
  for (;;) {
    const int wait = RemainingMs(deadline);
    if (wait == 0 || done(*bytes))
      return;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, wait);
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0)
      return;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0 && bytes->size() < (1u << 20))
      bytes->append(buf, static_cast<std::size_t>(n));
    else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
      return;  // hung up
  }
}

bool WriteAll(int fd, std::string_view bytes, int timeout_ms) {
  const auto deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR)
      return false;
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, RemainingMs(deadline)) <= 0)
      return false;
  }
  return true;
}

std::string Printable(std::string_view bytes) {
  std::string out;
  for (char c : bytes.substr(0, 40)) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += std::isprint(static_cast<unsigned char>(c)) ? c : '.';
  }
  return out;
}

}  // namespace

const char* ProbeKindName(ProbeKind kind) {
  switch (kind) {
    case ProbeKind::kNmea:
      return "nmea";
    case ProbeKind::kAt:
      return "at";
    case ProbeKind::kSilent:
      return "silent";
    case ProbeKind::kBusy:
      return "busy";
    case ProbeKind::kFailed:
      return "failed";
  }
  return "failed";
}

NmeaSeen ScanNmea(std::string_view bytes) {
  NmeaSeen seen;
  std::set<std::string> talkers;
  ForEachLine(bytes, [&](std::string_view line) {
    std::string talker = TalkerOf(line);
    if (!talker.empty()) {
      ++seen.sentences;
      talkers.insert(std::move(talker));
    }
  });
  seen.talkers.assign(talkers.begin(), talkers.end());
  return seen;
}

bool HasOkLine(std::string_view bytes) {
  bool ok = false;
  ForEachLine(bytes, [&](std::string_view line) { ok = ok || line == "OK"; });
  return ok;
}

namespace {

// Listens to the open device; a port that streams NMEA is one, any other
// gets "AT" and its reply tells.
void ListenAndAsk(int fd, const ProbeTiming& timing, ProbeReport& report) {
  std::string heard;
  const auto listen_start = Steady::now();
  ReadUntil(fd, listen_start + std::chrono::milliseconds(timing.listen_ms), &heard,
            [](const std::string&) { return false; });
  const double listened =
      std::max(0.001, std::chrono::duration<double>(Steady::now() - listen_start).count());
  const NmeaSeen seen = ScanNmea(heard);
  if (seen.sentences > 0) {
    // An NMEA port is never written to.
    report.kind = ProbeKind::kNmea;
    report.talkers = seen.talkers;
    report.sentences_per_s = seen.sentences / listened;
  } else if (WriteAll(fd, "AT\r\n", timing.reply_ms)) {
    std::string reply;
    ReadUntil(fd, Steady::now() + std::chrono::milliseconds(timing.reply_ms), &reply,
              [](const std::string& bytes) { return HasOkLine(bytes); });
    if (HasOkLine(reply)) {
      report.kind = ProbeKind::kAt;
    } else if (!reply.empty() || !heard.empty()) {
      report.text = "no NMEA and no OK; it sent \"" + Printable(heard + reply) + "\"";
    } else {
      report.text = kSilentHint;
    }
  } else {
    report.text = "it takes no bytes (the write did not finish in time)";
  }
}

}  // namespace

namespace {

// A port opened for the probe: exclusive, raw (the speed kept), its line
// settings put back and closed at the end.
class RawPort {
 public:
  // On failure fd() < 0, and *report holds the kind and the sentence.
  RawPort(const std::string& name, const DiagnosisRoots& roots, ProbeReport* report) {
    const std::string path = tty::DevicePath(name);
    DWORD err = 0;
    fd_ = name.size() > tty::kMaxPortName ? -1 : tty::OpenExclusive(path, &err);
    if (fd_ < 0) {
      if (err == 0)
        err = win::kFilenameExcedRange;
      const OpenFacts facts = GatherOpenFacts(path, roots);
      report->kind =
          err == win::kAccessDenied && facts.may_open ? ProbeKind::kBusy : ProbeKind::kFailed;
      report->text = DescribeOpenFailure(name, path, err, facts);
      return;
    }
    if (::tcgetattr(fd_, &saved_) != 0) {
      tty::CloseDevice(fd_);
      fd_ = -1;
      report->kind = ProbeKind::kFailed;
      report->text = path + " is not a serial device.";
      return;
    }
    termios raw = saved_;
    ::cfmakeraw(&raw);  // keeps the speed
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    changed_ = ::tcsetattr(fd_, TCSANOW, &raw) == 0;
  }
  ~RawPort() {
    if (fd_ < 0)
      return;
    if (changed_)
      ::tcsetattr(fd_, TCSANOW, &saved_);
    tty::CloseDevice(fd_);
  }
  RawPort(const RawPort&) = delete;
  RawPort& operator=(const RawPort&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  termios saved_{};
  bool changed_ = false;
};

// True when a line of the bytes is "OK", holds `expect`, or is an error.
bool ReplyEnds(std::string_view bytes, const std::string& expect) {
  bool ends = false;
  ForEachLine(bytes, [&](std::string_view line) {
    ends = ends || line == "OK" || line.find("ERROR") != std::string_view::npos ||
           (!expect.empty() && line.find(expect) != std::string_view::npos);
  });
  return ends;
}

}  // namespace

ProbeReport ProbePort(const std::string& name, const ProbeTiming& timing,
                      const DiagnosisRoots& roots) {
  ProbeReport report;
  const std::string path = tty::DevicePath(name);
  const HolderScan scan = FindPortHolders(path, roots.proc);
  if (!scan.holders.empty()) {
    report.kind = ProbeKind::kBusy;
    report.holders = scan.holders;
    report.text = DescribeHolders(path, scan.holders);
    return report;
  }
  const RawPort port(name, roots, &report);
  if (port.fd() >= 0)
    ListenAndAsk(port.fd(), timing, report);
  return report;
}

std::vector<std::string> SendAtCommands(const std::string& name,
                                        const std::vector<AtCommandAndReply>& commands,
                                        int reply_ms, std::string* error,
                                        const DiagnosisRoots& roots) {
  ProbeReport report;
  const RawPort port(name, roots, &report);
  if (port.fd() < 0) {
    *error = report.text;
    return {};
  }
  std::vector<std::string> replies;
  for (const AtCommandAndReply& c : commands) {
    std::string reply;
    if (!WriteAll(port.fd(), c.command, reply_ms)) {
      *error = tty::DevicePath(name) + " takes no bytes (the write did not finish in time)";
      break;
    }
    ReadUntil(port.fd(), Steady::now() + std::chrono::milliseconds(reply_ms), &reply,
              [&c](const std::string& bytes) { return ReplyEnds(bytes, c.expect); });
    replies.push_back(std::move(reply));
  }
  return replies;
}
