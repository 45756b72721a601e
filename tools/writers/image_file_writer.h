// Builds the image files the decoder reads (BMP, the raw BGRA format, TGA,
// DDS) for tests and fuzz seeds. Pixels are given top-down, left to right, as
// one value each: a palette index, a packed 16- or 32-bit value, or
// 0x00RRGGBB for 24 bits; the writers store them in the file's own row order.
// Every field can be set to a value a well-formed file would not hold, and
// `data` replaces the stored pixel bytes, so damaged files are built the same
// way as good ones. All numbers are stored little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace writers {

struct BmpFile {
  int32_t width = 1;
  int32_t height = 1;  // as stored: negative for top-down rows
  uint16_t bits = 24;
  uint32_t compression = 0;     // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  uint32_t header_size = 40;    // 40, or 108 / 124 for the longer headers
  uint32_t colors_used = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written as given after the header
  std::vector<uint32_t> masks;    // red, green, blue (and alpha) at the header's end
  std::vector<uint32_t> pixels;   // width x |height| values, top-down
  std::vector<uint8_t> data;      // when not empty: the stored pixel bytes as they stand
  int64_t pixel_offset = -1;      // -1: right after the palette
  std::string magic = "BM";
};

std::vector<uint8_t> BuildBmpFile(const BmpFile& file);

// Run-length coding of index pixels (top-down) into the rows of a bottom-up
// bitmap: runs of equal pixels, an end-of-row code after each row and the
// end-of-bitmap code. RLE4 runs repeat one index.
std::vector<uint8_t> EncodeBmpRle8(int width, int height, const std::vector<uint32_t>& pixels);
std::vector<uint8_t> EncodeBmpRle4(int width, int height, const std::vector<uint32_t>& pixels);

struct BgraFile {
  std::string magic = "BGRA";
  uint32_t code = 0x08080808;  // 0x10101010: 16 bits a channel
  int32_t width = 1;
  int32_t height = 1;
  std::vector<uint8_t> data;  // pixel bytes as stored
};

std::vector<uint8_t> BuildBgraFile(const BgraFile& file);

struct TgaFile {
  uint8_t type = 2;  // 1, 2, 9, 10
  int32_t width = 1;
  int32_t height = 1;
  uint8_t pixel_bits = 24;  // header byte 16 (the index size for colour-mapped files)
  uint8_t descriptor = 0x20;  // bit 5 top-down, bit 4 right to left
  std::string id;
  uint8_t color_map_type = 0;
  uint16_t first_entry = 0;
  uint8_t map_entry_bits = 0;
  std::vector<uint32_t> color_map;  // entries written at the entry size
  uint16_t x_origin = 0;
  uint16_t y_origin = 0;
  std::vector<uint32_t> pixels;  // top-down values: indices, or pixels at pixel_bits
  std::vector<uint8_t> data;     // when not empty: the stored pixel bytes as they stand
  bool footer = false;
  uint32_t footer_extension_offset = 0;
};

std::vector<uint8_t> BuildTgaFile(const TgaFile& file);

struct DdsFile {
  std::string magic = "DDS ";
  uint32_t flags = 0x1007;  // caps, height, width, pixel format
  uint32_t width = 1;
  uint32_t height = 1;
  uint32_t pitch = 0;
  uint32_t pixel_flags = 0x40;
  uint32_t four_cc = 0;
  uint32_t bit_count = 32;
  uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  std::vector<uint8_t> data;  // pixel bytes as stored
};

std::vector<uint8_t> BuildDdsFile(const DdsFile& file);

// Small well-formed files of every layout a reader accepts, named for their
// layout: the fuzz seeds and the tests' "every sample decodes" set.
struct SampleImageFile {
  std::string name;
  std::vector<uint8_t> bytes;
};
std::vector<SampleImageFile> SampleBmpFiles();
std::vector<SampleImageFile> SampleBgraFiles();
std::vector<SampleImageFile> SampleTgaFiles();
std::vector<SampleImageFile> SampleDdsFiles();

// Pixels of `bytes` bytes each, little-endian, rows of width values padded to
// `pitch` bytes (0: unpadded).
std::vector<uint8_t> PackPixelRows(const std::vector<uint32_t>& pixels, int width, int bytes,
                                   int pitch = 0);

}  // namespace writers
