// The PNG and JPEG readers: the formats each kind of file decodes to, a
// stream that starts inside a larger file, damaged and truncated files, and
// files that declare far more pixels than they hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/graphics/image/jpeg_codec.h"
#include "engine/graphics/image/png_codec.h"
#include "image_file_support.h"
#include "tools/writers/coded_image_writer.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESK_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VESK_TEST_ASAN 1
#endif
#ifdef VESK_TEST_ASAN
// The sanitizer runtime's allocation hooks (its header is not installed
// with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t), void (*free_hook)(const volatile void*));
#endif

namespace {

using namespace writers;

std::vector<uint8_t> Bytes(const OwnedImage& image) { return ImageRowBytes(image.image); }

std::vector<uint8_t> PaletteEntry(const GraphImage& image, int index) {
  const uint8_t* entry = &image.Format.PaletteTable[index * 4];
  return {entry[0], entry[1], entry[2], entry[3]};
}

// ---- PNG layouts ----

enum class Kind { kPalette8, kGrey8, kGreyAlpha16, kRgb24, kArgb32 };

struct PngCase {
  const char* name;
  PngFile file;
  Kind kind;
  std::vector<uint8_t> bytes;  // decoded row bytes, padding left out
};

void ExpectKind(const GraphImage& image, Kind kind) {
  switch (kind) {
    case Kind::kPalette8:
    case Kind::kGrey8:
      EXPECT_EQ(8, image.Format.BitDepth);
      EXPECT_EQ(image.Width, image.Pitch);
      break;
    case Kind::kGreyAlpha16:
      EXPECT_EQ(16, image.Format.BitDepth);
      EXPECT_EQ(0xFFu, image.Format.RedMask);
      EXPECT_EQ(0xFFu, image.Format.GreenMask);
      EXPECT_EQ(0xFFu, image.Format.BlueMask);
      EXPECT_EQ(0u, image.Format.AlphaMask);
      EXPECT_EQ(0xFF00u, image.Format.SpareMask);
      EXPECT_EQ(image.Width * 2, image.Pitch);
      break;
    case Kind::kRgb24:
      EXPECT_EQ(24, image.Format.BitDepth);
      EXPECT_EQ(image.Width * 3, image.Pitch);
      break;
    case Kind::kArgb32:
      EXPECT_EQ(32, image.Format.BitDepth);
      EXPECT_EQ(0xFF000000u, image.Format.AlphaMask);
      EXPECT_EQ(image.Width * 4, image.Pitch);
      break;
  }
  if (kind == Kind::kGrey8) {
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 255, 0}), PaletteEntry(image, 255));
  }
}

