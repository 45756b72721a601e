// Saving an area of pixels: the BMP bytes, round trips of the three file
// types through the decoder, replacing files, and every failure the writers
// can meet.
#include "engine/graphics/image/image_area_save.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/graphics/image/color_format.h"
#include "image_file_support.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// Pixels of one format held in a buffer with padded rows, as a surface or
// memory image holds them.
struct Pixels {
  ColorFormat format{};
  std::vector<uint8_t> bytes;
  int width = 0, height = 0, pitch = 0;
  std::vector<uint8_t> palette = std::vector<uint8_t>(1024, 0);

  Pixels(const ColorFormat& f, int w, int h) : format(f), width(w), height(h) {
    pitch = w * f.PixelByte + 6;
    bytes.assign(static_cast<size_t>(pitch) * h, 0xCD);
  }
  void Set(int x, int y, uint32_t value) {
    for (int i = 0; i < format.PixelByte; ++i) {
      bytes[static_cast<size_t>(y) * pitch + x * format.PixelByte + i] = static_cast<uint8_t>(value >> (8 * i));
    }
  }
  ImageArea Area() const {
    return {bytes.data(), pitch, width, height, &format, palette.data()};
  }
  // The same pixels as a GraphImage, for their colours.
  GraphImage View() {
    GraphImage image{};
    image.Format = format;
    std::memcpy(image.Format.PaletteTable, palette.data(), 1024);
    image.Width = width;
    image.Height = height;
    image.Pitch = pitch;
    image.Pixels = bytes.data();
    return image;
  }
};

ColorFormat Format(int kind) { return *GetColorFormat(kind, 0, 0); }
ColorFormat Palette8() {
  ColorFormat f{};
  SetPalette8ColorFormat(&f);
  return f;
}

class ImageAreaSave : public ::testing::Test {
 protected:
  void SetUp() override { engine_folder_ = platform::NativeToEnginePath(folder_.Path().string()); }
  std::string Name(const std::string& leaf) const { return engine_folder_ + "\\" + leaf; }
  fs::path Native(const std::string& leaf) const { return folder_.Path() / leaf; }

  testsupport::ScratchFolder folder_{"vesk_area_save"};
  std::string engine_folder_;
};

TEST_F(ImageAreaSave, BmpLayout) {
  struct Case {
    const char* name;
    ColorFormat format;
    int width, height;
    uint32_t stride, offset, size, bits;
  };
  const Case cases[] = {
      {"8-bit 5 x 2", Palette8(), 5, 2, 8, 1078, 1094, 8},
      {"32-bit 5 x 2", Format(1), 5, 2, 16, 54, 86, 24},
      {"16-bit 640 x 480", Format(0), 640, 480, 1920, 54, 921654, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pixels pixels(c.format, c.width, c.height);
    for (int i = 0; i < 256 * 4; ++i) pixels.palette[i] = static_cast<uint8_t>(i);
    const ImageArea area = pixels.Area();
    ASSERT_EQ(0, SaveImageArea(&area, Name("a.bmp").c_str(), 0, 80, 0, 6));
    const std::vector<uint8_t> b = ReadFile(Native("a.bmp"));
    ASSERT_EQ(c.size, b.size());
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(c.size, Le32(b, 2));
    EXPECT_EQ(0u, Le32(b, 6));
    EXPECT_EQ(c.offset, Le32(b, 10));
    EXPECT_EQ(40u, Le32(b, 14));
    EXPECT_EQ(static_cast<uint32_t>(c.width), Le32(b, 18));
    EXPECT_EQ(static_cast<uint32_t>(c.height), Le32(b, 22));
    EXPECT_EQ(1, b[26] | b[27] << 8);
    EXPECT_EQ(c.bits, static_cast<uint32_t>(b[28] | b[29] << 8));
    for (size_t at = 30; at < 54; ++at) EXPECT_EQ(0, b[at]) << at;
    EXPECT_EQ(c.stride * c.height, c.size - c.offset);
    if (c.bits == 8) {
      // Blue, green, red of each entry, the fourth byte 0.
      EXPECT_EQ((std::vector<uint8_t>{4, 5, 6, 0}), std::vector<uint8_t>(b.begin() + 58, b.begin() + 62));
    }
    // Row padding is zero.
    const uint32_t used = c.bits == 8 ? c.width : c.width * 3;
    for (uint32_t pad = used; pad < c.stride; ++pad) EXPECT_EQ(0, b[c.offset + pad]);
  }
}

TEST_F(ImageAreaSave, BmpPixelsBottomRowFirst) {
  Pixels rgb565(Format(0), 2, 2);
  rgb565.Set(0, 0, 0xFFFF);
  rgb565.Set(1, 0, 0x8410);
  rgb565.Set(0, 1, 0xF800);
  rgb565.Set(1, 1, 0x001F);
  ImageArea area = rgb565.Area();
  ASSERT_EQ(0, SaveImageArea(&area, Name("p.bmp").c_str(), 0, 0, 0, 0));
  std::vector<uint8_t> b = ReadFile(Native("p.bmp"));
  ASSERT_EQ(54u + 16, b.size());
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 0xF8, 0xF8, 0, 0, 0, 0}), std::vector<uint8_t>(b.begin() + 54, b.begin() + 62));
  EXPECT_EQ((std::vector<uint8_t>{0xF8, 0xFC, 0xF8, 0x80, 0x80, 0x80, 0, 0}), std::vector<uint8_t>(b.begin() + 62, b.end()));

  Pixels xrgb(Format(1), 1, 1);
  xrgb.Set(0, 0, 0xAA112233);
  area = xrgb.Area();
  ASSERT_EQ(0, SaveImageArea(&area, Name("p.bmp").c_str(), 0, 0, 0, 0));
  b = ReadFile(Native("p.bmp"));
  EXPECT_EQ((std::vector<uint8_t>{0x33, 0x22, 0x11, 0}), std::vector<uint8_t>(b.begin() + 54, b.end()));
}

