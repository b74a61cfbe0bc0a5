#include "platform/tcp_link.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How often a wait asks cancelled().
constexpr milliseconds kSlice{100};

bool IsCancelled(const TcpLink::Cancelled& cancelled) {
  return cancelled && cancelled();
}

// The time left before the deadline, at most one slice; zero when it passed.
milliseconds NextSlice(TcpLink::Deadline deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - steady_clock::now());
  return std::clamp(left, milliseconds{0}, kSlice);
}

// Waits until fd is ready for events, the deadline passes or cancelled().
LinkStatus WaitReady(int fd, short events, TcpLink::Deadline deadline,
                     const TcpLink::Cancelled& cancelled) {
  for (;;) {
    if (IsCancelled(cancelled))
      return LinkStatus::kCancelled;
    const milliseconds slice = NextSlice(deadline);
    if (slice.count() == 0)
      return LinkStatus::kTimedOut;
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(slice.count()));
    if (n > 0)
      return LinkStatus::kOk;
    if (n < 0 && errno != EINTR)
      return LinkStatus::kError;
  }
}

LinkStatus StatusOfErrno(int error, std::string* detail) {
  if (detail)
    *detail = std::strerror(error);
  switch (error) {
    case ECONNREFUSED:
      return LinkStatus::kRefused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
      return LinkStatus::kUnreachable;
    case ETIMEDOUT:
      return LinkStatus::kTimedOut;
    case EPIPE:
    case ECONNRESET:
      return LinkStatus::kClosed;
    default:
      return LinkStatus::kError;
  }
}

addrinfo Hints(int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | flags;
  return hints;
}

// A host name's lookup in a thread of its own: the system's resolver cannot
// be interrupted, so the caller waits for it only until its deadline.
struct Lookup {
  std::mutex mutex;
  std::condition_variable ended_cv;
  bool ended = false;
  bool abandoned = false;  // the caller stopped waiting: the lookup frees its result
  int rc = 0;
  addrinfo* result = nullptr;
};

void Look(const std::shared_ptr<Lookup>& lookup, const std::string& host,
          const std::string& service) {
  const addrinfo hints = Hints(0);
  addrinfo* result = nullptr;
  const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
  std::lock_guard lock(lookup->mutex);
  lookup->rc = rc;
  lookup->result = result;
  if (lookup->abandoned && rc == 0)
    freeaddrinfo(result);
  lookup->ended = true;
  lookup->ended_cv.notify_all();
}

// The threads of lookups that outlived their deadline, joined once they
// end. Never destroyed, so that one still running at the program's exit
// does not stop it.
struct LateLookup {
  std::shared_ptr<Lookup> lookup;
  std::thread thread;
};
std::mutex g_late_mutex;
auto* const g_late = new std::vector<LateLookup>;

void JoinEndedLookups() {
  std::lock_guard lock(g_late_mutex);
  std::erase_if(*g_late, [](LateLookup& late) {
    {
      std::lock_guard ended(late.lookup->mutex);
      if (!late.lookup->ended)
        return false;
    }
    late.thread.join();
    return true;
  });
}

LinkStatus ResolveName(const std::string& host, const std::string& service,
                       TcpLink::Deadline deadline, const TcpLink::Cancelled& cancelled,
                       addrinfo** out, std::string* detail) {
  JoinEndedLookups();
  auto lookup = std::make_shared<Lookup>();
  std::thread thread(Look, lookup, host, service);
  std::unique_lock lock(lookup->mutex);
  while (!lookup->ended) {
    const milliseconds slice = NextSlice(deadline);
    if (IsCancelled(cancelled) || slice.count() == 0) {
      lookup->abandoned = true;
      lock.unlock();
      std::lock_guard late(g_late_mutex);
      g_late->push_back({std::move(lookup), std::move(thread)});
      return slice.count() == 0 ? LinkStatus::kTimedOut : LinkStatus::kCancelled;
    }
    lookup->ended_cv.wait_for(lock, slice);
  }
  lock.unlock();
  thread.join();
  if (const int rc = lookup->rc; rc != 0) {
    *detail = gai_strerror(rc);
    return rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_AGAIN ? LinkStatus::kUnknownHost
                                                                   : LinkStatus::kError;
  }
  *out = lookup->result;
  return LinkStatus::kOk;
}

