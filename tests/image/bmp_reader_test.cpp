// The BMP reader: layouts and pitches, colours of every bit count, twins that
// must decode identically, and run-length programs with moves, literals and
// early ends.
#include "engine/graphics/image/bmp_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_file_support.h"
#include "tools/writers/image_file_writer.h"

namespace {

using writers::BmpFile;
using writers::BuildBmpFile;

std::vector<uint32_t> Ramp(int count) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i) palette.push_back(0x010203u * static_cast<uint32_t>(i + 1));
  return palette;
}

void Decode(const BmpFile& file, OwnedImage* out) {
  DecodeBytes(BuildBmpFile(file), DecodeBmpStream, out);
}

TEST(BmpReader, LayoutsAndPitches) {
  struct Case {
    const char* name;
    int bits;
    int width;
    int depth;   // of the result
    int pitch;
  };
  const Case cases[] = {
      {"24-bit rows keep the file's row size", 24, 5, 24, 16},
      {"4-bit: one byte a pixel, width rounded to 4", 4, 3, 8, 4},
      {"8-bit", 8, 5, 8, 8},
      {"1-bit into RGB24", 1, 5, 24, 16},
      {"16-bit into RGB24", 16, 5, 24, 16},
      {"32-bit into RGB24", 32, 2, 24, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpFile f;
    f.bits = static_cast<uint16_t>(c.bits);
    f.width = c.width;
    f.height = 2;
    if (c.bits <= 8) f.palette = Ramp(1 << c.bits);
    OwnedImage image;
    Decode(f, &image);
    ASSERT_EQ(0, image.result);
    EXPECT_EQ(c.width, image->Width);
    EXPECT_EQ(2, image->Height);
    EXPECT_EQ(c.depth, image->Format.BitDepth);
    EXPECT_EQ(c.pitch, image->Pitch);
  }
}

// Colours come out the same whatever the bit count stores them as; 5-bit
// channels widen as 31 -> 255 and 16 -> 131.
TEST(BmpReader, ColoursOfEveryBitCount) {
  struct Case {
    const char* name;
    BmpFile file;
    std::vector<uint32_t> colors;
  };
  BmpFile rgb24;
  rgb24.width = 3;
  rgb24.pixels = {0x123456, 0xFF0000, 0x00FF80};
  BmpFile pal8;
  pal8.width = 3;
  pal8.bits = 8;
  pal8.palette = Ramp(256);
  pal8.pixels = {0, 5, 255};
  BmpFile pal4 = pal8;
  pal4.bits = 4;
  pal4.palette = Ramp(16);
  pal4.pixels = {15, 0, 9};
  BmpFile mono;
  mono.width = 10;
  mono.bits = 1;
  mono.palette = {0x0A0B0C, 0xF0F1F2};
  mono.pixels = {1, 0, 0, 1, 1, 1, 0, 1, 0, 1};
  BmpFile x555;
  x555.width = 3;
  x555.bits = 16;
  x555.pixels = {0x7FFF, 0x4210, 0x0001};  // 31,31,31 / 16,16,16 / 0,0,1
  BmpFile x888 = x555;
  x888.bits = 32;
  x888.pixels = {0xFF123456, 0x00ABCDEF, 0x80000001};
  BmpFile bgr32 = x888;  // bit fields with red and blue swapped
  bgr32.compression = 3;
  bgr32.masks = {0xFF, 0xFF00, 0xFF0000};
  BmpFile r565 = x555;
  r565.compression = 3;
  r565.masks = {0xF800, 0x7E0, 0x1F};
  r565.pixels = {0xF800, 0x07E0, 0x001F};
  const Case cases[] = {
      {"24-bit", rgb24, {0x123456, 0xFF0000, 0x00FF80}},
      {"8-bit", pal8, {0x010203, 0x060C12, 0x000000 | (0x010203u * 256 & 0xFFFFFF)}},
      {"4-bit", pal4, {0x102030, 0x010203, 0x0A141E}},
      {"1-bit", mono,
       {0xF0F1F2, 0x0A0B0C, 0x0A0B0C, 0xF0F1F2, 0xF0F1F2, 0xF0F1F2, 0x0A0B0C, 0xF0F1F2, 0x0A0B0C,
        0xF0F1F2}},
      {"16-bit 5-5-5", x555, {0xFFFFFF, 0x838383, 0x000008}},
      {"32-bit 8-8-8 drops the top byte", x888, {0x123456, 0xABCDEF, 0x000001}},
      {"32-bit bit fields", bgr32, {0x563412, 0xEFCDAB, 0x010000}},
      {"16-bit 5-6-5 bit fields", r565, {0xF80000, 0x00FC00, 0x0000F8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    Decode(c.file, &image);
    ASSERT_EQ(0, image.result);
    EXPECT_EQ(c.colors, ImageColors(image.image));
  }
}

// Files that store the same picture differently decode to the same image.
TEST(BmpReader, TwinsDecodeIdentically) {
  const std::vector<uint32_t> indices = {3, 3, 3, 3, 3, 7, 1, 2, 2, 2, 0, 0, 0, 0, 15, 15, 9, 9,
                                         9, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 1, 2, 3, 4, 5};
  const int w = 7, h = 5;
  struct Twin {
    const char* name;
    BmpFile a, b;
  };
  std::vector<Twin> twins;
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    BmpFile up;
    up.width = w;
    up.height = h;
    up.bits = static_cast<uint16_t>(bits);
    if (bits <= 8) up.palette = Ramp(1 << bits);
    for (uint32_t v : indices) {
      up.pixels.push_back(bits <= 8 ? v & ((1u << bits) - 1) : v * 0x0A0B0C0Du);
    }
    BmpFile down = up;
    down.height = -h;
    twins.push_back({"bottom-up and top-down", up, down});
    if (bits == 8 || bits == 4) {
      BmpFile rle = up;
      rle.compression = bits == 8 ? 1 : 2;
      twins.push_back({"run-length and raw", rle, up});
    }
    if (bits == 8) {
      BmpFile v5 = up;
      v5.header_size = 124;
      twins.push_back({"124-byte header and 40-byte header", v5, up});
      BmpFile used = up;
      used.colors_used = 16;
      used.palette.resize(16);
      BmpFile full = up;
      std::fill(full.palette.begin() + 16, full.palette.end(), 0);
      twins.push_back({"short palette and black-filled full palette", used, full});
    }
    if (bits == 16 || bits == 32) {
      BmpFile fields = up;
      fields.compression = 3;
      fields.masks = bits == 16 ? std::vector<uint32_t>{0x7C00, 0x3E0, 0x1F}
                                : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF};
      twins.push_back({"bit fields with the default masks and no bit fields", fields, up});
      BmpFile v4 = fields;
      v4.header_size = 108;
      twins.push_back({"bit fields in a 108-byte header", v4, up});
    }
  }
  for (const Twin& t : twins) {
    SCOPED_TRACE(std::string(t.name) + ", " + std::to_string(t.a.bits) + " bits");
    OwnedImage a, b;
    Decode(t.a, &a);
    Decode(t.b, &b);
    ASSERT_EQ(0, a.result);
    ASSERT_EQ(0, b.result);
    ExpectSameImage(a.image, b.image);
  }
}

// Hand-written run-length data on a 4 x 3 image, with the indices expected
// top-down ('.' = 0). Rows are stored bottom-up, so the first row of the
// data is the image's last.
TEST(BmpReader, RunLengthPrograms) {
  struct Case {
    const char* name;
    int bits;
    std::vector<uint8_t> data;
    std::vector<uint8_t> indices;
  };
  const Case cases[] = {
      {"runs and row ends", 8, {2, 5, 2, 6, 0, 0, 4, 7, 0, 0, 1, 9, 0, 1},
       {9, 0, 0, 0, 7, 7, 7, 7, 5, 5, 6, 6}},
      {"literal padded to an even count", 8, {0, 3, 1, 2, 3, 0, 1, 4, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
      {"move right and up", 8, {0, 2, 1, 1, 2, 8, 0, 1}, {0, 0, 0, 0, 0, 8, 8, 0, 0, 0, 0, 0}},
      {"runs past the row's end are cut", 8, {255, 3, 0, 0, 1, 4, 0, 1},
       {0, 0, 0, 0, 4, 0, 0, 0, 3, 3, 3, 3}},
      {"moves outside the image write nothing", 8,
       {0, 2, 0x80, 0, 3, 1, 0, 2, 0x7F, 0x7F, 4, 2, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"a move back left comes inside again", 8, {0, 2, 0xFE, 0, 3, 1, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {"data ending early leaves the rest zero", 8, {4, 3, 0, 0, 2}, {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3}},
      {"literal cut by the data's end", 8, {0, 4, 1, 2}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0}},
      {"move cut by the data's end", 8, {1, 1, 0, 2, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {"rows past the last are ignored", 8, {0, 0, 0, 0, 0, 0, 0, 0, 4, 9, 0, 1},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"4-bit runs alternate the nibbles", 4, {3, 0x12, 0, 0, 4, 0xAB, 0, 1},
       {0, 0, 0, 0, 10, 11, 10, 11, 1, 2, 1, 0}},
      {"4-bit odd literal", 4, {0, 3, 0x12, 0x30, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0}},
      {"4-bit literal of 5 nibbles pads to 4 bytes", 4,
       {0, 5, 0x12, 0x34, 0x50, 0x00, 0, 0, 2, 0xCD, 0, 1}, {0, 0, 0, 0, 12, 13, 0, 0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpFile f;
    f.width = 4;
    f.height = 3;
    f.bits = static_cast<uint16_t>(c.bits);
    f.compression = c.bits == 8 ? 1 : 2;
    f.palette = Ramp(1 << c.bits);
    f.data = c.data;
    OwnedImage image;
    Decode(f, &image);
    ASSERT_EQ(0, image.result);
    ASSERT_EQ(8, image->Format.BitDepth);
    ASSERT_EQ(4, image->Pitch);
    EXPECT_EQ(c.indices, ImageRowBytes(image.image));
  }
}

TEST(BmpReader, SamplesDecode) {
  for (const auto& sample : writers::SampleBmpFiles()) {
    SCOPED_TRACE(sample.name);
    OwnedImage image;
    DecodeBytes(sample.bytes, DecodeBmpStream, &image);
    EXPECT_EQ(0, image.result);
  }
}

}  // namespace
