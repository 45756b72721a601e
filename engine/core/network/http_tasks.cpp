// HTTP tasks: request, status line, header lines and body, state by state.
#include "engine/core/network/http_tasks.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/network/socket_layer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/tcp_socket.h"

namespace {

constexpr int kBodyReadSize = 4096;
uint32_t g_body_limit = kHttpBodyLimit;

struct HttpTask {
  bool used = false;
  int method = kHttpGet;
  int state = 0;
  int result = -1;
  int detail = -1;
  int socket = -1;
  int destination = kHttpToMemory;
  std::unique_ptr<platform::File> file;
  void** memory = nullptr;
  uint8_t* body = nullptr;        // the tracked body block (memory destination)
  uint32_t body_capacity = 0;
  int64_t content_length = -1;
  int64_t received = 0;
  std::string host;
  std::string path;
  uint8_t* post_data = nullptr;   // tracked copy
  uint32_t post_size = 0;
  uint16_t port = 80;
  uint32_t last_activity_ms = 0;
};

struct HttpTable {
  HttpTask tasks[kHttpTaskSlots];
  int count = 0;
};

HttpTable& Table() {
  static HttpTable table;
  return table;
}

HttpTask* TaskAt(int index) {
  if (index < 0 || index >= kHttpTaskSlots) return nullptr;
  HttpTask& task = Table().tasks[index];
  return task.used ? &task : nullptr;
}

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// The decimal number after the first blank of line: digits only, with
// blanks around them; -1 when there is none or it is past limit.
int64_t NumberAfterBlank(const char* line, int64_t limit) {
  const char* p = std::strchr(line, ' ');
  if (p == nullptr) return -1;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return -1;
  int64_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + (*p - '0');
    if (value > limit) return -1;
    ++p;
  }
  while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
  return *p == '\0' ? value : -1;
}

// Makes room for extra more body bytes in the memory block; false when the
// body would pass the limit or memory runs out.
bool GrowBody(HttpTask& task, uint32_t extra) {
  const uint64_t needed = static_cast<uint64_t>(task.received) + extra;
  if (needed <= task.body_capacity) return true;
  if (needed > g_body_limit) return false;
  uint64_t size = task.body_capacity == 0 ? 16384 : static_cast<uint64_t>(task.body_capacity) * 2;
  if (size < needed) size = needed;
  if (size > g_body_limit) size = g_body_limit;
  auto* block = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(size), "", 0));
  if (block == nullptr) return false;
  if (task.received > 0) std::memcpy(block, task.body, static_cast<size_t>(task.received));
  TrackedFree(task.body);
  task.body = block;
  task.body_capacity = static_cast<uint32_t>(size);
  if (task.memory != nullptr) *task.memory = block;
  return true;
}

bool SendRequest(HttpTask& task) {
  SocketRecord* socket = FindSocketRecord(task.socket);
  if (socket == nullptr || socket->connected == 0) return false;
  char head[1024];
  int length;
  switch (task.method) {
    case kHttpPost:
      length = std::snprintf(head, sizeof head, "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n",
                             task.path.c_str(), task.host.c_str(), task.port, static_cast<int>(task.post_size));
      break;
    case kHttpHead:
      length = std::snprintf(head, sizeof head, "HEAD %s HTTP/1.0\n\n", task.path.c_str());
      break;
    default:
      length = std::snprintf(head, sizeof head, "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                             task.path.c_str(), task.host.c_str(), task.port);
      break;
  }
  if (length < 0 || length >= static_cast<int>(sizeof head)) {
    FinishHttpTask(static_cast<int>(&task - Table().tasks), 2, 3);
    return false;
  }
  if (NetWorkSend(task.socket, head, length) != 0 ||
      (task.method == kHttpPost && NetWorkSend(task.socket, task.post_data, static_cast<int>(task.post_size)) != 0)) {
    FinishHttpTask(static_cast<int>(&task - Table().tasks), 2, 3);
    return false;
  }
  task.state = 1;
  return true;
}

// One line of the reply; false when none is ready (the task may have been
// finished: an overlong line, or a connection lost part-way through a line).
bool ReadLine(HttpTask& task, int index, char* line) {
  switch (ReadSocketLineStatus(task.socket, line)) {
    case SocketLineStatus::kLine: return true;
    case SocketLineStatus::kWaiting: {
      const SocketRecord* socket = FindSocketRecord(task.socket);
      if (socket == nullptr || socket->connected == 0) FinishHttpTask(index, 2, 3);
      return false;
    }
    default: FinishHttpTask(index, 2, 3); return false;
  }
}

bool ReadStatus(HttpTask& task, int index) {
  char line[kSocketLinePeek];
  if (!ReadLine(task, index, line)) return false;
  // "HTTP/1.0 200 OK": the code is the three digits after the first blank.
  int code = -1;
  const char* p = std::strchr(line, ' ');
  if (p != nullptr && p[1] >= '0' && p[1] <= '9' && p[2] >= '0' && p[2] <= '9' && p[3] >= '0' && p[3] <= '9' &&
      (p[4] == ' ' || p[4] == '\r' || p[4] == '\0')) {
    code = (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
  }
  if (code != 200) {
    if (task.method == kHttpGet) WriteLogF("接続に失敗しました (戻り値:%d)", code);
    FinishHttpTask(index, 2, code == 404 ? 1 : 0);
    return false;
  }
  task.state = 2;
  return true;
}

bool ReadHeader(HttpTask& task, int index) {
  char line[kSocketLinePeek];
  if (!ReadLine(task, index, line)) return false;
  if (StartsWith(line, "Content-Length:")) {
    const int64_t length = NumberAfterBlank(line, g_body_limit);
    if (length < 0) {
      FinishHttpTask(index, 2, 2);
      return false;
    }
    task.content_length = length;
    if (task.destination == kHttpToMemory) {
      TrackedFree(task.body);
      task.body = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(length > 0 ? length : 1), "", 0));
      task.body_capacity = task.body != nullptr ? static_cast<uint32_t>(length) : 0;
      if (task.memory != nullptr) *task.memory = task.body;
      if (task.body == nullptr) {
        FinishHttpTask(index, 2, 2);
        return false;
      }
    }
    return true;
  }
  if (std::strchr(line, ':') == nullptr) task.state = 3;
  return true;
}

