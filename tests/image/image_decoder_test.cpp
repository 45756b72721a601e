// The decoder entry (reader order, extra reader slots, rewinding between
// readers) and the damaged-file table: every reader answers a damaged,
// truncated or oversized file with -1 or a bounded image, never a fault.
#include "engine/graphics/image/image_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/graphics/image/bgra_reader.h"
#include "engine/graphics/image/bmp_reader.h"
#include "engine/graphics/image/dds_reader.h"
#include "engine/graphics/image/tga_reader.h"
#include "image_file_support.h"
#include "tests/support/fresh_state_test.h"
#include "tools/writers/image_file_writer.h"

namespace {

using namespace writers;

// ---- the decoder list ----

class DecoderList : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    calls_.clear();
  }

  // Extra readers that record the first byte they read from where the
  // stream stands, consume some bytes and refuse (or, for the accepting one,
  // produce a 1 x 1 image).
  static std::vector<std::string> calls_;
  template <int Id>
  static int Refusing(const StreamOps* ops, StreamHandle stream, GraphImage*) {
    uint8_t bytes[3] = {};
    ops->read(bytes, 1, 3, stream);
    calls_.push_back(std::to_string(Id) + ":" + static_cast<char>(bytes[0]));
    return -1;
  }
  static int Accepting(const StreamOps* ops, StreamHandle stream, GraphImage* out) {
    uint8_t byte = 0;
    ops->read(&byte, 1, 1, stream);
    calls_.push_back(std::string("accept:") + static_cast<char>(byte));
    return CreateRgb24GraphImage(1, 1, out);
  }
};
std::vector<std::string> DecoderList::calls_;

TEST_F(DecoderList, ExtraReadersComeFirstInOrderEachFromTheStart) {
  ASSERT_EQ(0, AddImageReader(Refusing<1>));
  ASSERT_EQ(0, AddImageReader(Refusing<2>));
  ASSERT_EQ(0, AddImageReader(Accepting));
  BmpFile bmp;
  OwnedImage image;
  DecodeBytes(BuildBmpFile(bmp), nullptr, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<std::string>{"1:B", "2:B", "accept:B"}), calls_);
  EXPECT_EQ(1, image->Width);
}

TEST_F(DecoderList, BuiltInReadersFollowTheExtraOnes) {
  ASSERT_EQ(0, AddImageReader(Refusing<1>));
  BgraFile bgra;
  bgra.data = {1, 2, 3, 4};
  OwnedImage image;
  DecodeBytes(BuildBgraFile(bgra), nullptr, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<std::string>{"1:B"}), calls_);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), ImageRowBytes(image.image));
}

TEST_F(DecoderList, TenExtraSlots) {
  for (int i = 0; i < kExtraImageReaderSlots; ++i) ASSERT_EQ(0, AddImageReader(Refusing<1>));
  EXPECT_EQ(-1, AddImageReader(Refusing<2>));
  EXPECT_EQ(-1, AddImageReader(nullptr));
  EXPECT_EQ(kExtraImageReaderSlots, GetImageReaderCount());
  ClearImageReaders();
  EXPECT_EQ(0, GetImageReaderCount());
}

// A TGA whose identification length and colour-map type spell "BM": the
// BMP reader reads it as far as its header and refuses it; the TGA reader,
// further down the list, still reads it from the start.
TEST_F(DecoderList, LaterReadersStartAgainFromPositionZero) {
  TgaFile tga;
  tga.id.assign(size_t{'B'}, '\0');
  tga.color_map_type = 'M';
  tga.width = 2;
  tga.pixels = {0x010203, 0x040506};
  const std::vector<uint8_t> bytes = BuildTgaFile(tga);
  ASSERT_EQ('B', bytes[0]);
  ASSERT_EQ('M', bytes[1]);
  OwnedImage bmp;
  DecodeBytes(bytes, DecodeBmpStream, &bmp);
  ASSERT_EQ(-1, bmp.result);
  OwnedImage image;
  DecodeBytes(bytes, nullptr, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<uint32_t>{0x010203, 0x040506}), ImageColors(image.image));
}