TEST(PngDecode, LayoutsAndTransforms) {
  const std::vector<PngCase> cases = {
      {"1-bit palette, one pixel a byte in file order",
       {.width = 4, .height = 1, .bit_depth = 1, .color_type = 3, .rows = {0x90},
        .palette = {0x000000, 0xFFFFFF}},
       Kind::kPalette8, {1, 0, 0, 1}},
      {"2-bit palette",
       {.width = 4, .height = 1, .bit_depth = 2, .color_type = 3, .rows = {0x1B},
        .palette = {1, 2, 3, 4}},
       Kind::kPalette8, {0, 1, 2, 3}},
      {"4-bit palette, odd width",
       {.width = 3, .height = 2, .bit_depth = 4, .color_type = 3, .rows = {0x12, 0x30, 0x45, 0x60},
        .palette = {1, 2, 3, 4, 5, 6, 7}},
       Kind::kPalette8, {1, 2, 3, 4, 5, 6}},
      {"16-bit RGB keeps the high bytes",
       {.width = 1, .height = 1, .bit_depth = 16, .color_type = 2,
        .rows = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}},
       Kind::kRgb24, {0xFF, 0xAB, 0x12}},
      {"RGB in blue, green, red order",
       {.width = 2, .height = 1, .color_type = 2, .rows = {1, 2, 3, 4, 5, 6}},
       Kind::kRgb24, {3, 2, 1, 6, 5, 4}},
      {"RGBA",
       {.width = 1, .height = 1, .color_type = 6, .rows = {1, 2, 3, 4}},
       Kind::kArgb32, {3, 2, 1, 4}},
      {"RGB with a transparent colour gains alpha",
       {.width = 2, .height = 1, .color_type = 2, .rows = {1, 2, 3, 4, 5, 6}, .trns_rgb = 0x040506},
       Kind::kArgb32, {3, 2, 1, 255, 6, 5, 4, 0}},
      {"palette with transparency expands to ARGB32",
       {.width = 2, .height = 1, .color_type = 3, .rows = {0, 1},
        .palette = {0x0A141E, 0xC86432}, .palette_alpha = {0}},
       Kind::kArgb32, {0x1E, 0x14, 0x0A, 0x00, 0x32, 0x64, 0xC8, 0xFF}},
      {"grey with a transparent value gains the alpha byte",
       {.width = 2, .height = 1, .color_type = 0, .rows = {100, 7}, .trns_grey = 100},
       Kind::kGreyAlpha16, {100, 0, 7, 255}},
      {"grey with alpha",
       {.width = 2, .height = 1, .color_type = 4, .rows = {10, 20, 30, 40}},
       Kind::kGreyAlpha16, {10, 20, 30, 40}},
      {"1-bit grey scales to 0 and 255",
       {.width = 3, .height = 1, .bit_depth = 1, .color_type = 0, .rows = {0xA0}},
       Kind::kGrey8, {255, 0, 255}},
      {"2-bit grey",
       {.width = 4, .height = 1, .bit_depth = 2, .color_type = 0, .rows = {0x1B}},
       Kind::kGrey8, {0, 85, 170, 255}},
      {"16-bit grey",
       {.width = 2, .height = 1, .bit_depth = 16, .color_type = 0, .rows = {0x80, 0xFF, 0x01, 0x00}},
       Kind::kGrey8, {0x80, 0x01}},
      {"interlaced rows come out in order",
       {.width = 3, .height = 3, .color_type = 0, .interlaced = true,
        .rows = {1, 2, 3, 4, 5, 6, 7, 8, 9}},
       Kind::kGrey8, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
  };
  for (const PngCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> file = BuildPngFile(c.file);
    ASSERT_FALSE(file.empty());
    OwnedImage image;
    DecodeBytes(file, DecodePngStream, &image);
    ASSERT_EQ(0, image.result);
    EXPECT_EQ(static_cast<int>(c.file.width), image->Width);
    EXPECT_EQ(static_cast<int>(c.file.height), image->Height);
    ExpectKind(image.image, c.kind);
    EXPECT_EQ(c.bytes, Bytes(image));
    // The whole list finds the same image.
    OwnedImage listed;
    DecodeBytes(file, nullptr, &listed);
    ASSERT_EQ(0, listed.result);
    ExpectSameImage(image.image, listed.image);
  }
}

TEST(PngDecode, PaletteHoldsTheFileEntriesThenZeros) {
  PngFile file{.width = 2, .height = 1, .color_type = 3, .rows = {0, 1},
               .palette = {0x0A141E, 0xC86432}};
  OwnedImage image;
  DecodeBytes(BuildPngFile(file), DecodePngStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ((std::vector<uint8_t>{0x1E, 0x14, 0x0A, 0}), PaletteEntry(image.image, 0));
  EXPECT_EQ((std::vector<uint8_t>{0x32, 0x64, 0xC8, 0}), PaletteEntry(image.image, 1));
  for (int i = 2; i < 256; ++i) EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), PaletteEntry(image.image, i));
  EXPECT_EQ(0x000A141Eu, ImageColors(image.image)[0]);
}

TEST(PngDecode, GreyAlphaPixelsReadAsGreyWithoutAlpha) {
  PngFile file{.width = 1, .height = 1, .color_type = 4, .rows = {90, 33}};
  OwnedImage image;
  DecodeBytes(BuildPngFile(file), DecodePngStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(0x005A5A5Au, ImageColors(image.image)[0]);
}

TEST(PngDecode, StreamStartingInsideALargerFileReadsOnlyWhatFollows) {
  PngFile png{.width = 2, .height = 1, .color_type = 2, .rows = {1, 2, 3, 4, 5, 6}};
  const std::vector<uint8_t> body = BuildPngFile(png);
  std::vector<uint8_t> bytes(37, 0xEE);
  bytes.insert(bytes.end(), body.begin(), body.end());
  MemoryStream* stream = OpenMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size()));
  ASSERT_NE(stream, nullptr);
  const StreamOps* ops = GetMemoryStreamOps();
  ASSERT_EQ(0, ops->seek(MemoryStreamHandle(stream), 37, 0));
  GraphImage image{};
  ASSERT_EQ(0, DecodePngStream(ops, MemoryStreamHandle(stream), &image));
  EXPECT_EQ(static_cast<int32_t>(bytes.size()), ops->tell(MemoryStreamHandle(stream)));
  EXPECT_EQ((std::vector<uint8_t>{3, 2, 1, 6, 5, 4}), ImageRowBytes(image));
  ReleaseGraphImage(&image);
  // Cut one byte short of the end: the reader must not look past it.
  MemoryStream* shorter = OpenMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size() - 1));
  ASSERT_EQ(0, ops->seek(MemoryStreamHandle(shorter), 37, 0));
  EXPECT_EQ(-1, DecodePngStream(ops, MemoryStreamHandle(shorter), &image));
  EXPECT_EQ(nullptr, image.Pixels);
  ops->close(MemoryStreamHandle(shorter));
  ops->close(MemoryStreamHandle(stream));
}

