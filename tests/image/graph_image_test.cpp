// Decoded-image operations: creation and its limits, fill, pixel access in
// every layout (absent and wide channels included) and the left-right mirror.
#include "engine/graphics/image/graph_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image_file_support.h"

namespace {

TEST(GraphImageCreate, PitchesAndLimits) {
  struct Case {
    int width, height, rgbPitch, argbPitch;
  };
  for (const Case& c : {Case{1, 1, 4, 4}, Case{4, 2, 12, 16}, Case{5, 3, 16, 20},
                        Case{16384, 1, 49152, 65536}}) {
    SCOPED_TRACE(c.width);
    OwnedImage rgb, argb;
    ASSERT_EQ(0, CreateRgb24GraphImage(c.width, c.height, &rgb.image));
    ASSERT_EQ(0, CreateArgb32GraphImage(c.width, c.height, &argb.image));
    EXPECT_EQ(c.rgbPitch, rgb->Pitch);
    EXPECT_EQ(c.argbPitch, argb->Pitch);
    EXPECT_EQ(24, rgb->Format.BitDepth);
    EXPECT_EQ(0xFF000000u, argb->Format.AlphaMask);
    EXPECT_NE(nullptr, rgb->Pixels);
  }
  // Sizes outside the limits are refused and leave the record empty; 16,384
  // x 16,384 at 3 bytes is over the 256 MB of pixels a decoded image may hold.
  struct Bad {
    int width, height;
  };
  for (const Bad& b : {Bad{0, 1}, Bad{1, 0}, Bad{-1, 5}, Bad{16385, 1}, Bad{1, 16385},
                       Bad{16384, 16384}, Bad{INT32_MIN, 1}, Bad{INT32_MAX, INT32_MAX}}) {
    SCOPED_TRACE(std::to_string(b.width) + " x " + std::to_string(b.height));
    GraphImage image;
    std::memset(&image, 0xA5, sizeof(image));
    EXPECT_EQ(-1, CreateRgb24GraphImage(b.width, b.height, &image));
    EXPECT_EQ(nullptr, image.Pixels);
    EXPECT_EQ(0, image.Width);
    EXPECT_EQ(0, image.Pitch);
  }
}

TEST(GraphImageCreate, ReleaseFreesAndZeroFills) {
  GraphImage image{};
  ASSERT_EQ(0, CreateRgb24GraphImage(3, 3, &image));
  ReleaseGraphImage(&image);
  EXPECT_EQ(nullptr, image.Pixels);
  EXPECT_EQ(0, image.Width);
  EXPECT_EQ(0, image.Format.BitDepth);
  ReleaseGraphImage(&image);  // an empty record is released again harmlessly
}

// Fill, set and get in each layout: components are cut to the channel's
// width on the way in and scaled by 255 / (2^width - 1) on the way out.
TEST(GraphImagePixels, FillSetAndGetInEveryLayout) {
  struct Case {
    const char* name;
    int bits;
    uint32_t r, g, b, a;
    int in[4];
    int out[4];
  };
  const Case cases[] = {
      // 5-bit 16 reads back as 131, 31 as 255; no alpha channel gives 0.
      {"x555", 16, 0x7C00, 0x3E0, 0x1F, 0, {255, 128, 8, 200}, {255, 131, 8, 0}},
      {"r565", 16, 0xF800, 0x7E0, 0x1F, 0, {128, 128, 255, 9}, {131, 129, 255, 0}},
      {"a1555", 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {10, 20, 30, 128}, {8, 16, 24, 255}},
      {"a4444", 16, 0xF00, 0xF0, 0xF, 0xF000, {255, 0, 17, 34}, {255, 0, 17, 34}},
      {"rgb24", 24, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3, 4}, {1, 2, 3, 0}},
      {"argb32", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"abgr32", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {9, 8, 7, 6}, {9, 8, 7, 6}},
      // No red channel at all, and 10-bit channels: the byte goes to the top
      // bits, so 255 reads back as 1020 * 255 / 1023.
      {"absent red", 32, 0, 0xFF00, 0xFF, 0, {255, 5, 6, 0}, {0, 5, 6, 0}},
      {"a2b10g10r10", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, {255, 0, 128, 255},
       {254, 0, 127, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    ASSERT_EQ(0, AllocGraphImagePixels(&image.image, 3, 2, 3 * (c.bits / 8) + 2, 1));
    CreateColorFormat(&image.image.Format, c.bits, c.r, c.g, c.b, c.a);
    ASSERT_EQ(0, FillGraphImage(&image.image, c.in[0], c.in[1], c.in[2], c.in[3]));
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        int r = -1, g = -1, b = -1, a = -1;
        ASSERT_EQ(0, GetGraphImagePixel(&image.image, x, y, &r, &g, &b, &a));
        EXPECT_EQ(c.out[0], r);
        EXPECT_EQ(c.out[1], g);
        EXPECT_EQ(c.out[2], b);
        EXPECT_EQ(c.out[3], a);
      }
    }
    // One pixel set to black leaves its neighbours alone; null outs are allowed.
    ASSERT_EQ(0, SetGraphImagePixel(&image.image, 1, 1, 0, 0, 0, 0));
    int r = -1;
    EXPECT_EQ(0, GetGraphImagePixel(&image.image, 1, 1, &r, nullptr, nullptr, nullptr));
    EXPECT_EQ(0, r);
    EXPECT_EQ(0, GetGraphImagePixel(&image.image, 0, 1, &r, nullptr, nullptr, nullptr));
    EXPECT_EQ(c.out[0], r);
    EXPECT_EQ(0, GetGraphImagePixel(&image.image, 2, 1, &r, nullptr, nullptr, nullptr));
    EXPECT_EQ(c.out[0], r);
  }
}

