// Memory images: creation and its sizes, views, fills, copies and release.
#include "engine/graphics/image/memimg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/graphics/image/screen_color.h"

namespace {

struct MemImgFixture : testing::Test {
  std::vector<MEMIMG*> images;
  MEMIMG* NewImage() {
    auto* image = new MEMIMG;
    std::memset(image, 0, sizeof(*image));
    images.push_back(image);
    return image;
  }
  ~MemImgFixture() override {
    for (MEMIMG* image : images) {
      ReleaseMemImg(image);
      delete image;
    }
  }
};

struct CreateCase {
  int width, height, pitch, kind, palette, alpha;
  int expectPitch, expectShift, expectPixelByte, expectAlpha, expectPalette;
};

TEST_F(MemImgFixture, CreateComputesPitchShiftAndFormat) {
  const CreateCase cases[] = {
      {640, 480, -1, 0, 0, 0, 1280, -1, 2, 0, 0},
      {512, 16, -1, 0, 0, 0, 1024, 10, 2, 0, 0},
      {640, 4, -1, 0, 0, 1, 2560, -1, 4, 1, 0},
      {640, 4, -1, 1, 0, 0, 2560, -1, 4, 0, 0},
      {256, 4, -1, 1, 0, 1, 1024, 10, 4, 1, 0},
      {100, 4, -1, 1, 1, 1, 112, -1, 1, 0, 1},  // palette wins over alpha
      {128, 4, -1, 0, 1, 0, 128, 7, 1, 0, 1},
      {7, 3, -1, 2, 1, 1, 16, -1, 1, 0, 0},  // mask kind: no palette, no alpha
      {8, 3, -1, 3, 0, 1, 16, 4, 2, 0, 0},
      {3, 2, 100, 1, 0, 0, 100, -1, 4, 0, 0},  // given pitch kept
      {16, 2, 64, 1, 0, 0, 64, 6, 4, 0, 0},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " kind " << c.kind);
    MEMIMG* image = NewImage();
    ASSERT_EQ(CreateMemImg(image, c.width, c.height, c.pitch, 5, c.kind, c.palette, c.alpha, 0), 0);
    EXPECT_EQ(image->Magic, kMemImgMagic);
    EXPECT_EQ(image->Pitch, c.expectPitch);
    EXPECT_EQ(image->PitchShift, c.expectShift);
    ASSERT_NE(image->Format, nullptr);
    EXPECT_EQ(image->Format->PixelByte, c.expectPixelByte);
    EXPECT_EQ(image->UseAlpha, c.expectAlpha);
    EXPECT_EQ(image->UsePalette, c.expectPalette);
    EXPECT_EQ(image->TransColor, 5u);
    EXPECT_EQ(image->DrawPalette, image->PaletteStore1);
    EXPECT_EQ(image->SavedPalette, image->PaletteStore2);
    EXPECT_EQ(image->ExternalPixels, 0);
    EXPECT_NE(image->Pixels, nullptr);
    EXPECT_EQ(image->RunTable, nullptr);
    // Every byte of the pitch-wide rows can be written.
    std::memset(image->Pixels, 0x5A, static_cast<size_t>(image->Pitch) * image->Height);
  }
}

TEST_F(MemImgFixture, CreateRefusesAValidRecordBadKindsAndOversizedImages) {
  MEMIMG* image = NewImage();
  ASSERT_EQ(CreateMemImg(image, 4, 4, -1, 0, 1, 0, 0, 0), 0);
  uint8_t* pixels = image->Pixels;
  EXPECT_EQ(CreateMemImg(image, 8, 8, -1, 0, 1, 0, 0, 0), -1);
  EXPECT_EQ(image->Pixels, pixels);
  EXPECT_EQ(image->Width, 4);

  const int bad[][3] = {
      {4, 4, 4},          {4, 4, -2},       {-1, 4, 1}, {4, -1, 1}, {0x40000000, 0x40000000, 1},
      {0x7FFFFFF0, 1, 1}, {65536, 65536, 0}};
  for (const auto& b : bad) {
    SCOPED_TRACE(testing::Message() << b[0] << "x" << b[1] << " kind " << b[2]);
    MEMIMG* other = NewImage();
    EXPECT_EQ(CreateMemImg(other, b[0], b[1], -1, 0, b[2], 0, 0, 0), -1);
    EXPECT_NE(other->Magic, kMemImgMagic);
    EXPECT_EQ(other->Pixels, nullptr);
  }

  // A given pitch shorter than a row (width x bytes per pixel) is refused; a
  // pitch of exactly one row is taken.
  const int pitches[][6] = {
      // width, height, pitch, kind, alpha, expected result
      {8, 4, 31, 1, 0, -1}, {8, 4, 32, 1, 0, 0},  {8, 4, 15, 0, 0, -1},
      {8, 4, 16, 0, 0, 0},  {8, 4, 31, 0, 1, -1}, {8, 4, 0, 1, 0, -1},
      {0, 4, 0, 1, 0, 0}};
  for (const auto& c : pitches) {
    SCOPED_TRACE(testing::Message() << "width " << c[0] << " pitch " << c[2] << " kind " << c[3]);
    MEMIMG* other = NewImage();
    EXPECT_EQ(CreateMemImg(other, c[0], c[1], c[2], 0, c[3], 0, c[4], 0), c[5]);
    if (c[5] == 0) {
      ImageRect all{0, 0, c[0], c[1]};
      FillMemImg(other, &all, 0xFFFFFFFFu);  // a sanitizer would flag a write past the block
    } else {
      EXPECT_NE(other->Magic, kMemImgMagic);
      EXPECT_EQ(other->Pixels, nullptr);
    }
  }
  MEMIMG* palette = NewImage();
  EXPECT_EQ(CreateMemImg(palette, 8, 4, 8, 0, 1, 1, 0, 0), 0);  // one byte per index
}

