// Non-blocking IPv4 TCP sockets and a poll over them, for the library's
// socket layer. Sockets are plain descriptors (int, -1 none); every call
// returns at once. Sends never raise SIGPIPE. Addresses are IPv4 in host
// byte order, ports in host byte order.
//
// For tests, each send can be limited to a number of bytes (0 makes every
// send report "would block"), so short sends and split packet headers can
// be produced on a real loopback connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr uint32_t kLoopbackIPv4 = 0x7F000001u;

// A listening socket bound to address:port (port 0 picks a free port);
// *bound_port receives the port in use. -1 on failure.
int TcpListen(uint32_t address, uint16_t port, uint16_t* bound_port);
// Starts a connection; the socket becomes writable when it completes, and
// TcpPendingError then tells whether it failed. -1 when it could not start.
int TcpConnect(uint32_t address, uint16_t port);
// Takes one pending connection of a listening socket (non-blocking), with
// the peer's address and port. -1 when there is none or on error.
int TcpAccept(int listener, uint32_t* peer_address, uint16_t* peer_port);

// Results of TcpSend and TcpRecv besides a byte count.
inline constexpr long kTcpWouldBlock = -1;
inline constexpr long kTcpFailed = -2;
// Bytes sent (at least 1 for a non-empty request), kTcpWouldBlock, or
// kTcpFailed.
long TcpSend(int socket, const void* data, size_t size);
// Bytes received, 0 when the peer closed its side and nothing is left,
// kTcpWouldBlock, or kTcpFailed. peek leaves the bytes in the socket.
long TcpRecv(int socket, void* buffer, size_t size, bool peek);
// The socket's pending error (0 none), cleared by reading it.
int TcpPendingError(int socket);
// The errno of the last failed call of this thread.
int TcpLastError();
void TcpClose(int socket);

// Resolves a host name or dotted address to IPv4 (host order); false when
// it has none.
bool ResolveIPv4(std::string_view host, uint32_t* address);

// One socket's entry in a poll.
struct SocketPoll {
  int socket = -1;
  bool want_write = false;  // also report writability
  // Results.
  bool readable = false;
  bool writable = false;
  bool hung_up = false;  // the peer closed its side, or the connection broke
  bool failed = false;
};
// Polls without waiting; false when the poll itself failed.
bool PollSockets(SocketPoll* entries, size_t count);

// Test control: the most bytes one TcpSend may pass on (-1 no limit, the
// default; 0 every send would block).
void SetTcpSendLimitForTests(long limit);

}  // namespace platform
