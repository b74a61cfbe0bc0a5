#include "nmea/live_view_mode.h"

#include <cstring>

bool HasAnyTalkerSentence(std::string_view line, const char* type) {
  const std::size_t type_len = std::strlen(type);
  for (std::size_t at = line.find('$'); at != std::string_view::npos; at = line.find('$', at + 1)) {
    if (line.size() - at < 3 + type_len)
      break;
    for (const char* talker : kAnyTalkers) {
      if (line.compare(at + 1, 2, talker) == 0 && line.compare(at + 3, type_len, type) == 0)
        return true;
    }
  }
  return false;
}
