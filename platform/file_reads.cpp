#include "platform/file_reads.h"

#include <cstdio>
#include <memory>

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file)
    return std::nullopt;
  std::string text;
  char block[65536];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
    text.append(block, got);
  // A folder opens but cannot be read (EISDIR): an error, not an empty file.
  if (std::ferror(file.get()))
    return std::nullopt;
  return text;
}

}  // namespace platform
