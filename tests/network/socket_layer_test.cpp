// The socket layer over real loopback connections: rings, packets split and
// joined on the wire, short sends, refusals, closes and hostile lengths.
#include "engine/core/network/socket_layer.h"

#include <cstring>
#include <vector>

#include "engine/core/base/tracked_memory.h"
#include "network/loopback_peer.h"
#include "network/network_fixture.h"

namespace {

using nettest::ConnectPeer;
using nettest::Packet;
using nettest::PumpUntil;
using nettest::RecvExactly;
using nettest::SendAll;

TEST(RingBufferTest, GrowsToHeldPlusExtraPlus1000KeepingOrder) {
  // Holding 8 bytes that wrap around the end of a 10-byte block.
  RingBuffer ring;
  ASSERT_EQ(AppendRingBuffer(ring, "abcdef", 6), 0);  // first block: 6 + 1000
  ASSERT_EQ(ring.capacity, 1006u);
  FreeRingBuffer(ring);
  ring.block = static_cast<uint8_t*>(TrackedAlloc(10, "", 0));
  ring.capacity = 10;
  std::memcpy(ring.block, "GHxxxxABCDEF", 10);
  std::memcpy(ring.block + 4, "ABCDEF", 6);
  ring.read = 4;
  ring.write = 2;
  ring.length = 8;

  ASSERT_EQ(ReserveRingBuffer(ring, 2), 0);  // 8 + 2 fits: unchanged
  EXPECT_EQ(ring.capacity, 10u);
  ASSERT_EQ(ReserveRingBuffer(ring, 5), 0);
  EXPECT_EQ(ring.capacity, 1013u);
  EXPECT_EQ(ring.read, 0u);
  EXPECT_EQ(ring.write, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ring.block), 8), "ABCDEFGH");

  char out[9] = {};
  EXPECT_EQ(ReadRingBuffer(ring, 9, out, true), -1);  // more than held
  EXPECT_EQ(ReadRingBuffer(ring, 3, out, true), 0);
  EXPECT_EQ(ring.length, 8u);
  EXPECT_EQ(ReadRingBuffer(ring, 8, out, false), 0);
  EXPECT_EQ(std::string(out, 8), "ABCDEFGH");
  EXPECT_EQ(ring.length, 0u);
  FreeRingBuffer(ring);
}

TEST(RingBufferTest, AppendsWrapAtTheBlockEnd) {
  RingBuffer ring;
  ring.block = static_cast<uint8_t*>(TrackedAlloc(8, "", 0));
  ring.capacity = 8;
  ring.read = ring.write = 6;
  ASSERT_EQ(AppendRingBuffer(ring, "12345", 5), 0);
  EXPECT_EQ(ring.capacity, 8u);
  EXPECT_EQ(ring.write, 3u);
  char out[5];
  ASSERT_EQ(ReadRingBuffer(ring, 5, out, false), 0);
  EXPECT_EQ(std::string(out, 5), "12345");
  EXPECT_EQ(ring.read, 3u);
  FreeRingBuffer(ring);
}

TEST(RingBufferTest, AReserveBeyondTheLimitFailsAndFreesTheRing) {
  RingBuffer ring;
  ASSERT_EQ(AppendRingBuffer(ring, "ab", 2), 0);
  EXPECT_EQ(ReserveRingBuffer(ring, kRingBufferLimit), -1);
  EXPECT_EQ(ring.block, nullptr);
  EXPECT_EQ(ring.capacity, 0u);
}

using SocketLayerTest = NetworkFixture;

HttpTaskRequest HeadRequest() {
  HttpTaskRequest request;
  request.method = kHttpHead;
  request.host = "127.0.0.1";
  request.port = 1;
  request.path = "/";
  return request;
}

TEST_F(SocketLayerTest, NothingStartedMeansNoSocketAndHarmlessSteps) {
  char buffer[4];
  EXPECT_EQ(PumpNetworkWindow(1), 0);
  EXPECT_EQ(HandleSocketEvent(kNetEventRead, 3), 0);
  EXPECT_EQ(AcceptNetWork(), -1);
  EXPECT_EQ(RecvSocket(0x48000000), -1);
  EXPECT_EQ(SendSocket(0x48000000), -1);
  EXPECT_EQ(NetWorkSend(0x48000000, "x", 1), -1);
  EXPECT_EQ(NetWorkRecv(0x48000000, buffer, 1), -1);
  EXPECT_EQ(NetWorkRecvToPeek(0x48000000, buffer, 1), -1);
  EXPECT_EQ(GetNetWorkDataLength(0x48000000), -1);
  EXPECT_EQ(GetNetWorkAcceptState(0x48000000), -1);
  EXPECT_EQ(CloseSocketHandle(0x48000000), -1);
  EXPECT_EQ(ConnectNetwork(platform::kLoopbackIPv4, 1), -1);
  EXPECT_EQ(AddHttpTask(HeadRequest()), -1);
  EXPECT_EQ(RunAllHttpTasks(), 0);
  EXPECT_EQ(TerminateNetwork(), 0);
  EXPECT_EQ(ListeningSocket(), -1);
  EXPECT_EQ(ReadLog(), "");  // shutdown of a stopped layer says nothing
}

