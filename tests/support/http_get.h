// A plain HTTP/1.0 GET on the loopback (no chunked replies, the server
// closes), and a free port to listen on: what the tests of the metrics
// endpoint and of a Prometheus server need, written apart from the program.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

namespace testsupport {

struct HttpReply {
  int status = 0;  // 0: no connection or no reply
  std::string body;
};

// GET http://127.0.0.1:port/target, waiting at most 5 s for the reply.
inline HttpReply HttpGet(unsigned port, const std::string& target) {
  HttpReply reply;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0)
    return reply;
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string text;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request =
        "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
      char buf[8192];
      for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  // "HTTP/1.1 200 OK\r\n...\r\n\r\nbody"
  const auto end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/", 0) != 0 || end == std::string::npos)
    return reply;
  reply.status = std::stoi(text.substr(text.find(' ') + 1, 3));
  reply.body = text.substr(end + 4);
  return reply;
}

// A socket listening on 127.0.0.1 at a port the system chose; its port.
struct Listener {
  int fd = -1;
  unsigned port = 0;
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(fd, 4) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
      port = ntohs(addr.sin_port);
  }
  ~Listener() {
    if (fd >= 0)
      close(fd);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
};

// A port that was free a moment ago (for a server the test starts next).
inline unsigned FreePort() {
  return Listener().port;
}

}  // namespace testsupport