// A picture with every channel value, in each source format.
Pixels Picture(const ColorFormat& format, int w, int h) {
  Pixels pixels(format, w, h);
  for (int i = 0; i < 256; ++i) {
    pixels.palette[i * 4] = static_cast<uint8_t>(i);
    pixels.palette[i * 4 + 1] = static_cast<uint8_t>(255 - i);
    pixels.palette[i * 4 + 2] = static_cast<uint8_t>(i * 7);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) pixels.Set(x, y, static_cast<uint32_t>((x * 37 + y * 101) * 2654435761u));
  }
  return pixels;
}

OwnedImage* DecodeFile(const fs::path& path, OwnedImage* image) {
  DecodeBytes(ReadFile(path), nullptr, image);
  return image;
}

TEST_F(ImageAreaSave, BmpAndPngRoundTripsAreExact) {
  for (int kind : {-1, 0, 1}) {
    for (int type : {0, 2}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " type " << type);
      Pixels pixels = Picture(kind < 0 ? Palette8() : Format(kind), 13, 7);
      const ImageArea area = pixels.Area();
      const std::string leaf = type == 0 ? "r.bmp" : "r.png";
      ASSERT_EQ(0, SaveImageArea(&area, Name(leaf).c_str(), type, 80, 0, 9));
      OwnedImage image;
      DecodeFile(Native(leaf), &image);
      ASSERT_EQ(0, image.result);
      GraphImage view = pixels.View();
      std::vector<uint32_t> expected = ImageColors(view);
      if (type == 0 && kind == 0) {
        // A 5-6-5 BMP keeps the channel bits at the top of each byte.
        for (int y = 0; y < 7; ++y) {
          for (int x = 0; x < 13; ++x) {
            const uint8_t* p = pixels.bytes.data() + y * pixels.pitch + x * 2;
            const uint32_t v = p[0] | p[1] << 8;
            expected[y * 13 + x] = (v & 0xF800) << 8 | (v & 0x7E0) << 5 | (v & 0x1F) << 3;
          }
        }
      }
      EXPECT_EQ(expected, ImageColors(image.image));
    }
  }
}