class AcceptedSocketTest : public NetworkFixture {
 protected:
  void SetUp() override {
    NetworkFixture::SetUp();
    ASSERT_EQ(StartNetwork(), 0);
    ASSERT_EQ(ListenNetwork(platform::kLoopbackIPv4, 0, &port_), 0);
  }
  // Connects a peer and returns the handle of the accepted socket.
  int Accept(int* peer) {
    *peer = ConnectPeer(port_);
    const int before = CountSockets();
    EXPECT_TRUE(PumpUntil([&] { return CountSockets() == before + 1; }));
    return LastHandle();
  }
  static int LastHandle() {
    for (int slot = 4096; slot >= 0; --slot) {
      const int handle = slot | (0x4800 << 16);
      for (int check = 0; check < 8; ++check) {
        if (FindSocketRecord(handle | check << 16) != nullptr) return handle | check << 16;
      }
    }
    return -1;
  }
  uint16_t port_ = 0;
};

TEST_F(AcceptedSocketTest, PacketsArriveWholeWhateverTheWireSplits) {
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(GetNetWorkAcceptState(handle), 1);
  const SocketRecord* record = FindSocketRecord(handle);
  EXPECT_EQ(record->peer_address, platform::kLoopbackIPv4);

  std::string first(3000, '\0');
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 7);
  const std::string wire = Packet(first) + Packet("second") + Packet("");
  // Header split after two bytes, body split mid-way, two packets joined.
  const std::vector<size_t> cuts = {2, 4, 1500, wire.size()};
  size_t at = 0;
  for (size_t cut : cuts) {
    ASSERT_TRUE(SendAll(peer, wire.substr(at, cut - at)));
    at = cut;
    nettest::PauseMs(5);
    PumpNetworkWindow(1);
  }
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 3006; }));
  std::vector<char> got(3007);
  EXPECT_EQ(NetWorkRecv(handle, got.data(), 3007), -1);  // more than held
  EXPECT_EQ(NetWorkRecvToPeek(handle, got.data(), 3000), 0);
  EXPECT_EQ(GetNetWorkDataLength(handle), 3006);
  EXPECT_EQ(NetWorkRecv(handle, got.data(), 3000), 0);
  EXPECT_EQ(std::string(got.data(), 3000), first);
  char second[6];
  EXPECT_EQ(NetWorkRecv(handle, second, 6), 0);
  EXPECT_EQ(std::string(second, 6), "second");
  EXPECT_EQ(GetNetWorkDataLength(handle), 0);
  close(peer);
}

TEST_F(AcceptedSocketTest, ShortSendsStillPutHeaderAndBytesOnTheWireExactly) {
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  platform::SetTcpSendLimitForTests(3);
  ASSERT_EQ(NetWorkSend(handle, "hello world", 11), 0);
  ASSERT_TRUE(PumpUntil([&] { return FindSocketRecord(handle)->send_ring.length == 0; }));
  EXPECT_EQ(RecvExactly(peer, 15), Packet("hello world"));

  // While nothing can go out, two sends queue up and leave as one packet.
  platform::SetTcpSendLimitForTests(0);
  ASSERT_EQ(NetWorkSend(handle, "abc", 3), 0);
  ASSERT_EQ(NetWorkSend(handle, "defg", 4), 0);
  PumpNetworkWindow(1);
  platform::SetTcpSendLimitForTests(-1);
  ASSERT_TRUE(PumpUntil([&] { return FindSocketRecord(handle)->send_ring.length == 0; }));
  EXPECT_EQ(RecvExactly(peer, 11), Packet("abcdefg"));
  close(peer);
}

