// File streams (direct and threaded) and memory streams.
#include "engine/core/files/file_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "engine/core/base/log.h"
#include "engine/core/files/file_stream_table.h"
#include "platform/clock.h"

namespace {

// Size of an open file, or -1 when it is not usable as an int32 stream.
int32_t OpenedFileSize(const platform::File& file) {
  const int64_t size = file.SizeAtOpen();
  if (size < 0 || size > INT32_MAX) return -1;
  return static_cast<int32_t>(size);
}

// New position for a seek, or -1 when it falls outside 0 ... INT32_MAX.
int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, int origin) {
  int64_t target = offset;
  if (origin == 1) target = position + offset;
  else if (origin == 2) target = size + offset;
  if (target < 0 || target > INT32_MAX) return -1;
  return target;
}

void WaitForThreadEnd(FileAccessThreadState& access) {
  if (access.thread.joinable()) access.thread.join();
}

}  // namespace

FileStream* OpenFileStream(const char* name, int cache, int /*ignored*/, int async) {
  if (name == nullptr) return nullptr;
  // The file is opened before anything is allocated: most failed opens are
  // look-ups of files that do not exist. A threaded stream opens it only to
  // read its size; its thread opens it again.
  std::unique_ptr<platform::File> file = platform::OpenFile(name, platform::OpenMode::kRead);
  const int32_t size = file ? OpenedFileSize(*file) : -1;
  if (size < 0) return nullptr;
  FileStream* stream = TrackedNew<FileStream>();
  if (stream == nullptr) return nullptr;
  stream->cache = cache != 0;
  stream->async = async != 0;
  stream->threaded = stream->cache || stream->async;
  stream->size = size;
  if (!stream->threaded) {
    stream->file = std::move(file);
    return stream;
  }
  file.reset();
  stream->access.reset(TrackedNew<FileAccessThreadState>());
  if (!stream->access) {
    TrackedDelete(stream);
    return nullptr;
  }
  FileAccessThreadState& access = *stream->access;
  if (stream->cache) {
    access.cache = MakeTrackedBuffer(static_cast<size_t>(kFileReadCacheSize));
    if (!access.cache) {
      WriteLog("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
      TrackedDelete(stream);
      return nullptr;
    }
  }
  try {
    access.thread = std::thread(FileAccessThread, &access);
  } catch (const std::exception&) {
    WriteLog("ファイルアクセス専用スレッドの作成に失敗しました\n");
    TrackedDelete(stream);
    return nullptr;
  }
  SendFileAccessRequest(access, FileAccessRequest::kOpen,
                        [name](FileAccessThreadState& s) { s.file_name = name; });
  access.done_event.Wait();
  if (access.open_failed) {
    WaitForThreadEnd(access);
    WriteLog("ファイルのオープンに失敗しました\n");
    TrackedDelete(stream);
    return nullptr;
  }
  return stream;
}

int CloseFileStream(FileStream* stream) {
  if (stream == nullptr) return -1;
  if (stream->threaded) {
    FileAccessThreadState& access = *stream->access;
    SendFileAccessRequest(access, FileAccessRequest::kCloseAndEnd, [](FileAccessThreadState&) {});
    access.done_event.Wait();
    WaitForThreadEnd(access);
    TrackedDelete(stream);
    return 0;
  }
  TrackedDelete(stream);  // closing a read-only file cannot lose data
  return 0;
}

int32_t TellFileStream(FileStream* stream) { return stream->position; }

int SeekFileStream(FileStream* stream, int32_t offset, int origin) {
  const int64_t target = SeekTarget(stream->position, stream->size, offset, origin);
  if (target < 0) return -1;
  // A direct stream reads at its position (ReadAt), so its file needs no
  // seek of its own.
  if (stream->threaded) {
    SendFileAccessRequest(*stream->access, FileAccessRequest::kSeek,
                          [target](FileAccessThreadState& s) { s.seek_position = target; });
  }
  stream->position = static_cast<int32_t>(target);
  stream->eof = false;
  return 0;
}

int64_t ReadFileStream(void* buffer, size_t element_size, size_t count, FileStream* stream) {
  if (element_size == 0) return 0;
  if (stream->position >= stream->size) {
    stream->eof = true;
    return 0;
  }
  const uint64_t left = static_cast<uint64_t>(stream->size - stream->position);
  uint64_t n = count;
  if (count > left / element_size || count * element_size > left) n = left / element_size;
  if (n == 0) {
    stream->eof = true;
    return 0;
  }
  const int64_t bytes = static_cast<int64_t>(n * element_size);
  int64_t result;
  if (stream->threaded) {
    FileAccessThreadState& access = *stream->access;
    const int64_t position = stream->position;
    SendFileAccessRequest(access, FileAccessRequest::kRead, [&](FileAccessThreadState& s) {
      s.read_destination = static_cast<uint8_t*>(buffer);
      s.read_position = position;
      s.read_length = bytes;
    });
    if (!stream->async) access.done_event.Wait();
    result = static_cast<int64_t>(n);
  } else {
    const int64_t got = stream->file->ReadAt(buffer, bytes, stream->position);
    result = got < 0 ? -1 : got / static_cast<int64_t>(element_size);
  }
  stream->position = static_cast<int32_t>(stream->position + bytes);
  return result < 0 ? 0 : result;
}

int EofFileStream(FileStream* stream) { return stream->eof ? -1 : 0; }

int IdleCheckFileStream(FileStream* stream) {
  if (!stream->threaded) return 1;
  return stream->access->done_event.IsSet() ? 1 : 0;
}

// ---- memory streams ----

namespace {
MemoryStream* AsMemory(StreamHandle stream) { return reinterpret_cast<MemoryStream*>(stream); }
}  // namespace

MemoryStream* OpenMemoryStream(const void* data, int32_t size) {
  if (size < 0 || (data == nullptr && size > 0)) return nullptr;
  MemoryStream* stream = TrackedNew<MemoryStream>();
  if (stream == nullptr) return nullptr;
  stream->data = static_cast<const uint8_t*>(data);
  stream->size = size;
  return stream;
}

int CloseMemoryStream(StreamHandle stream) {
  TrackedDelete(AsMemory(stream));
  return 0;
}

int32_t TellMemoryStream(StreamHandle stream) { return AsMemory(stream)->position; }

int SeekMemoryStream(StreamHandle handle, int32_t offset, int origin) {
  MemoryStream* stream = AsMemory(handle);
  int64_t target = offset;
  if (origin == 1) target = int64_t{stream->position} + offset;
  else if (origin == 2) target = int64_t{stream->size} + offset;
  stream->position = static_cast<int32_t>(std::clamp<int64_t>(target, 0, stream->size));
  stream->eof = 0;
  return 0;
}

int64_t ReadMemoryStream(void* buffer, size_t element_size, size_t count, StreamHandle handle) {
  MemoryStream* stream = AsMemory(handle);
  if (stream->position >= stream->size) {
    stream->eof = 1;
    return 0;
  }
  const uint64_t left = static_cast<uint64_t>(stream->size - stream->position);
  if (element_size == 0 || count == 0) return 0;
  uint64_t n = count;
  if (count > left / element_size || count * element_size > left) n = left / element_size;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  const uint8_t* from = stream->data + stream->position;
  stream->eof = 0;
  if (n > 0) {
    const uint64_t bytes = n * element_size;
    std::memcpy(out, from, static_cast<size_t>(bytes));
    stream->position = static_cast<int32_t>(stream->position + bytes);
    return static_cast<int64_t>(n);
  }
  // Less than one element is left: hand out the rest as one element.
  std::memcpy(out, from, static_cast<size_t>(left));
  stream->position = stream->size;
  return 1;
}

int EofMemoryStream(StreamHandle stream) { return AsMemory(stream)->eof ? 1 : 0; }

int IdleCheckMemoryStream(StreamHandle) { return 1; }

namespace {

const StreamOps kTableStreamOps = {StreamTell, StreamSeek, StreamRead,
                                   StreamEof,  StreamIdleCheck, StreamClose};
const StreamOps kMemoryStreamOps = {TellMemoryStream, SeekMemoryStream, ReadMemoryStream,
                                    EofMemoryStream,  IdleCheckMemoryStream, CloseMemoryStream};

}  // namespace

const StreamOps* GetTableStreamOps() { return &kTableStreamOps; }
const StreamOps* GetMemoryStreamOps() { return &kMemoryStreamOps; }

void WaitForFileStreamIdle(FileStream* stream) {
  if (stream != nullptr && stream->threaded) stream->access->done_event.Wait();
}
