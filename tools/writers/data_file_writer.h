// Builders of the game's binary data files for tests, fuzz seeds and the
// demo game, written from the file formats themselves (and kept apart from
// the player's readers, so each checks the other).
//
// ByteWriter appends little-endian numbers and texts (u32 length counting a
// terminating zero, the bytes, the zero). ScrambleFile puts a header in
// front of a plain body: the checksum (byte sum mod 256 of the first
// checked_length body bytes, all by default) goes to the first check byte,
// the other check bytes are 0, the keys go to their offsets, the remaining
// header bytes are filler; the body is scrambled in three passes (steps 1,
// 2, 5), each XORing bits 0-2 of a byte with rand() >> 12 of the C run-time
// generator seeded with the pass's key. Three zero keys leave the body plain.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace writers {

class ByteWriter {
 public:
  ByteWriter& U8(uint8_t value);
  ByteWriter& U16(uint16_t value);
  ByteWriter& U32(uint32_t value);
  ByteWriter& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
  ByteWriter& Bytes(const void* data, size_t count);
  // A text as the formats store it: length + 1, the bytes, a zero byte.
  ByteWriter& Text(std::string_view text);
  // A text field with an explicit stored length and stored bytes (for
  // damaged or unusual texts).
  ByteWriter& RawText(uint32_t stored_length, std::string_view stored_bytes);

  size_t Size() const { return bytes_.size(); }
  std::vector<uint8_t>& Data() { return bytes_; }
  const std::vector<uint8_t>& Data() const { return bytes_; }
  // Overwrites a u32 at an earlier offset (for positions known later).
  void PatchU32(size_t offset, uint32_t value);

 private:
  std::vector<uint8_t> bytes_;
};

struct ScrambledLayout {
  int header_length;
  std::array<int, 3> key_offsets;    // pass order
  std::array<int, 3> check_offsets;  // the first holds the checksum
};

inline constexpr ScrambledLayout kMapFileLayout{20, {0, 3, 9}, {2, 6, 8}};
inline constexpr ScrambledLayout kSaveFileLayout{20, {0, 3, 9}, {2, 6, 8}};
inline constexpr ScrambledLayout kGameDatLayout{10, {0, 8, 6}, {2, 3, 4}};
inline constexpr ScrambledLayout kDatabaseDatLayout{10, {0, 3, 9}, {2, 6, 8}};
inline constexpr ScrambledLayout kBasicDataLayout{10, {0, 3, 9}, {2, 6, 8}};

// The C run-time generator the formats rely on.
class FormatRandom {
 public:
  explicit FormatRandom(uint32_t seed) : state_(seed) {}
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

// Scrambles (or unscrambles) body bytes [0, size) in place with three keys.
void ScrambleBody(uint8_t* body, size_t size, const std::array<uint8_t, 3>& keys);

// A whole scrambled file: header + scrambled body. checked_length (SIZE_MAX:
// the whole body) bounds the bytes the checksum covers; filler_seed makes the
// filler header bytes.
std::vector<uint8_t> ScrambleFile(const std::vector<uint8_t>& body, const ScrambledLayout& layout,
                                  const std::array<uint8_t, 3>& keys, size_t checked_length = SIZE_MAX,
                                  uint32_t filler_seed = 7);

// Writes bytes to a native path, creating missing parent folders.
bool WriteFileBytes(const std::string& native_path, const std::vector<uint8_t>& bytes);

}  // namespace writers
