// RingBuffer: the growable byte ring behind each socket's send and receive
// queues. The block is a tracked allocation; positions and lengths are
// bytes. Invariants: read, write < capacity (a position equal to the
// capacity means 0), length <= capacity, and the held bytes run from read,
// wrapping at the capacity, to write.
#pragma once

#include <cstdint>

struct RingBuffer {
  uint8_t* block = nullptr;
  uint32_t read = 0;
  uint32_t write = 0;
  uint32_t length = 0;
  uint32_t capacity = 0;
};

// The most a ring may hold; a reserve past it fails as an allocation would.
inline constexpr uint32_t kRingBufferLimit = 64u * 1024u * 1024u;

// Wraps positions equal to the capacity to 0.
void NormalizeRingBuffer(RingBuffer& ring);
// Makes room for extra more bytes: when the capacity is below held + extra,
// a new block of held + extra + 1000 bytes takes the held bytes at its start.
// 0, or -1 (logged; the ring freed and cleared) when that fails.
int ReserveRingBuffer(RingBuffer& ring, uint32_t extra);
// Appends size bytes; 0, or -1 (logged) when the reserve failed.
int AppendRingBuffer(RingBuffer& ring, const void* data, uint32_t size);
// Copies size bytes from the read position into destination (which may be
// null to drop them); unless peek, they are consumed. 0, or -1 when the ring
// holds fewer bytes.
int ReadRingBuffer(RingBuffer& ring, uint32_t size, void* destination, bool peek);
void FreeRingBuffer(RingBuffer& ring);