TEST(GraphImagePixels, SpareBitsAreSetByFill) {
  OwnedImage image;
  ASSERT_EQ(0, AllocGraphImagePixels(&image.image, 1, 1, 4, 1));
  CreateColorFormat(&image.image.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  ASSERT_EQ(0, FillGraphImage(&image.image, 1, 2, 3, 0));
  const uint8_t expected[4] = {3, 2, 1, 0xFF};
  EXPECT_EQ(0, std::memcmp(expected, image->Pixels, 4));
}

TEST(GraphImagePixels, PaletteImagesReadThroughThePalette) {
  OwnedImage image;
  ASSERT_EQ(0, AllocGraphImagePixels(&image.image, 2, 1, 4, 1));
  SetPalette8ColorFormat(&image.image.Format);
  const uint8_t entry[4] = {0x30, 0x20, 0x10, 0};  // blue, green, red
  std::memcpy(&image.image.Format.PaletteTable[7 * 4], entry, 4);
  image.image.Pixels[1] = 7;
  EXPECT_EQ((std::vector<uint32_t>{0, 0x102030}), ImageColors(image.image));
  // Palette images cannot be filled or set pixel by pixel.
  EXPECT_EQ(-1, FillGraphImage(&image.image, 1, 2, 3, 4));
  EXPECT_EQ(-1, SetGraphImagePixel(&image.image, 0, 0, 1, 2, 3, 4));
}

TEST(GraphImagePixels, OutsideTheImageIsRefused) {
  OwnedImage image;
  ASSERT_EQ(0, CreateRgb24GraphImage(2, 2, &image.image));
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}, {INT32_MIN, INT32_MAX}}) {
    EXPECT_EQ(-1, SetGraphImagePixel(&image.image, x, y, 1, 2, 3, 4));
    EXPECT_EQ(-1, GetGraphImagePixel(&image.image, x, y, nullptr, nullptr, nullptr, nullptr));
  }
  GraphImage empty{};
  EXPECT_EQ(-1, FillGraphImage(&empty, 1, 2, 3, 4));
  EXPECT_EQ(-1, GetGraphImagePixel(&empty, 0, 0, nullptr, nullptr, nullptr, nullptr));
}

// Mirroring reverses each row's pixels and leaves the row padding alone.
TEST(GraphImageReverse, MirrorsEveryPixelSize) {
  for (int bytes = 1; bytes <= 4; ++bytes) {
    SCOPED_TRACE(bytes);
    for (int width : {1, 2, 3, 5}) {
      OwnedImage image;
      const int pitch = width * bytes + 3;
      ASSERT_EQ(0, AllocGraphImagePixels(&image.image, width, 2, pitch, 1));
      CreateColorFormat(&image.image.Format, bytes * 8, 0, 0, 0, 0);
      for (int i = 0; i < pitch * 2; ++i) image.image.Pixels[i] = static_cast<uint8_t>(i + 1);
      std::vector<uint8_t> expected(image->Pixels, image->Pixels + pitch * 2);
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < width; ++x) {
          for (int k = 0; k < bytes; ++k) {
            expected[y * pitch + x * bytes + k] =
                image->Pixels[y * pitch + (width - 1 - x) * bytes + k];
          }
        }
      }
      ASSERT_EQ(0, ReverseGraphImage(&image.image));
      EXPECT_EQ(expected, std::vector<uint8_t>(image->Pixels, image->Pixels + pitch * 2));
    }
  }
}

TEST(GraphImageReverse, EmptyImagesAreRefused) {
  uint8_t pixel[4] = {};
  GraphImage image{};
  SetRgb24ColorFormat(&image.Format);
  image.Pixels = pixel;
  image.Pitch = 4;
  image.Width = 0;
  image.Height = 1;
  EXPECT_EQ(-1, ReverseGraphImage(&image));
  image.Width = 1;
  image.Height = 0;
  EXPECT_EQ(-1, ReverseGraphImage(&image));
  image.Height = 1;
  image.Pixels = nullptr;
  EXPECT_EQ(-1, ReverseGraphImage(&image));
}

}  // namespace
