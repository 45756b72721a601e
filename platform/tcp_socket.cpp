// Non-blocking IPv4 TCP over POSIX sockets.
#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

thread_local int t_last_error = 0;
std::atomic<long> g_send_limit{-1};

int Fail() {
  t_last_error = errno;
  return -1;
}

bool MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(address);
  sa.sin_port = htons(port);
  return sa;
}

int NewSocket() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail();
  return fd;
}

}  // namespace

int TcpListen(uint32_t address, uint16_t port, uint16_t* bound_port) {
  const int fd = NewSocket();
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = MakeAddress(address, port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 16) != 0) {
    Fail();
    close(fd);
    return -1;
  }
  socklen_t length = sizeof sa;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
    Fail();
    close(fd);
    return -1;
  }
  if (bound_port != nullptr) *bound_port = ntohs(sa.sin_port);
  return fd;
}

int TcpConnect(uint32_t address, uint16_t port) {
  const int fd = NewSocket();
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in sa = MakeAddress(address, port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 && errno != EINPROGRESS) {
    Fail();
    close(fd);
    return -1;
  }
  return fd;
}

int TcpAccept(int listener, uint32_t* peer_address, uint16_t* peer_port) {
  sockaddr_in sa{};
  socklen_t length = sizeof sa;
  const int fd = accept4(listener, reinterpret_cast<sockaddr*>(&sa), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return Fail();
  if (!MakeNonBlocking(fd)) {
    Fail();
    close(fd);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (peer_address != nullptr) *peer_address = ntohl(sa.sin_addr.s_addr);
  if (peer_port != nullptr) *peer_port = ntohs(sa.sin_port);
  return fd;
}

long TcpSend(int socket, const void* data, size_t size) {
  const long limit = g_send_limit.load();
  if (limit == 0) return kTcpWouldBlock;
  if (limit > 0 && size > static_cast<size_t>(limit)) size = static_cast<size_t>(limit);
  if (size == 0) return 0;
  const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  t_last_error = errno;
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kTcpWouldBlock : kTcpFailed;
}

long TcpRecv(int socket, void* buffer, size_t size, bool peek) {
  if (size == 0) return kTcpWouldBlock;
  const ssize_t got = recv(socket, buffer, size, peek ? MSG_PEEK : 0);
  if (got >= 0) return static_cast<long>(got);
  t_last_error = errno;
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kTcpWouldBlock : kTcpFailed;
}

int TcpPendingError(int socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

int TcpLastError() { return t_last_error; }

void TcpClose(int socket) {
  if (socket >= 0) close(socket);
}

bool ResolveIPv4(std::string_view host, uint32_t* address) {
  const std::string name(host);
  in_addr numeric{};
  if (inet_pton(AF_INET, name.c_str(), &numeric) == 1) {
    *address = ntohl(numeric.s_addr);
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) return false;
  const auto* sa = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
  *address = ntohl(sa->sin_addr.s_addr);
  freeaddrinfo(result);
  return true;
}

bool PollSockets(SocketPoll* entries, size_t count) {
  if (count == 0) return true;
  std::vector<pollfd> fds(count);
  for (size_t i = 0; i < count; ++i) {
    fds[i].fd = entries[i].socket;
    fds[i].events = static_cast<short>(POLLIN | POLLRDHUP | (entries[i].want_write ? POLLOUT : 0));
    fds[i].revents = 0;
  }
  int ready;
  do {
    ready = poll(fds.data(), fds.size(), 0);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return Fail() == 0;
  for (size_t i = 0; i < count; ++i) {
    const short r = fds[i].revents;
    entries[i].readable = (r & POLLIN) != 0;
    entries[i].writable = (r & POLLOUT) != 0;
    entries[i].hung_up = (r & (POLLHUP | POLLRDHUP)) != 0;
    entries[i].failed = (r & (POLLERR | POLLNVAL)) != 0;
  }
  return true;
}

void SetTcpSendLimitForTests(long limit) { g_send_limit.store(limit); }

}  // namespace platform
