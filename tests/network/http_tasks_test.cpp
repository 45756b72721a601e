// HTTP tasks against a scripted server on a loopback port: the request bytes
// each method sends, and how every kind of reply ends the task.
#include "engine/core/network/http_tasks.h"

#include <fstream>
#include <sstream>

#include "engine/core/base/tracked_memory.h"
#include "network/loopback_peer.h"
#include "network/network_fixture.h"

namespace {

using nettest::PumpUntil;
using nettest::ScriptedHttpServer;

class HttpTaskTest : public NetworkFixture {
 protected:
  void SetUp() override {
    NetworkFixture::SetUp();
    ASSERT_EQ(StartNetwork(), 0);
  }
  void TearDown() override {
    TrackedFree(body_);
    NetworkFixture::TearDown();
  }
  int Start(ScriptedHttpServer& server, int method = kHttpGet, const std::string& post = "") {
    HttpTaskRequest request;
    request.method = method;
    request.host = "127.0.0.1";
    request.port = server.port();
    request.path = "/data/file.bin";
    request.memory = &body_;
    request.post_data = post.data();
    request.post_size = static_cast<uint32_t>(post.size());
    return AddHttpTask(request);
  }
  HttpTaskStatus Finish(int index) {
    HttpTaskStatus status;
    EXPECT_TRUE(PumpUntil([&] { return GetHttpTaskStatus(index, &status) && status.result != -1; }));
    return status;
  }
  std::string Body(const HttpTaskStatus& status) const {
    return body_ == nullptr ? "<null>" : std::string(static_cast<char*>(body_), static_cast<size_t>(status.received));
  }
  void* body_ = nullptr;
};

struct ReplyCase {
  const char* name;
  std::vector<std::string> writes;
  int close_delay_ms;
  int result;
  int detail;
  const char* body;  // "<null>": the caller's pointer was cleared
};

class HttpReplyTest : public HttpTaskTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(HttpReplyTest, EndsAsTheReplyDecides) {
  const ReplyCase& c = GetParam();
  ScriptedHttpServer server(c.writes, c.close_delay_ms);
  const int index = Start(server);
  ASSERT_GE(index, 0);
  const HttpTaskStatus status = Finish(index);
  EXPECT_EQ(status.result, c.result);
  EXPECT_EQ(status.detail, c.detail);
  EXPECT_EQ(Body(status), c.body);
  EXPECT_EQ(server.request(),
            "GET /data/file.bin HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                "\r\nConnection: close\r\n\r\n");
}

const std::string kLongLine(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Replies, HttpReplyTest,
    ::testing::Values(
        ReplyCase{"WithLength", {"HTTP/1.0 200 OK\r\nContent-", "Length: 5\r\nServer: t\r\n\r\nhel", "loEXTRA"}, 0, 0, -1,
                  "hello"},
        // The close comes well after the last byte: still a whole body.
        ReplyCase{"WithoutLength", {"HTTP/1.0 200 OK\r\n\r\nfirst ", "second"}, 200, 0, -1, "first second"},
        ReplyCase{"NotFound", {"HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"}, 0, 2, 1, "<null>"},
        ReplyCase{"ServerError", {"HTTP/1.1 500 Internal\r\n\r\n"}, 0, 2, 0, "<null>"},
        ReplyCase{"LostMidBody", {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."}, 0, 2, 3, "<null>"},
        ReplyCase{"LostBeforeStatus", {}, 0, 2, 3, "<null>"},
        ReplyCase{"OversizeLength", {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\n"}, 0, 2, 2, "<null>"},
        ReplyCase{"LengthNotANumber", {"HTTP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n"}, 0, 2, 2, "<null>"},
        ReplyCase{"OverlongLine", {"HTTP/1.0 200 OK\r\nX-Pad: " + kLongLine + "\r\n\r\n"}, 0, 2, 3, "<null>"},
        ReplyCase{"PartialLineThenClose", {"HTTP/1.0 200 O"}, 0, 2, 3, "<null>"}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST_F(HttpTaskTest, ABodyIsNeverStoredPastTheLimit) {
  SetHttpBodyLimitForTests(8);
  struct Case {
    std::vector<std::string> writes;
    int result, detail;
  };
  const std::vector<Case> cases = {
      {{"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n12345678"}, 0, -1},
      {{"HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n123456789"}, 2, 2},
      {{"HTTP/1.0 200 OK\r\n\r\n1234", "5678"}, 0, -1},
      {{"HTTP/1.0 200 OK\r\n\r\n1234", "56789"}, 2, 2},
  };
  for (const Case& c : cases) {
    ScriptedHttpServer server(c.writes, 50);
    const int index = Start(server);
    ASSERT_GE(index, 0);
    const HttpTaskStatus status = Finish(index);
    EXPECT_EQ(status.result, c.result) << c.writes.back();
    EXPECT_EQ(status.detail, c.detail) << c.writes.back();
    EXPECT_LE(status.received, 8);
    DeleteHttpTask(index);
    TrackedFree(body_);
    body_ = nullptr;
  }
}

TEST_F(HttpTaskTest, NotFoundIsLoggedForGet) {
  ScriptedHttpServer server({"HTTP/1.0 404 Not Found\r\n\r\n"});
  const int index = Start(server);
  ASSERT_GE(index, 0);
  EXPECT_EQ(Finish(index).detail, 1);
  EXPECT_TRUE(LogHas("接続に失敗しました (戻り値:404)\r\n"));
}

TEST_F(HttpTaskTest, ASilentServerTimesOutOnTheClock) {
  ScriptedHttpServer server({}, 0, true);
  const int index = Start(server);
  ASSERT_GE(index, 0);
  HttpTaskStatus status;
  ASSERT_TRUE(PumpUntil([&] { return GetHttpTaskStatus(index, &status) && status.state == 1; }));
  clock_.Advance(kHttpIdleTimeoutMs - 1);
  RunAllHttpTasks();
  ASSERT_TRUE(GetHttpTaskStatus(index, &status));
  EXPECT_EQ(status.result, -1);
  clock_.Advance(1);
  RunAllHttpTasks();
  ASSERT_TRUE(GetHttpTaskStatus(index, &status));
  EXPECT_EQ(status.result, 2);
  EXPECT_EQ(status.detail, 3);
}

TEST_F(HttpTaskTest, HeadSendsItsShortRequestAndTakesTheLength) {
  ScriptedHttpServer server({"HTTP/1.0 200 OK\r\nContent-Length: 4321\r\n\r\n"});
  const int index = Start(server, kHttpHead);
  ASSERT_GE(index, 0);
  const HttpTaskStatus status = Finish(index);
  EXPECT_EQ(status.result, 0);
  EXPECT_EQ(status.content_length, 4321);
  EXPECT_EQ(server.request(), "HEAD /data/file.bin HTTP/1.0\n\n");
}

TEST_F(HttpTaskTest, PostSendsHeadAndBytesAndReadsTheReply) {
  const std::string data("a=1&b=\0\x01\xff", 9);
  ScriptedHttpServer server({"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"});
  const int index = Start(server, kHttpPost, data);
  ASSERT_GE(index, 0);
  const HttpTaskStatus status = Finish(index);
  EXPECT_EQ(status.result, 0);
  EXPECT_EQ(Body(status), "ok");
  EXPECT_EQ(server.request(), "POST /data/file.bin HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                                  "\nContent-Length: 9\n\n" + data);
}

TEST_F(HttpTaskTest, ABodyGoesToAFile) {
  std::string body(10000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
  ScriptedHttpServer server({"HTTP/1.0 200 OK\r\nContent-Length: 10000\r\n\r\n", body});
  HttpTaskRequest request;
  request.host = "127.0.0.1";
  request.port = server.port();
  request.path = "/f";
  request.destination = kHttpToFile;
  request.file_path = platform::NativeToEnginePath(folder_ + "/got.bin");
  const int index = AddHttpTask(request);
  ASSERT_GE(index, 0);
  EXPECT_EQ(Finish(index).result, 0);
  std::ifstream in(folder_ + "/got.bin", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), body);
  EXPECT_EQ(DeleteHttpTask(index), 0);
  EXPECT_EQ(CountHttpTasks(), 0);
}

TEST_F(HttpTaskTest, DeletingARunningTaskClosesItsSocket) {
  ScriptedHttpServer server({}, 0, true);
  const int index = Start(server);
  ASSERT_GE(index, 0);
  EXPECT_EQ(CountSockets(), 1);
  EXPECT_EQ(DeleteAllHttpTasks(), 0);
  EXPECT_EQ(CountSockets(), 0);
  EXPECT_EQ(CountHttpTasks(), 0);
  EXPECT_EQ(body_, nullptr);
}

}  // namespace