// ---- damaged files ----

TEST(CodedImageDamage, TruncatedOrCorruptedPngIsRefused) {
  for (const SampleImageFile& sample : SamplePngFiles()) {
    SCOPED_TRACE(sample.name);
    const std::vector<uint8_t>& bytes = sample.bytes;
    for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, size_t{20}, size_t{33}, bytes.size() / 2,
                       bytes.size() - 13, bytes.size() - 1}) {
      SCOPED_TRACE(cut);
      OwnedImage image;
      DecodeBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), DecodePngStream, &image);
      EXPECT_EQ(-1, image.result);
      EXPECT_EQ(nullptr, image->Pixels);
    }
    // A flipped byte in each chunk after the header breaks its checksum or
    // its data.
    for (size_t at = 16; at < bytes.size(); at += 11) {
      std::vector<uint8_t> damaged = bytes;
      damaged[at] ^= 0x5A;
      OwnedImage image;
      DecodeBytes(damaged, DecodePngStream, &image);
      if (image.result == 0) {
        EXPECT_TRUE(IsGraphImageSizeAllowed(image->Width, image->Height, image->Pitch));
      } else {
        EXPECT_EQ(nullptr, image->Pixels);
      }
    }
  }
}

std::vector<uint8_t> SampleJpeg(int components, uint32_t width, uint32_t height) {
  JpegFile file{.width = width, .height = height, .components = components};
  file.samples.resize(size_t{width} * height * components);
  for (size_t i = 0; i < file.samples.size(); ++i) file.samples[i] = static_cast<uint8_t>(i * 3);
  return BuildJpegFile(file);
}

TEST(JpegDecode, GreyAndColour) {
  OwnedImage grey;
  DecodeBytes(SampleJpeg(1, 5, 3), DecodeJpegStream, &grey);
  ASSERT_EQ(0, grey.result);
  EXPECT_EQ(5, grey->Width);
  EXPECT_EQ(3, grey->Height);
  EXPECT_EQ(5, grey->Pitch);
  EXPECT_EQ(8, grey->Format.BitDepth);
  EXPECT_EQ((std::vector<uint8_t>{255, 255, 255, 0}), PaletteEntry(grey.image, 255));

  // A flat colour survives the lossy coding closely, in blue, green, red
  // order.
  JpegFile flat{.width = 7, .height = 5, .components = 3};
  for (int i = 0; i < 35; ++i) flat.samples.insert(flat.samples.end(), {200, 100, 30});
  OwnedImage colour;
  DecodeBytes(BuildJpegFile(flat), nullptr, &colour);
  ASSERT_EQ(0, colour.result);
  EXPECT_EQ(21, colour->Pitch);
  EXPECT_EQ(24, colour->Format.BitDepth);
  const std::vector<uint8_t> bytes = Bytes(colour);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    EXPECT_NEAR(30, bytes[i], 3);
    EXPECT_NEAR(100, bytes[i + 1], 3);
    EXPECT_NEAR(200, bytes[i + 2], 3);
  }
}

TEST(JpegDecode, FourComponentsAreLeftToTheNextReader) {
  OwnedImage image;
  DecodeBytes(SampleJpeg(4, 8, 8), DecodeJpegStream, &image);
  EXPECT_EQ(-1, image.result);
  EXPECT_EQ(nullptr, image->Pixels);
}

