// Device contexts: conversions of BitBlt, DIB transfers to the window and
// back (the software renderer's present and read-back), surface contexts on
// the primary, and what the transfers refuse.
#include <cstdint>
#include <cstring>
#include <vector>

#include "display/display_fixture.h"

namespace display_test {
namespace {

const PixelFormat k565 = Rgb565Format();
const PixelFormat k555 = Rgb555Format();
const PixelFormat kX888 = Xrgb8888Format();
const PixelFormat kIndexed = Indexed8Format();

DibDescription TopDown565(int32_t w, int32_t h) {
  DibDescription d;
  d.width = w;
  d.height = -h;
  d.bit_count = 16;
  d.compression = DibCompression::kBitfields;
  d.red_mask = 0xF800;
  d.green_mask = 0x7E0;
  d.blue_mask = 0x1F;
  return d;
}

DibDescription Rgb24(int32_t w, int32_t h) {
  DibDescription d;
  d.width = w;
  d.height = h;  // bottom-up
  d.bit_count = 24;
  return d;
}

// 0x00RRGGBB of a 5-6-5 pixel widened by bit replication.
uint32_t Widen565(uint16_t p) {
  const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

uint16_t Pixel565(int32_t x, int32_t y) { return static_cast<uint16_t>(x * 97 + y * 1021 + (x ^ y)); }

// A 24-bit picture of a context's top-left pixels through a memory bitmap.
std::vector<uint32_t> Read24(DeviceContext* from, int32_t x, int32_t y, int32_t w) {
  const DibDescription desc = Rgb24(w, 1);
  BitmapPtr bitmap = CreateDibBitmap(desc, nullptr);
  DeviceContextPtr memory = CreateCompatibleDC(nullptr);
  memory->SelectBitmap(bitmap);
  EXPECT_TRUE(BitBlt(memory.get(), 0, 0, w, 1, from, x, y));
  std::vector<uint8_t> bytes(static_cast<size_t>(DibStride(w, 24)));
  EXPECT_EQ(GetDIBits(memory.get(), bitmap.get(), 0, 1, bytes.data(), desc), 1);
  std::vector<uint32_t> rgb;
  for (int32_t i = 0; i < w; ++i) {
    rgb.push_back(uint32_t{bytes[3 * i + 2]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i]);
  }
  return rgb;
}

// BitBlt converts between formats: 5- and 6-bit channels widen by bit
// replication; indexed pixels go through their palette.
TEST_F(DisplayTest, BitBltWidensChannelsByBitReplication) {
  struct Case {
    const PixelFormat* format;
    uint32_t pixel;
    uint32_t rgb;
  };
  const Case cases[] = {
      {&k565, 0xFFFF, 0xFFFFFF}, {&k565, 0x8410, 0x848284}, {&k565, 0xF800, 0xFF0000},
      {&k565, 0x07E0, 0x00FF00}, {&k565, 0x0000, 0x000000}, {&k555, 0x7FFF, 0xFFFFFF},
      {&k555, 0x4210, 0x848484}, {&kX888, 0x00123456, 0x123456}, {&kIndexed, 3, 0x010203},
  };
  PaletteEntry entries[256] = {};
  entries[3] = PaletteEntry{1, 2, 3, 0};
  PalettePtr palette;
  ASSERT_EQ(device_->CreatePalette(kPalette8Bit, entries, &palette), Result::kOk);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format->bit_count << " bits, pixel " << std::hex << c.pixel);
    SurfacePtr src = MakeSurface(kCapsOffscreenPlain, 4, 1, c.format);
    if (c.format == &kIndexed) {
      ASSERT_EQ(src->SetPalette(palette), Result::kOk);
    }
    FillWith(*src, [&](int32_t, int32_t) { return c.pixel; });
    DeviceContextPtr dc;
    ASSERT_EQ(src->GetDC(&dc), Result::kOk);
    EXPECT_EQ(Read24(dc.get(), 0, 0, 4), std::vector<uint32_t>(4, c.rgb));
    // And onto a 32-bit surface through its context.
    SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, 4, 1, &kX888);
    DeviceContextPtr to;
    ASSERT_EQ(dst->GetDC(&to), Result::kOk);
    ASSERT_TRUE(BitBlt(to.get(), 1, 0, 2, 1, dc.get(), 0, 0));
    ASSERT_EQ(dst->ReleaseDC(std::move(to)), Result::kOk);
    EXPECT_EQ(ReadPixel(*dst, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(*dst, 1, 0), c.rgb);
    EXPECT_EQ(ReadPixel(*dst, 2, 0), c.rgb);
    EXPECT_EQ(ReadPixel(*dst, 3, 0), 0u);
  }
}

// A pixel written to an indexed target becomes the nearest palette entry,
// the first of equally near ones.
TEST_F(DisplayTest, BitBltToIndexedTakesTheFirstNearestEntry) {
  PaletteEntry entries[256];
  for (PaletteEntry& e : entries) e = PaletteEntry{255, 255, 255, 0};
  entries[0] = PaletteEntry{0, 0, 0, 0};
  entries[1] = PaletteEntry{20, 0, 0, 0};
  entries[2] = PaletteEntry{10, 10, 10, 0};
  entries[3] = PaletteEntry{10, 10, 10, 0};
  PalettePtr palette;
  ASSERT_EQ(device_->CreatePalette(kPalette8Bit, entries, &palette), Result::kOk);
  SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, 5, 1, &kIndexed);
  ASSERT_EQ(dst->SetPalette(palette), Result::kOk);
  SurfacePtr src = MakeSurface(kCapsOffscreenPlain, 5, 1, &kX888);
  const uint32_t colours[5] = {0x0A0000, 0x0A0A0A, 0x130000, 0xFFFFFF, 0xF0F0F0};
  const uint32_t expected[5] = {0, 2, 1, 4, 4};
  FillWith(*src, [&](int32_t x, int32_t) { return colours[x]; });
  DeviceContextPtr from, to;
  ASSERT_EQ(src->GetDC(&from), Result::kOk);
  ASSERT_EQ(dst->GetDC(&to), Result::kOk);
  ASSERT_TRUE(BitBlt(to.get(), 0, 0, 5, 1, from.get(), 0, 0));
  to.reset();
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(ReadPixel(*dst, x, 0), expected[x]) << x;
}

