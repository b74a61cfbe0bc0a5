// Serial receive-path throughput and idle cost, on kernel pseudo-terminals.
//
// 1. Throughput: a module thread writes NMEA text into the controller side of
//    a pty pair as fast as the pty takes it; the port's listener posts, the
//    receive path reads, queues and cuts lines, and sends one WM_USER+1004
//    per line. Every line is checked against the one expected next (so a
//    byte lost, duplicated or reordered fails the run); the locked queue is
//    drained the way the engine drains it and checked the same way.
// 2. Idle: both ports open with their listeners, no traffic, for 10 s of
//    wall time; the CPU time the whole process used (getrusage) over it.
//
// Usage: serial_throughput [megabytes (default 64)] [idle seconds (default 10)]
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/message_loop.h"
#include "serial/receive_path.h"
#include "serial/serial_mfc.h"

namespace {

struct Pty {
  int master = -1;
  std::string path;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
      path = ::ptsname(master);
  }
  ~Pty() {
    if (master >= 0)
      ::close(master);
  }
};

// The n-th line of the synthetic stream: real-looking sentences of varying
// length, each numbered so that order and content can be checked.
std::string Line(std::uint64_t n) {
  static const char* kBodies[] = {
      "$GPGSV,4,1,14,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45",
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
      "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1",
      "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K",
  };
  return std::string(kBodies[n % 5]) + ",N" + std::to_string(n) + "*00\r\n";
}

double CpuSeconds() {
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 64.0;
  const int idle_s = argc > 2 ? std::atoi(argv[2]) : 10;
  const auto total = static_cast<std::uint64_t>(megabytes * 1024 * 1024);

  Pty at_pty, nmea_pty;
  if (at_pty.path.empty() || nmea_pty.path.empty()) {
    std::fprintf(stderr, "no pseudo-terminals\n");
    return 1;
  }
  platform::MessageLoop loop;
  platform::MessageTarget hub(loop);
  platform::RealClock clock;
  CSerialMFC at, nmea;
  LineQueue at_queue, nmea_queue;
  std::vector<char> display;
  ReceivePath path(at, nmea, at_queue, nmea_queue, display, hub, clock);
  const UINT msg = InitDefaultComMsg();
  path.SetMessageNumber(msg);
  std::uint64_t notifications = 0;
  hub.On(msg, [&](WPARAM w, LPARAM l) {
    ++notifications;
    return path.OnSerialMessage(w, l);
  });
  std::uint64_t next_line = 0, line_bytes = 0, bad_lines = 0;
  hub.On(kWmNmeaLine, [&](WPARAM w, LPARAM) {
    const std::string got(reinterpret_cast<const char*>(w));
    if (got != Line(next_line))
      ++bad_lines;
    ++next_line;
    line_bytes += got.size();
    return LRESULT{0};
  });
  if (at.Open(at_pty.path.c_str(), &hub, 0, 0) != 0 ||
      nmea.Open(nmea_pty.path.c_str(), &hub, 0, 1) != 0) {
    std::fprintf(stderr, "cannot open the ports\n");
    return 1;
  }

  // Build the stream first so the writer measures the path, not formatting.
  std::string stream;
  std::uint64_t lines = 0;
  while (stream.size() < total)
    stream += Line(lines++);

  // The engine's side: drains the locked queue every few ms and checks it.
  std::uint64_t q_next = 0, q_bad = 0;
  std::vector<std::string> q_lines;
  auto drain = [&] {
    nmea_queue.Extract(q_lines);
    for (const auto& l : q_lines)
      q_bad += l != Line(q_next++);
    q_lines.clear();
  };

  const auto start = std::chrono::steady_clock::now();
  std::thread module([&] {
    std::size_t done = 0;
    while (done < stream.size()) {
      const ssize_t n = ::write(nmea_pty.master, stream.data() + done,
                                std::min<std::size_t>(stream.size() - done, 64 * 1024));
      if (n > 0)
        done += static_cast<std::size_t>(n);
    }
  });
  auto last_drain = start;
  const bool complete = loop.RunUntil(
      [&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_drain > std::chrono::milliseconds(5)) {
          drain();
          last_drain = now;
        }
        return next_line == lines;
      },
      120000);
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  module.join();
  drain();

  std::printf(
      "throughput: %.1f MB of NMEA in %.3f s = %.1f MB/s (%llu lines, %llu notifications)\n",
      static_cast<double>(stream.size()) / 1048576.0, secs,
      static_cast<double>(stream.size()) / 1048576.0 / secs, static_cast<unsigned long long>(lines),
      static_cast<unsigned long long>(notifications));
  std::printf("check: lines %s, %llu wrong; queue lines %llu of %llu, %llu wrong, %llu dropped\n",
              complete ? "complete" : "INCOMPLETE", static_cast<unsigned long long>(bad_lines),
              static_cast<unsigned long long>(q_next), static_cast<unsigned long long>(lines),
              static_cast<unsigned long long>(q_bad),
              static_cast<unsigned long long>(nmea_queue.DroppedBytes()));

  // Idle: both ports open, listeners waiting, the hub's loop running.
  const double cpu0 = CpuSeconds();
  const auto idle_start = std::chrono::steady_clock::now();
  // The hub's loop blocks until a message comes (as the window's would); a
  // timer thread ends it after the idle time.
  std::thread timer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(idle_s));
    loop.Quit();
  });
  loop.Run();
  timer.join();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - idle_start).count();
  const double cpu = CpuSeconds() - cpu0;
  std::printf("idle: %.3f s CPU over %.1f s with both ports open = %.3f%% of one core\n", cpu, wall,
              100.0 * cpu / wall);

  at.Close();
  nmea.Close();
  const bool ok = complete && bad_lines == 0 && q_bad == 0 && q_next == lines;
  return ok ? 0 : 1;
}
