// Integer fields of NMEA sentences (PRN, S/N, satellite IDs).
#pragma once

#include <string>

// Reads an integer the way atoi does: leading white space, an optional sign,
// then decimal digits up to the first other character; no digits gives 0.
// Unlike atoi it never overflows: values beyond the int range saturate at
// INT_MAX or INT_MIN. Independent of the locale.
int ParseNmeaInt(const char* text);
inline int ParseNmeaInt(const std::string& text) {
  return ParseNmeaInt(text.c_str());
}
