#include "sim/nmea_sentence.h"

#include <cstdio>

namespace sim {

std::uint8_t NmeaChecksum(std::string_view body) {
  std::uint8_t sum = 0;
  for (char c : body)
    sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

std::string BuildSentence(std::string_view body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaChecksum(body));
  std::string out;
  out.reserve(body.size() + 6);
  out += '$';
  out += body;
  out += tail;
  return out;
}

bool HasValidChecksum(std::string_view sentence) {
  if (sentence.empty() || sentence.front() != '$')
    return false;
  const auto star = sentence.find('*');
  if (star == std::string_view::npos || star + 3 > sentence.size())
    return false;
  unsigned value = 0;
  for (std::size_t i = star + 1; i < star + 3; ++i) {
    const char c = sentence[i];
    value <<= 4;
    if (c >= '0' && c <= '9')
      value |= static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F')
      value |= static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
  }
  return value == NmeaChecksum(sentence.substr(1, star - 1));
}

}  // namespace sim
