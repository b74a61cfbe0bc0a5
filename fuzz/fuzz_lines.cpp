// Line extraction from the receive queues: the input is cut into appends
// (its first byte picks the chunk size); every byte either leaves as part of
// a line, stays as the tail, or is counted as dropped.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "serial/extract_lines.h"
#include "serial/line_queue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const std::size_t n = size - 1;
  LineQueue queue(4096);  // small, so the capacity rule is exercised
  std::vector<std::string> lines;
  std::uint64_t taken = 0;
  for (std::size_t off = 0; off < n; off += chunk) {
    const std::size_t len = off + chunk <= n ? chunk : n - off;
    queue.Append(bytes + off, len, static_cast<std::int64_t>(off));
    std::vector<std::int64_t> stamps;
    queue.Extract(lines, &stamps);
    if (stamps.size() != lines.size())
      std::abort();
    for (const auto& l : lines) {
      if (l.size() > kMaxLineBytes)
        std::abort();
      taken += l.size();
    }
    lines.clear();
  }
  if (taken > n)
    std::abort();

  // The plain function: what stays has no separator left in it.
  std::vector<char> source(bytes, bytes + n);
  std::vector<std::string> out;
  ExtractLines(source, out, "\r\n");
  for (std::size_t i = 0; i + 1 < source.size(); ++i) {
    if (source[i] == '\r' && source[i + 1] == '\n')
      std::abort();
  }
  return 0;
}