bool ReadHeadReply(HttpTask& task, int index) {
  char line[kSocketLinePeek];
  if (!ReadLine(task, index, line)) return false;
  if (StartsWith(line, "Content-Length:")) {
    const int64_t length = NumberAfterBlank(line, g_body_limit);
    if (length < 0) {
      FinishHttpTask(index, 2, 2);
      return false;
    }
    task.content_length = length;
    FinishHttpTask(index, 0, -1);
    return false;
  }
  // The end of the header lines without a length: done, length unknown.
  if (line[0] == '\0' || std::strcmp(line, "\r") == 0) {
    FinishHttpTask(index, 0, -1);
    return false;
  }
  return true;
}

bool ReadBody(HttpTask& task, int index) {
  bool came = false;
  for (;;) {
    if (task.content_length >= 0 && task.received >= task.content_length) {
      task.state = 4;
      return true;
    }
    int want = kBodyReadSize;
    if (task.content_length >= 0 && task.content_length - task.received < want) {
      want = static_cast<int>(task.content_length - task.received);
    }
    uint8_t chunk[kBodyReadSize];
    const int got = RecvSocketBytes(task.socket, chunk, want);
    if (got <= 0) break;
    came = true;
    if (task.destination == kHttpToMemory) {
      if (!GrowBody(task, static_cast<uint32_t>(got))) {
        FinishHttpTask(index, 2, 2);
        return false;
      }
      std::memcpy(task.body + task.received, chunk, static_cast<size_t>(got));
    } else if (task.file == nullptr || task.file->Write(chunk, got) != got) {
      FinishHttpTask(index, 2, 2);
      return false;
    }
    task.received += got;
  }
  const SocketRecord* socket = FindSocketRecord(task.socket);
  const bool closed = socket == nullptr || (socket->connected == 0 && socket->connecting == 0);
  if (task.content_length < 0 && closed && !SocketHoldsData(task.socket)) {
    task.state = 4;
    return true;
  }
  if (came) task.last_activity_ms = platform::GetClock().Milliseconds();
  return false;
}

void ResetTask(HttpTask& task) {
  task.file.reset();
  task = HttpTask{};
}

}  // namespace

int AddHttpTask(const HttpTaskRequest& request) {
  HttpTable& table = Table();
  if (!IsNetworkStarted() || request.method < kHttpGet || request.method > kHttpHead) return -1;
  if (request.host.empty() || request.path.empty() || request.host.size() > 255 || request.path.size() > 700) return -1;
  if (request.destination == kHttpToMemory && request.memory == nullptr && request.method != kHttpHead) return -1;
  if (request.post_size > kHttpBodyLimit || (request.post_size != 0 && request.post_data == nullptr)) return -1;
  int index = -1;
  for (int i = 0; i < kHttpTaskSlots; ++i) {
    if (!table.tasks[i].used) {
      index = i;
      break;
    }
  }
  if (index < 0) return -1;
  uint32_t address = 0;
  if (!platform::ResolveIPv4(request.host, &address)) return -1;

  HttpTask& task = table.tasks[index];
  ResetTask(task);
  task.method = request.method;
  task.host = request.host;
  task.path = request.path;
  task.port = request.port;
  task.destination = request.destination;
  task.memory = request.memory;
  if (task.memory != nullptr) *task.memory = nullptr;
  if (request.method != kHttpHead && request.destination == kHttpToFile) {
    task.file = platform::OpenFile(request.file_path, platform::OpenMode::kCreate);
    if (task.file == nullptr) {
      ResetTask(task);
      return -1;
    }
  }
  if (request.method == kHttpPost && request.post_size > 0) {
    task.post_data = static_cast<uint8_t*>(TrackedAlloc(request.post_size, "", 0));
    if (task.post_data == nullptr) {
      ResetTask(task);
      return -1;
    }
    std::memcpy(task.post_data, request.post_data, request.post_size);
    task.post_size = request.post_size;
  }
  task.socket = ConnectNetwork(address, request.port, 1);
  if (task.socket < 0) {
    TrackedFree(task.post_data);
    ResetTask(task);
    return -1;
  }
  task.used = true;
  task.last_activity_ms = platform::GetClock().Milliseconds();
  ++table.count;
  return index;
}

