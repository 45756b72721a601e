// Builds PNG and JPEG files in memory with libpng and libjpeg, for tests,
// fuzz seeds and benchmarks. Rows are given as the format stores them after
// decompression: PNG rows packed at the file's bit depth (16-bit samples
// big-endian), JPEG rows of `components` bytes a pixel (grey, RGB, or CMYK).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/image_file_writer.h"

namespace writers {

struct PngFile {
  uint32_t width = 1;
  uint32_t height = 1;
  int bit_depth = 8;
  int color_type = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  bool interlaced = false;
  std::vector<uint8_t> rows{};    // height rows of packed samples
  std::vector<uint32_t> palette{};  // 0x00RRGGBB
  std::vector<uint8_t> palette_alpha{};  // tRNS of a palette image
  int trns_grey = -1;             // tRNS grey value, or -1 for none
  int trns_rgb = -1;              // tRNS colour 0xRRGGBB, or -1 for none
  int level = 6;
};

// An empty vector when libpng refuses the description.
std::vector<uint8_t> BuildPngFile(const PngFile& file);

struct JpegFile {
  uint32_t width = 1;
  uint32_t height = 1;
  int components = 3;  // 1 grey, 3 RGB, 4 CMYK
  int quality = 90;
  bool progressive = false;
  std::vector<uint8_t> samples{};  // rows top-down, unpadded
};

std::vector<uint8_t> BuildJpegFile(const JpegFile& file);

// Small well-formed files of the layouts the decoders handle (fuzz seeds).
std::vector<SampleImageFile> SamplePngFiles();
std::vector<SampleImageFile> SampleJpegFiles();

}  // namespace writers
