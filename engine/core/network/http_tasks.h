// HTTP/1.0 transfers over the socket layer: a table of up to 100 tasks, each
// advanced by RunAllHttpTasks once per message pass, as far as the bytes
// that have arrived allow. A task sends its request, reads the status line
// and the header lines (each at most 254 bytes and a line feed), then the
// body into a file or a tracked memory block.
//
// Every reply is untrusted: a Content-Length that is not a number or is past
// kHttpBodyLimit fails the task with detail 2, as does a body without a
// length that grows past the limit; no body byte is stored past the length
// given; a header line without a line feed in its first 255 bytes fails the
// task with detail 3, as does a connection that stays silent for
// kHttpIdleTimeoutMs (measured on the clock interface).
//
// Nothing in the player adds a task; AddHttpTask is for the library's own
// users and the tests.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kHttpTaskSlots = 100;
inline constexpr uint32_t kHttpBodyLimit = 64u * 1024u * 1024u;
inline constexpr uint32_t kHttpIdleTimeoutMs = 30000;

enum HttpMethod { kHttpGet = 0, kHttpPost = 1, kHttpHead = 2 };
enum HttpDestination { kHttpToFile = 0, kHttpToMemory = 1 };

// What a task reports. result: -1 running, 0 done, 2 failed. detail: -1
// unset, 0 a status other than 200 or 404, 1 status 404, 2 the body could
// not be stored (no memory, a bad or oversize length), 3 the connection was
// lost (or stayed silent, or sent an overlong line).
struct HttpTaskStatus {
  int method = 0;
  int state = 0;
  int result = -1;
  int detail = -1;
  int64_t content_length = -1;
  int64_t received = 0;
};

struct HttpTaskRequest {
  int method = kHttpGet;
  std::string host;  // name or dotted IPv4 address
  uint16_t port = 80;
  std::string path;  // as sent in the request line
  int destination = kHttpToMemory;
  std::string file_path;     // kHttpToFile: the file written (engine path)
  void** memory = nullptr;   // kHttpToMemory: receives the tracked body block
  const void* post_data = nullptr;
  uint32_t post_size = 0;
};

// Starts a task (the network must be started); its index, or -1.
int AddHttpTask(const HttpTaskRequest& request);
int RunAllHttpTasks();
int RunHttpTask(int index);
int FinishHttpTask(int index, int result, int detail);
int DeleteHttpTask(int index);
int DeleteAllHttpTasks();
// Empties the table without closing anything (start-up).
void ClearHttpTasks();
// false for a free or out-of-range index.
bool GetHttpTaskStatus(int index, HttpTaskStatus* status);
int CountHttpTasks();
// Lowers the body limit for tests (0 puts kHttpBodyLimit back).
void SetHttpBodyLimitForTests(uint32_t limit);
