// The network seam: the socket and HTTP task layer's per-pass work and
// window messages, and its start-up and shutdown. The network layer
// implements NetworkService and the entry layer installs it
// (service_registry.h); NullNetworkService has no tasks and no sockets.
#pragma once

#include <cstdint>

class NetworkService {
 public:
  virtual void ClearHttpTasks() = 0;
  virtual void DeleteAllHttpTasks() = 0;
  virtual void TerminateNetwork() = 0;
  // Per message pass: lets the network window handle its messages.
  virtual void PumpNetworkWindow(int flag) = 0;
  // Per message pass: advances the HTTP tasks.
  virtual void RunHttpTasks() = 0;
  // A socket's event message; the result is the message's answer.
  virtual int64_t HandleSocketEvent(uint64_t wparam, int64_t lparam) = 0;

 protected:
  constexpr NetworkService() = default;
  ~NetworkService() = default;
};

class NullNetworkService : public NetworkService {
 public:
  constexpr NullNetworkService() = default;
  void ClearHttpTasks() override {}
  void DeleteAllHttpTasks() override {}
  void TerminateNetwork() override {}
  void PumpNetworkWindow(int) override {}
  void RunHttpTasks() override {}
  int64_t HandleSocketEvent(uint64_t, int64_t) override { return 0; }
};
