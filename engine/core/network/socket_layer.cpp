// Socket handles, packets and the event step.
#include "engine/core/network/socket_layer.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace {

// The longest the close of a socket drains its queues, per direction.
constexpr uint32_t kCloseDrainMs = 1000;

struct NetworkState {
  bool started = false;
  int listener = -1;
  int raw_mode = 0;
  int auto_close = 1;
  std::unique_ptr<HandleTable<SocketRecord>> table;
  bool in_recv = false;
  bool in_send = false;
};

NetworkState& State() {
  static NetworkState state;
  return state;
}

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void LogNetworkError(const char* text) { WriteLogF("ネットワークログ。%s[%d]", text, platform::TcpLastError()); }

// The contiguous free bytes at the ring's write position.
uint32_t FreeRunAtWrite(const RingBuffer& ring) {
  if (ring.length == ring.capacity) return 0;
  if (ring.write >= ring.read) return ring.capacity - ring.write;
  return ring.read - ring.write;
}

// The contiguous held bytes at the ring's read position.
uint32_t HeldRunAtRead(const RingBuffer& ring) {
  if (ring.length == 0) return 0;
  const uint32_t to_end = ring.capacity - ring.read;
  return ring.length < to_end ? ring.length : to_end;
}

int FindHandleBySocket(int socket) {
  NetworkState& s = State();
  if (!s.table) return -1;
  for (int slot = 0; slot < s.table->capacity(); ++slot) {
    const SocketRecord* record = s.table->RecordAt(slot);
    if (record != nullptr && record->socket == socket) return s.table->HandleAt(slot);
  }
  return -1;
}

void DropRecord(int handle) {
  NetworkState& s = State();
  std::unique_ptr<SocketRecord> record = s.table->Remove(handle);
  if (!record) return;
  platform::TcpClose(record->socket);
  FreeRingBuffer(record->recv_ring);
  FreeRingBuffer(record->send_ring);
}

std::unique_ptr<SocketRecord> NewRecord() {
  std::unique_ptr<SocketRecord> record(new (std::nothrow) SocketRecord);
  if (!record) return nullptr;
  record->used = 1;
  record->packet_mode = State().raw_mode != 0 ? 0 : 1;
  record->auto_close = State().auto_close;
  return record;
}

int RecvPackets(SocketRecord& r) {
  for (;;) {
    if (r.recv_expected == 0) {
      uint8_t header[4];
      if (platform::TcpRecv(r.socket, header, 4, true) < 4) return 0;
      const uint32_t size = ReadU32(header);
      if (size > kMaxPacketBytes || ReserveRingBuffer(r.recv_ring, size) != 0) {
        WriteLogF("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %u byte)", size);
        r.error = 1;
        return -1;
      }
      platform::TcpRecv(r.socket, header, 4, false);
      r.recv_expected = size;
      r.recv_packet_size = size;
      if (size == 0) continue;
    }
    bool came = false;
    while (r.recv_expected > 0) {
      uint32_t run = FreeRunAtWrite(r.recv_ring);
      if (run > r.recv_expected) run = r.recv_expected;
      if (run == 0) break;
      const long got = platform::TcpRecv(r.socket, r.recv_ring.block + r.recv_ring.write, run, false);
      if (got <= 0) {
        if (got == platform::kTcpFailed) r.error = 1;
        break;
      }
      const auto n = static_cast<uint32_t>(got);
      r.recv_ring.write = (r.recv_ring.write + n) % r.recv_ring.capacity;
      r.recv_ring.length += n;
      r.recv_expected -= n;
      came = true;
    }
    if (r.recv_expected != 0) return 0;
    r.complete_bytes += r.recv_packet_size;
    if (!came && r.recv_packet_size != 0) return 0;
  }
}

