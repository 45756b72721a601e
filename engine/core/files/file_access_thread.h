// The file-access thread: one worker thread per threaded FileStream that
// opens the stream's file, serves its read and seek requests and, when the
// stream has a read-ahead cache, fills that cache while no request is
// waiting. The caller and the worker hand over through two manual-reset
// events: the caller fills a request only while `done` is signalled (the
// worker is idle), and the worker signals `done` only after finishing.
// Positions and lengths are bytes from the start of the file.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/base/tracked_memory.h"
#include "platform/file_system.h"

// A manual-reset event: stays signalled until reset.
class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool signalled) : signalled_(signalled) {}
  void Set();
  void Reset();
  void Wait();
  bool IsSet();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

// Request codes; kCloseKeepThread is defined but never sent.
enum class FileAccessRequest : int {
  kOpen = 0,
  kCloseKeepThread = 1,
  kRead = 2,
  kSeek = 3,
  kCloseAndEnd = 4,
};

// Size of the optional read-ahead cache in bytes.
inline constexpr int64_t kFileReadCacheSize = 0x20000;

// The part of a FileStream that its worker thread works on. Everything but
// the two events belongs to whichever side currently owns the hand-over:
// the worker while `done` is reset, the caller while it is signalled.
struct FileAccessThreadState {
  std::thread thread;
  std::unique_ptr<platform::File> file;  // the worker's own file
  ManualResetEvent request_event{false};
  ManualResetEvent done_event{true};
  FileAccessRequest request = FileAccessRequest::kOpen;
  bool thread_ended = false;
  bool open_failed = false;
  std::string file_name;
  // Read request: the worker writes the bytes actually read back to length.
  uint8_t* read_destination = nullptr;
  int64_t read_position = 0;
  int64_t read_length = 0;
  // Seek request.
  int64_t seek_position = 0;
  // Read-ahead cache of kFileReadCacheSize bytes (null when the stream has
  // none).
  TrackedBuffer cache;
  int64_t cache_start = 0;
  int64_t cache_valid = 0;
  bool cache_at_file_end = false;  // the last read-ahead found no more bytes
};

// Thread entry: serves requests until a close-and-end request or a failed
// open.
void FileAccessThread(FileAccessThreadState* state);

// Waits for the worker to be idle, fills the request through fill(state) and
// wakes the worker.
template <typename Fill>
void SendFileAccessRequest(FileAccessThreadState& state, FileAccessRequest code, Fill fill) {
  state.done_event.Wait();
  fill(state);
  state.request = code;
  state.done_event.Reset();
  state.request_event.Set();
}
