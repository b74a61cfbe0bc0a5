#include "serial/device_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF;

// The folder of a path, or its nearest parent that exists.
std::string NearestFolder(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  while (!folder.empty() && !std::filesystem::is_directory(folder, ec) &&
         folder != folder.root_path()) {
    folder = folder.parent_path();
  }
  return folder.empty() ? "." : folder.string();
}

}  // namespace

DeviceWatch::DeviceWatch(std::vector<std::string> paths) : paths_(std::move(paths)) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  Rewatch();
}

DeviceWatch::~DeviceWatch() {
  if (fd_ >= 0)
    close(fd_);
}

void DeviceWatch::Rewatch() {
  if (fd_ < 0)
    return;
  // Adding a folder watched already only refreshes its watch.
  for (const std::string& path : paths_) {
    inotify_add_watch(fd_, NearestFolder(path).c_str(), kFolderEvents);
    // A link's target folder (/dev for a by-id link, /dev/pts for the
    // simulator's) announces the node itself.
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(path, ec);
    if (!ec) {
      const auto full =
          target.is_absolute() ? target : std::filesystem::path(path).parent_path() / target;
      inotify_add_watch(fd_, NearestFolder(full.string()).c_str(), kFolderEvents);
    }
  }
}

bool DeviceWatch::AllPresent() const {
  for (const std::string& path : paths_) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) ||
        access(path.c_str(), R_OK | W_OK) != 0) {
      return false;
    }
  }
  return true;
}

bool DeviceWatch::WaitForChange(int timeout_ms) {
  if (fd_ < 0) {
    usleep(static_cast<useconds_t>(timeout_ms) * 1000);
    return false;
  }
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0)
    return false;
  alignas(inotify_event) char buffer[4096];
  while (read(fd_, buffer, sizeof buffer) > 0) {
  }
  Rewatch();  // a folder may have come (or gone) with the change
  return true;
}

bool WaitForDevices(const std::vector<std::string>& paths, const std::function<bool()>& give_up,
                    int slice_ms) {
  DeviceWatch watch(paths);
  while (!watch.AllPresent()) {
    if (give_up())
      return false;
    watch.WaitForChange(slice_ms);
  }
  return true;
}