TEST_F(ImageAreaSave, JpegRoundTripWithinTolerance) {
  Pixels pixels(Format(1), 48, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 48; ++x) pixels.Set(x, y, uint32_t(x * 5) << 16 | uint32_t(y * 7) << 8 | uint32_t(200 - x - y));
  }
  const ImageArea area = pixels.Area();
  ASSERT_EQ(0, SaveImageArea(&area, Name("r.jpg").c_str(), 1, 90, 0, 0));
  OwnedImage image;
  DecodeFile(Native("r.jpg"), &image);
  ASSERT_EQ(0, image.result);
  ASSERT_EQ(48, image->Width);
  GraphImage view = pixels.View();
  const std::vector<uint32_t> want = ImageColors(view);
  const std::vector<uint32_t> got = ImageColors(image.image);
  // Quality 90 on smooth gradients: every channel within 8 of the source.
  for (size_t i = 0; i < want.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(int(want[i] >> shift & 0xFF), int(got[i] >> shift & 0xFF), 8) << i;
    }
  }
}

TEST_F(ImageAreaSave, WhatIsNotWritten) {
  Pixels pixels(Format(1), 4, 4);
  ImageArea area = pixels.Area();
  EXPECT_EQ(0, SaveImageArea(&area, Name("t3.png").c_str(), 3, 80, 0, 6));
  EXPECT_EQ(0, SaveImageArea(&area, Name("tm.png").c_str(), -1, 80, 0, 6));
  area.Width = 0;
  EXPECT_EQ(-1, SaveImageArea(&area, Name("w0.png").c_str(), 2, 80, 0, 6));
  area = pixels.Area();
  area.Height = 0;
  EXPECT_EQ(-1, SaveImageArea(&area, Name("h0.bmp").c_str(), 0, 80, 0, 6));
  EXPECT_TRUE(fs::is_empty(folder_.Path()));
}

TEST_F(ImageAreaSave, ExistingFilesAreReplacedAndNamesResolved) {
  fs::create_directories(folder_.Path() / "Shots");
  Pixels pixels = Picture(Format(1), 3, 2);
  const ImageArea area = pixels.Area();
  for (const char* leaf : {"s.bmp", "s.png", "s.jpg"}) {
    SCOPED_TRACE(leaf);
    folder_.Write(fs::path("Shots") / leaf, std::vector<uint8_t>(100000, 0x77));
    const int type = leaf[2] == 'b' ? 0 : leaf[2] == 'p' ? 2 : 1;
    // Another case and the other separator reach the same folder.
    const std::string name = engine_folder_ + "/SHOTS\\" + leaf;
    ASSERT_EQ(0, SaveImageArea(&area, name.c_str(), type, 80, 0, 6));
    const std::vector<uint8_t> bytes = ReadFile(folder_.Path() / "Shots" / leaf);
    EXPECT_LT(bytes.size(), 100000u);
    OwnedImage image;
    DecodeBytes(bytes, nullptr, &image);
    EXPECT_EQ(0, image.result);
    EXPECT_EQ(3, image->Width);
  }
}

// Writes beyond `bytes` bytes of any file fail while the object lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST_F(ImageAreaSave, EveryFailureIsReported) {
  Pixels pixels = Picture(Format(1), 64, 64);
  const ImageArea area = pixels.Area();
  for (int type : {0, 1, 2}) {
    SCOPED_TRACE(type);
    // No such folder.
    EXPECT_EQ(-1, SaveImageArea(&area, Name("missing\\x.img").c_str(), type, 80, 0, 6));
    EXPECT_FALSE(fs::exists(Native("missing")));
    // No memory for the copy: an area larger than any buffer may be
    // (the pixels are never read when the buffer cannot be had).
    ImageArea huge = area;
    huge.Width = 60000;
    huge.Height = 60000;
    EXPECT_EQ(-1, SaveImageArea(&huge, Name("huge.img").c_str(), type, 80, 0, 6));
    // The disk takes only 200 bytes.
    {
      FileSizeLimit limit(200);
      EXPECT_EQ(-1, SaveImageArea(&area, Name("full.img").c_str(), type, 80, 0, 6));
    }
    // A depth no writer knows.
    ColorFormat odd = Format(1);
    odd.BitDepth = 12;
    ImageArea strange = area;
    strange.Format = &odd;
    EXPECT_EQ(-1, SaveImageArea(&strange, Name("odd.img").c_str(), type, 80, 0, 6));
  }
  EXPECT_FALSE(fs::exists(Native("huge.img")));
  EXPECT_FALSE(fs::exists(Native("odd.img")));
}

}  // namespace
