// The library's TCP layer: a table of socket handles (HandleType 9, 4097
// slots, accepted sockets in slots 0..4095), length-prefixed packets queued
// in growable rings, and the event step that a message pass runs.
//
// Wire format in packet mode: a u32 little-endian byte count, then that many
// bytes; everything NetWorkSend queued since the previous packet went out
// leaves as one packet. In raw mode bytes pass through unframed.
//
// Events: PumpNetworkWindow polls every socket without waiting and hands
// what it finds to HandleSocketEvent as event words (the low 16 bits one of
// the kNetEvent values, the high 16 bits an error code). Nothing starts the
// layer in the player: until StartNetwork every operation answers -1 (the
// pump, the event step and shutdown 0) and no socket is opened. Starting,
// listening and connecting are for the library's own users and the tests.
//
// All of it runs under ApiLock on the thread of the message pass. Every
// peer is untrusted: a packet longer than kMaxPacketBytes puts the socket in
// error instead of growing the ring.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/network/ring_buffer.h"

inline constexpr int kNetEventRead = 0x01;
inline constexpr int kNetEventWrite = 0x02;
inline constexpr int kNetEventAccept = 0x08;
inline constexpr int kNetEventConnect = 0x10;
inline constexpr int kNetEventClose = 0x20;

// The longest packet a peer may announce.
inline constexpr uint32_t kMaxPacketBytes = 16u * 1024u * 1024u;
// The longest text line ReadSocketLine looks at, line feed included.
inline constexpr int kSocketLinePeek = 255;

struct SocketRecord {
  int used = 0;
  int error = 0;
  int connected = 0;
  int close_noticed = 0;
  int connecting = 0;       // a connection under way (not yet connected)
  int close_delivered = 0;  // the peer's close was reported once
  int packet_mode = 1;
  int auto_close = 1;
  int socket = -1;
  uint32_t recv_expected = 0;     // bytes of the current packet still to come
  RingBuffer recv_ring;
  uint32_t recv_packet_size = 0;  // size of the packet being received
  uint32_t complete_bytes = 0;    // bytes of whole packets held
  RingBuffer send_ring;
  uint32_t send_packet_length = 0;  // length of the packet being sent
  uint32_t send_left = 0;           // its bytes still to send
  uint32_t header_left = 0;         // its header bytes still to send
  uint32_t peer_address = 0;
  uint16_t peer_port = 0;
};

// ---- starting (not reached by the player) ----
// Starts the layer with an empty table of the given slot count (4097; tests
// lower it). 0.
int StartNetwork(int table_capacity = 4097);
bool IsNetworkStarted();
// Listens on address:port (port 0 any free one); *bound_port gets the port.
// 0 or -1.
int ListenNetwork(uint32_t address, uint16_t port, uint16_t* bound_port);
// Settings for sockets made later: raw mode (no packets) and auto-close
// (close a socket once its peer's close was noticed).
void SetNetworkRawMode(int raw);
void SetNetworkAutoClose(int on);
// A new socket connecting to address:port in the current mode; the handle,
// or -1. raw_override -1 keeps the mode, 0 / 1 forces packet / raw mode, and
// with it auto-close is off.
int ConnectNetwork(uint32_t address, uint16_t port, int raw_override = -1);

// ---- event step ----
int PumpNetworkWindow(int close_finished);
// 1, or 0 for a socket the layer does not know (logged).
int HandleSocketEvent(int event_word, int socket);
int AcceptNetWork();
int RecvSocket(int handle);
int SendSocket(int handle);

// ---- data ----
int NetWorkSend(int handle, const void* data, int length);
int NetWorkRecv(int handle, void* buffer, int size);
int NetWorkRecvToPeek(int handle, void* buffer, int size);
int GetNetWorkDataLength(int handle);
int GetNetWorkAcceptState(int handle);
int CloseSocketHandle(int handle);
int TerminateNetwork();

// One line (without its line feed, NUL-terminated, at most 254 bytes) into
// out[kSocketLinePeek]; 0, or -1 when no whole line is held.
int ReadSocketLine(int handle, char* out);
enum class SocketLineStatus { kLine, kWaiting, kTooLong, kFailed };
// As ReadSocketLine, telling why no line came: kWaiting (a line may still
// come), kTooLong (kSocketLinePeek bytes without a line feed), kFailed.
SocketLineStatus ReadSocketLineStatus(int handle, char* out);
// Raw mode: up to size bytes taken from the socket; 0 when none are held.
int RecvSocketBytes(int handle, void* buffer, int size);
// Raw mode: true while the socket holds unread bytes.
bool SocketHoldsData(int handle);

// The record a handle names, null for a bad handle or a stopped layer.
SocketRecord* FindSocketRecord(int handle);
// Handles of the live sockets, and the listening socket (-1 none), for tests.
int CountSockets();
int ListeningSocket();