// Sends bytes from the send ring's read position, at most limit; the bytes
// sent (consumed from the ring), or -1 on a broken connection.
long SendFromRing(SocketRecord& r, uint32_t limit) {
  uint32_t run = HeldRunAtRead(r.send_ring);
  if (run > limit) run = limit;
  if (run == 0) return 0;
  const long sent = platform::TcpSend(r.socket, r.send_ring.block + r.send_ring.read, run);
  if (sent == platform::kTcpFailed) {
    r.error = 1;
    return -1;
  }
  if (sent <= 0) return 0;
  ReadRingBuffer(r.send_ring, static_cast<uint32_t>(sent), nullptr, false);
  return sent;
}

void SendPackets(SocketRecord& r) {
  for (;;) {
    if (r.header_left == 0 && r.send_left == 0) {
      if (r.send_ring.length == 0) return;
      // The packet takes everything queued once its first header byte has
      // gone out; until then later sends still join it.
      uint8_t header[4];
      WriteU32(header, r.send_ring.length);
      const long sent = platform::TcpSend(r.socket, header, 4);
      if (sent == platform::kTcpFailed) r.error = 1;
      if (sent <= 0) return;
      r.send_packet_length = r.send_ring.length;
      r.send_left = r.send_ring.length;
      r.header_left = 4 - static_cast<uint32_t>(sent);
    } else if (r.header_left > 0) {
      uint8_t header[4];
      WriteU32(header, r.send_packet_length);
      const long sent = platform::TcpSend(r.socket, header + (4 - r.header_left), r.header_left);
      if (sent == platform::kTcpFailed) r.error = 1;
      if (sent <= 0) return;
      r.header_left -= static_cast<uint32_t>(sent);
    }
    if (r.header_left > 0) return;
    while (r.send_left > 0) {
      const long sent = SendFromRing(r, r.send_left);
      if (sent <= 0) return;
      r.send_left -= static_cast<uint32_t>(sent);
    }
  }
}

void SendRaw(SocketRecord& r) {
  while (r.send_ring.length > 0) {
    if (SendFromRing(r, r.send_ring.length) <= 0) return;
  }
}

bool WantsWrite(const SocketRecord& r) {
  return r.connecting != 0 || r.send_ring.length > 0 || r.header_left > 0;
}

}  // namespace

int StartNetwork(int table_capacity) {
  NetworkState& s = State();
  if (s.started) return 0;
  s.table = std::make_unique<HandleTable<SocketRecord>>(HandleType::kSocket, table_capacity);
  s.started = true;
  return 0;
}

bool IsNetworkStarted() { return State().started; }

int ListenNetwork(uint32_t address, uint16_t port, uint16_t* bound_port) {
  NetworkState& s = State();
  if (!s.started || s.listener >= 0) return -1;
  s.listener = platform::TcpListen(address, port, bound_port);
  return s.listener >= 0 ? 0 : -1;
}

void SetNetworkRawMode(int raw) { State().raw_mode = raw != 0 ? 1 : 0; }
void SetNetworkAutoClose(int on) { State().auto_close = on != 0 ? 1 : 0; }

int ConnectNetwork(uint32_t address, uint16_t port, int raw_override) {
  NetworkState& s = State();
  if (!s.started) return -1;
  const int slot = s.table->FirstFreeSlot();
  if (slot < 0) return -1;
  std::unique_ptr<SocketRecord> record = NewRecord();
  if (!record) return -1;
  if (raw_override >= 0) {
    record->packet_mode = raw_override != 0 ? 0 : 1;
    record->auto_close = 0;
  }
  record->socket = platform::TcpConnect(address, port);
  if (record->socket < 0) {
    LogNetworkError("connectに失敗しました");
    return -1;
  }
  record->connecting = 1;
  record->peer_address = address;
  record->peer_port = port;
  const int fd = record->socket;
  const int handle = s.table->Insert(slot, std::move(record));
  if (handle < 0) platform::TcpClose(fd);
  return handle;
}

SocketRecord* FindSocketRecord(int handle) {
  NetworkState& s = State();
  if (!s.started) return nullptr;
  return s.table->Find(handle);
}

int CountSockets() { return State().table ? State().table->live_count() : 0; }
int ListeningSocket() { return State().listener; }