TEST_F(MemImgFixture, ExternalPixelsAreKeptAndNotFreed) {
  std::vector<uint8_t> memory(64 * 4, 0);
  MEMIMG* image = NewImage();
  image->Pixels = memory.data();
  ASSERT_EQ(CreateMemImg(image, 8, 4, 64, 0, 1, 0, 0, 0), 0);
  EXPECT_EQ(image->ExternalPixels, 1);
  EXPECT_EQ(image->Pixels, memory.data());
  EXPECT_EQ(ReleaseMemImg(image), 0);  // a sanitizer would flag a free of vector memory
  EXPECT_EQ(image->Pixels, nullptr);
  EXPECT_EQ(image->Magic, 0u);
  EXPECT_EQ(ReleaseMemImg(image), 0);  // a released record is left alone
}

TEST_F(MemImgFixture, BuffersAreAllocatedByKindAndAlpha) {
  MEMIMG* alpha = NewImage();
  ASSERT_EQ(CreateMemImg(alpha, 10, 3, -1, 0, 0, 0, 1, 1), 0);
  EXPECT_NE(alpha->PremulPixels, nullptr);
  ASSERT_NE(alpha->RunTable, nullptr);
  std::memset(alpha->RunTable, 0, (10 + 5) * 3);
  std::memset(alpha->PremulPixels, 0, static_cast<size_t>(alpha->Pitch) * 3);
  MEMIMG* plain = NewImage();
  ASSERT_EQ(CreateMemImg(plain, 10, 3, -1, 0, 1, 0, 0, 1), 0);
  EXPECT_EQ(plain->PremulPixels, nullptr);
  EXPECT_NE(plain->RunTable, nullptr);
  MEMIMG* mask = NewImage();
  ASSERT_EQ(CreateMemImg(mask, 10, 3, -1, 0, 2, 0, 0, 1), 0);
  EXPECT_EQ(mask->RunTable, nullptr);
}

TEST_F(MemImgFixture, ScreenAndDepthImages) {
  ScreenColorState saved = GetScreenColorState();
  GetScreenColorState().RequestedScreenBits = 0;
  MEMIMG* screen16 = NewImage();
  ASSERT_EQ(CreateScreenMemImg(screen16, 640, 480, -1), 0);
  EXPECT_EQ(screen16->Kind, 0);
  GetScreenColorState().RequestedScreenBits = 32;
  MEMIMG* screen32 = NewImage();
  ASSERT_EQ(CreateScreenMemImg(screen32, 640, 480, -1), 0);
  EXPECT_EQ(screen32->Kind, 1);
  EXPECT_EQ(screen32->Pitch, 2560);
  GetScreenColorState() = saved;

  MEMIMG* depth = NewImage();
  ASSERT_EQ(CreateZBufferMemImg(depth, 100, 2), 0);
  EXPECT_EQ(depth->Kind, 3);
  EXPECT_EQ(depth->Pitch, 208);
  EXPECT_EQ(depth->PitchShift, -1);
  EXPECT_EQ(depth->Format, GetColorFormat(3, 0, 0));
  EXPECT_EQ(depth->RunTable, nullptr);
  MEMIMG* depth2 = NewImage();
  ASSERT_EQ(CreateZBufferMemImg(depth2, 64, 1), 0);
  EXPECT_EQ(depth2->PitchShift, 7);
}

