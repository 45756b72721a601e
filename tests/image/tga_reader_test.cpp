// The TGA reader: formats, storage orders, run-length packets, colour maps
// and the header fields it refuses.
#include "engine/graphics/image/tga_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image_file_support.h"
#include "tools/writers/image_file_writer.h"

namespace {

using writers::BuildTgaFile;
using writers::TgaFile;

void Decode(const TgaFile& file, OwnedImage* out) {
  DecodeBytes(BuildTgaFile(file), DecodeTgaStream, out);
}

TgaFile Rgb(int w, int h, std::vector<uint32_t> pixels) {
  TgaFile f;
  f.width = w;
  f.height = h;
  f.pixels = std::move(pixels);
  return f;
}

TEST(TgaReader, FormatsAndPitches) {
  struct Case {
    int bits;
    uint32_t red, alpha;
    uint32_t pixel;
    uint32_t color;  // 0xAARRGGBB read back
  };
  for (const Case& c : {Case{16, 0x7C00, 0x8000, 0xFC1F, 0xFFFF00FF},
                        Case{24, 0xFF0000, 0, 0x123456, 0x00123456},
                        Case{32, 0xFF0000, 0xFF000000, 0x80123456, 0x80123456}}) {
    SCOPED_TRACE(c.bits);
    TgaFile f = Rgb(3, 2, std::vector<uint32_t>(6, c.pixel));
    f.pixel_bits = static_cast<uint8_t>(c.bits);
    OwnedImage image;
    Decode(f, &image);
    ASSERT_EQ(0, image.result);
    EXPECT_EQ(c.bits, image->Format.BitDepth);
    EXPECT_EQ(c.red, image->Format.RedMask);
    EXPECT_EQ(c.alpha, image->Format.AlphaMask);
    EXPECT_EQ(3 * c.bits / 8, image->Pitch);
    EXPECT_EQ(std::vector<uint32_t>(6, c.color), ImageColors(image.image));
  }
}

TEST(TgaReader, RunPacketRepeatsOnePixel) {
  TgaFile f = Rgb(3, 1, {});
  f.type = 10;
  f.data = {0x82, 0x30, 0x20, 0x10};
  OwnedImage image;
  Decode(f, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(std::vector<uint32_t>(3, 0x102030), ImageColors(image.image));
}

// The same picture in every storage order, coded or not, with or without a
// footer or an identification field, decodes to one image.
TEST(TgaReader, TwinsDecodeIdentically) {
  const std::vector<uint32_t> pixels = {0x010101, 0x010101, 0x010101, 0x020304, 0x050607,
                                        0x080808, 0x080808, 0x0A0B0C, 0x0D0E0F, 0x0D0E0F,
                                        0x111111, 0x121212};
  TgaFile reference = Rgb(4, 3, pixels);
  OwnedImage expected;
  Decode(reference, &expected);
  ASSERT_EQ(0, expected.result);
  for (uint8_t type : {2, 10}) {
    for (uint8_t order : {0x00, 0x10, 0x20, 0x30}) {
      for (bool footer : {false, true}) {
        SCOPED_TRACE("type " + std::to_string(type) + " order " + std::to_string(order) +
                     (footer ? " footer" : ""));
        TgaFile f = reference;
        f.type = type;
        f.descriptor = order;
        f.footer = footer;
        f.id = footer ? "id" : "";
        OwnedImage image;
        Decode(f, &image);
        ASSERT_EQ(0, image.result);
        ExpectSameImage(expected.image, image.image);
      }
    }
  }
  // Colour-mapped twins give the same colours too.
  TgaFile mapped = Rgb(4, 3, {});
  mapped.type = 1;
  mapped.pixel_bits = 8;
  mapped.color_map_type = 1;
  mapped.map_entry_bits = 24;
  for (uint32_t p : pixels) {
    uint32_t index = 0;
    while (index < mapped.color_map.size() && mapped.color_map[index] != p) ++index;
    if (index == mapped.color_map.size()) mapped.color_map.push_back(p);
    mapped.pixels.push_back(index);
  }
  for (uint8_t type : {1, 9}) {
    SCOPED_TRACE("mapped type " + std::to_string(type));
    mapped.type = type;
    OwnedImage image;
    Decode(mapped, &image);
    ASSERT_EQ(0, image.result);
    ExpectSameImage(expected.image, image.image);
  }
}

// A true-colour file may carry a colour map in front of its pixels.
TEST(TgaReader, ColourMapOfTrueColourFileIsSkipped) {
  TgaFile f = Rgb(2, 1, {0xABCDEF, 0x123456});
  f.color_map_type = 1;
  f.map_entry_bits = 15;
  f.color_map = {0xFFFF, 0xFFFF, 0xFFFF};
  OwnedImage image;
  Decode(f, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<uint32_t>{0xABCDEF, 0x123456}), ImageColors(image.image));
}

TEST(TgaReader, ColourMapEntriesLandAtTheirIndexAndStopAt255) {
  TgaFile f = Rgb(4, 1, {250, 255, 0, 251});
  f.type = 1;
  f.pixel_bits = 8;
  f.color_map_type = 1;
  f.map_entry_bits = 24;
  f.first_entry = 250;
  for (uint32_t i = 0; i < 10; ++i) f.color_map.push_back(0x111111 * (i + 1));
  OwnedImage image;
  Decode(f, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<uint32_t>{0x111111, 0x666666, 0, 0x222222}), ImageColors(image.image));
}

