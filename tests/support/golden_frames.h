// What the frame tests share beyond PNG reading and writing
// (tests/graphics/golden_png.h): a frame read back from an image in memory,
// the expected files under the source tree, an exact comparison (or with
// VESK_UPDATE_GOLDEN=1 an update) that leaves the frame and a difference
// image in the build folder, and a channel counted in the screen's own
// units for the comparisons with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/memimg.h"
#include "tests/graphics/golden_png.h"

namespace golden {

// The top-left width x height pixels of rows starting at bits, pitch bytes
// apart, in format, as 0x00RRGGBB.
inline Frame ReadFrame(const uint8_t* bits, int pitch, const ColorFormat* format, int width, int height) {
  Frame f;
  f.width = width;
  f.height = height;
  f.rgb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, bits + static_cast<ptrdiff_t>(y) * pitch + x * format->PixelByte, format->PixelByte);
      int r = 0, g = 0, b = 0, a = 0;
      UnpackColor(format, v, &r, &g, &b, &a);
      f.rgb.push_back(static_cast<uint32_t>(r << 16 | g << 8 | b));
    }
  }
  return f;
}
inline Frame ReadFrame(const MEMIMG& image, int width, int height) {
  return ReadFrame(image.Pixels, image.Pitch, image.Format, width, height);
}

// An expected file by its path under the source tree ("tests/golden/x.png").
inline std::string SourcePath(const std::string& relative) {
  return std::string(VESK_SOURCE_DIR) + "/" + relative;
}

// Where a failing comparison leaves its images.
inline std::string OutFolder() { return std::string(VESK_BINARY_DIR) + "/golden_out"; }

// Writes frame as <name>.png and, the pixels marked bad in magenta on
// black, <name>_diff.png into OutFolder().
inline void WriteOut(const std::string& name, const Frame& frame, const std::vector<bool>& bad) {
  const std::string out = OutFolder();
  std::filesystem::create_directories(out);
  Frame diff = frame;
  for (size_t i = 0; i < diff.rgb.size(); ++i) diff.rgb[i] = bad[i] ? 0xFF00FF : 0;
  WritePng(out + "/" + name + ".png", frame);
  WritePng(out + "/" + name + "_diff.png", diff);
}

// The frame equals the expected file exactly (with VESK_UPDATE_GOLDEN=1 it
// is written there instead); otherwise a failure with the number of pixels
// that differ, and the frame and a difference image written out as name.
inline void ExpectSameAsGolden(const std::string& expectedPath, const Frame& frame, const std::string& name) {
  if (UpdateRequested()) {
    ASSERT_TRUE(WritePng(expectedPath, frame)) << expectedPath;
    return;
  }
  Frame want;
  ASSERT_TRUE(ReadPng(expectedPath, &want)) << expectedPath;
  ASSERT_EQ(want.width, frame.width);
  ASSERT_EQ(want.height, frame.height);
  std::vector<bool> bad(frame.rgb.size());
  size_t differing = 0;
  for (size_t i = 0; i < bad.size(); ++i) {
    bad[i] = frame.rgb[i] != want.rgb[i];
    differing += bad[i] ? 1 : 0;
  }
  if (differing != 0) {
    WriteOut(name, frame, bad);
    FAIL() << differing << " pixels differ; frame and difference image in " << OutFolder();
  }
}

// A channel (shift 0, 8 or 16) as a count of the screen's units: the 8-bit
// value at 32 bits, else the 5- or 6-bit value the PNG widened.
inline int ScreenUnits(uint32_t rgb, int shift, int bits) {
  const int v = static_cast<int>((rgb >> shift) & 0xFF);
  if (bits == 32) return v;
  const int maximum = shift == 8 ? 63 : 31;
  return (v * maximum + 127) / 255;
}

}  // namespace golden