TEST_F(MemImgFixture, ViewSharesPixelsAndPaletteOfItsParent) {
  MEMIMG* parent = NewImage();
  ASSERT_EQ(CreateMemImg(parent, 32, 16, -1, 7, 1, 0, 1, 1), 0);
  parent->PaletteCount = 9;
  parent->RunTableValid = 1;
  MEMIMG view;
  std::memset(&view, 0xCD, sizeof(view));
  EXPECT_EQ(InitMemImgView(&view, parent, 3, 5, 10, 4), &view);
  EXPECT_EQ(view.Magic, kMemImgMagic);
  EXPECT_EQ(view.Width, 10);
  EXPECT_EQ(view.Height, 4);
  EXPECT_EQ(view.Pitch, parent->Pitch);
  EXPECT_EQ(view.Pixels, parent->Pixels + 5 * parent->Pitch + 3 * 4);
  EXPECT_EQ(view.DrawPalette, parent->PaletteStore1);
  EXPECT_EQ(view.TransColor, 7u);
  EXPECT_EQ(view.PaletteCount, 9);
  EXPECT_EQ(view.UseAlpha, 1);
  EXPECT_EQ(view.RunTableValid, 0);
  EXPECT_EQ(view.ExternalPixels, 0);
  EXPECT_EQ(view.RunTable, nullptr);
  EXPECT_EQ(view.PremulPixels, nullptr);

  FillMemImg(&view, nullptr, 0x11223344);
  uint32_t inside, outside;
  std::memcpy(&inside, parent->Pixels + 5 * parent->Pitch + 3 * 4, 4);
  std::memcpy(&outside, parent->Pixels + 5 * parent->Pitch + 2 * 4, 4);
  EXPECT_EQ(inside, 0x11223344u);
  EXPECT_NE(outside, 0x11223344u);
}

struct FillCase {
  ImageRect rect;
  int changed;  // pixels expected to change
};

TEST_F(MemImgFixture, FillClipsToTheImage) {
  const FillCase cases[] = {
      {{1, 1, 3, 2}, 2}, {{-5, -5, 100, 100}, 48}, {{8, 0, 12, 6}, 0}, {{2, 2, 2, 5}, 0},
      {{5, 5, 1, 1}, 0}, {{-3, 2, 1, 3}, 1},       {{0, 0, 8, 6}, 48},
  };
  for (int kind : {0, 1, 2}) {
    for (const FillCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " rect " << c.rect.left << ","
                                      << c.rect.top << "," << c.rect.right << "," << c.rect.bottom);
      MEMIMG* image = NewImage();
      ASSERT_EQ(CreateMemImg(image, 8, 6, -1, 0, kind, 0, 0, 0), 0);
      std::memset(image->Pixels, 0, static_cast<size_t>(image->Pitch) * image->Height);
      FillMemImg(image, &c.rect, 0xA1B2C3D4);
      const int bytes = image->Format->PixelByte;
      int changed = 0;
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
          uint32_t v = 0;
          std::memcpy(&v, image->Pixels + y * image->Pitch + x * bytes, bytes);
          if (v != 0) {
            ++changed;
            EXPECT_EQ(v, 0xA1B2C3D4u & (bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1));
          }
        }
      EXPECT_EQ(changed, c.changed);
      // Bytes past the last pixel of a row stay untouched.
      for (int y = 0; y < 6; ++y)
        for (int i = 8 * bytes; i < image->Pitch; ++i)
          ASSERT_EQ(image->Pixels[y * image->Pitch + i], 0);
    }
  }
}

TEST_F(MemImgFixture, CopyConvertsBetweenKindsAndStaysInsideBothImages) {
  MEMIMG* src = NewImage();
  MEMIMG* dst = NewImage();
  ASSERT_EQ(CreateMemImg(src, 4, 4, -1, 0, 1, 0, 0, 0), 0);
  ASSERT_EQ(CreateMemImg(dst, 3, 3, -1, 0, 0, 0, 0, 0), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint32_t v = 0xFF000000u | (uint32_t(x * 60) << 16) | (uint32_t(y * 60) << 8);
      std::memcpy(src->Pixels + y * src->Pitch + x * 4, &v, 4);
    }
  std::memset(dst->Pixels, 0, static_cast<size_t>(dst->Pitch) * 3);
  EXPECT_EQ(CopyMemImg(dst, src, nullptr, 0, 0), 0);  // 4x4 cut to the 3x3 destination
  uint16_t p;
  std::memcpy(&p, dst->Pixels + 2 * dst->Pitch + 2 * 2, 2);
  EXPECT_EQ(p, ((120u >> 3) << 11) | ((120u >> 2) << 5));

  std::memset(dst->Pixels, 0, static_cast<size_t>(dst->Pitch) * 3);
  const ImageRect r{-1, -1, 3, 3};  // sticks out of the source's top-left corner
  EXPECT_EQ(CopyMemImg(dst, src, &r, 0, 0), 0);
  std::memcpy(&p, dst->Pixels + 1 * dst->Pitch + 1 * 2, 2);
  EXPECT_EQ(p, 0u);  // source (0,0), black
  std::memcpy(&p, dst->Pixels + 2 * dst->Pitch + 2 * 2, 2);
  EXPECT_EQ(p, ((60u >> 3) << 11) | ((60u >> 2) << 5));  // source (1,1)
  std::memcpy(&p, dst->Pixels + 0 * dst->Pitch + 2 * 2, 2);
  EXPECT_EQ(p, 0u);  // outside the source: not written
  const ImageRect off{0, 0, 2, 2};
  EXPECT_EQ(CopyMemImg(dst, src, &off, 5, 5), -1);  // nothing of it lands inside
}

}  // namespace