int PumpNetworkWindow(int close_finished) {
  NetworkState& s = State();
  if (!s.started) return 0;
  if (close_finished == 1) {
    std::vector<int> finished;
    s.table->ForEachLive([&](int handle, SocketRecord& r) {
      if (r.error != 0 || (r.connected == 0 && r.connecting == 0 && r.close_noticed != 0 && r.auto_close != 0)) {
        finished.push_back(handle);
      }
    });
    for (int handle : finished) CloseSocketHandle(handle);
  }

  std::vector<platform::SocketPoll> polls;
  if (s.listener >= 0) polls.push_back(platform::SocketPoll{s.listener});
  s.table->ForEachLive([&](int, SocketRecord& r) {
    platform::SocketPoll entry{r.socket};
    entry.want_write = WantsWrite(r);
    polls.push_back(entry);
  });
  if (!platform::PollSockets(polls.data(), polls.size())) return 0;

  for (const platform::SocketPoll& p : polls) {
    if (p.socket == s.listener) {
      if (p.readable) HandleSocketEvent(kNetEventAccept, p.socket);
      continue;
    }
    const int handle = FindHandleBySocket(p.socket);
    SocketRecord* r = s.table->Find(handle);
    if (r == nullptr) continue;
    if (r->connecting != 0) {
      if (!(p.writable || p.failed || p.hung_up)) continue;
      const int error = platform::TcpPendingError(p.socket);
      HandleSocketEvent(kNetEventConnect | (error & 0xFFFF) << 16, p.socket);
      if (error != 0) continue;
    }
    bool peer_closed = p.hung_up || p.failed;
    if (p.readable) {
      uint8_t probe;
      const long got = platform::TcpRecv(p.socket, &probe, 1, true);
      if (got > 0) {
        HandleSocketEvent(kNetEventRead, p.socket);
      } else if (got == 0 || got == platform::kTcpFailed) {
        peer_closed = true;
      }
    }
    r = s.table->Find(handle);
    if (r == nullptr) continue;
    if (p.writable && r->connected != 0 && (r->send_ring.length > 0 || r->header_left > 0)) {
      HandleSocketEvent(kNetEventWrite, p.socket);
    }
    r = s.table->Find(handle);
    if (r != nullptr && peer_closed && r->close_delivered == 0) {
      r->close_delivered = 1;
      HandleSocketEvent(kNetEventClose, p.socket);
    }
  }
  return 0;
}

int HandleSocketEvent(int event_word, int socket) {
  NetworkState& s = State();
  if (!s.started) return 0;
  const int event = event_word & 0xFFFF;
  const int error = (event_word >> 16) & 0xFFFF;
  if (event == kNetEventAccept && socket == s.listener && socket >= 0) {
    AcceptNetWork();
    return 1;
  }
  const int handle = FindHandleBySocket(socket);
  SocketRecord* r = s.table->Find(handle);
  if (r == nullptr) {
    WriteLog("通信エラー No.1\n");
    return 0;
  }
  switch (event) {
    case kNetEventRead: RecvSocket(handle); break;
    case kNetEventWrite: SendSocket(handle); break;
    case kNetEventAccept: AcceptNetWork(); break;
    case kNetEventConnect:
      r->connecting = 0;
      if (error == 0) {
        r->connected = 1;
      } else {
        r->error = 1;
      }
      break;
    case kNetEventClose:
      r->connected = 0;
      r->close_noticed = 0;
      break;
    default: break;
  }
  return 1;
}

