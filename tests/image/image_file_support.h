// Decoding test files from memory and comparing decoded images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_reader.h"

// A decoded image released with the object.
struct OwnedImage {
  GraphImage image{};
  int result = -1;
  OwnedImage() = default;
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;
  ~OwnedImage() { ReleaseGraphImage(&image); }
  const GraphImage* operator->() const { return &image; }
};

// Runs one reader (or, with null, DecodeImageStream) over the bytes through a
// memory stream.
inline void DecodeBytes(const std::vector<uint8_t>& bytes, ImageReader reader, OwnedImage* out) {
  MemoryStream* stream = OpenMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size()));
  ASSERT_NE(stream, nullptr);
  const StreamOps* ops = GetMemoryStreamOps();
  const StreamHandle handle = MemoryStreamHandle(stream);
  out->result = reader != nullptr ? reader(ops, handle, &out->image)
                                  : DecodeImageStream(ops, handle, &out->image);
  ops->close(handle);
}

// Every pixel as 0xAARRGGBB through GetGraphImagePixel, top-down.
inline std::vector<uint32_t> ImageColors(const GraphImage& image) {
  std::vector<uint32_t> colors;
  for (int y = 0; y < image.Height; ++y) {
    for (int x = 0; x < image.Width; ++x) {
      int r = 0, g = 0, b = 0, a = 0;
      GetGraphImagePixel(&image, x, y, &r, &g, &b, &a);
      colors.push_back(uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b));
    }
  }
  return colors;
}

// The bytes of each row's pixels (padding left out), top-down.
inline std::vector<uint8_t> ImageRowBytes(const GraphImage& image) {
  std::vector<uint8_t> bytes;
  const size_t row = static_cast<size_t>(image.Width) * image.Format.PixelByte;
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* p = image.Pixels + static_cast<size_t>(y) * image.Pitch;
    bytes.insert(bytes.end(), p, p + row);
  }
  return bytes;
}

// Same size, pitch, format (depth, masks, palette) and pixels.
inline void ExpectSameImage(const GraphImage& a, const GraphImage& b) {
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  EXPECT_EQ(a.Pitch, b.Pitch);
  EXPECT_EQ(a.Format.BitDepth, b.Format.BitDepth);
  EXPECT_EQ(a.Format.RedMask, b.Format.RedMask);
  EXPECT_EQ(a.Format.GreenMask, b.Format.GreenMask);
  EXPECT_EQ(a.Format.BlueMask, b.Format.BlueMask);
  EXPECT_EQ(a.Format.AlphaMask, b.Format.AlphaMask);
  EXPECT_EQ(0, std::memcmp(a.Format.PaletteTable, b.Format.PaletteTable,
                           sizeof(a.Format.PaletteTable)));
  EXPECT_EQ(ImageRowBytes(a), ImageRowBytes(b));
}
