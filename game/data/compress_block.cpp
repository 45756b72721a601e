#include "game/data/compress_block.h"

#include <array>
#include <cstring>

namespace {

void PutI32(uint8_t* out, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetI32(const uint8_t* in) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in[i]) << (8 * i);
  return static_cast<int32_t>(bits);
}

uint8_t LeastFrequentByte(const uint8_t* data, int32_t length) {
  std::array<uint32_t, 256> counts{};
  for (int32_t i = 0; i < length; ++i) ++counts[data[i]];
  int best = 0;
  for (int value = 1; value < 256; ++value) {
    if (counts[value] < counts[best]) best = value;
  }
  return static_cast<uint8_t>(best);
}

}  // namespace

int32_t CompressBlock(const uint8_t* data, int32_t length, uint8_t* out) {
  if (length < 0) length = 0;
  const uint8_t escape = LeastFrequentByte(data, length);
  int32_t written = 0;
  auto emit = [&](uint8_t byte) {
    if (out) out[kPackedHeaderBytes + written] = byte;
    ++written;
  };
  int32_t p = 0;
  while (p < length) {
    int32_t best_length = 0;
    int32_t best_distance = 0;
    for (int32_t d = 1; d <= 254 && d <= p; ++d) {
      int32_t n = 0;
      while (n < d && p + n < length && data[p + n] == data[p + n - d]) ++n;
      if (n >= 4 && n > best_length) {
        best_length = n;
        best_distance = d;
      }
    }
    if (best_length == 0) {
      emit(data[p]);
      if (data[p] == escape) emit(escape);
      ++p;
    } else {
      emit(escape);
      emit(static_cast<uint8_t>(best_distance >= escape ? best_distance + 1 : best_distance));
      emit(static_cast<uint8_t>(best_length));
      p += best_length;
    }
  }
  const int32_t total = written + kPackedHeaderBytes;
  if (out) {
    PutI32(out, length);
    PutI32(out + 4, total);
    PutI32(out + 8, escape);
  }
  return total;
}

int32_t ExpandedLength(const uint8_t* packed, size_t packed_size) {
  if (packed == nullptr || packed_size < static_cast<size_t>(kPackedHeaderBytes)) return -1;
  const int32_t length = GetI32(packed);
  const int32_t total = GetI32(packed + 4);
  if (length < 0 || total < kPackedHeaderBytes || static_cast<size_t>(total) > packed_size) return -1;
  return length;
}

int32_t ExpandBlock(const uint8_t* packed, size_t packed_size, uint8_t* out, size_t capacity) {
  const int32_t length = ExpandedLength(packed, packed_size);
  if (length < 0 || out == nullptr) return length;
  if (static_cast<size_t>(length) > capacity) return -1;
  const size_t total = static_cast<size_t>(GetI32(packed + 4));
  const int32_t escape_value = GetI32(packed + 8);
  if (escape_value < 0 || escape_value > 255) return -1;
  const uint8_t escape = static_cast<uint8_t>(escape_value);
  const size_t limit = static_cast<size_t>(length);
  size_t produced = 0;
  size_t i = static_cast<size_t>(kPackedHeaderBytes);
  while (i < total) {
    const uint8_t byte = packed[i++];
    if (byte != escape) {
      if (produced >= limit) return -1;
      out[produced++] = byte;
      continue;
    }
    if (i >= total) return -1;
    const uint8_t code = packed[i++];
    if (code == escape) {
      if (produced >= limit) return -1;
      out[produced++] = escape;
      continue;
    }
    if (i >= total) return -1;
    const size_t run = packed[i++];
    const size_t distance = code > escape ? code - 1u : code;
    if (distance == 0 || distance > produced || run > limit - produced) return -1;
    // Byte by byte: a run longer than its distance repeats what it copies.
    for (size_t k = 0; k < run; ++k, ++produced) out[produced] = out[produced - distance];
  }
  if (produced != limit) return -1;
  return length;
}