TEST_F(DecoderList, NothingAcceptsLeavesTheImageEmpty) {
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{0x89, 'P', 'N', 'G', 13, 10, 26, 10},
        std::vector<uint8_t>(64, 0)}) {
    OwnedImage image;
    DecodeBytes(bytes, nullptr, &image);
    EXPECT_EQ(-1, image.result);
    EXPECT_EQ(nullptr, image->Pixels);
    EXPECT_EQ(0, image->Width);
  }
}

// ---- damaged files ----

struct Damaged {
  Damaged(std::string n, ImageReader r, std::vector<uint8_t> b, int res, int w = 0, int h = 0,
          std::vector<uint32_t> c = {})
      : name(std::move(n)), reader(r), bytes(std::move(b)), result(res), width(w), height(h),
        colors(std::move(c)) {}
  std::string name;
  ImageReader reader;
  std::vector<uint8_t> bytes;
  int result;                    // of the reader
  int width, height;             // of an accepted image
  std::vector<uint32_t> colors;  // when given: the accepted image's pixels
};

std::vector<uint8_t> Bytes(size_t n, uint8_t value = 0) { return std::vector<uint8_t>(n, value); }

// The bytes with a little-endian u32 written over them at offset.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

std::vector<Damaged> BmpCases() {
  std::vector<Damaged> cases;
  auto bmp = [](auto change) {
    BmpFile f;
    f.width = 2;
    f.height = 2;
    f.pixels = {1, 2, 3, 4};
    change(f);
    return BuildBmpFile(f);
  };
  auto pal8 = [](BmpFile& f) {
    f.bits = 8;
    for (uint32_t i = 0; i < 256; ++i) f.palette.push_back(i * 0x010101);
  };
  auto rle8 = [&](BmpFile& f, int w, int h, std::vector<uint8_t> data) {
    pal8(f);
    f.compression = 1;
    f.width = w;
    f.height = h;
    f.data = std::move(data);
  };
  const std::vector<uint32_t> zero12(12, 0);
  cases.push_back({"bmp width 0", DecodeBmpStream, bmp([](BmpFile& f) { f.width = 0; }), -1});
  cases.push_back({"bmp width -2", DecodeBmpStream, bmp([](BmpFile& f) { f.width = -2; }), -1});
  cases.push_back({"bmp height 0", DecodeBmpStream, bmp([](BmpFile& f) { f.height = 0; }), -1});
  cases.push_back({"bmp height INT_MIN", DecodeBmpStream,
                   bmp([](BmpFile& f) { f.height = INT32_MIN; f.data = Bytes(64); }), -1});
  cases.push_back({"bmp width 16385", DecodeBmpStream,
                   bmp([&](BmpFile& f) { pal8(f); f.width = 16385; f.height = 1; f.data = Bytes(16388); }), -1});
  cases.push_back({"bmp 24-bit pixels one byte short", DecodeBmpStream,
                   bmp([](BmpFile& f) { f.data = Bytes(15); }), -1});
  cases.push_back({"bmp 8-bit top-down pixels one byte short", DecodeBmpStream,
                   bmp([&](BmpFile& f) { pal8(f); f.height = -2; f.data = Bytes(7); }), -1});
  cases.push_back({"bmp 4-bit pixels short", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 4; f.palette.assign(16, 0); f.data = Bytes(7); }), -1});
  cases.push_back({"bmp 1-bit pixels short", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 1; f.palette.assign(2, 0); f.data = Bytes(4); }), -1});
  cases.push_back({"bmp 16-bit pixels short", DecodeBmpStream,
                   bmp([](BmpFile& f) { f.bits = 16; f.data = Bytes(7); }), -1});
  cases.push_back({"bmp 32-bit pixel offset past the end", DecodeBmpStream,
                   Patched(bmp([](BmpFile& f) { f.bits = 32; }), 10, 1 << 20), -1});
  cases.push_back({"bmp over 256 MB of pixels", DecodeBmpStream, bmp([&](BmpFile& f) {
                     f.width = 16384; f.height = 16384; f.data = Bytes(16); }), -1});
  cases.push_back({"bmp run-length image far larger than its data", DecodeBmpStream,
                   bmp([&](BmpFile& f) { rle8(f, 8192, 8192, {0, 1}); }), -1});
  cases.push_back({"bmp run-length 16 MB blank image", DecodeBmpStream,
                   bmp([&](BmpFile& f) { rle8(f, 4096, 4096, {0, 1}); }), 0, 4096, 4096});
  cases.push_back({"bmp run-length pixel offset past the end", DecodeBmpStream,
                   Patched(bmp([&](BmpFile& f) { rle8(f, 4, 3, {4, 9}); }), 10, 5000), 0, 4, 3,
                   zero12});
  cases.push_back({"bmp run-length data ending inside a move", DecodeBmpStream,
                   bmp([&](BmpFile& f) { rle8(f, 4, 3, {0, 2, 1}); }), 0, 4, 3, zero12});
  cases.push_back({"bmp run of 255 on a 1-pixel image", DecodeBmpStream,
                   bmp([&](BmpFile& f) { rle8(f, 1, 1, {255, 7, 255, 8, 0, 2, 0x7F, 0x7F, 255, 9}); }),
                   0, 1, 1, {0x070707}});
  for (uint32_t compression : {4u, 5u, 6u, 7u, 0xFFFFFFFFu}) {
    cases.push_back({"bmp compression " + std::to_string(compression), DecodeBmpStream,
                     bmp([&](BmpFile& f) { f.bits = 32; f.compression = compression; }), -1});
  }
  cases.push_back({"bmp RLE8 at 4 bits", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 4; f.palette.assign(16, 0); f.compression = 1; }), -1});
  cases.push_back({"bmp RLE4 at 8 bits", DecodeBmpStream,
                   bmp([&](BmpFile& f) { pal8(f); f.compression = 2; }), -1});
  cases.push_back({"bmp bit fields at 24 bits", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.compression = 3; f.masks = {0xFF0000, 0xFF00, 0xFF}; }), -1});
  for (uint16_t bits : {0, 2, 7, 48, 64}) {
    cases.push_back({"bmp " + std::to_string(bits) + " bits", DecodeBmpStream,
                     bmp([&](BmpFile& f) { f.bits = bits; f.data = Bytes(64); }), -1});
  }
  cases.push_back({"bmp 12-byte header", DecodeBmpStream,
                   bmp([](BmpFile& f) { f.header_size = 12; }), -1});
  cases.push_back({"bmp palette past the end behind a huge header", DecodeBmpStream,
                   Patched(bmp(pal8), 14, 0x7FFFFFF0), -1});
  cases.push_back({"bmp huge header before 24-bit pixels", DecodeBmpStream,
                   Patched(bmp([](BmpFile&) {}), 14, 0xFFFFFFFF), 0, 2, 2});
  cases.push_back({"bmp palette cut short", DecodeBmpStream,
                   bmp([&](BmpFile& f) { pal8(f); f.palette.resize(10); }), -1});
  cases.push_back({"bmp palette shorter than its used count", DecodeBmpStream, bmp([&](BmpFile& f) {
                     pal8(f); f.colors_used = 200; f.palette.resize(10); f.pixel_offset = 54 + 40; }), -1});
  {
    std::vector<uint8_t> cut = bmp([](BmpFile&) {});
    cut.resize(40);
    cases.push_back({"bmp cut inside the header", DecodeBmpStream, cut, -1});
    cut.resize(13);
    cases.push_back({"bmp cut inside the file header", DecodeBmpStream, cut, -1});
  }
  {
    std::vector<uint8_t> cut = bmp([](BmpFile& f) {
      f.bits = 16; f.compression = 3; f.masks = {0x7C00, 0x3E0, 0x1F}; f.data = {};
      f.pixel_offset = 0; });
    cut.resize(14 + 40 + 6);
    cases.push_back({"bmp bit-field masks cut", DecodeBmpStream, cut, -1});
  }
  cases.push_back({"bmp bit fields with absent channels", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 16; f.compression = 3; f.masks = {0, 0, 0}; f.pixels = {0xFFFF, 1, 2, 3}; }),
                   0, 2, 2, {0, 0, 0, 0}});
  cases.push_back({"bmp bit fields with 32-bit wide masks", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 32; f.compression = 3; f.masks = {0xFFFFFFFF, 0xFFFF0000, 0x80000001};
                     f.pixels = {0xFFFFFFFF, 0, 0, 0}; }),
                   0, 2, 2, {0xFFFFFF, 0, 0, 0}});
  cases.push_back({"bmp masks with gaps keep their lowest run", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 16; f.compression = 3; f.masks = {0xF00F, 0xF0, 0};
                     f.pixels = {0xFFFF, 0xF000, 0, 0}; }),
                   0, 2, 2, {0xFFFF00, 0, 0, 0}});
  cases.push_back({"bmp masks outside a 16-bit pixel", DecodeBmpStream, bmp([](BmpFile& f) {
                     f.bits = 16; f.compression = 3; f.masks = {0xFF0000, 0xFF000000, 0x1F};
                     f.pixels = {0xFFFF, 0, 0, 0}; }),
                   0, 2, 2, {0x0000FF, 0, 0, 0}});
  return cases;
}

