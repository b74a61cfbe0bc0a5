#include "serial/receive_path.h"

#include <cstdio>
#include <cstring>

#include "engine/run_logs.h"
#include "serial/extract_lines.h"
#include "serial/serial_wnd.h"

ReceivePath::ReceivePath(CSerial& at_port, CSerial& nmea_port, LineQueue& at_queue,
                         LineQueue& nmea_queue, std::vector<char>& nmea_display,
                         platform::MessageTarget& target, const platform::Clock& clock)
    : at_port_(at_port),
      nmea_port_(nmea_port),
      at_queue_(at_queue),
      nmea_queue_(nmea_queue),
      nmea_display_(nmea_display),
      target_(target),
      clock_(clock) {}

LRESULT ReceivePath::OnSerialMessage(WPARAM wParam, LPARAM lParam) {
  // Only EV_RXCHAR alone: a notification that also carries EV_ERR (or the
  // port-lost notification) reads nothing.
  if (LoWord(wParam) != EV_RXCHAR)
    return 0;
  CSerial& port = lParam == 0 ? at_port_ : nmea_port_;
  LineQueue& queue = lParam == 0 ? at_queue_ : nmea_queue_;

  // Read until nothing waits. A single 1024-byte read per notification
  // would leave the rest of a longer burst in the driver until further bytes
  // arrive, holding back (on a 1-Hz receiver, for a second) the end of an
  // epoch, perhaps its fix line.
  std::size_t taken = 0;
  for (;;) {
    std::memset(m_read_buf.data(), 0, m_read_buf.size());
    m_read_len = 0;
    port.Read(m_read_buf.data(), static_cast<DWORD>(m_read_buf.size()), &m_read_len, nullptr,
              INFINITE);
    if (m_read_len == 0)
      break;
    queue.Append(m_read_buf.data(), m_read_len, clock_.MonotonicUs());
    NoteQueueDrops(queue, lParam == 0 ? &at_dropped_seen_ : &nmea_dropped_seen_);
    if (lParam != 0)
      DeliverNmea(m_read_buf.data(), m_read_len);
    taken += m_read_len;
    if (taken >= kMaxBytesPerMessage) {
      // Still more: come back through the message loop so other messages
      // get their turn.
      const UINT message = message_ ? message_ : g_default_com_msg;
      if (message)
        target_.Post(message, wParam, lParam);
      break;
    }
  }
  return 0;
}

void ReceivePath::NoteQueueDrops(const LineQueue& queue, std::uint64_t* seen) {
  // A queue that nobody drains, or that never sees a line end, is capped;
  // what it dropped goes to the debug log.
  const std::uint64_t dropped = queue.DroppedBytes();
  if (dropped == *seen)
    return;
  char msg[96];
  std::snprintf(msg, sizeof msg, "%s queue full: %llu bytes dropped",
                &queue == &at_queue_ ? "AT" : "NMEA",
                static_cast<unsigned long long>(dropped - *seen));
  LOG_DEBUG(msg);
  *seen = dropped;
}

void ReceivePath::DeliverNmea(const char* data, std::size_t size) {
  nmea_display_.insert(nmea_display_.end(), data, data + size);
  const std::size_t cut = ExtractLines(nmea_display_, lines_, "\r\n");
  if (nmea_display_.size() > kMaxDisplayTail) {
    // A tail that never ends (garbage, a wrong baud rate): keep its newest
    // bytes only.
    const std::size_t drop = nmea_display_.size() - kMaxDisplayTail / 2;
    nmea_display_.erase(nmea_display_.begin(),
                        nmea_display_.begin() + static_cast<std::ptrdiff_t>(drop));
    dropped_display_ += drop;
    char msg[96];
    std::snprintf(msg, sizeof msg, "NMEA display: %zu bytes without line end dropped", drop);
    LOG_DEBUG(msg);
  }
  if (cut) {
    dropped_display_ += cut;
    char msg[96];
    std::snprintf(msg, sizeof msg, "NMEA display: %zu bytes cut off overlong lines", cut);
    LOG_DEBUG(msg);
  }
  for (const auto& line : lines_) {
    target_.Send(kWmNmeaLine, reinterpret_cast<WPARAM>(line.c_str()), 0);
  }
  lines_.clear();
}
