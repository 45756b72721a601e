// Bounds-checked decoder of the archive LZ format.
#include "engine/core/files/archive_lz.h"

#include <cstring>

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

int64_t ArchiveLzUnpackedSize(const uint8_t* block, size_t block_size) {
  if (block == nullptr || block_size < kArchiveLzHeadSize) return -1;
  const uint32_t packed = ReadU32(block + 4);
  if (packed < kArchiveLzHeadSize || packed > block_size) return -1;
  return ReadU32(block);
}

int64_t DecodeArchiveLz(const uint8_t* block, size_t block_size, uint8_t* out, size_t out_size) {
  const int64_t unpacked = ArchiveLzUnpackedSize(block, block_size);
  if (unpacked < 0) return -1;
  if (out == nullptr) return unpacked;
  if (static_cast<uint64_t>(unpacked) != out_size) return -1;
  const size_t packed = ReadU32(block + 4);
  const uint8_t escape = block[8];
  size_t in = kArchiveLzHeadSize;
  size_t produced = 0;
  while (in < packed) {
    const uint8_t b = block[in++];
    if (b != escape) {
      if (produced >= out_size) return -1;
      out[produced++] = b;
      continue;
    }
    if (in >= packed) return -1;
    uint32_t c = block[in++];
    if (c == escape) {
      if (produced >= out_size) return -1;
      out[produced++] = escape;
      continue;
    }
    if (c > escape) --c;
    size_t length = (c >> 3) + 4;
    if (c & 4u) {
      if (in >= packed) return -1;
      length = ((c >> 3) | (uint32_t{block[in++]} << 5)) + 4;
    }
    const unsigned distance_bytes = (c & 3u) + 1;
    if (distance_bytes > 3 || packed - in < distance_bytes) return -1;
    size_t distance = 0;
    for (unsigned k = 0; k < distance_bytes; ++k) distance |= size_t{block[in++]} << (8 * k);
    distance += 1;
    if (distance > produced || length > out_size - produced) return -1;
    // A match may overlap the bytes it produces: copy in steps of at most
    // the distance, so that each step reads only bytes already written.
    uint8_t* to = out + produced;
    if (distance == 1) {
      std::memset(to, to[-1], length);
    } else {
      const uint8_t* from = to - distance;
      for (size_t left = length; left > 0;) {
        const size_t step = left < distance ? left : distance;
        std::memcpy(to, from, step);
        to += step;
        from += step;
        left -= step;
      }
    }
    produced += length;
  }
  if (produced != out_size) return -1;
  return unpacked;
}