std::vector<Damaged> TgaCases() {
  std::vector<Damaged> cases;
  auto tga = [](auto change) {
    TgaFile f;
    f.width = 3;
    f.height = 1;
    f.pixels = {0x010101, 0x020202, 0x030303};
    change(f);
    return BuildTgaFile(f);
  };
  auto mapped = [](TgaFile& f) {
    f.type = 1;
    f.pixel_bits = 8;
    f.color_map_type = 1;
    f.map_entry_bits = 24;
    f.color_map = {0xAAAAAA, 0xBBBBBB};
    f.pixels = {0, 1, 1};
  };
  {
    std::vector<uint8_t> cut = tga([](TgaFile&) {});
    cut.resize(10);
    cases.push_back({"tga cut inside the header", DecodeTgaStream, cut, -1});
  }
  {
    std::vector<uint8_t> bytes = tga([](TgaFile&) {});
    bytes[0] = 200;  // identification field longer than the file
    cases.push_back({"tga identification past the end", DecodeTgaStream, bytes, -1});
  }
  {
    std::vector<uint8_t> bytes = tga(mapped);
    bytes.resize(18 + 4);
    cases.push_back({"tga colour map cut", DecodeTgaStream, bytes, -1});
  }
  cases.push_back({"tga pixels one byte short", DecodeTgaStream,
                   tga([](TgaFile& f) { f.data = Bytes(8); }), -1});
  cases.push_back({"tga indices one short", DecodeTgaStream,
                   tga([&](TgaFile& f) { mapped(f); f.data = {0, 1}; }), -1});
  cases.push_back({"tga map entries past 255 dropped", DecodeTgaStream, tga([&](TgaFile& f) {
                     mapped(f); f.first_entry = 255; f.pixels = {255, 0, 254}; }),
                   0, 3, 1, {0xAAAAAA, 0, 0}});
  cases.push_back({"tga map starting past 255", DecodeTgaStream, tga([&](TgaFile& f) {
                     mapped(f); f.first_entry = 60000; }), 0, 3, 1, {0, 0, 0}});
  cases.push_back({"tga run-length data ending early", DecodeTgaStream,
                   tga([](TgaFile& f) { f.type = 10; f.data = {0x80, 9, 9, 9}; }),
                   0, 3, 1, {0x090909, 0, 0}});
  cases.push_back({"tga raw packet past the data's end", DecodeTgaStream,
                   tga([](TgaFile& f) { f.type = 10; f.data = {0x02, 1, 1, 1, 2, 2}; }),
                   0, 3, 1, {0x010101, 0, 0}});
  cases.push_back({"tga run packet longer than the image", DecodeTgaStream,
                   tga([](TgaFile& f) { f.type = 10; f.data = {0xFF, 5, 5, 5, 0xFF, 6, 6, 6}; }),
                   0, 3, 1, {0x050505, 0x050505, 0x050505}});
  cases.push_back({"tga run packet's pixel cut", DecodeTgaStream,
                   tga([](TgaFile& f) { f.type = 10; f.data = {0x00, 1, 1, 1, 0x81, 2}; }),
                   0, 3, 1, {0x010101, 0, 0}});
  cases.push_back({"tga run-length indices ending early", DecodeTgaStream,
                   tga([&](TgaFile& f) { mapped(f); f.type = 9; f.data = {0x81, 1}; }),
                   0, 3, 1, {0xBBBBBB, 0xBBBBBB, 0}});
  cases.push_back({"tga large run-length image without data", DecodeTgaStream,
                   tga([](TgaFile& f) { f.type = 10; f.pixel_bits = 32; f.width = f.height = 4095;
                                        f.data = {0x80}; }), -1});
  return cases;
}

