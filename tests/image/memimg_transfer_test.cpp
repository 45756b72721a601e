// Decoded images into memory images: palettes, alpha images, the
// premultiplied copy, the run-length table and the write-back into a decoded
// image.
#include "engine/graphics/image/memimg_transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image_test_support.h"

namespace {

// A decoded image over vector storage.
struct TestGraph {
  GraphImage image{};
  std::vector<uint8_t> storage;
  TestGraph(const ColorFormat& format, int w, int h) {
    image.Format = format;
    image.Width = w;
    image.Height = h;
    image.Pitch = (w * format.PixelByte + 3) / 4 * 4;
    storage.assign(static_cast<size_t>(image.Pitch) * h, 0);
    image.Pixels = storage.data();
  }
  void Set(int x, int y, uint32_t v) {
    uint8_t* p = image.Pixels + y * image.Pitch + x * image.Format.PixelByte;
    for (int i = 0; i < image.Format.PixelByte; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

ColorFormat Rgb24() {
  ColorFormat f{};
  SetRgb24ColorFormat(&f);
  return f;
}
ColorFormat Argb32() {
  ColorFormat f{};
  SetArgb32ColorFormat(&f);
  return f;
}
ColorFormat Gray8() {
  ColorFormat f{};
  SetGray8ColorFormat(&f);
  return f;
}

struct TransferFixture : testing::Test {
  MEMIMG image;
  TransferFixture() { std::memset(&image, 0, sizeof(image)); }
  ~TransferFixture() override { ReleaseMemImg(&image); }
  uint32_t Pixel(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, image.Pixels + y * image.Pitch + x * image.Format->PixelByte,
                image.Format->PixelByte);
    return v;
  }
  std::vector<uint8_t> RunRow(int row) const {
    const uint8_t* p = image.RunTable;
    for (int r = 0; r < row; ++r)
      while (*p++ != kRunRowEnd) {
      }
    std::vector<uint8_t> out;
    do out.push_back(*p);
    while (*p++ != kRunRowEnd);
    return out;
  }
};

TEST_F(TransferFixture, RunTableEncodesRunsOfAtMost64) {
  TestGraph src(Rgb24(), 73, 2);
  for (int x = 3; x < 73; ++x) src.Set(x, 0, 0x123456);
  for (int x = 0; x < 73; ++x) src.Set(x, 1, x % 2 ? 0x010101 : 0);
  ASSERT_EQ(CreateMemImg(&image, 73, 2, -1, 0, 1, 0, 0, 1), 0);
  image.TransColor = 0xFF000000;  // transparent is black with the spare byte set
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 73, 2, 0, 0, 0), 0);
  EXPECT_EQ(image.RunTableValid, 1);
  EXPECT_EQ(image.PremulValid, 0);
  EXPECT_EQ(RunRow(0), (std::vector<uint8_t>{0x02, 0x7F, 0x45, 0xC0}));
  const std::vector<uint8_t> alternating = RunRow(1);
  ASSERT_EQ(alternating.size(), 74u);
  EXPECT_EQ(alternating[0], 0x00);
  EXPECT_EQ(alternating[1], 0x40);
}

TEST_F(TransferFixture, AlphaImageClassifiesRunsAndWritesThePremultipliedCopy) {
  for (int kind : {0, 1}) {
    SCOPED_TRACE(kind);
    ReleaseMemImg(&image);
    std::memset(&image, 0, sizeof(image));
    TestGraph src(Rgb24(), 4, 1), alpha(Gray8(), 4, 1);
    for (int x = 0; x < 4; ++x) src.Set(x, 0, 0xFFFFFF);
    const uint8_t alphas[4] = {0, 255, 128, 128};
    for (int x = 0; x < 4; ++x) alpha.Set(x, 0, alphas[x]);
    ASSERT_EQ(CreateMemImg(&image, 4, 1, -1, 0, kind, 0, 1, 1), 0);
    ASSERT_EQ(TransGraphImageToMemImg(&src.image, &alpha.image, &image, 0, 0, 4, 1, 0, 0, 0), 0);
    EXPECT_EQ(image.PremulValid, 1);
    EXPECT_EQ(image.RunTableValid, 1);
    EXPECT_EQ(RunRow(0), (std::vector<uint8_t>{0x00, 0x40, 0x81, 0xC0}));
    uint32_t premul;
    std::memcpy(&premul, image.PremulPixels + 2 * 4, 4);
    if (kind == 1) {
      EXPECT_EQ(Pixel(2, 0), 0x80FFFFFFu);
      EXPECT_EQ(premul, 0x807F7F7Fu);
    } else {
      EXPECT_EQ(Pixel(2, 0) & 0xFFFFFF, 0x0080FFFFu);
      // Each 5-6-5 field times 128 / 256 inside its own bits; alpha in byte 2.
      const uint32_t field = ((0xF800u * 128 >> 8) & 0xF800) | ((0x7E0u * 128 >> 8) & 0x7E0) |
                             ((0x1Fu * 128 >> 8) & 0x1F);
      EXPECT_EQ(premul, 0x00800000u | field);
    }
  }
}

TEST_F(TransferFixture, ArgbSourceWithoutAlphaImageGetsThePremultipliedCopy) {
  // The alpha comes with the pixels: the copy is built all the same.
  for (int kind : {0, 1}) {
    SCOPED_TRACE(kind);
    ReleaseMemImg(&image);
    std::memset(&image, 0, sizeof(image));
    TestGraph src(Argb32(), 3, 1);
    src.Set(0, 0, 0x00FFFFFF);
    src.Set(1, 0, 0xFFFFFFFF);
    src.Set(2, 0, 0x80FFFFFF);
    ASSERT_EQ(CreateMemImg(&image, 3, 1, -1, 0, kind, 0, 1, 1), 0);
    ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 3, 1, 0, 0, 0), 0);
    EXPECT_EQ(image.PremulValid, 1);
    EXPECT_EQ(RunRow(0), (std::vector<uint8_t>{0x00, 0x40, 0x80, 0xC0}));
    uint32_t premul[3];
    std::memcpy(premul, image.PremulPixels, sizeof premul);
    if (kind == 1) {
      EXPECT_EQ(premul[0], 0x00000000u);
      EXPECT_EQ(premul[1], 0xFFFEFEFEu);
      EXPECT_EQ(premul[2], 0x807F7F7Fu);
    } else {
      EXPECT_EQ(premul[0], 0u);
      EXPECT_EQ(premul[2] >> 16, 0x80u);
    }
  }
  // An image without alpha gets none, and a partial transfer drops it.
  ReleaseMemImg(&image);
  std::memset(&image, 0, sizeof(image));
  TestGraph src(Argb32(), 2, 2);
  ASSERT_EQ(CreateMemImg(&image, 2, 2, -1, 0, 1, 0, 1, 1), 0);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 2, 2, 0, 0, 0), 0);
  EXPECT_EQ(image.PremulValid, 1);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(image.PremulValid, 0);
}