// The software present: a top-down 5-6-5 DIB set on the window's context at
// scale 1, stretched at scale 2; then read back through a compatible bitmap
// as the front-screen read-back does, round trip exact.
TEST_F(DisplayTest, DibTransfersToTheWindowAndBack) {
  const int32_t w = kClientWidth, h = kClientHeight;
  std::vector<uint16_t> frame(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) frame[static_cast<size_t>(y) * w + x] = Pixel565(x, y);
  }
  const DibDescription desc = TopDown565(w, h);
  DeviceContextPtr window = GetWindowDC();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->GetDeviceCaps(DeviceCapIndex::kBitsPerPixel), 32);
  EXPECT_EQ(window->GetDeviceCaps(DeviceCapIndex::kPlanes), 1);
  EXPECT_EQ(window->GetDeviceCaps(DeviceCapIndex::kVerticalRefresh), 60);
  EXPECT_EQ(window->GetDeviceCaps(DeviceCapIndex::kHorizontalResolution), 1024);
  ASSERT_EQ(SetDIBitsToDevice(window.get(), 0, 0, w, h, 0, 0, 0, h, frame.data(), desc), h);
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  for (int32_t y = 0; y < h; y += 3) {
    for (int32_t x = 0; x < w; x += 7) ASSERT_EQ(image.Rgb(x, y), Widen565(Pixel565(x, y)));
  }

  // Read back: window -> compatible bitmap -> the 5-6-5 DIB's format.
  DeviceContextPtr memory = CreateCompatibleDC(window.get());
  BitmapPtr bitmap = CreateCompatibleBitmap(window.get(), w, h);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->format(), kX888);
  EXPECT_EQ(memory->SelectBitmap(bitmap), nullptr);
  ASSERT_TRUE(BitBlt(memory.get(), 0, 0, w, h, window.get(), 0, 0));
  std::vector<uint16_t> back(frame.size(), 0);
  ASSERT_EQ(GetDIBits(memory.get(), bitmap.get(), 0, h, back.data(), desc), h);
  EXPECT_EQ(back, frame);

  // Scale 2: the window is twice the screen, the DIB stretched into it.
  platform::SetMainWindowGeometry(kClientLeft, kClientTop, 2 * w, 2 * h);
  window = GetWindowDC();
  ASSERT_EQ(StretchDIBits(window.get(), 0, 0, 2 * w, 2 * h, 0, 0, w, h, frame.data(), desc), h);
  ASSERT_TRUE(CopyWindowImage(&image));
  ASSERT_EQ(image.width, 2 * w);
  for (int32_t y = 0; y < 2 * h; y += 5) {
    for (int32_t x = 0; x < 2 * w; x += 3) ASSERT_EQ(image.Rgb(x, y), Widen565(Pixel565(x / 2, y / 2)));
  }
}

