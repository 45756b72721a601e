// Public entry points of the file services: each takes ApiLock around its
// stream operations. Names are Shift-JIS paths, looked up in the plain file
// system and in archives alike.
#pragma once

#include <cstdint>

// Names one open data file; 0 is none.
using StreamHandle = std::intptr_t;

// 0 when the file cannot be opened. async: any non-zero value asks for
// asynchronous reading.
StreamHandle OpenDataFile(const char* name, int async);
// Size in bytes, -1 when the file cannot be opened.
int64_t GetDataFileSize(const char* name);
int CloseDataFile(StreamHandle handle);
// Bytes read, or -1.
int64_t ReadDataFile(void* buffer, int64_t size, StreamHandle handle);
// 1 at the end, else 0.
int IsDataFileEnd(StreamHandle handle);
// Byte length of the line read into buffer, -1 at the end.
int ReadDataFileLine(char* buffer, int buffer_size, StreamHandle handle);