TEST_F(TransferFixture, PaletteCountCoversEveryIndexTheImageHolds) {
  ColorFormat pal{};
  SetPalette8ColorFormat(&pal);
  TestGraph high(pal, 4, 2), low(pal, 4, 2), alpha(Gray8(), 4, 2);
  high.Set(3, 1, 200);
  low.Set(0, 0, 1);
  struct Step {
    TestGraph* source;
    bool with_alpha;
    int x, y, w, h;  // rectangle, placed at (x, y)
    int expected;
  };
  // Whole transfers set the count from the largest index, with or without
  // an alpha image; partial transfers only raise it.
  const Step steps[] = {
      {&high, true, 0, 0, 4, 2, 201}, {&low, false, 0, 0, 2, 1, 201},
      {&low, true, 0, 0, 4, 2, 2},     {&high, false, 2, 1, 2, 1, 201},
  };
  ASSERT_EQ(CreateMemImg(&image, 4, 2, -1, 0, 1, 1, 0, 1), 0);
  EXPECT_EQ(image.PaletteCount, 0);
  for (const Step& s : steps) {
    ASSERT_EQ(TransGraphImageToMemImg(&s.source->image, s.with_alpha ? &alpha.image : nullptr,
                                      &image, s.x, s.y, s.w, s.h, s.x, s.y, 0),
              0);
    EXPECT_EQ(image.PaletteCount, s.expected);
  }
}

TEST_F(TransferFixture, PaletteImagesTakeIndicesAndTheirPalette) {
  ColorFormat pal{};
  SetPalette8ColorFormat(&pal);
  SetPaletteEntry(&pal, 0, 0x000000);
  SetPaletteEntry(&pal, 5, 0xFF8040);
  SetPaletteEntry(&pal, 255, 0x102030);
  TestGraph src(pal, 3, 1);
  src.Set(0, 0, 0);
  src.Set(1, 0, 5);
  src.Set(2, 0, 3);
  for (int kind : {0, 1}) {
    SCOPED_TRACE(kind);
    ReleaseMemImg(&image);
    std::memset(&image, 0, sizeof(image));
    ASSERT_EQ(CreateMemImg(&image, 3, 1, -1, 0, kind, 1, 0, 1), 0);
    ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 3, 1, 0, 0, 0), 0);
    EXPECT_EQ(image.PaletteCount, 6);
    EXPECT_EQ(Pixel(1, 0), 5u);
    EXPECT_EQ(RunRow(0), (std::vector<uint8_t>{0x00, 0x41, 0xC0}));
    if (kind == 1) {
      uint32_t e;
      std::memcpy(&e, image.DrawPalette + 5 * 4, 4);
      EXPECT_EQ(e, 0x00FF8040u);
      EXPECT_EQ(std::memcmp(image.DrawPalette, image.SavedPalette, 1024), 0);
    } else {
      uint16_t e;
      std::memcpy(&e, image.DrawPalette + 5 * 2, 2);
      EXPECT_EQ(e, (0x1F << 11) | (0x20 << 5) | 0x08);
      std::memcpy(&e, image.DrawPalette + 255 * 2, 2);
      EXPECT_EQ(e, (0x02 << 11) | (0x08 << 5) | 0x06);
      EXPECT_EQ(std::memcmp(image.DrawPalette, image.SavedPalette, 512), 0);
    }
  }
}

