#include "nmea/nmea_int.h"

#include <climits>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int ParseNmeaInt(const char* text) {
  const char* p = text;
  while (IsSpace(*p))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate as a negative number so INT_MIN is reachable without overflow.
  long long value = 0;
  constexpr long long kLimit = -static_cast<long long>(INT_MAX) - 1;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value > kLimit)
      value = value * 10 - (*p - '0');
    if (value < kLimit)
      value = kLimit;
  }
  if (negative)
    return static_cast<int>(value);
  return value < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-value);
}