// DIB source y counts from the bottom edge whatever the row order, so a
// top-down DIB's rows 20..59 are source y = height - 60; a bottom-up DIB
// stores its last row first; SetDIBitsToDevice sets only the scans given.
TEST_F(DisplayTest, DibRowsAndScansCountFromTheBottom) {
  const int32_t w = 64, h = 80;
  std::vector<uint16_t> frame(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) frame[static_cast<size_t>(y) * w + x] = Pixel565(x, y);
  }
  DeviceContextPtr window = GetWindowDC();
  const Rect r{10, 20, 50, 60};
  ASSERT_EQ(StretchDIBits(window.get(), r.left, r.top, r.Width(), r.Height(), r.left, h - r.bottom,
                          r.Width(), r.Height(), frame.data(), TopDown565(w, h)),
            r.Height());
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(10, 20), Widen565(Pixel565(10, 20)));
  EXPECT_EQ(image.Rgb(49, 59), Widen565(Pixel565(49, 59)));
  EXPECT_EQ(image.Rgb(10, 60), 0u);
  EXPECT_EQ(image.Rgb(9, 20), 0u);

  // A bottom-up 24-bit DIB of 3 rows, 1 pixel each: red, green, blue stored
  // bottom first, so the top row is blue.
  const uint8_t rows[3][4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
  ASSERT_EQ(StretchDIBits(window.get(), 0, 100, 1, 3, 0, 0, 1, 3, rows, Rgb24(1, 3)), 3);
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(0, 100), 0x0000FFu);
  EXPECT_EQ(image.Rgb(0, 101), 0x00FF00u);
  EXPECT_EQ(image.Rgb(0, 102), 0xFF0000u);

  // Scans 1 and 2 of a 4-row bottom-up DIB: image rows 1 and 2 only.
  const uint8_t scans[2][4] = {{1, 1, 1, 0}, {2, 2, 2, 0}};  // scan 1, scan 2
  ASSERT_EQ(SetDIBitsToDevice(window.get(), 200, 0, 1, 4, 0, 0, 1, 2, scans, Rgb24(1, 4)), 2);
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(200, 0), 0u);
  EXPECT_EQ(image.Rgb(200, 1), 0x020202u);
  EXPECT_EQ(image.Rgb(200, 2), 0x010101u);
  EXPECT_EQ(image.Rgb(200, 3), 0u);
}