TEST_F(TransferFixture, FailedConversionLeavesPaletteAndFlagsAlone) {
  TestGraph src(Rgb24(), 2, 2);
  ASSERT_EQ(CreateMemImg(&image, 2, 2, -1, 0, 1, 1, 0, 1), 0);
  image.RunTableValid = 1;
  std::memset(image.PaletteStore1, 0x77, sizeof(image.PaletteStore1));
  EXPECT_LT(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 2, 2, 0, 0, 0), 0);
  EXPECT_EQ(image.RunTableValid, 1);
  EXPECT_EQ(image.PaletteStore1[0], 0x77);
  EXPECT_LT(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 0, 2, 0, 0, 0), 0);
}

TEST_F(TransferFixture, PartialTransferClearsTheWholeImageFlags) {
  TestGraph src(Rgb24(), 4, 4);
  ASSERT_EQ(CreateMemImg(&image, 4, 4, -1, 0, 1, 0, 0, 1), 0);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 4, 4, 0, 0, 0), 0);
  EXPECT_EQ(image.RunTableValid, 1);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 1, 1, 2, 2, 1, 1, 0), 0);
  EXPECT_EQ(image.RunTableValid, 0);
}

TEST_F(TransferFixture, KeyTurnsTheTransparentColourIntoAlpha) {
  TestGraph src(Rgb24(), 2, 1);
  src.Set(0, 0, 0xFF00FF);
  src.Set(1, 0, 0x00FF00);
  ASSERT_EQ(CreateMemImg(&image, 2, 1, -1, 0xFF00FF, 1, 0, 1, 1), 0);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 2, 1, 0, 0, 1), 0);
  EXPECT_EQ(Pixel(0, 0), 0x00FF00FFu);
  EXPECT_EQ(Pixel(1, 0), 0xFF00FF00u);
}

TEST_F(TransferFixture, MaskKindsTakeTheRedChannel) {
  TestGraph src(Gray8(), 3, 1);
  src.Set(0, 0, 0);
  src.Set(1, 0, 0x7F);
  src.Set(2, 0, 0xFF);
  ASSERT_EQ(CreateMemImg(&image, 3, 1, -1, 0, 2, 0, 0, 1), 0);
  ASSERT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 3, 1, 0, 0, 0), 0);
  EXPECT_EQ(image.Pixels[1], 0x7F);
  EXPECT_EQ(image.Pixels[2], 0xFF);
  EXPECT_EQ(image.RunTableValid, 0);
}

TEST_F(TransferFixture, RectanglesBeyondEitherImageAreCut) {
  // A damaged file may give a smaller alpha image or ask for more than there is.
  TestGraph src(Argb32(), 8, 8), alpha(Gray8(), 2, 2);
  ColorFormat rgb = Rgb24();
  TestGraph opaque(rgb, 8, 8);
  ASSERT_EQ(CreateMemImg(&image, 4, 4, -1, 0, 1, 0, 1, 1), 0);
  EXPECT_EQ(TransGraphImageToMemImg(&opaque.image, &alpha.image, &image, 0, 0, 8, 8, 0, 0, 0), 0);
  EXPECT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, -1, -1, 100, 100, 0, 0, 0), 0);
  EXPECT_EQ(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 0x7FFFFFFF, 4, 0, 0, 0), 0);
  EXPECT_LT(TransGraphImageToMemImg(&src.image, nullptr, &image, 0, 0, 4, 4, 10, 0, 0), 0);
}

TEST_F(TransferFixture, CopyBackIntoADecodedImage) {
  ASSERT_EQ(CreateMemImg(&image, 2, 1, -1, 0, 0, 0, 0, 0), 0);
  const uint16_t pixels[2] = {0xF800, 0x001F};
  std::memcpy(image.Pixels, pixels, 4);
  TestGraph dst(Rgb24(), 3, 1);
  CopyMemImgToGraphImage(&dst.image, &image, 0, 0, 2, 1, 1, 0, 0, 0);
  const uint8_t* p = dst.image.Pixels;
  EXPECT_EQ(p[3 + 2], 0xF8);  // 5-6-5 into 24 bits: bits moved up, low bits zero
  EXPECT_EQ(p[6 + 0], 0xF8);
  EXPECT_EQ(p[0], 0);
  // Images with alpha or a palette are not written back.
  MEMIMG alphaImage;
  std::memset(&alphaImage, 0, sizeof(alphaImage));
  ASSERT_EQ(CreateMemImg(&alphaImage, 2, 1, -1, 0, 1, 0, 1, 0), 0);
  std::memset(alphaImage.Pixels, 0xFF, 8);
  TestGraph untouched(Rgb24(), 2, 1);
  CopyMemImgToGraphImage(&untouched.image, &alphaImage, 0, 0, 2, 1, 0, 0, 0, 0);
  EXPECT_EQ(untouched.storage, std::vector<uint8_t>(untouched.storage.size(), 0));
  ReleaseMemImg(&alphaImage);
}

}  // namespace
