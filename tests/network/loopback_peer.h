// Loopback helpers for the network tests: a blocking peer socket with
// bounded waits, a one-connection scripted HTTP server on its own thread,
// and a pump loop that runs the layer's per-pass steps until a condition
// holds or two seconds of real time have gone by.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <time.h>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"

namespace nettest {

inline void SetTimeouts(int fd) {
  timeval tv{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// A blocking client connected to 127.0.0.1:port; -1 on failure.
inline int ConnectPeer(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  SetTimeouts(fd);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

inline bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Exactly size bytes, or fewer when the peer closed or two seconds passed.
inline std::string RecvExactly(int fd, size_t size) {
  std::string out;
  char buffer[4096];
  while (out.size() < size) {
    const size_t want = size - out.size() < sizeof buffer ? size - out.size() : sizeof buffer;
    const ssize_t n = recv(fd, buffer, want, 0);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}

inline int64_t RealMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

inline void PauseMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

// Runs the message pass's network steps until done() or two seconds.
inline bool PumpUntil(const std::function<bool()>& done) {
  const int64_t limit = RealMilliseconds() + 2000;
  while (RealMilliseconds() < limit) {
    PumpNetworkWindow(1);
    RunAllHttpTasks();
    if (done()) return true;
    PauseMs(1);
  }
  return done();
}

inline std::string Packet(const std::string& body) {
  const auto n = static_cast<uint32_t>(body.size());
  std::string out{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                  static_cast<char>(n >> 24)};
  return out + body;
}

// Accepts one connection on a loopback port, reads the request (up to the
// blank line, plus the body a Content-Length announces), answers with the
// given writes (a short pause between them), then closes after close_delay_ms
// or, with hold_open, when the server is destroyed.
class ScriptedHttpServer {
 public:
  ScriptedHttpServer(std::vector<std::string> writes, int close_delay_ms = 0, bool hold_open = false)
      : writes_(std::move(writes)), close_delay_ms_(close_delay_ms), hold_open_(hold_open) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    listen(listener_, 4);
    socklen_t length = sizeof sa;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &length);
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedHttpServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  uint16_t port() const { return port_; }
  // The request bytes as received (complete once the task has finished).
  std::string request() {
    done_.wait(false);
    return request_;
  }

 private:
  void Serve() {
    pollfd p{listener_, POLLIN, 0};
    for (int waited = 0; waited < 2000 && !stop_; waited += 10) {
      if (poll(&p, 1, 10) > 0) break;
    }
    const int fd = stop_ ? -1 : accept(listener_, nullptr, nullptr);
    if (fd >= 0) {
      SetTimeouts(fd);
      ReadRequest(fd);
      for (size_t i = 0; i < writes_.size(); ++i) {
        if (i > 0) PauseMs(20);
        SendAll(fd, writes_[i]);
      }
      if (hold_open_) {
        while (!stop_) PauseMs(5);
      } else if (close_delay_ms_ > 0) {
        PauseMs(close_delay_ms_);
      }
      close(fd);
    }
    done_ = true;
    done_.notify_all();
  }
  void ReadRequest(int fd) {
    char c;
    size_t body = 0;
    while (recv(fd, &c, 1, 0) == 1) {
      request_ += c;
      const bool end = request_.ends_with("\r\n\r\n") || request_.ends_with("\n\n");
      if (!end) continue;
      const size_t at = request_.find("Content-Length: ");
      if (at != std::string::npos) body = std::stoul(request_.substr(at + 16));
      break;
    }
    if (body > 0) request_ += RecvExactly(fd, body);
  }

  std::vector<std::string> writes_;
  int close_delay_ms_;
  bool hold_open_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::string request_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace nettest