TEST_F(AcceptedSocketTest, RawModePassesBytesUnframed) {
  SetNetworkRawMode(1);
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(NetWorkSend(handle, "raw", 3), 0);
  EXPECT_EQ(RecvExactly(peer, 3), "raw");
  ASSERT_TRUE(SendAll(peer, "line one\nrest"));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(handle) == 1; }));
  char line[kSocketLinePeek];
  ASSERT_EQ(ReadSocketLine(handle, line), 0);
  EXPECT_STREQ(line, "line one");
  char rest[5];
  EXPECT_EQ(NetWorkRecv(handle, rest, 5), -1);  // only 4 held: nothing taken
  EXPECT_EQ(NetWorkRecv(handle, rest, 4), 0);
  EXPECT_EQ(std::string(rest, 4), "rest");
  EXPECT_EQ(ReadSocketLine(handle, line), -1);
  close(peer);
}

TEST_F(AcceptedSocketTest, AnOversizeAnnouncedPacketPutsTheSocketInErrorAndCloses) {
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  ASSERT_TRUE(SendAll(peer, std::string("\xff\xff\xff\x7f", 4) + "xx"));
  ASSERT_TRUE(PumpUntil([&] { return FindSocketRecord(handle) == nullptr; }));
  EXPECT_TRUE(LogHas("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ 2147483647 byte)"));
  EXPECT_EQ(CountSockets(), 0);
  close(peer);
}

TEST_F(AcceptedSocketTest, APeersCloseIsNoticedAndClosedWithAutoClose) {
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  ASSERT_TRUE(SendAll(peer, Packet("bye")));
  close(peer);
  ASSERT_TRUE(PumpUntil([&] { return FindSocketRecord(handle)->connected == 0; }));
  EXPECT_EQ(GetNetWorkDataLength(handle), 3);  // what came before the close stays readable
  EXPECT_EQ(GetNetWorkAcceptState(handle), 0);
  PumpNetworkWindow(1);
  EXPECT_EQ(FindSocketRecord(handle), nullptr);
}

TEST_F(AcceptedSocketTest, UnknownSocketsAndABadHandleAreLogged) {
  EXPECT_EQ(HandleSocketEvent(kNetEventRead, 987654), 0);
  EXPECT_TRUE(LogHas("通信エラー No.1\r\n"));
  EXPECT_EQ(RecvSocket(0x48000005), -1);
  EXPECT_TRUE(LogHas("有効なネットワークハンドルではありません in RecvSocket\r\n"));
  EXPECT_EQ(SendSocket(0x48000005), -1);
  EXPECT_TRUE(LogHas("有効なネットワークハンドルではありません in SendSocket\r\n"));
}

TEST_F(AcceptedSocketTest, CloseDrainsQueuedBytesWithinItsTime) {
  int peer;
  const int handle = Accept(&peer);
  ASSERT_GE(handle, 0);
  platform::SetTcpSendLimitForTests(0);
  ASSERT_EQ(NetWorkSend(handle, "late", 4), 0);
  const uint32_t before = clock_.Milliseconds();
  EXPECT_EQ(CloseSocketHandle(handle), 0);  // nothing can go: gives up after 1000 ms
  EXPECT_GE(clock_.Milliseconds() - before, 1000u);
  EXPECT_LT(clock_.Milliseconds() - before, 1100u);
  EXPECT_EQ(FindSocketRecord(handle), nullptr);
  close(peer);
}

TEST_F(NetworkFixture, AcceptOnAFullTableIsRefusedWithItsLine) {
  ASSERT_EQ(StartNetwork(3), 0);  // slots 0 and 1 take accepted sockets
  uint16_t port = 0;
  ASSERT_EQ(ListenNetwork(platform::kLoopbackIPv4, 0, &port), 0);
  const int a = ConnectPeer(port), b = ConnectPeer(port);
  ASSERT_TRUE(PumpUntil([] { return CountSockets() == 2; }));
  const int c = ConnectPeer(port);
  ASSERT_TRUE(PumpUntil([&] { return LogHas("空きソケットデータがなかったので accept を拒否しました \r\n"); }));
  EXPECT_EQ(CountSockets(), 2);
  char byte;
  EXPECT_EQ(recv(c, &byte, 1, 0), 0);  // the refused peer sees the close
  EXPECT_EQ(TerminateNetwork(), 0);
  EXPECT_TRUE(LogHas("ネットワーク関連の終了処理を行います \r\n"));
  EXPECT_TRUE(LogHas("ネットワーク関連の終了処理は完了しました\r\n"));
  EXPECT_EQ(CountSockets(), 0);
  close(a);
  close(b);
  close(c);
}

}  // namespace
