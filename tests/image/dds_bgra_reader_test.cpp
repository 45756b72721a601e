// The DDS reader (formats from masks and from format numbers, pitches) and
// the raw BGRA reader (both channel depths).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/graphics/image/bgra_reader.h"
#include "engine/graphics/image/dds_reader.h"
#include "image_file_support.h"
#include "tools/writers/image_file_writer.h"

namespace {

using writers::BgraFile;
using writers::BuildBgraFile;
using writers::BuildDdsFile;
using writers::DdsFile;
using writers::PackPixelRows;

TEST(BgraReader, BothChannelDepths) {
  BgraFile sixteen;
  sixteen.code = 0x10101010;
  sixteen.data = {0x34, 0x12, 0xCD, 0xAB, 0x00, 0xFF, 0x80, 0x7F};
  OwnedImage image;
  DecodeBytes(BuildBgraFile(sixteen), DecodeBgraStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(32, image->Format.BitDepth);
  EXPECT_EQ(0xFF000000u, image->Format.AlphaMask);
  EXPECT_EQ((std::vector<uint8_t>{0x12, 0xAB, 0xFF, 0x7F}), ImageRowBytes(image.image));

  BgraFile eight;
  eight.width = 2;
  eight.height = 2;
  eight.data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  OwnedImage plain;
  DecodeBytes(BuildBgraFile(eight), DecodeBgraStream, &plain);
  ASSERT_EQ(0, plain.result);
  EXPECT_EQ(8, plain->Pitch);
  EXPECT_EQ(eight.data, ImageRowBytes(plain.image));
  EXPECT_EQ(0x04030201u, ImageColors(plain.image)[0]);
}

TEST(BgraReader, RefusedHeaders) {
  struct Case {
    const char* name;
    BgraFile file;
  };
  auto with = [](auto change) {
    BgraFile f;
    f.data = {1, 2, 3, 4};
    change(f);
    return f;
  };
  const Case cases[] = {
      {"magic", with([](BgraFile& f) { f.magic = "ARGB"; })},
      {"code", with([](BgraFile& f) { f.code = 0x08080800; })},
      {"16-bit code without 16-bit data", with([](BgraFile& f) { f.code = 0x10101010; })},
      {"negative width", with([](BgraFile& f) { f.width = -1; })},
      {"zero height", with([](BgraFile& f) { f.height = 0; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    DecodeBytes(BuildBgraFile(c.file), DecodeBgraStream, &image);
    EXPECT_EQ(-1, image.result);
  }
}

DdsFile FourCC(uint32_t code, int bytes, std::vector<uint32_t> pixels, int width = 2) {
  DdsFile f;
  f.pixel_flags = kDdsFourCCFlag;
  f.four_cc = code;
  f.bit_count = 0;
  for (auto& m : f.masks) m = 0;
  f.width = static_cast<uint32_t>(width);
  f.height = static_cast<uint32_t>(pixels.size()) / width;
  f.data = PackPixelRows(pixels, width, bytes);
  return f;
}

// Formats from the table of format numbers, read back through their masks.
TEST(DdsReader, FormatNumbers) {
  struct Case {
    uint32_t code;
    int bits;
    uint32_t r, g, b, a;
    uint32_t pixel;
    uint32_t color;  // 0xAARRGGBB
  };
  const Case cases[] = {
      {20, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0x123456, 0x123456},
      {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x80123456, 0x80123456},
      {23, 16, 0xF800, 0x7E0, 0x1F, 0, 0xFFFF, 0xFFFFFF},
      {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 0x8000, 0xFF000000},
      {26, 16, 0xF00, 0xF0, 0xF, 0xF000, 0x1234, 0x11223344},
      {29, 16, 0xE0, 0x1C, 0x3, 0xFF00, 0x80E3, 0x80FF00FF},
      {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0x01020304, 0x01040302},
      {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    OwnedImage image;
    DecodeBytes(BuildDdsFile(FourCC(c.code, c.bits / 8, {c.pixel, c.pixel})), DecodeDdsStream,
                &image);
    ASSERT_EQ(0, image.result);
    EXPECT_EQ(c.bits, image->Format.BitDepth);
    EXPECT_EQ(c.r, image->Format.RedMask);
    EXPECT_EQ(c.g, image->Format.GreenMask);
    EXPECT_EQ(c.b, image->Format.BlueMask);
    EXPECT_EQ(c.a, image->Format.AlphaMask);
    EXPECT_EQ(2 * c.bits / 8, image->Pitch);
    EXPECT_EQ(c.color, ImageColors(image.image)[1]);
  }
}

// 8-bit pixels become palette indices whose entries hold the masks' colours.
TEST(DdsReader, EightBitPixelsGetAPaletteFromTheirMasks) {
  OwnedImage image;
  DecodeBytes(BuildDdsFile(FourCC(27, 1, {0xE0, 0x1C, 0x03, 0xFF})), DecodeDdsStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(8, image->Format.BitDepth);
  EXPECT_EQ((std::vector<uint8_t>{0xE0, 0x1C, 0x03, 0xFF}), ImageRowBytes(image.image));
  EXPECT_EQ((std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}),
            ImageColors(image.image));
}

TEST(DdsReader, FlagsDecideTheFormat) {
  // The RGB flag decides even with other flags set: the header's masks.
  DdsFile masked;
  masked.pixel_flags = kDdsRgbFlag | kDdsFourCCFlag | 0x1;
  masked.four_cc = 23;
  masked.bit_count = 16;
  masked.masks[0] = 0xF00;
  masked.masks[1] = 0xF0;
  masked.masks[2] = 0xF;
  masked.masks[3] = 0;
  masked.data = PackPixelRows({0x000F}, 1, 2);
  OwnedImage image;
  DecodeBytes(BuildDdsFile(masked), DecodeDdsStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(0xF00u, image->Format.RedMask);
  EXPECT_EQ(0x0000FFu, ImageColors(image.image)[0]);

  // A code with any other flag beside it, a code outside the table, a
  // block-compressed code and no flag at all are refused.
  DdsFile extra = FourCC(23, 2, {1, 2});
  extra.pixel_flags |= 0x1;
  DdsFile dxt1 = FourCC('D' | 'X' << 8 | 'T' << 16 | '1' << 24, 2, {1, 2});
  DdsFile unknown = FourCC(28, 2, {1, 2});
  DdsFile none = FourCC(23, 2, {1, 2});
  none.pixel_flags = 0;
  for (const DdsFile& f : {extra, dxt1, unknown, none}) {
    OwnedImage refused;
    DecodeBytes(BuildDdsFile(f), DecodeDdsStream, &refused);
    EXPECT_EQ(-1, refused.result);
  }
}

TEST(DdsReader, PitchFlagGivesTheRowPitch) {
  DdsFile f;
  f.width = 3;
  f.height = 2;
  f.flags |= kDdsPitchFlag;
  f.pitch = 20;
  f.data = PackPixelRows({1, 2, 3, 4, 5, 6}, 3, 4, 20);
  OwnedImage image;
  DecodeBytes(BuildDdsFile(f), DecodeDdsStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(20, image->Pitch);
  EXPECT_EQ(PackPixelRows({1, 2, 3, 4, 5, 6}, 3, 4), ImageRowBytes(image.image));
  // Without the flag the pitch field is ignored.
  f.flags &= ~kDdsPitchFlag;
  f.data = PackPixelRows({1, 2, 3, 4, 5, 6}, 3, 4);
  OwnedImage unpadded;
  DecodeBytes(BuildDdsFile(f), DecodeDdsStream, &unpadded);
  ASSERT_EQ(0, unpadded.result);
  EXPECT_EQ(12, unpadded->Pitch);
  EXPECT_EQ(ImageRowBytes(unpadded.image), ImageRowBytes(image.image));
}

TEST(ImageReaderSamples, BgraAndDdsSamplesDecode) {
  for (const auto& sample : writers::SampleBgraFiles()) {
    SCOPED_TRACE(sample.name);
    OwnedImage image;
    DecodeBytes(sample.bytes, DecodeBgraStream, &image);
    EXPECT_EQ(0, image.result);
  }
  for (const auto& sample : writers::SampleDdsFiles()) {
    SCOPED_TRACE(sample.name);
    OwnedImage image;
    DecodeBytes(sample.bytes, DecodeDdsStream, &image);
    EXPECT_EQ(0, image.result);
  }
}

}  // namespace
