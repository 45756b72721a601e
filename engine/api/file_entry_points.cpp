// The locked file entry points.
#include "engine/api/file_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"

StreamHandle OpenDataFile(const char* name, int async) {
  ApiLockGuard lock;
  return StreamOpen(name, 0, 1, async != 0 ? 1 : 0);
}

int64_t GetDataFileSize(const char* name) {
  ApiLockGuard lock;
  const StreamHandle handle = StreamOpen(name, 0, 1, 0);
  if (handle == 0) return -1;
  StreamSeek(handle, 0, 2);
  const int32_t size = StreamTell(handle);
  StreamClose(handle);
  return size;
}

int CloseDataFile(StreamHandle handle) {
  ApiLockGuard lock;
  return StreamClose(handle);
}

int64_t ReadDataFile(void* buffer, int64_t size, StreamHandle handle) {
  ApiLockGuard lock;
  if (size < 0 || buffer == nullptr) return 0;
  return StreamRead(buffer, static_cast<size_t>(size), 1, handle);
}

int IsDataFileEnd(StreamHandle handle) {
  ApiLockGuard lock;
  return IsStreamAtEnd(handle);
}

int ReadDataFileLine(char* buffer, int buffer_size, StreamHandle handle) {
  ApiLockGuard lock;
  return ReadStreamLine(buffer, buffer_size, handle);
}

int EnableArchiveAccess(int flag) {
  ApiLockGuard lock;
  return SetUseArchive(flag);
}

int ChangeArchiveExtension(const char* extension) {
  ApiLockGuard lock;
  return UseArchiveExtension(extension);
}

int ChangeArchiveKey(const char* key_text) {
  ApiLockGuard lock;
  return UseArchiveKey(key_text);
}
