// The socket layer's byte rings.
#include "engine/core/network/ring_buffer.h"

#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"

void NormalizeRingBuffer(RingBuffer& ring) {
  if (ring.read >= ring.capacity) ring.read = 0;
  if (ring.write >= ring.capacity) ring.write = 0;
}

int ReserveRingBuffer(RingBuffer& ring, uint32_t extra) {
  const uint64_t needed = static_cast<uint64_t>(ring.length) + extra;
  if (needed <= ring.capacity) return 0;
  const uint64_t size = needed + 1000;
  uint8_t* block = nullptr;
  if (size <= kRingBufferLimit) block = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(size), "", 0));
  if (block == nullptr) {
    WriteLogF("リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)",
              static_cast<int>(size > INT32_MAX ? INT32_MAX : size));
    FreeRingBuffer(ring);
    return -1;
  }
  if (ring.length != 0) ReadRingBuffer(ring, ring.length, block, true);
  TrackedFree(ring.block);
  ring.block = block;
  ring.capacity = static_cast<uint32_t>(size);
  ring.read = 0;
  ring.write = ring.length;
  NormalizeRingBuffer(ring);
  return 0;
}

int AppendRingBuffer(RingBuffer& ring, const void* data, uint32_t size) {
  if (ReserveRingBuffer(ring, size) != 0) {
    WriteLogF("リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", static_cast<int>(size));
    return -1;
  }
  if (size == 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const uint32_t first = ring.capacity - ring.write < size ? ring.capacity - ring.write : size;
  std::memcpy(ring.block + ring.write, bytes, first);
  std::memcpy(ring.block, bytes + first, size - first);
  ring.write = (ring.write + size) % ring.capacity;
  ring.length += size;
  return 0;
}

int ReadRingBuffer(RingBuffer& ring, uint32_t size, void* destination, bool peek) {
  if (size > ring.length) return -1;
  if (size == 0) return 0;
  if (destination != nullptr) {
    auto* out = static_cast<uint8_t*>(destination);
    const uint32_t first = ring.capacity - ring.read < size ? ring.capacity - ring.read : size;
    std::memcpy(out, ring.block + ring.read, first);
    std::memcpy(out + first, ring.block, size - first);
  }
  if (!peek) {
    ring.read = (ring.read + size) % ring.capacity;
    ring.length -= size;
  }
  return 0;
}

void FreeRingBuffer(RingBuffer& ring) {
  TrackedFree(ring.block);
  ring = RingBuffer{};
}
