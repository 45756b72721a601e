// Public entry points of the file services: each takes ApiLock around its
// stream operations. Names are Shift-JIS paths, looked up in the plain file
// system and in archives alike (a folder packed into "<folder>.<extension>"
// is read from that archive only).
#pragma once

#include <cstdint>

#include "engine/core/files/stream_handle.h"

// 0 when the file cannot be opened. async: any non-zero value asks for
// asynchronous reading.
StreamHandle OpenDataFile(const char* name, int async);
// Size in bytes, -1 when the file cannot be opened.
int64_t GetDataFileSize(const char* name);
int CloseDataFile(StreamHandle handle);
// Archive members: bytes read. Plain files: 1 when all size bytes were read,
// 0 (reading nothing) when fewer than size bytes are left. -1 for a bad
// handle.
int64_t ReadDataFile(void* buffer, int64_t size, StreamHandle handle);
// 1 at the end, else 0.
int IsDataFileEnd(StreamHandle handle);
// Byte length of the line read into buffer, -1 at the end. Lines end at
// CR LF (not stored) or at a NUL byte; a line longer than buffer_size - 1
// bytes comes in pieces, never splitting a double-byte character.
int ReadDataFileLine(char* buffer, int buffer_size, StreamHandle handle);

// 0 reads plain files only; anything else looks in archives first. 0.
int EnableArchiveAccess(int flag);
// The archive extension without the point (1 to 63 characters; anything
// else restores the default "ORA"). 0.
int ChangeArchiveExtension(const char* extension);
// The archive key text (first 12 characters used); null: no key text. 0.
int ChangeArchiveKey(const char* key_text);
