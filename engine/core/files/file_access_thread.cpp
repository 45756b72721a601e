// The worker loop of threaded file streams.
#include "engine/core/files/file_access_thread.h"

#include <algorithm>
#include <cstring>

void ManualResetEvent::Set() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

void ManualResetEvent::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return signalled_; });
}

bool ManualResetEvent::IsSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return signalled_;
}

namespace {

// One step of read-ahead: appends as many bytes as fit behind the valid part
// of the cache. Returns false when nothing more could be read.
bool ReadAhead(FileAccessThreadState& s) {
  const int64_t room = kFileReadCacheSize - s.cache_valid;
  if (room <= 0 || !s.file) return false;
  const int64_t got = s.file->ReadAt(s.cache.get() + s.cache_valid, room, s.cache_start + s.cache_valid);
  if (got <= 0) return false;
  s.cache_valid += got;
  return true;
}

void ServeRead(FileAccessThreadState& s) {
  uint8_t* destination = s.read_destination;
  int64_t position = s.read_position;
  int64_t wanted = s.read_length;
  int64_t done = 0;
  const bool has_cache = s.cache != nullptr;
  if (has_cache && s.cache_valid > 0 && s.cache_start == position) {
    const int64_t take = std::min(wanted, s.cache_valid);
    std::memcpy(destination, s.cache.get(), static_cast<size_t>(take));
    destination += take;
    position += take;
    wanted -= take;
    done += take;
    s.cache_start += take;
    s.cache_valid -= take;
    std::memmove(s.cache.get(), s.cache.get() + take, static_cast<size_t>(s.cache_valid));
  }
  if (wanted > 0) {
    int64_t got = 0;
    if (s.file) {
      got = s.file->ReadAt(destination, wanted, position);
      if (got < 0) got = 0;
    }
    done += got;
    if (has_cache) {
      s.cache_start = position + got;
      s.cache_valid = 0;
    }
  }
  s.read_length = done;
  s.cache_at_file_end = false;
}

}  // namespace

void FileAccessThread(FileAccessThreadState* state) {
  FileAccessThreadState& s = *state;
  for (;;) {
    // With a cache, idle time is spent reading ahead until the cache is
    // full or the file has no more bytes.
    if (s.cache != nullptr && !s.cache_at_file_end && !s.request_event.IsSet() &&
        s.file && s.cache_valid < kFileReadCacheSize) {
      if (!ReadAhead(s)) s.cache_at_file_end = true;
      continue;
    }
    s.request_event.Wait();
    s.request_event.Reset();
    s.done_event.Reset();
    switch (s.request) {
      case FileAccessRequest::kOpen:
        s.file = platform::OpenFile(s.file_name, platform::OpenMode::kRead);
        if (!s.file) {
          s.open_failed = true;
          s.thread_ended = true;
          s.done_event.Set();
          return;
        }
        s.cache_start = 0;
        s.cache_valid = 0;
        s.cache_at_file_end = false;
        s.done_event.Set();
        break;
      case FileAccessRequest::kCloseKeepThread:
        s.file.reset();
        s.done_event.Set();
        break;
      case FileAccessRequest::kRead:
        ServeRead(s);
        s.done_event.Set();
        break;
      case FileAccessRequest::kSeek:
        s.cache_start = s.seek_position;
        s.cache_valid = 0;
        s.cache_at_file_end = false;
        s.done_event.Set();
        break;
      case FileAccessRequest::kCloseAndEnd:
        s.file.reset();
        s.thread_ended = true;
        s.done_event.Set();
        return;
    }
  }
}
