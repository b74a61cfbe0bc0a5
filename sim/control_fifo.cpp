#include "sim/control_fifo.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

bool ControlFifo::Open(const std::string& path, std::string* error) {
  Close();
  unlink(path.c_str());
  if (mkfifo(path.c_str(), 0600) != 0) {
    if (error)
      *error = "cannot make the control pipe " + path + ": " + std::strerror(errno);
    return false;
  }
  read_fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  keep_fd_ = read_fd_ < 0 ? -1 : open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (read_fd_ < 0 || keep_fd_ < 0) {
    if (error)
      *error = "cannot open the control pipe " + path + ": " + std::strerror(errno);
    path_ = path;
    Close();
    return false;
  }
  path_ = path;
  return true;
}

std::vector<std::string> ControlFifo::Read(int wait_ms) {
  std::vector<std::string> lines;
  if (read_fd_ < 0)
    return lines;
  pollfd p{read_fd_, POLLIN, 0};
  if (poll(&p, 1, wait_ms) <= 0)
    return lines;
  char buffer[256];
  for (ssize_t n; (n = read(read_fd_, buffer, sizeof buffer)) > 0;)
    partial_.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
    lines.push_back(partial_.substr(0, nl));
    partial_.erase(0, nl + 1);
  }
  return lines;
}

void ControlFifo::Close() {
  for (int* fd : {&read_fd_, &keep_fd_}) {
    if (*fd >= 0)
      close(*fd);
    *fd = -1;
  }
  if (!path_.empty())
    unlink(path_.c_str());
  path_.clear();
  partial_.clear();
}

}  // namespace sim
