#include "serial/extract_lines.h"

#include <algorithm>
#include <cstring>

std::size_t ExtractLines(std::vector<char>& source, std::vector<std::string>& lines,
                         const char* separator) {
  if (source.empty())
    return 0;
  lines.clear();
  if (!separator || std::strlen(separator) < 2)
    return 0;
  const char s0 = separator[0];
  const char s1 = separator[1];

  std::size_t dropped = 0;
  const char* const begin = source.data();
  const char* const end = begin + source.size();
  const char* front = begin;
  for (;;) {
    // Find s0 s1 from front.
    const char* p = front;
    const char* hit = nullptr;
    while (p + 1 < end) {
      p = static_cast<const char*>(std::memchr(p, s0, static_cast<std::size_t>(end - p - 1)));
      if (!p)
        break;
      if (p[1] == s1) {
        hit = p;
        break;
      }
      ++p;
    }
    if (!hit)
      break;
    const char* line_end = hit + 2;
    const std::size_t body = static_cast<std::size_t>(hit - front);
    // The delivered text ends at the first NUL, as a C string would.
    const char* nul = static_cast<const char*>(std::memchr(front, '\0', body + 2));
    std::size_t text_len = nul ? static_cast<std::size_t>(nul - front) : body + 2;
    if (text_len > kMaxLineBytes) {
      // Overlong: keep the head and the separator, drop the middle.
      dropped += text_len - kMaxLineBytes;
      std::string line(front, kMaxLineBytes - 2);
      line.push_back(s0);
      line.push_back(s1);
      lines.push_back(std::move(line));
    } else {
      lines.emplace_back(front, text_len);
    }
    front = line_end;
  }
  if (front != begin)
    source.erase(source.begin(), source.begin() + (front - begin));
  return dropped;
}
