#include "engine/run_settings.h"

#include <cctype>
#include <climits>
#include <cstdlib>

int ParseDefineCount(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1])))
    --e;
  const std::string trimmed = text.substr(b, e - b);
  // atoi without its undefined behaviour on overflow: clamp to int.
  errno = 0;
  long long v = std::strtoll(trimmed.c_str(), nullptr, 10);
  if (v > INT_MAX)
    return INT_MAX;
  if (v < INT_MIN)
    return INT_MIN;
  return static_cast<int>(v);
}
