// Archive key construction and scrambling.
#include "engine/core/files/ora_archive_key.h"

#include <cstring>

namespace {

uint8_t SwapNibbles(uint8_t b) { return static_cast<uint8_t>((b << 4) | (b >> 4)); }
uint8_t RotateRight(uint8_t b, unsigned n) {
  n &= 7u;
  return n == 0 ? b : static_cast<uint8_t>((b >> n) | (b << (8u - n)));
}
uint8_t RotateLeft(uint8_t b, unsigned n) {
  n &= 7u;
  return n == 0 ? b : static_cast<uint8_t>((b << n) | (b >> (8u - n)));
}

}  // namespace

ArchiveKey MakeArchiveKey(const char* key_text) {
  ArchiveKey key;
  size_t length = key_text == nullptr ? 0 : std::strlen(key_text);
  if (length > kArchiveKeyTextMax) length = kArchiveKeyTextMax;
  if (length == 0) {
    key.fill(kArchiveKeyFillByte);
  } else {
    // Whole copies of the text from the start, then its first characters.
    for (size_t i = 0; i < kArchiveKeySize; ++i) key[i] = static_cast<uint8_t>(key_text[i % length]);
  }
  key[0] = static_cast<uint8_t>(~key[0]);
  key[1] = SwapNibbles(key[1]);
  key[2] = static_cast<uint8_t>(key[2] ^ kArchiveKeyXor2);
  key[3] = static_cast<uint8_t>(~SwapNibbles(key[3]));
  key[4] = static_cast<uint8_t>(~key[4]);
  key[5] = static_cast<uint8_t>(key[5] ^ kArchiveKeyXor5);
  key[6] = static_cast<uint8_t>(~key[6]);
  key[7] = static_cast<uint8_t>(~RotateRight(key[7], kArchiveKeyRotateRight7));
  key[8] = RotateLeft(key[8], kArchiveKeyRotateLeft8);
  key[9] = static_cast<uint8_t>(key[9] ^ kArchiveKeyXor9);
  key[10] = static_cast<uint8_t>(SwapNibbles(key[10]) ^ kArchiveKeyXor10);
  key[11] = static_cast<uint8_t>(key[11] ^ kArchiveKeyXor11);
  return key;
}

ArchiveKey SecondArchiveKey() {
  ArchiveKey key;
  key.fill(kArchiveSecondKeyByte);
  return key;
}

void XorArchiveKey(size_t length, uint8_t* buffer, uint64_t file_position, const ArchiveKey& key) {
  // The key, rotated to the buffer's first byte and repeated four times,
  // covers 48 bytes: whole blocks are XORed six 64-bit words at a time.
  constexpr size_t kBlock = kArchiveKeySize * 4;
  const size_t first = static_cast<size_t>(file_position % kArchiveKeySize);
  uint8_t pattern[kBlock];
  for (size_t i = 0; i < kBlock; ++i) pattern[i] = key[(first + i) % kArchiveKeySize];
  uint64_t words[kBlock / 8];
  std::memcpy(words, pattern, kBlock);
  size_t i = 0;
  for (; i + kBlock <= length; i += kBlock) {
    uint64_t chunk[kBlock / 8];
    std::memcpy(chunk, buffer + i, kBlock);
    for (size_t w = 0; w < kBlock / 8; ++w) chunk[w] ^= words[w];
    std::memcpy(buffer + i, chunk, kBlock);
  }
  for (size_t k = 0; i < length; ++i, ++k) buffer[i] ^= pattern[k];
}
