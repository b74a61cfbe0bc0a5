#include "nmea/nmea_checksum.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

}  // namespace

std::uint8_t NmeaChecksum(std::string_view body) {
  std::uint8_t sum = 0;
  for (char c : body)
    sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

std::string BuildNmeaSentence(std::string_view body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaChecksum(body));
  std::string out;
  out.reserve(body.size() + 6);
  out += '$';
  out += body;
  out += tail;
  return out;
}

bool HasMatchingChecksum(std::string_view sentence) {
  if (sentence.empty() || (sentence.front() != '$' && sentence.front() != '!'))
    return false;
  const auto star = sentence.find('*');
  if (star == std::string_view::npos || star + 3 > sentence.size())
    return false;
  const int high = HexDigit(sentence[star + 1]), low = HexDigit(sentence[star + 2]);
  return high >= 0 && low >= 0 && high * 16 + low == NmeaChecksum(sentence.substr(1, star - 1));
}