int AcceptNetWork() {
  NetworkState& s = State();
  if (!s.started || s.listener < 0) return -1;
  // The last slot is kept for the layer's own connection.
  const int slot = s.table->FirstFreeSlot();
  if (slot < 0 || slot >= s.table->capacity() - 1) {
    WriteLog("空きソケットデータがなかったので accept を拒否しました \n");
    // Take the connection off the queue so the refusal reaches the peer and
    // the listener stops reporting it.
    platform::TcpClose(platform::TcpAccept(s.listener, nullptr, nullptr));
    return -1;
  }
  std::unique_ptr<SocketRecord> record = NewRecord();
  if (!record) {
    WriteLog("ソケット用のメモリの確保に失敗しました\n");
    return -1;
  }
  record->connected = 1;
  record->socket = platform::TcpAccept(s.listener, &record->peer_address, &record->peer_port);
  if (record->socket < 0) {
    LogNetworkError("acceptに失敗しました");
    return -1;
  }
  const int fd = record->socket;
  if (s.table->Insert(slot, std::move(record)) < 0) {
    platform::TcpClose(fd);
    return -1;
  }
  return 1;
}

int RecvSocket(int handle) {
  NetworkState& s = State();
  if (!s.started) return -1;
  SocketRecord* r = s.table->Find(handle);
  if (r == nullptr) {
    WriteLog("有効なネットワークハンドルではありません in RecvSocket\n");
    return -1;
  }
  if (r->error != 0) {
    WriteLog("このネットワークハンドルにはエラーが発生しています in RecvSocket\n");
    return -1;
  }
  if (s.in_recv || r->packet_mode == 0) return 0;
  s.in_recv = true;
  const int result = RecvPackets(*r);
  s.in_recv = false;
  return result;
}

int SendSocket(int handle) {
  NetworkState& s = State();
  if (!s.started) return -1;
  SocketRecord* r = s.table->Find(handle);
  if (r == nullptr) {
    WriteLog("有効なネットワークハンドルではありません in SendSocket\n");
    return -1;
  }
  if (r->error != 0) {
    WriteLog("このネットワークハンドルにはエラーが発生しています in SendSocket\n");
    return -1;
  }
  if (s.in_send || r->connected == 0) return 0;
  s.in_send = true;
  if (r->packet_mode != 0) {
    SendPackets(*r);
  } else {
    SendRaw(*r);
  }
  s.in_send = false;
  return r->error != 0 ? -1 : 0;
}

int NetWorkSend(int handle, const void* data, int length) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr || r->error != 0 || r->connected == 0 || length < 0 || (data == nullptr && length != 0)) {
    return -1;
  }
  // Raw bytes that the socket does not take at once wait in the send ring
  // too, so a short send loses nothing.
  if (AppendRingBuffer(r->send_ring, data, static_cast<uint32_t>(length)) != 0) {
    WriteLogF("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
    return -1;
  }
  return SendSocket(handle) == 0 ? 0 : -1;
}

namespace {

int Receive(int handle, void* buffer, int size, bool peek) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr || r->error != 0 || size < 0 || (buffer == nullptr && size != 0)) return -1;
  if (r->packet_mode == 0) {
    if (size == 0) return 0;
    // Only a whole request is taken, so no byte is lost to a short read.
    if (platform::TcpRecv(r->socket, buffer, static_cast<size_t>(size), true) != size) return -1;
    if (!peek) platform::TcpRecv(r->socket, buffer, static_cast<size_t>(size), false);
    return 0;
  }
  const auto want = static_cast<uint32_t>(size);
  if (r->complete_bytes < want) return -1;
  if (ReadRingBuffer(r->recv_ring, want, buffer, peek) != 0) return -1;
  if (!peek) r->complete_bytes -= want;
  return 0;
}

}  // namespace

int NetWorkRecv(int handle, void* buffer, int size) { return Receive(handle, buffer, size, false); }
int NetWorkRecvToPeek(int handle, void* buffer, int size) { return Receive(handle, buffer, size, true); }

int GetNetWorkDataLength(int handle) {
  if (FindSocketRecord(handle) == nullptr) return -1;
  PumpNetworkWindow(0);
  RecvSocket(handle);
  SendSocket(handle);
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr) return -1;
  if (r->packet_mode != 0) return static_cast<int>(r->complete_bytes);
  return SocketHoldsData(handle) ? 1 : 0;
}

