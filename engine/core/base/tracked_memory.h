// The library's one allocator. Every block sits behind an AllocHeader
// (source-file tail, allocation number, line, size, list links and a guard
// copy of those fields) in one list, newest first, that ends at a static
// sentinel header; the blocks still live at shutdown are dumped into the log.
// Sizes are bytes and at most INT32_MAX less the header. Blocks are aligned
// to 16 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

struct alignas(16) AllocHeader {
  char file_tail[16];  // NUL-terminated; the last 15 characters of a longer name
  uint16_t id;         // allocation number, wrapping at 65536
  uint16_t line;       // -1 is stored as 65535
  int32_t size;        // bytes asked for
  AllocHeader* next;       // next older block; the oldest points to the sentinel
  AllocHeader* previous;   // next newer block; null for the newest
  unsigned char guard[40]; // copy of the fields above
};

// size bytes, or null (after dumping the live blocks to the log) when the
// heap fails or the size is too large. file may be null; line -1 for none.
void* TrackedAlloc(size_t size, const char* file, int line);
// As TrackedAlloc, the bytes zero-filled.
void* TrackedCalloc(size_t size, const char* file, int line);
// Releases a block of TrackedAlloc. 0 for null (ignored), else 1.
int TrackedFree(void* pointer);
// Writes every live block, newest first, and the totals to the log. -1.
int DumpTrackedAllocs();
// 0, or -1 (with a log line) at the first header that differs from its
// guard copy.
int CheckTrackedAllocs();
// Writes one block line for the header to the log.
void LogAllocBlock(const AllocHeader* header);

// The header in front of a block of TrackedAlloc.
AllocHeader* TrackedAllocHeader(void* pointer);
int32_t TrackedAllocTotalSize();
int32_t TrackedAllocCount();

// Library records in tracked blocks. Every library allocation passes an empty
// source-file name and line 0.

// A T built in a tracked block; null when there is no memory.
template <typename T, typename... Args>
T* TrackedNew(Args&&... args) {
  static_assert(alignof(T) <= 16, "tracked blocks are 16-byte aligned");
  void* block = TrackedAlloc(sizeof(T), "", 0);
  if (block == nullptr) return nullptr;
  try {
    return new (block) T(std::forward<Args>(args)...);
  } catch (...) {
    TrackedFree(block);
    throw;
  }
}

// Destroys a T of TrackedNew and frees its block; null is ignored.
template <typename T>
void TrackedDelete(T* object) {
  if (object == nullptr) return;
  object->~T();
  TrackedFree(object);
}

template <typename T>
struct TrackedDeleter {
  void operator()(T* object) const { TrackedDelete(object); }
};
template <typename T>
using TrackedPtr = std::unique_ptr<T, TrackedDeleter<T>>;

template <typename T, typename... Args>
TrackedPtr<T> MakeTracked(Args&&... args) {
  return TrackedPtr<T>(TrackedNew<T>(std::forward<Args>(args)...));
}

// A zero-filled byte buffer in a tracked block.
struct TrackedBufferDeleter {
  void operator()(uint8_t* bytes) const { TrackedFree(bytes); }
};
using TrackedBuffer = std::unique_ptr<uint8_t[], TrackedBufferDeleter>;
inline TrackedBuffer MakeTrackedBuffer(size_t size) {
  return TrackedBuffer(static_cast<uint8_t*>(TrackedCalloc(size, "", 0)));
}