std::vector<Damaged> DdsCases() {
  std::vector<Damaged> cases;
  auto dds = [](auto change) {
    DdsFile f;
    f.width = 2;
    f.height = 2;
    f.data = Bytes(16, 0xFF);
    change(f);
    return BuildDdsFile(f);
  };
  cases.push_back({"dds pitch below width x bytes", DecodeDdsStream, dds([](DdsFile& f) {
                     f.flags |= kDdsPitchFlag; f.pitch = 7; }), -1});
  cases.push_back({"dds pitch of 4 GB", DecodeDdsStream, dds([](DdsFile& f) {
                     f.flags |= kDdsPitchFlag; f.pitch = 0xFFFFFFFF; }), -1});
  for (uint32_t bits : {0u, 4u, 12u, 31u, 40u, 64u, 0x80000020u}) {
    cases.push_back({"dds bit count " + std::to_string(bits), DecodeDdsStream,
                     dds([&](DdsFile& f) { f.bit_count = bits; }), -1});
  }
  cases.push_back({"dds absent channels", DecodeDdsStream,
                   dds([](DdsFile& f) { f.masks[0] = f.masks[1] = f.masks[2] = f.masks[3] = 0; }),
                   0, 2, 2, std::vector<uint32_t>(4, 0)});
  cases.push_back({"dds channels wider than 8 bits", DecodeDdsStream, dds([](DdsFile& f) {
                     f.masks[0] = 0xFFFFFFFF; f.masks[1] = 0xFFFFFF00; f.masks[2] = 0; f.masks[3] = 0x7FFFFFFF; }),
                   0, 2, 2, std::vector<uint32_t>(4, 0xFFFFFF00)});
  cases.push_back({"dds masks with gaps keep their lowest run", DecodeDdsStream, dds([](DdsFile& f) {
                     f.masks[0] = 0x00FF00F8; f.masks[1] = 0xF0000F00; f.masks[2] = 0; f.masks[3] = 0;
                     f.data = {0xF8, 0xFF, 0xFF, 0xFF, 0x08, 0x01, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}; }),
                   0, 2, 2, {0xFFFF00, 0x081100, 0, 0}});
  cases.push_back({"dds 8-bit with absent channels", DecodeDdsStream, dds([](DdsFile& f) {
                     f.bit_count = 8; f.masks[0] = f.masks[1] = f.masks[2] = f.masks[3] = 0; f.data = Bytes(4, 0xFF); }),
                   0, 2, 2, std::vector<uint32_t>(4, 0)});
  cases.push_back({"dds pixels one byte short", DecodeDdsStream,
                   dds([](DdsFile& f) { f.data = Bytes(15); }), -1});
  cases.push_back({"dds width 0", DecodeDdsStream, dds([](DdsFile& f) { f.width = 0; }), -1});
  cases.push_back({"dds height 0", DecodeDdsStream, dds([](DdsFile& f) { f.height = 0; }), -1});
  cases.push_back({"dds width 16385", DecodeDdsStream, dds([](DdsFile& f) { f.width = 16385; }), -1});
  cases.push_back({"dds width 4G", DecodeDdsStream, dds([](DdsFile& f) { f.width = 0xFFFFFFFF; }), -1});
  cases.push_back({"dds over 256 MB of pixels", DecodeDdsStream,
                   dds([](DdsFile& f) { f.width = 16384; f.height = 16384; }), -1});
  cases.push_back({"dds magic", DecodeDdsStream, dds([](DdsFile& f) { f.magic = "DDX "; }), -1});
  {
    std::vector<uint8_t> cut = dds([](DdsFile&) {});
    cut.resize(4 + 100);
    cases.push_back({"dds description cut", DecodeDdsStream, cut, -1});
  }
  return cases;
}