// The addresses of host: an address given as numbers at once, a name
// through the resolver.
LinkStatus Resolve(const std::string& host, std::uint16_t port, TcpLink::Deadline deadline,
                   const TcpLink::Cancelled& cancelled, addrinfo** out, std::string* detail) {
  const std::string service = std::to_string(port);
  const addrinfo numeric = Hints(AI_NUMERICHOST);
  if (getaddrinfo(host.c_str(), service.c_str(), &numeric, out) == 0)
    return LinkStatus::kOk;
  return ResolveName(host, service, deadline, cancelled, out, detail);
}

LinkStatus ConnectTo(const addrinfo& a, TcpLink::Deadline deadline,
                     const TcpLink::Cancelled& cancelled, int* fd_out, std::string* detail) {
  const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
  if (fd < 0)
    return StatusOfErrno(errno, detail);
  LinkStatus status = LinkStatus::kOk;
  if (connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
    if (errno != EINPROGRESS)
      status = StatusOfErrno(errno, detail);
    else if ((status = WaitReady(fd, POLLOUT, deadline, cancelled)) == LinkStatus::kOk) {
      int error = 0;
      socklen_t size = sizeof error;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
      if (error != 0)
        status = StatusOfErrno(error, detail);
    }
  }
  if (status == LinkStatus::kOk) {
    // Each line goes out at once: a short line held back until the previous
    // one is acknowledged would wait for the other end's delayed ACK.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *fd_out = fd;
  } else {
    close(fd);
  }
  return status;
}

}  // namespace

TcpLink::~TcpLink() {
  Close();
}

void TcpLink::Close() {
  if (fd_ >= 0)
    close(fd_);
  fd_ = -1;
  pending_.clear();
}

LinkStatus TcpLink::Connect(const std::string& host, std::uint16_t port, Deadline deadline,
                            const Cancelled& cancelled, std::string* detail) {
  Close();
  std::string ignored;
  if (!detail)
    detail = &ignored;
  addrinfo* addresses = nullptr;
  LinkStatus status = Resolve(host, port, deadline, cancelled, &addresses, detail);
  if (status != LinkStatus::kOk)
    return status;
  status = LinkStatus::kUnknownHost;  // a name without addresses
  for (const addrinfo* a = addresses; a; a = a->ai_next) {
    status = ConnectTo(*a, deadline, cancelled, &fd_, detail);
    if (status == LinkStatus::kOk || status == LinkStatus::kTimedOut ||
        status == LinkStatus::kCancelled)
      break;
  }
  freeaddrinfo(addresses);
  return status;
}

LinkStatus TcpLink::WriteLine(std::string_view line, Deadline deadline,
                              const Cancelled& cancelled) {
  if (fd_ < 0)
    return LinkStatus::kClosed;
  std::string data(line);
  data += '\n';
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n >= 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return StatusOfErrno(errno, nullptr);
    if (const LinkStatus s = WaitReady(fd_, POLLOUT, deadline, cancelled); s != LinkStatus::kOk)
      return s;
  }
  return LinkStatus::kOk;
}

LinkStatus TcpLink::ReadLine(std::string* line, Deadline deadline, const Cancelled& cancelled) {
  if (fd_ < 0)
    return LinkStatus::kClosed;
  for (;;) {
    if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
      line->assign(pending_, 0, end);
      pending_.erase(0, end + 1);
      return LinkStatus::kOk;
    }
    if (pending_.size() > kMaxLine)
      return LinkStatus::kTooLong;
    if (const LinkStatus s = WaitReady(fd_, POLLIN, deadline, cancelled); s != LinkStatus::kOk)
      return s;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0)
      return LinkStatus::kClosed;
    if (n > 0)
      pending_.append(buffer, static_cast<std::size_t>(n));
    else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return StatusOfErrno(errno, nullptr);
  }
}

}  // namespace platform
