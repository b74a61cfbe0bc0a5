// Built into zuvek-cli-full-disk only: a day folder whose file system is
// full after ZUVEK_TEST_FULL_BYTES bytes. Every write to a file under
// ZUVEK_TEST_FULL_DIR beyond that fails with ENOSPC, as on a full disk. A
// file rewritten whole (the summary, the runs CSV) needs room for its new
// copy beside the old one while it is written, and then takes only what it
// grew, as the new copy replaces the old. The free space of the folder is
// what is left.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/file_writes.h"
#include "platform/free_space.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const bool kInstalled = [] {
  const char* dir = std::getenv("ZUVEK_TEST_FULL_DIR");
  const char* bytes = std::getenv("ZUVEK_TEST_FULL_BYTES");
  if (!dir || !bytes)
    return false;
  // Writes come one at a time (the registry calls the fault under its lock).
  static const std::string folder = std::string(dir) + "/";
  static const std::size_t budget = std::stoull(bytes);
  static std::atomic<std::size_t> used{0};
  platform::SetWriteFault([](const std::string& path, std::size_t size) -> int {
    if (path.rfind(folder, 0) != 0)
      return 0;
    if (used + size > budget)
      return ENOSPC;
    if (EndsWith(path, "_summary.json") || EndsWith(path, "_runs.csv")) {
      static std::map<std::string, std::size_t> whole;
      used = used + size - std::min(whole[path], size);
      whole[path] = std::max(whole[path], size);
      return 0;
    }
    used += size;
    return 0;
  });
  platform::SetFreeBytesFake([](const std::string& path) -> std::int64_t {
    if ((path + "/").rfind(folder, 0) != 0)
      return std::int64_t{1} << 40;
    return static_cast<std::int64_t>(budget - used.load());
  });
  return true;
}();

}  // namespace
