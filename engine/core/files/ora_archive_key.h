// The 12-byte archive key and the byte-wise scrambling of archive files.
// Every byte of an archive file, header and directory included, is XORed
// with key[file offset mod 12]; the same operation scrambles and
// unscrambles. The key is built from the key text handed over at start-up
// (or from the fill value when there is none) by a fixed per-position
// transformation. All fixed values of that transformation live here and
// nowhere else: archives made with other values are not readable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kArchiveKeySize = 12;
using ArchiveKey = std::array<uint8_t, kArchiveKeySize>;

// Fixed values of the key transformation.
inline constexpr uint8_t kArchiveKeyFillByte = 0x5A;     // all 12 bytes without a key text
inline constexpr uint8_t kArchiveSecondKeyByte = 0xA7;   // the second fixed key: 12 of these
inline constexpr uint8_t kArchiveKeyXor2 = 0x3C;
inline constexpr uint8_t kArchiveKeyXor5 = 0x96;
inline constexpr uint8_t kArchiveKeyXor9 = 0x5E;
inline constexpr uint8_t kArchiveKeyXor10 = 0x27;        // after the nibble swap
inline constexpr uint8_t kArchiveKeyXor11 = 0xC1;
inline constexpr unsigned kArchiveKeyRotateRight7 = 3;   // then complemented
inline constexpr unsigned kArchiveKeyRotateLeft8 = 5;

// Longest key text used; longer texts are cut.
inline constexpr size_t kArchiveKeyTextMax = 12;

// Builds the key from a key text (null or empty: the fill value).
ArchiveKey MakeArchiveKey(const char* key_text);
// The second fixed key, tried when the header does not match with the first.
ArchiveKey SecondArchiveKey();
// XORs length bytes that start at file_position of the archive file.
void XorArchiveKey(size_t length, uint8_t* buffer, uint64_t file_position, const ArchiveKey& key);