std::vector<Damaged> BgraCases() {
  std::vector<Damaged> cases;
  auto bgra = [](auto change) {
    BgraFile f;
    f.data = Bytes(4);
    change(f);
    return BuildBgraFile(f);
  };
  cases.push_back({"bgra width INT_MAX", DecodeBgraStream,
                   bgra([](BgraFile& f) { f.width = INT32_MAX; }), -1});
  cases.push_back({"bgra height INT_MIN", DecodeBgraStream,
                   bgra([](BgraFile& f) { f.height = INT32_MIN; }), -1});
  cases.push_back({"bgra over 256 MB of pixels", DecodeBgraStream,
                   bgra([](BgraFile& f) { f.width = 16384; f.height = 16384; }), -1});
  cases.push_back({"bgra 8-bit pixels one byte short", DecodeBgraStream,
                   bgra([](BgraFile& f) { f.width = 2; f.data = Bytes(7); }), -1});
  cases.push_back({"bgra 16-bit pixels one byte short", DecodeBgraStream,
                   bgra([](BgraFile& f) { f.code = kBgraDepth16; f.data = Bytes(7); }), -1});
  {
    std::vector<uint8_t> cut = bgra([](BgraFile&) {});
    cut.resize(12);
    cases.push_back({"bgra cut inside the header", DecodeBgraStream, cut, -1});
  }
  return cases;
}

TEST(DamagedImageFiles, RefusedOrBounded) {
  std::vector<Damaged> cases = BmpCases();
  for (auto* more : {&TgaCases, &DdsCases, &BgraCases}) {
    for (Damaged& c : (*more)()) cases.push_back(std::move(c));
  }
  for (const Damaged& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedImage image;
    DecodeBytes(c.bytes, c.reader, &image);
    ASSERT_EQ(c.result, image.result);
    if (c.result != 0) {
      EXPECT_EQ(nullptr, image->Pixels);
      EXPECT_EQ(0, image->Width);
    } else {
      EXPECT_EQ(c.width, image->Width);
      EXPECT_EQ(c.height, image->Height);
      if (!c.colors.empty()) {
        EXPECT_EQ(c.colors, ImageColors(image.image));
      }
    }
    // The whole list must cope with the same bytes as well.
    OwnedImage any;
    DecodeBytes(c.bytes, nullptr, &any);
    if (any.result != 0) {
      EXPECT_EQ(nullptr, any->Pixels);
    }
  }
}

}  // namespace
