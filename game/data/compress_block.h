// A small byte compressor pair of the data-file family: LZ77 over the last
// 254 bytes with an escape byte (the least frequent byte value of the input).
// A packed block is a 12-byte header of three little-endian int32 values
// (uncompressed length, total packed size including the header, escape
// byte) followed by the codes: a plain byte; the escape byte twice for one
// escape byte; or the escape byte, a distance byte (distance + 1 when the
// distance is at least the escape value) and a length byte (4-254, never
// longer than the distance). Lengths are in bytes.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kPackedHeaderBytes = 12;

// Compresses length bytes of data into out, or only measures when out is
// null. Returns the packed size including the header. out must hold at least
// the measured size (at most 12 + 2 * length bytes).
int32_t CompressBlock(const uint8_t* data, int32_t length, uint8_t* out);

// The uncompressed length stated in a packed block of packed_size bytes, or
// -1 when the header is missing or states a negative length or a total
// outside the block.
int32_t ExpandedLength(const uint8_t* packed, size_t packed_size);

// Expands a packed block of packed_size bytes into out (capacity bytes).
// Returns the uncompressed length, or -1 when the block is damaged: a total
// size outside the block, a length beyond the capacity, a code cut short, a
// distance reaching before the output or an output longer or shorter than
// the stated length. With out null it returns ExpandedLength and writes
// nothing.
int32_t ExpandBlock(const uint8_t* packed, size_t packed_size, uint8_t* out, size_t capacity);
