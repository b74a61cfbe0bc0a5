#include "platform/folders.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {

std::string GetProgramFolder() {
  std::vector<char> buf(PATH_MAX + 1, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0)
    return {};
  std::string path(buf.data(), static_cast<size_t>(n));
  auto slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos)
    return path;
  return path.substr(0, slash + 1);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0)
    return false;
  return S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path) {
  if (path.empty())
    return false;
  return mkdir(path.c_str(), 0777) == 0;
}

namespace {

// Creates and removes a file in the folder; 0 or the errno of the failure.
int ProbeCreate(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0)
    return path.empty() ? ENOENT : errno;
  if (!S_ISDIR(st.st_mode))
    return ENOTDIR;
  // Ask by doing: permission bits say nothing for root, nor for a read-only
  // mount or a pseudo file system.
  std::string probe = path;
  if (probe.back() != kPathSeparator)
    probe += kPathSeparator;
  probe += ".zuvek-write-probe-XXXXXX";
  int fd = mkstemp(probe.data());
  if (fd < 0)
    return errno;
  close(fd);
  unlink(probe.c_str());
  return 0;
}

}  // namespace

bool IsDirectoryWritable(const std::string& path) {
  return ProbeCreate(path) == 0;
}

int DirectoryWriteError(const std::string& path) {
  if (const int err = ProbeCreate(path))
    return err;
  // An empty file fits on a full disk; a log does not.
  struct statvfs fs {};
  if (statvfs(path.c_str(), &fs) == 0 && fs.f_bavail == 0 && fs.f_blocks > 0)
    return ENOSPC;
  return 0;
}

namespace {

bool MakeDirs(const std::string& path) {
  if (path.empty())
    return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find(kPathSeparator, pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty() || DirectoryExists(partial))
      continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
      return false;
  }
  return DirectoryExists(path);
}

}  // namespace

std::string UserDataFolder() {
  const std::string folder = UserDataFolderPath();
  if (folder.empty() || !MakeDirs(folder.substr(0, folder.size() - 1)))
    return {};
  return folder;
}

std::string UserDataFolderPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == kPathSeparator) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  while (base.size() > 1 && base.back() == kPathSeparator)
    base.pop_back();
  return base + "/zuvek" + kPathSeparator;
}

}  // namespace platform
