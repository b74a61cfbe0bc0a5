#include "platform/free_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <utility>

namespace platform {

namespace {

// The path made absolute and resolved, walking up to the nearest folder of
// it that exists; empty when none does.
std::string ExistingAncestor(std::string path) {
  if (path.empty() || path.front() != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
      return {};
    path = std::string(cwd) + "/" + path;
  }
  for (;;) {
    char real[PATH_MAX];
    if (realpath(path.c_str(), real))
      return real;
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || path == "/")
      return {};
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
}

FreeBytesFake& Fake() {
  static FreeBytesFake fake;
  return fake;
}

}  // namespace

FreeBytesFake SetFreeBytesFake(FreeBytesFake fake) {
  std::swap(Fake(), fake);
  return fake;
}

std::int64_t FreeBytes(const std::string& path) {
  if (Fake())
    return Fake()(path);
  const std::string dir = ExistingAncestor(path);
  struct statvfs vfs {};
  if (dir.empty() || statvfs(dir.c_str(), &vfs) != 0)
    return -1;
  return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

std::string MountPointOf(const std::string& path) {
  std::string dir = ExistingAncestor(path);
  struct stat st {};
  if (dir.empty() || stat(dir.c_str(), &st) != 0)
    return path;
  const dev_t dev = st.st_dev;
  while (dir != "/") {
    const auto slash = dir.find_last_of('/');
    const std::string parent = slash == 0 ? "/" : dir.substr(0, slash);
    struct stat up {};
    if (stat(parent.c_str(), &up) != 0 || up.st_dev != dev)
      break;
    dir = parent;
  }
  return dir;
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const std::string da = ExistingAncestor(a), db = ExistingAncestor(b);
  return !da.empty() && !db.empty() && stat(da.c_str(), &sa) == 0 && stat(db.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev;
}

}  // namespace platform
