// File streams: a FileStream reads one file of the file system, either
// directly or through its own file-access thread (read-ahead cache and
// asynchronous reads); a MemoryStream reads a block the caller keeps alive.
// StreamOps is the six-operation reader interface handed with a stream to
// the image, sound and movie readers, so that one reader serves table
// streams and memory blocks alike.
// Units: bytes; positions are int32 from the start of the stream. Files of
// 2 GiB or more are not opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_access_thread.h"
#include "engine/core/files/stream_handle.h"
#include "platform/file_system.h"

// The six reader operations, in this order. A stream is passed as the
// StreamHandle value its opener returned (a table handle, or the address of
// a MemoryStream).
struct StreamOps {
  int32_t (*tell)(StreamHandle stream);
  int (*seek)(StreamHandle stream, int32_t offset, int origin);
  int64_t (*read)(void* buffer, size_t element_size, size_t count, StreamHandle stream);
  int (*eof)(StreamHandle stream);
  int (*idle_check)(StreamHandle stream);
  int (*close)(StreamHandle stream);
};

// FileStream, its worker state and MemoryStream live in tracked blocks
// (engine/core/base/tracked_memory.h), so the shutdown dump lists streams
// left open.
struct FileStream {
  std::unique_ptr<platform::File> file;  // direct mode
  bool threaded = false;                 // cache or asynchronous flag given
  bool cache = false;
  bool async = false;
  bool eof = false;
  int32_t position = 0;
  int32_t size = 0;  // file size at open time
  TrackedPtr<FileAccessThreadState> access;  // threaded mode
};

// Opens a file for reading. cache asks for the 131,072-byte read-ahead
// cache, async for asynchronous reads; either one gives the stream a
// file-access thread. nullptr when the file cannot be opened.
FileStream* OpenFileStream(const char* name, int cache, int ignored, int async);
// Ends the thread (if any) before returning; 0, or -1 when a direct file
// could not be closed.
int CloseFileStream(FileStream* stream);
int32_t TellFileStream(FileStream* stream);
// origin 0 set, 1 current, 2 end. 0, or -1 when the new position would be
// negative or beyond the int32 range (the position is then unchanged).
int SeekFileStream(FileStream* stream, int32_t offset, int origin);
// Whole elements read (threaded: requested); 0 with the eof flag at the end.
// An asynchronous stream returns at once: the bytes are in the buffer once
// IdleCheckFileStream reports 1, and the buffer must not be touched before.
int64_t ReadFileStream(void* buffer, size_t element_size, size_t count, FileStream* stream);
// -1 after a read reached the end, else 0.
int EofFileStream(FileStream* stream);
// 1 when no request of the file-access thread is in progress.
int IdleCheckFileStream(FileStream* stream);

struct MemoryStream {
  const uint8_t* data = nullptr;
  int32_t size = 0;
  int32_t position = 0;
  int32_t eof = 0;
};

// The data is not copied and must outlive the stream. nullptr when size is
// negative or there is no memory.
MemoryStream* OpenMemoryStream(const void* data, int32_t size);
int CloseMemoryStream(StreamHandle stream);
int32_t TellMemoryStream(StreamHandle stream);
// Clamps the new position to 0 ... size.
int SeekMemoryStream(StreamHandle stream, int32_t offset, int origin);
// Whole elements read; when less than one element is left, copies the rest
// and returns 1.
int64_t ReadMemoryStream(void* buffer, size_t element_size, size_t count, StreamHandle stream);
// 1 when the eof flag is set (not -1).
int EofMemoryStream(StreamHandle stream);
int IdleCheckMemoryStream(StreamHandle stream);

inline StreamHandle MemoryStreamHandle(MemoryStream* stream) {
  return reinterpret_cast<StreamHandle>(stream);
}

// The table instance (calls through the installed StreamFunctionTable) and
// the memory instance.
const StreamOps* GetTableStreamOps();
const StreamOps* GetMemoryStreamOps();

// Blocks until the stream's file-access thread has finished its request
// (returns at once for a direct stream).
void WaitForFileStreamIdle(FileStream* stream);