int GetNetWorkAcceptState(int handle) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr) return -1;
  r->close_noticed = 1;
  return r->connected != 0 ? 1 : 0;
}

int CloseSocketHandle(int handle) {
  NetworkState& s = State();
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr) return -1;
  platform::Clock& clock = platform::GetClock();
  if (r->error == 0 && r->packet_mode != 0) {
    const uint32_t start = clock.Milliseconds();
    while (r->recv_expected > 0 && r->error == 0 && clock.Milliseconds() - start < kCloseDrainMs) {
      const uint32_t before = r->recv_expected;
      RecvSocket(handle);
      if (r->recv_expected == before) clock.Sleep(1);
    }
  }
  if (r->error == 0 && r->connected != 0) {
    const uint32_t start = clock.Milliseconds();
    while ((r->send_ring.length > 0 || r->header_left > 0) && r->error == 0 &&
           clock.Milliseconds() - start < kCloseDrainMs) {
      const uint32_t before = r->send_ring.length + r->header_left;
      SendSocket(handle);
      if (r->send_ring.length + r->header_left == before) clock.Sleep(1);
    }
  }
  (void)s;
  DropRecord(handle);
  return 0;
}

int TerminateNetwork() {
  NetworkState& s = State();
  if (!s.started) return 0;
  WriteLog("ネットワーク関連の終了処理を行います \n");
  std::vector<int> handles;
  s.table->ForEachLive([&](int handle, SocketRecord&) { handles.push_back(handle); });
  for (int handle : handles) CloseSocketHandle(handle);
  platform::TcpClose(s.listener);
  s.listener = -1;
  s.table.reset();
  s.started = false;
  s.raw_mode = 0;
  s.auto_close = 1;
  WriteLog("ネットワーク関連の終了処理は完了しました\n");
  return 0;
}

SocketLineStatus ReadSocketLineStatus(int handle, char* out) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr || r->error != 0 || out == nullptr) return SocketLineStatus::kFailed;
  out[0] = '\0';
  char peeked[kSocketLinePeek];
  long got;
  if (r->packet_mode == 0) {
    got = platform::TcpRecv(r->socket, peeked, sizeof peeked, true);
    if (got == platform::kTcpFailed) return SocketLineStatus::kFailed;
  } else {
    got = r->complete_bytes < sizeof peeked ? r->complete_bytes : sizeof peeked;
    ReadRingBuffer(r->recv_ring, static_cast<uint32_t>(got), peeked, true);
  }
  if (got < 0) got = 0;
  const void* feed = std::memchr(peeked, '\n', static_cast<size_t>(got));
  if (feed == nullptr) {
    return got >= kSocketLinePeek ? SocketLineStatus::kTooLong : SocketLineStatus::kWaiting;
  }
  const auto length = static_cast<size_t>(static_cast<const char*>(feed) - peeked);
  std::memcpy(out, peeked, length);
  out[length] = '\0';
  if (r->packet_mode == 0) {
    platform::TcpRecv(r->socket, peeked, length + 1, false);
  } else {
    ReadRingBuffer(r->recv_ring, static_cast<uint32_t>(length + 1), nullptr, false);
    r->complete_bytes -= static_cast<uint32_t>(length + 1);
  }
  return SocketLineStatus::kLine;
}

int ReadSocketLine(int handle, char* out) {
  return ReadSocketLineStatus(handle, out) == SocketLineStatus::kLine ? 0 : -1;
}

int RecvSocketBytes(int handle, void* buffer, int size) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr || r->packet_mode != 0 || size <= 0) return 0;
  const long got = platform::TcpRecv(r->socket, buffer, static_cast<size_t>(size), false);
  if (got == platform::kTcpFailed) r->error = 1;
  return got > 0 ? static_cast<int>(got) : 0;
}

bool SocketHoldsData(int handle) {
  SocketRecord* r = FindSocketRecord(handle);
  if (r == nullptr) return false;
  uint8_t probe;
  return platform::TcpRecv(r->socket, &probe, 1, true) > 0;
}