int RunAllHttpTasks() {
  if (Table().count == 0) return 0;
  for (int i = 0; i < kHttpTaskSlots; ++i) {
    if (Table().tasks[i].used) RunHttpTask(i);
  }
  return 0;
}

int RunHttpTask(int index) {
  HttpTask* task = TaskAt(index);
  if (task == nullptr) return -1;
  if (task->result != -1) return 0;
  const SocketRecord* socket = FindSocketRecord(task->socket);
  const bool alive = socket != nullptr && socket->error == 0 && (socket->connected != 0 || socket->connecting != 0);
  // A body without a length ends with the connection: that close is the
  // body step's to see, not a lost connection.
  const bool body_to_close = task->state == 3 && task->content_length < 0;
  if (socket == nullptr || socket->error != 0 || (!alive && !body_to_close && !SocketHoldsData(task->socket))) {
    return FinishHttpTask(index, 2, 3);
  }
  const uint32_t now = platform::GetClock().Milliseconds();
  const int state_before = task->state;
  bool more = true;
  while (more && task->result == -1) {
    switch (task->state) {
      case 0: more = SendRequest(*task); break;
      case 1: more = ReadStatus(*task, index); break;
      case 2:
        more = task->method == kHttpHead ? ReadHeadReply(*task, index) : ReadHeader(*task, index);
        if (more) task->last_activity_ms = now;
        break;
      case 3: more = ReadBody(*task, index); break;
      default: FinishHttpTask(index, 0, -1); more = false; break;
    }
  }
  if (task->result != -1) return 0;
  if (task->state != state_before) task->last_activity_ms = now;
  if (now - task->last_activity_ms >= kHttpIdleTimeoutMs) FinishHttpTask(index, 2, 3);
  return 0;
}

int FinishHttpTask(int index, int result, int detail) {
  HttpTask* task = TaskAt(index);
  if (task == nullptr) return -1;
  if (task->socket >= 0) {
    CloseSocketHandle(task->socket);
    task->socket = -1;
  }
  TrackedFree(task->post_data);
  task->post_data = nullptr;
  task->post_size = 0;
  task->file.reset();
  if (task->result == -1) task->result = result;
  if (task->detail == -1) task->detail = detail;
  if (task->result != 0) {
    TrackedFree(task->body);
    task->body = nullptr;
    task->body_capacity = 0;
    if (task->memory != nullptr) *task->memory = nullptr;
  } else if (task->destination == kHttpToMemory && task->memory != nullptr) {
    // The caller owns the block from here on.
    *task->memory = task->body;
    task->body = nullptr;
  }
  return 0;
}

int DeleteHttpTask(int index) {
  HttpTask* task = TaskAt(index);
  if (task == nullptr) return -1;
  if (task->result == -1) FinishHttpTask(index, 2, -1);
  TrackedFree(task->body);
  ResetTask(*task);
  --Table().count;
  return 0;
}

int DeleteAllHttpTasks() {
  for (int i = 0; i < kHttpTaskSlots; ++i) {
    if (Table().tasks[i].used) DeleteHttpTask(i);
  }
  return 0;
}

void ClearHttpTasks() {
  HttpTable& table = Table();
  for (HttpTask& task : table.tasks) ResetTask(task);
  table.count = 0;
}

bool GetHttpTaskStatus(int index, HttpTaskStatus* status) {
  const HttpTask* task = TaskAt(index);
  if (task == nullptr || status == nullptr) return false;
  status->method = task->method;
  status->state = task->state;
  status->result = task->result;
  status->detail = task->detail;
  status->content_length = task->content_length;
  status->received = task->received;
  return true;
}

int CountHttpTasks() { return Table().count; }

void SetHttpBodyLimitForTests(uint32_t limit) { g_body_limit = limit != 0 ? limit : kHttpBodyLimit; }