TEST(CodedImageDamage, TruncatedJpegDecodesToTheEndEmptyFails) {
  const std::vector<uint8_t> whole = SampleJpeg(3, 32, 32);
  OwnedImage full;
  DecodeBytes(whole, DecodeJpegStream, &full);
  ASSERT_EQ(0, full.result);
  // Cut inside the scan: libjpeg's premature-end warning and the fake end
  // code give a whole image whose top rows match.
  OwnedImage cut;
  DecodeBytes(std::vector<uint8_t>(whole.begin(), whole.end() - whole.size() / 4), DecodeJpegStream,
              &cut);
  ASSERT_EQ(0, cut.result);
  EXPECT_EQ(32, cut->Width);
  EXPECT_EQ(32, cut->Height);
  EXPECT_TRUE(std::equal(full->Pixels, full->Pixels + full->Pitch, cut->Pixels));

  OwnedImage empty;
  DecodeBytes({}, DecodeJpegStream, &empty);
  EXPECT_EQ(-1, empty.result);
  // Cut before the frame header: nothing to decode.
  for (size_t keep : {size_t{1}, size_t{2}, size_t{25}}) {
    OwnedImage header;
    DecodeBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + keep), DecodeJpegStream, &header);
    EXPECT_EQ(-1, header.result);
    EXPECT_EQ(nullptr, header->Pixels);
  }
}

// ---- sizes out of proportion ----

// The largest single allocation made while the function runs (0 without
// the sanitizer's allocator hooks).
#ifdef VESK_TEST_ASAN
size_t g_largest = 0;
void NoteMalloc(const volatile void*, size_t size) { g_largest = std::max(g_largest, size); }
void NoteFree(const volatile void*) {}
#endif
template <typename F>
size_t LargestAllocation(F&& run) {
#ifdef VESK_TEST_ASAN
  g_largest = 0;
  __sanitizer_install_malloc_and_free_hooks(NoteMalloc, NoteFree);
  run();
  __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
  return g_largest;
#else
  run();
  return 0;
#endif
}

// Big-endian 32-bit field and the chunk's checksum patched after it.
void PatchPngSize(std::vector<uint8_t>* png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    (*png)[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    (*png)[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 12; i < 29; ++i) {
    crc ^= (*png)[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc ^= 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) (*png)[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

TEST(CodedImageDamage, HugeDeclaredSizesAreRefusedBeforeAllocating) {
  PngFile small{.width = 4, .height = 4, .color_type = 6};
  const std::vector<uint8_t> base = BuildPngFile(small);
#ifdef VESK_TEST_ASAN
  {
    // The hooks see the allocations of a decode.
    OwnedImage image;
    EXPECT_GE(LargestAllocation([&] { DecodeBytes(base, nullptr, &image); }), size_t{64});
    EXPECT_EQ(0, image.result);
  }
#endif
  struct Size {
    uint32_t width, height;
  };
  for (Size size : {Size{8192, 8192}, Size{16384, 16384}, Size{16385, 1}, Size{0x7FFFFFFF, 1},
                    Size{100000, 100000}}) {
    SCOPED_TRACE(size.width);
    std::vector<uint8_t> png = base;
    PatchPngSize(&png, size.width, size.height);
    OwnedImage image;
    const size_t largest = LargestAllocation([&] { DecodeBytes(png, nullptr, &image); });
    EXPECT_EQ(-1, image.result);
    EXPECT_LT(largest, size_t{16} << 20);
  }

  std::vector<uint8_t> jpeg = SampleJpeg(3, 16, 16);
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = 0x1F;  // height 8000
      jpeg[i + 6] = 0x40;
      jpeg[i + 7] = 0x1F;  // width 8000
      jpeg[i + 8] = 0x40;
      break;
    }
  }
  OwnedImage image;
  const size_t largest = LargestAllocation([&] { DecodeBytes(jpeg, DecodeJpegStream, &image); });
  EXPECT_EQ(-1, image.result);
  EXPECT_LT(largest, size_t{16} << 20);
}

TEST(CodedImageDamage, LargeImagesThatTheirDataCanHoldDecode) {
  // 2,048 x 2,048 flat RGB: 12 MiB decoded from a few kilobytes.
  PngFile png{.width = 2048, .height = 2048, .color_type = 2, .level = 9};
  png.rows.assign(size_t{2048} * 2048 * 3, 0x40);
  OwnedImage image;
  DecodeBytes(BuildPngFile(png), DecodePngStream, &image);
  ASSERT_EQ(0, image.result);
  EXPECT_EQ(2048 * 3, image->Pitch);
}

}  // namespace
