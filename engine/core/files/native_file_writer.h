// Files the library writes itself (screen saves and the image encoders
// behind them). The name is the engine's Shift-JIS path with Windows path
// semantics, resolved by the file layer, so a file written here is seen at
// once by later look-ups. Writes are buffered; a failed write makes every
// later write and the close fail, and what was written stays on disk.
#pragma once

#include <cstddef>
#include <cstdint>

struct NativeWriteFile;

// Creates the file, or truncates an existing one. nullptr when its folder is
// missing or it cannot be opened.
NativeWriteFile* OpenNativeFileForWrite(const char* name);

// Deletes the file when it exists, then creates it anew; fails (nullptr)
// when a file of that name is still there or it cannot be created.
NativeWriteFile* ReplaceNativeFileForWrite(const char* name);

// 0, or -1 when this or an earlier write failed.
int WriteNativeFile(NativeWriteFile* file, const void* data, size_t bytes);

// Writes what is buffered and closes. 0, or -1 when a write failed (null:
// -1).
int CloseNativeFile(NativeWriteFile* file);
