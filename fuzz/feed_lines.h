// Cuts fuzz input into lines at "\n" and hands each to the NMEA line
// handler with the "\r\n" end the receive path gives every line.
#pragma once

#include <string>

#include "nmea/nmea_line_handler.h"

inline void FeedLines(const std::string& text, NmeaLineHandler& handler) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    line += "\r\n";
    handler.OnNmeaLine(line.c_str());
    start = end + 1;
  }
}
