// The scrambling shared by every data file the game runtime reads or writes
// itself (Game.dat, database ".dat" files, CommonEvent.dat, TileSetData.dat,
// map files, save files): a header of mostly random bytes holding three key
// bytes and a one-byte additive checksum, and a body whose bytes have their
// low three bits XORed with a linear-congruential generator seeded by each
// key in turn. The generator is part of the file formats, so it is our own
// copy of the C run-time's: state = state * 214013 + 2531011 (mod 2^32),
// result = bits 16-30 of the state (0..32767).
//
// Invariants: scrambling twice with the same keys restores the body; only
// bits 0-2 of a body byte ever change; three zero keys leave a file plain
// and unchecked.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One generator of the C run-time's kind. A fresh one starts at state 1.
class CrtRandom {
 public:
  explicit constexpr CrtRandom(uint32_t seed = 1) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  int32_t Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int32_t>((state_ >> 16) & 0x7FFFu);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_;
};

// The game runtime's one generator (the scrambler, the writers' keys and the
// Game.dat defaults share it; the scrambler reseeds it at every pass).
CrtRandom& RuntimeRandom();

// The passes alone, drawing from `random`: pass k (k < keyCount, at most 3)
// seeds it with keys[k] and XORs bits 0-2 of data[start], data[start + step],
// ... below end with (draw >> 12), steps 1, 2, 5. No key test, no checksum.
void ScramblePasses(uint8_t* data, int32_t start, int32_t end, int32_t keyCount, const uint8_t* keys,
                    CrtRandom& random);

// Scrambles or unscrambles data[start, end) and computes, stores or verifies
// the checksum in checks[0]:
//   keyCount 0-3 passes (all keys 0 with keyCount > 0: nothing at all);
//   checkMode <= -1 stores the byte sum of the plain body before the passes,
//   0 leaves it alone, >= 1 verifies the byte sum after the passes and on a
//   mismatch shows the failure text naming `name` and ends the program (1).
// Pass k (k = 0, 1, 2) seeds the runtime generator with keys[k] and visits
// start, start + step, ... below end with steps 1, 2, 5.
void ScrambleBlock(const std::string& name, uint8_t* data, int32_t start, int32_t end, int32_t keyCount,
                   const uint8_t* keys, int32_t checkMode, uint8_t* checks);

// The byte sum modulo 256 of data[start, end).
uint8_t DataChecksum(const uint8_t* data, int32_t start, int32_t end);

// Where the keys and check bytes sit in each kind of file's header.
struct DataFileHeaderLayout {
  int32_t length;                       // header bytes before the body
  std::array<uint8_t, 3> key_offsets;   // in pass order
  std::array<uint8_t, 3> check_offsets; // the first holds the checksum
  bool verified;                        // readers check the checksum
};

inline constexpr DataFileHeaderLayout kMapFileHeader{20, {0, 3, 9}, {2, 6, 8}, true};
inline constexpr DataFileHeaderLayout kSaveFileHeader{20, {0, 3, 9}, {2, 6, 8}, true};
inline constexpr DataFileHeaderLayout kGameDatHeader{10, {0, 8, 6}, {2, 3, 4}, false};
inline constexpr DataFileHeaderLayout kDatabaseDatHeader{10, {0, 3, 9}, {2, 6, 8}, true};
inline constexpr DataFileHeaderLayout kBasicDataFileHeader{10, {0, 3, 9}, {2, 6, 8}, true};

// The key and check bytes taken out of a header.
struct DataFileKeys {
  std::array<uint8_t, 3> keys{};
  std::array<uint8_t, 3> checks{};
  bool AllKeysZero() const { return keys[0] == 0 && keys[1] == 0 && keys[2] == 0; }
};

// Reader steps 1-2: takes keys and check bytes out of the header and
// unscrambles the body in place. False (file untouched) when the file is
// shorter than its header or too large for 32-bit positions.
bool UnscrambleDataFile(const std::string& name, std::vector<uint8_t>& file, const DataFileHeaderLayout& layout,
                        DataFileKeys& keys);

// Reader step 4: unless the layout is unverified or the keys are all 0,
// verifies the checksum over the body from the header up to parsed_end (the
// position the parser reached); a mismatch ends the program.
void VerifyDataFile(const std::string& name, std::vector<uint8_t>& file, const DataFileHeaderLayout& layout,
                    const DataFileKeys& keys, size_t parsed_end);

// Writer: file holds layout.length header bytes (any values) and the plain
// body. Draws keys from the calendar clock with the runtime generator, then
// seals the file with them (SealDataFile, the runtime generator doing the
// passes and the filler).
void ScrambleDataFileForWrite(const std::string& name, std::vector<uint8_t>& file,
                              const DataFileHeaderLayout& layout);

// Seals a file built plain with the given keys: file holds layout.length
// header bytes (any values; a shorter file is padded with zeros) and the
// body. Stores the byte sum of the body up to checked_end (a file position;
// the whole body when it lies beyond) in the first check byte and 0 in the
// others, scrambles the whole body with `passes`, then sets every header byte
// to bits 8-15 of a draw from `filler` and puts the keys and check bytes at
// their offsets. Three zero keys leave the body plain and the checksum 0.
// Bodies beyond 32-bit positions are left plain past that point.
void SealDataFile(std::vector<uint8_t>& file, const DataFileHeaderLayout& layout, const std::array<uint8_t, 3>& keys,
                  size_t checked_end, CrtRandom& passes, CrtRandom& filler);