// The primary's context addresses the desktop: inside the client area it
// reads the window image, outside it reads 0 and drops writes.
TEST_F(DisplayTest, PrimaryContextReadsZeroOutsideTheClientArea) {
  SurfacePtr primary = MakePrimary();
  DeviceContextPtr window = GetWindowDC();
  const uint16_t white = 0xFFFF;
  ASSERT_EQ(StretchDIBits(window.get(), 0, 0, kClientWidth, kClientHeight, 0, 0, 1, 1, &white,
                          TopDown565(1, 1)),
            1);
  DeviceContextPtr dc;
  ASSERT_EQ(primary->GetDC(&dc), Result::kOk);
  EXPECT_EQ(dc->GetDeviceCaps(DeviceCapIndex::kBitsPerPixel), 32);
  const std::vector<uint32_t> across = Read24(dc.get(), kClientLeft - 2, kClientTop, 4);
  EXPECT_EQ(across, (std::vector<uint32_t>{0, 0, 0xFFFFFF, 0xFFFFFF}));
  // Writes straddling the left edge land only inside.
  SurfacePtr black = MakeSurface(kCapsOffscreenPlain, 4, 1, &kX888);
  DeviceContextPtr from;
  ASSERT_EQ(black->GetDC(&from), Result::kOk);
  ASSERT_TRUE(BitBlt(dc.get(), kClientLeft - 2, kClientTop, 4, 1, from.get(), 0, 0));
  ASSERT_EQ(primary->ReleaseDC(std::move(dc)), Result::kOk);
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(0, 0), 0u);
  EXPECT_EQ(image.Rgb(1, 0), 0u);
  EXPECT_EQ(image.Rgb(2, 0), 0xFFFFFFu);
}

// Transfers refuse what they cannot do and leave the target alone.
TEST_F(DisplayTest, TransfersRefuseBadArguments) {
  DeviceContextPtr window = GetWindowDC();
  DeviceContextPtr empty_memory = CreateCompatibleDC(nullptr);
  const uint16_t pixels[4] = {1, 2, 3, 4};
  const DibDescription good = TopDown565(2, 2);
  DibDescription bad_bits = good;
  bad_bits.bit_count = 4;
  DibDescription no_height = good;
  no_height.height = 0;
  DibDescription fields24 = Rgb24(2, 2);
  fields24.compression = DibCompression::kBitfields;
  EXPECT_FALSE(BitBlt(window.get(), 0, 0, 2, 2, nullptr, 0, 0));
  EXPECT_FALSE(BitBlt(window.get(), 0, 0, 0, 2, window.get(), 0, 0));
  EXPECT_FALSE(BitBlt(window.get(), 0, 0, 2, 2, empty_memory.get(), 0, 0));  // no bitmap
  EXPECT_EQ(SetDIBitsToDevice(window.get(), 0, 0, 2, 2, 0, 0, 0, 2, pixels, bad_bits), 0);
  EXPECT_EQ(SetDIBitsToDevice(window.get(), 0, 0, 2, 2, 0, 0, 2, 1, pixels, good), 0);
  EXPECT_EQ(SetDIBitsToDevice(window.get(), 0, 0, 2, 2, 0, 0, 0, 2, nullptr, good), 0);
  EXPECT_EQ(StretchDIBits(window.get(), 0, 0, 4, 4, 0, 0, 2, 2, pixels, no_height), 0);
  EXPECT_EQ(StretchDIBits(window.get(), 0, 0, 4, 4, 0, 0, 2, 2, pixels, fields24), 0);
  EXPECT_EQ(StretchDIBits(window.get(), 0, 0, 4, 4, 1, 0, 2, 2, pixels, good), 0);  // past the DIB
  EXPECT_EQ(StretchDIBits(window.get(), 0, 0, -4, 4, 0, 0, 2, 2, pixels, good), 0);
  BitmapPtr bitmap = CreateCompatibleBitmap(nullptr, 3, 2);
  uint16_t out[4] = {};
  EXPECT_EQ(GetDIBits(window.get(), bitmap.get(), 0, 2, out, good), 0);  // sizes differ
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(0, 0), 0u);
  EXPECT_EQ(image.Rgb(1, 1), 0u);
}

}  // namespace
}  // namespace display_test