// A footer counts only with the signature and no extension area: then it
// ends the run-length data, else its bytes are read as packets.
TEST(TgaReader, FooterEndsRunLengthData) {
  for (uint32_t extension : {0u, 100u}) {
    SCOPED_TRACE(extension);
    TgaFile f = Rgb(40, 1, {});
    f.type = 10;
    f.data = {0x81, 1, 2, 3};  // two pixels, the rest left to whatever follows
    f.footer = true;
    f.footer_extension_offset = extension;
    OwnedImage image;
    Decode(f, &image);
    ASSERT_EQ(0, image.result);
    const std::vector<uint32_t> colors = ImageColors(image.image);
    EXPECT_EQ(0x030201u, colors[0]);
    EXPECT_EQ(0x030201u, colors[1]);
    const bool rest_zero = std::all_of(colors.begin() + 2, colors.end(), [](uint32_t c) { return c == 0; });
    EXPECT_EQ(extension == 0, rest_zero);
  }
}

TEST(TgaReader, RefusedHeaders) {
  struct Case {
    const char* name;
    TgaFile file;
  };
  auto with = [](auto change) {
    TgaFile f = Rgb(2, 2, {1, 2, 3, 4});
    change(f);
    return f;
  };
  const Case cases[] = {
      {"x origin 1", with([](TgaFile& f) { f.x_origin = 1; })},
      {"y origin 1", with([](TgaFile& f) { f.y_origin = 1; })},
      {"width 4096", with([](TgaFile& f) { f.width = 4096; f.data.assign(4096 * 2 * 3, 0); })},
      {"height 4096", with([](TgaFile& f) { f.height = 4096; f.data.assign(4096 * 2 * 3, 0); })},
      {"width 0", with([](TgaFile& f) { f.width = 0; f.data = {1, 2, 3}; })},
      {"type 0", with([](TgaFile& f) { f.type = 0; })},
      {"type 3 (grey)", with([](TgaFile& f) { f.type = 3; })},
      {"type 11", with([](TgaFile& f) { f.type = 11; })},
      {"depth 8", with([](TgaFile& f) { f.pixel_bits = 8; })},
      {"depth 15", with([](TgaFile& f) { f.pixel_bits = 15; })},
      {"colour-mapped with 8-bit entries",
       with([](TgaFile& f) { f.type = 1; f.pixel_bits = 8; f.map_entry_bits = 8; f.color_map = {1}; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    Decode(c.file, &image);
    EXPECT_EQ(-1, image.result);
    EXPECT_EQ(nullptr, image->Pixels);
  }
  // Just below the limit is fine.
  TgaFile wide = Rgb(4095, 1, {});
  wide.data.assign(4095 * 3, 7);
  OwnedImage image;
  Decode(wide, &image);
  EXPECT_EQ(0, image.result);
}

TEST(TgaReader, SamplesDecode) {
  for (const auto& sample : writers::SampleTgaFiles()) {
    SCOPED_TRACE(sample.name);
    OwnedImage image;
    DecodeBytes(sample.bytes, DecodeTgaStream, &image);
    EXPECT_EQ(0, image.result);
  }
}

}  // namespace
