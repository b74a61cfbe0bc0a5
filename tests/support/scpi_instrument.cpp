#include "tests/support/scpi_instrument.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace testsupport {
namespace {

constexpr const char* kNoError = "0,\"No error\"";
constexpr const char* kUndefinedHeader = "-113,\"Undefined header\"";

// Takes the first entry equal to line out of triggers; true when there was one.
bool Fire(std::vector<std::string>& triggers, const std::string& line) {
  const auto it = std::find(triggers.begin(), triggers.end(), line);
  if (it == triggers.end())
    return false;
  triggers.erase(it);
  return true;
}

}  // namespace

struct ScpiInstrument::State {
  struct Client {
    int fd = -1;
    std::string pending;  // received bytes not yet a whole line
    bool hung = false;
  };

  mutable std::mutex mutex;
  std::map<std::string, std::string> answers;
  std::vector<std::pair<std::string, std::string>> errors_after;
  std::vector<std::string> hang_after;
  std::vector<std::string> close_after;
  std::deque<std::string> error_queue;
  std::string terminator = "\n";
  std::vector<std::string> received;
  int connections = 0;
  std::vector<Client> clients;  // the serving thread's alone

  // Handles one line of client; false when the connection is to be closed.
  bool OnLine(Client& client, std::string line);
  // The reply to a query, or false for none.
  bool ReplyTo(const std::string& query, std::string* reply);
};

bool ScpiInstrument::State::ReplyTo(const std::string& query, std::string* reply) {
  if (const auto it = answers.find(query); it != answers.end()) {
    *reply = it->second;
  } else if (query == "*OPC?") {
    *reply = "1";
  } else if (query == "SYST:ERR?") {
    *reply = error_queue.empty() ? kNoError : error_queue.front();
    if (!error_queue.empty())
      error_queue.pop_front();
  } else {
    error_queue.push_back(kUndefinedHeader);
    return false;
  }
  return true;
}

bool ScpiInstrument::State::OnLine(Client& client, std::string line) {
  std::lock_guard lock(mutex);
  received.push_back(line);
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  if (Fire(close_after, line))
    return false;
  if (Fire(hang_after, line))
    client.hung = true;
  if (client.hung)
    return true;
  for (auto it = errors_after.begin(); it != errors_after.end(); ++it) {
    if (it->first == line) {
      error_queue.push_back(it->second);
      errors_after.erase(it);
      break;
    }
  }
  std::string reply;
  if (line.find('?') != std::string::npos && ReplyTo(line, &reply)) {
    reply += terminator;
    if (send(client.fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
      return false;
  }
  return true;
}

ScpiInstrument::ScpiInstrument(const std::string& host) : host_(host), state_(new State) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* address = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), "0", &hints, &address); rc != 0) {
    error_ = "no address " + host + ": " + gai_strerror(rc);
    return;
  }
  listen_fd_ = socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  if (listen_fd_ < 0 || bind(listen_fd_, address->ai_addr, address->ai_addrlen) != 0 ||
      listen(listen_fd_, 8) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &size) != 0 ||
      pipe2(wake_fd_, O_CLOEXEC) != 0) {
    error_ = "cannot listen on " + host + ": " + std::strerror(errno);
    freeaddrinfo(address);
    return;
  }
  freeaddrinfo(address);
  port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  thread_ = std::thread([this] { Serve(); });
}

ScpiInstrument::~ScpiInstrument() {
  if (thread_.joinable()) {
    const char stop = 0;
    [[maybe_unused]] const ssize_t written = write(wake_fd_[1], &stop, 1);  // a fresh pipe takes it
    thread_.join();
  }
  for (const State::Client& client : state_->clients)
    close(client.fd);
  for (const int fd : {listen_fd_, wake_fd_[0], wake_fd_[1]})
    if (fd >= 0)
      close(fd);
}

void ScpiInstrument::Serve() {
  for (;;) {
    std::vector<pollfd> fds{{wake_fd_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    for (const State::Client& client : state_->clients)
      fds.push_back({client.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
      return;
    if (fds[0].revents)
      return;
    if (fds[1].revents & POLLIN) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        state_->clients.push_back({fd, "", false});
        std::lock_guard lock(state_->mutex);
        ++state_->connections;
      }
    }
    // The clients polled, in the same order; new ones wait for the next round.
    std::vector<int> gone;
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (!fds[i].revents)
        continue;
      State::Client& client = state_->clients[i - 2];
      char buffer[4096];
      const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
      bool open = n > 0;
      if (open)
        client.pending.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t end; open && (end = client.pending.find('\n')) != std::string::npos;) {
        std::string line = client.pending.substr(0, end);
        client.pending.erase(0, end + 1);
        open = state_->OnLine(client, std::move(line));
      }
      if (!open)
        gone.push_back(client.fd);
    }
    std::erase_if(state_->clients, [&](const State::Client& client) {
      if (std::find(gone.begin(), gone.end(), client.fd) == gone.end())
        return false;
      close(client.fd);
      return true;
    });
  }
}

std::string ScpiInstrument::Address() const {
  const bool v6 = host_.find(':') != std::string::npos;
  return (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

void ScpiInstrument::Answer(const std::string& query, const std::string& reply) {
  std::lock_guard lock(state_->mutex);
  state_->answers[query] = reply;
}

void ScpiInstrument::ErrorAfter(const std::string& command, const std::string& error) {
  std::lock_guard lock(state_->mutex);
  state_->errors_after.emplace_back(command, error);
}

void ScpiInstrument::HangAfter(const std::string& command) {
  std::lock_guard lock(state_->mutex);
  state_->hang_after.push_back(command);
}

void ScpiInstrument::CloseAfter(const std::string& command) {
  std::lock_guard lock(state_->mutex);
  state_->close_after.push_back(command);
}

void ScpiInstrument::EndRepliesWith(const std::string& terminator) {
  std::lock_guard lock(state_->mutex);
  state_->terminator = terminator;
}

std::vector<std::string> ScpiInstrument::Received() const {
  std::lock_guard lock(state_->mutex);
  return state_->received;
}

int ScpiInstrument::Connections() const {
  std::lock_guard lock(state_->mutex);
  return state_->connections;
}

}  // namespace testsupport
