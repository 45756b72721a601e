// The StreamFunctionTable: the twelve replaceable file operations through
// which the library reads every file, and the calls that go through the
// installed table. Two built-in sets exist: the plain set (files of the file
// system) and the archive-aware set (ora_archive_streams.h), which is
// installed from the start. Each set hands out handles of its own open-file
// table: the plain set (slot + 1) | (check << 16), never 0 and never with a
// bit above 26 set, so that it is never taken for an archive-set handle; a
// stale or foreign handle is refused with -1. Also here: the line reader
// behind ReadDataFileLine, the end test, temporary files, the full-path
// builder and find-first/next.
// Paths are Shift-JIS; '\' and '/' both separate elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/files/stream_handle.h"
#include "engine/core/base/library_timing.h"
#include "platform/file_system.h"

// Size of path buffers passed to getdir, MakeFullPath and CreateTempFile.
inline constexpr int kStreamPathBufferSize = 260;

// One entry found by findfirst / findnext.
struct FindEntry {
  char name[kStreamPathBufferSize] = {};
  int32_t directory = 0;  // 1 for a folder
  int32_t size_low = 0;
  int32_t size_high = 0;
  DateTimeRecord creation_time;  // local time
  DateTimeRecord last_write_time;
};

// Search handles of findfirst; -1 when nothing matched.
using FindHandle = std::intptr_t;

struct StreamFunctionTable {
  StreamHandle (*open)(const char* name, int cache, int ignored, int async);
  int (*close)(StreamHandle handle);
  int32_t (*tell)(StreamHandle handle);
  int (*seek)(StreamHandle handle, int32_t offset, int origin);
  int64_t (*read)(void* buffer, size_t element_size, size_t count, StreamHandle handle);
  int (*eof)(StreamHandle handle);
  int (*idle_check)(StreamHandle handle);
  int (*chdir)(const char* path);
  // buffer holds kStreamPathBufferSize bytes.
  int (*getdir)(char* buffer);
  FindHandle (*findfirst)(const char* pattern, FindEntry* entry);
  int (*findnext)(FindHandle search, FindEntry* entry);
  int (*findclose)(FindHandle search);
};

// Calls through the installed table.
StreamHandle StreamOpen(const char* name, int cache, int ignored, int async);
int StreamClose(StreamHandle handle);
int32_t StreamTell(StreamHandle handle);
int StreamSeek(StreamHandle handle, int32_t offset, int origin);
int64_t StreamRead(void* buffer, size_t element_size, size_t count, StreamHandle handle);
int StreamEof(StreamHandle handle);
int StreamIdleCheck(StreamHandle handle);
int StreamChDir(const char* path);
int StreamGetDir(char* buffer);
FindHandle StreamFindFirst(const char* pattern, FindEntry* entry);
int StreamFindNext(FindHandle search, FindEntry* entry);
int StreamFindClose(FindHandle search);

// Non-null: copies the whole table. Null: installs the built-in set that the
// plain-files flag selects. Returns 0.
int SetStreamFunctions(const StreamFunctionTable* table);
// 1 when the installed table equals the built-in set that the plain-files
// flag selects (idle-check slot not compared).
int IsBuiltinStreamFunctions();
// flag 0 selects the plain set, anything else the archive-aware set; a table
// installed by a caller is left alone. Returns 0.
int SetUseArchive(int flag);

// The plain set. At most kMaxPlainStreams of its files are open at once.
inline constexpr int kMaxPlainStreams = 512;
const StreamFunctionTable& PlainStreamFunctions();
// Files the plain set has open (tests).
int OpenPlainStreamCount();

// Seconds since 1970 as local calendar time.
DateTimeRecord CalendarSecondsToDateTime(int64_t seconds);
void FillFindEntry(const platform::FindEntry& found, FindEntry* entry);

// 1 when the stream stands at its end, else 0.
int IsStreamAtEnd(StreamHandle handle);

// Reads one line into buffer (at most buffer_size - 1 bytes and a NUL).
// Lines end at CR LF, at a NUL byte, or when the buffer is full; a double-
// byte character is never split. Returns the line's length, -1 at the end.
int ReadStreamLine(char* buffer, int buffer_size, StreamHandle handle);

// A new, empty temporary file opened for writing; its full path goes to
// path_out (kStreamPathBufferSize bytes) when given. nullptr on failure.
std::unique_ptr<platform::File> CreateTempFile(char* path_out);

// The full path of path (base null: the current folder) into out
// (kStreamPathBufferSize bytes). 0, or -1 for an empty element or a result
// that does not fit.
int MakeFullPath(const char* path, char* out, const char* base);
