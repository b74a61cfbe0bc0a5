// The receive path of the hub: turns the serial notifications of the two
// module ports into bytes in the two line queues and, for the NMEA port,
// into one WM_USER+1004 per complete line. GUI-free; the hub binds
// OnSerialMessage to the registered message "CSerialWnd_DefaultComMsg".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_target.h"
#include "serial/line_queue.h"
#include "serial/serial.h"

// WM_USER+1004: one complete NMEA line; wParam points at its NUL-terminated
// text (with "\r\n"), valid during the call only; lParam 0.
inline constexpr UINT kWmNmeaLine = WM_USER + 1004;

class ReceivePath {
 public:
  // Most bytes read for one notification before the rest is left to a
  // re-posted notification, so that a flood cannot hold the UI thread.
  static constexpr std::size_t kMaxBytesPerMessage = 1024 * 1024;
  // Longest unfinished NMEA tail kept for display; beyond it (no line end in
  // sight) the oldest bytes are dropped and counted.
  static constexpr std::size_t kMaxDisplayTail = 64 * 1024;

  ReceivePath(CSerial& at_port, CSerial& nmea_port, LineQueue& at_queue, LineQueue& nmea_queue,
              std::vector<char>& nmea_display, platform::MessageTarget& target,
              const platform::Clock& clock);

  // The handler of the serial notification (wParam: event | errors << 16;
  // lParam: 0 AT port, otherwise NMEA port). `message` is the number it is
  // bound to, used to re-post when a notification leaves bytes waiting.
  LRESULT OnSerialMessage(WPARAM wParam, LPARAM lParam);
  void SetMessageNumber(UINT message) { message_ = message; }

  // Bytes dropped from the display tail or cut off overlong lines.
  std::uint64_t DroppedDisplayBytes() const { return dropped_display_; }

 private:
  void DeliverNmea(const char* data, std::size_t size);
  void NoteQueueDrops(const LineQueue& queue, std::uint64_t* seen);

  CSerial& at_port_;
  CSerial& nmea_port_;
  LineQueue& at_queue_;
  LineQueue& nmea_queue_;
  std::vector<char>& nmea_display_;
  platform::MessageTarget& target_;
  const platform::Clock& clock_;
  UINT message_ = 0;
  std::array<char, 1024> m_read_buf{};
  DWORD m_read_len = 0;
  std::vector<std::string> lines_;
  std::uint64_t dropped_display_ = 0;
  std::uint64_t at_dropped_seen_ = 0;
  std::uint64_t nmea_dropped_seen_ = 0;
};
