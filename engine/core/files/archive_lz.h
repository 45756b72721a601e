// The LZ format of compressed archive members. A block is: u32 unpacked
// size, u32 packed size (including this 9-byte head), one escape byte, then
// codes: a byte other than the escape byte is a literal; escape + escape is a
// literal escape byte; escape + c (c taken one smaller when above the escape
// byte) is a match of (c >> 3) + 4 bytes, or ((c >> 3) | (b << 5)) + 4 with a
// further byte b when bit 2 of c is set, whose distance - 1 follows in 1, 2
// or 3 little-endian bytes as the low two bits of c say (0, 1, 2).
// The decoder trusts nothing: every length, distance and size is checked.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kArchiveLzHeadSize = 9;

// Unpacked size from the head, or -1 when the head is cut or its packed
// size lies outside 9 ... block_size.
int64_t ArchiveLzUnpackedSize(const uint8_t* block, size_t block_size);

// Decodes the block into out, which must hold out_size bytes; the block's
// unpacked size must equal out_size. With out null only the size is
// returned. Returns the unpacked size, or -1 for damaged data (cut codes, a
// match reaching before the start or beyond the end, low bits 3 in a match
// code, fewer bytes produced than the head promises).
int64_t DecodeArchiveLz(const uint8_t* block, size_t block_size, uint8_t* out, size_t out_size);
