// Integer fields of NMEA sentences (PRN, S/N, satellite IDs).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads an integer the way atoi does: leading white space, an optional sign,
// then decimal digits up to the first other character; no digits gives 0.
// Unlike atoi it never overflows: values beyond the int range saturate at
// INT_MAX or INT_MIN. Independent of the locale.
int ParseNmeaInt(const char* text);
inline int ParseNmeaInt(const std::string& text) {
  return ParseNmeaInt(text.c_str());
}

// A field of one to `max_digits` decimal digits and nothing else as its
// number; -1 for an empty, longer or malformed one.
inline int DigitsValue(std::string_view field, std::size_t max_digits) {
  if (field.empty() || field.size() > max_digits)
    return -1;
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9')
      return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}
