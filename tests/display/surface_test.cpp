// Off-screen surfaces, textures and depth buffers: pitches, caps, locks,
// busy and lost results, fills, colour keys, stretches, refused rectangles
// and the creation failures and test controls.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "display/display_fixture.h"

namespace display_test {
namespace {

const PixelFormat k565 = Rgb565Format();
const PixelFormat k555 = Rgb555Format();
const PixelFormat kX888 = Xrgb8888Format();
const PixelFormat kA888 = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const PixelFormat k4444 = RgbFormat(16, 0xF00, 0xF0, 0xF, 0xF000);
const PixelFormat kIndexed = Indexed8Format();
const PixelFormat kDepth = Depth16Format();

int32_t Bytes(const PixelFormat& f) { return static_cast<int32_t>(f.bit_count / 8); }

// Every byte of a surface's pixels, row by row without the padding.
std::vector<uint8_t> Snapshot(Surface& s) {
  LockedRect lock;
  EXPECT_EQ(s.Lock(nullptr, kLockReadOnly, &lock), Result::kOk);
  const size_t row = static_cast<size_t>(lock.width) * (lock.format.bit_count / 8);
  std::vector<uint8_t> bytes;
  for (int32_t y = 0; y < lock.height; ++y) {
    bytes.insert(bytes.end(), lock.bits + y * lock.pitch, lock.bits + y * lock.pitch + row);
  }
  s.Unlock();
  return bytes;
}

uint32_t Mask(const PixelFormat& f) {
  return f.bit_count == 32 ? 0xFFFFFFFFu : (1u << f.bit_count) - 1;
}

uint32_t Pattern(int32_t x, int32_t y, const PixelFormat& f) {
  return (static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u) & Mask(f);
}

struct SurfaceKind {
  const char* name;
  uint32_t caps;
  const PixelFormat* format;
  bool video;
};

class SurfaceKindTest : public DisplayTest, public ::testing::WithParamInterface<SurfaceKind> {};

// The pitch is the row rounded up to 64 bytes plus 64, never the row itself;
// the caps name the memory asked for; a rectangle's lock points into the
// whole surface's.
TEST_P(SurfaceKindTest, PitchCapsAndLockPointer) {
  const SurfaceKind& kind = GetParam();
  const int32_t width = 33, height = 7;
  SurfacePtr s = MakeSurface(kind.caps, width, height, kind.format);
  ASSERT_NE(s, nullptr);
  const int32_t row = width * Bytes(*kind.format);
  const int32_t expected_pitch = (row + 63) / 64 * 64 + 64;

  SurfaceDesc desc;
  ASSERT_EQ(s->GetSurfaceDesc(&desc), Result::kOk);
  EXPECT_EQ(desc.width, width);
  EXPECT_EQ(desc.height, height);
  EXPECT_EQ(desc.pitch, expected_pitch);
  EXPECT_EQ(desc.pixel_format.bit_count, kind.format->bit_count);
  EXPECT_EQ((desc.caps & kCapsVideoMemory) != 0, kind.video);
  EXPECT_EQ((desc.caps & kCapsSystemMemory) != 0, !kind.video);

  LockedRect whole;
  ASSERT_EQ(s->Lock(nullptr, kLockWait, &whole), Result::kOk);
  EXPECT_EQ(whole.pitch, expected_pitch);
  EXPECT_NE(whole.pitch, row);
  LockedRect part;
  const Rect r{3, 2, 10, 6};
  ASSERT_EQ(s->Lock(&r, kLockWait, &part), Result::kOk);  // locks nest
  EXPECT_EQ(part.bits, whole.bits + 2 * whole.pitch + 3 * Bytes(*kind.format));
  EXPECT_EQ(part.width, 7);
  EXPECT_EQ(part.height, 4);
  EXPECT_EQ(s->Unlock(), Result::kOk);
  EXPECT_EQ(s->Unlock(), Result::kOk);
  EXPECT_EQ(s->Unlock(), Result::kNotLocked);
}

// Every kind: busy while locked, lost until Restore, which leaves a
// pattern; a blit from a twin works again afterwards.
TEST_P(SurfaceKindTest, BusyAndLostResults) {
  const SurfaceKind& kind = GetParam();
  SurfacePtr s = MakeSurface(kind.caps, 9, 5, kind.format);
  SurfacePtr twin = MakeSurface(kind.caps, 9, 5, kind.format);
  ASSERT_NE(s, nullptr);
  ASSERT_NE(twin, nullptr);
  FillWith(*twin, [&](int32_t x, int32_t y) { return Pattern(x, y, *kind.format); });
  LockedRect lock;
  ASSERT_EQ(s->Lock(nullptr, 0, &lock), Result::kOk);
  EXPECT_EQ(s->Blt(nullptr, twin.get(), nullptr, 0, nullptr), Result::kSurfaceBusy);
  EXPECT_EQ(twin->BltFast(0, 0, s.get(), nullptr, 0), Result::kSurfaceBusy);
  ASSERT_EQ(s->Unlock(), Result::kOk);
  test::MarkSurfaceLost(*s);
  EXPECT_EQ(s->Lock(nullptr, 0, &lock), Result::kSurfaceLost);
  EXPECT_EQ(s->Blt(nullptr, twin.get(), nullptr, 0, nullptr), Result::kSurfaceLost);
  EXPECT_EQ(twin->BltFast(0, 0, s.get(), nullptr, 0), Result::kSurfaceLost);
  ASSERT_EQ(s->Restore(), Result::kOk);
  EXPECT_NE(Snapshot(*s), Snapshot(*twin));
  ASSERT_EQ(s->BltFast(0, 0, twin.get(), nullptr, kBltFastWait), Result::kOk);
  EXPECT_EQ(Snapshot(*s), Snapshot(*twin));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SurfaceKindTest,
    ::testing::Values(SurfaceKind{"plain_system_565", kCapsOffscreenPlain | kCapsSystemMemory, &k565, false},
                      SurfaceKind{"plain_video_x888", kCapsOffscreenPlain | kCapsVideoMemory, &kX888, true},
                      SurfaceKind{"plain_3d_555", kCapsOffscreenPlain | kCaps3DDevice, &k555, true},
                      SurfaceKind{"plain_default_indexed", kCapsOffscreenPlain, &kIndexed, false},
                      SurfaceKind{"texture_managed_a888", kCapsTexture | kCapsTextureManage, &kA888, false},
                      SurfaceKind{"texture_target_4444", kCapsTexture | kCaps3DDevice, &k4444, true},
                      SurfaceKind{"depth_system", kCapsZBuffer, &kDepth, false},
                      SurfaceKind{"depth_video", kCapsZBuffer | kCapsVideoMemory, &kDepth, true}),
    [](const ::testing::TestParamInfo<SurfaceKind>& info) { return std::string(info.param.name); });

// A surface without a format takes the display's: X8R8G8B8 on the desktop.
TEST_F(DisplayTest, SurfaceWithoutFormatTakesTheDisplays) {
  SurfacePtr s = MakeSurface(kCapsOffscreenPlain, 8, 8);
  PixelFormat format;
  ASSERT_EQ(s->GetPixelFormat(&format), Result::kOk);
  EXPECT_EQ(format, kX888);
}

// While locked, or while its device context is out, a surface refuses blits
// from and to it, Flip partners and a device context; locks nest.
TEST_F(DisplayTest, BusySurfacesRefuseBlitsAndContexts) {
  SurfacePtr a = MakeSurface(kCapsOffscreenPlain, 16, 16, &k565);
  SurfacePtr b = MakeSurface(kCapsOffscreenPlain, 16, 16, &k565);
  const BltFx fx{0x1234, 0};
  LockedRect lock;
  ASSERT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  ASSERT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  const std::vector<uint8_t> before = Snapshot(*b);  // b is not busy
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, kBltWait, nullptr), Result::kSurfaceBusy);
  EXPECT_EQ(b->Blt(nullptr, a.get(), nullptr, kBltWait, nullptr), Result::kSurfaceBusy);
  EXPECT_EQ(a->Blt(nullptr, nullptr, nullptr, kBltColorFill, &fx), Result::kSurfaceBusy);
  EXPECT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), Result::kSurfaceBusy);
  EXPECT_EQ(b->BltFast(0, 0, a.get(), nullptr, 0), Result::kSurfaceBusy);
  DeviceContextPtr dc;
  EXPECT_EQ(a->GetDC(&dc), Result::kSurfaceBusy);
  EXPECT_EQ(dc, nullptr);
  EXPECT_EQ(Snapshot(*b), before);
  EXPECT_EQ(a->Unlock(), Result::kOk);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), Result::kSurfaceBusy);  // one lock left
  EXPECT_EQ(a->Unlock(), Result::kOk);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), Result::kOk);

  ASSERT_EQ(a->GetDC(&dc), Result::kOk);
  DeviceContextPtr second;
  EXPECT_EQ(a->GetDC(&second), Result::kDcAlreadyCreated);
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kSurfaceBusy);
  EXPECT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), Result::kSurfaceBusy);
  EXPECT_EQ(b->ReleaseDC(std::move(second)), Result::kInvalidParams);
  EXPECT_EQ(a->ReleaseDC(std::move(dc)), Result::kOk);
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  a->Unlock();

  // A context dropped without ReleaseDC gives the surface back too.
  ASSERT_EQ(a->GetDC(&dc), Result::kOk);
  dc.reset();
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  a->Unlock();
}

// A lost surface answers kSurfaceLost, as a source too, until Restore, after
// which it holds a pattern and not its old pixels.
TEST_F(DisplayTest, LostSurfacesUntilRestoreWhichKeepsAPattern) {
  SurfacePtr a = MakeSurface(kCapsOffscreenPlain | kCapsVideoMemory, 8, 4, &kX888);
  SurfacePtr b = MakeSurface(kCapsOffscreenPlain | kCapsSystemMemory, 8, 4, &kX888);
  FillWith(*a, [](int32_t, int32_t) { return 0x00112233u; });
  test::MarkSurfaceLost(*a);
  LockedRect lock;
  DeviceContextPtr dc;
  const BltFx fx{};
  EXPECT_EQ(a->IsLost(), Result::kSurfaceLost);
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kSurfaceLost);
  EXPECT_EQ(a->Blt(nullptr, nullptr, nullptr, kBltColorFill, &fx), Result::kSurfaceLost);
  EXPECT_EQ(b->Blt(nullptr, a.get(), nullptr, 0, nullptr), Result::kSurfaceLost);
  EXPECT_EQ(b->BltFast(0, 0, a.get(), nullptr, 0), Result::kSurfaceLost);
  EXPECT_EQ(a->GetDC(&dc), Result::kSurfaceLost);
  EXPECT_EQ(b->IsLost(), Result::kOk);

  EXPECT_EQ(a->Restore(), Result::kOk);
  EXPECT_EQ(a->IsLost(), Result::kOk);
  const std::vector<uint8_t> restored = Snapshot(*a);
  EXPECT_NE(restored, std::vector<uint8_t>(restored.size(), 0));
  bool old_pixel_kept = false;
  for (size_t i = 0; i + 4 <= restored.size(); i += 4) {
    old_pixel_kept |= restored[i] == 0x33 && restored[i + 1] == 0x22 && restored[i + 2] == 0x11;
  }
  EXPECT_FALSE(old_pixel_kept);

  test::MarkAllSurfacesLost();
  EXPECT_EQ(a->IsLost(), Result::kSurfaceLost);
  EXPECT_EQ(b->IsLost(), Result::kSurfaceLost);
}

// A colour fill writes only the surface's low bits of the value; a depth
// fill only goes to depth buffers; pixels outside the rectangle stay.
TEST_F(DisplayTest, FillsWriteTheLowBitsInsideTheRectangle) {
  struct Case {
    const PixelFormat* format;
    uint32_t caps;
    uint32_t flags;
    uint32_t written;
  };
  const Case cases[] = {
      {&k565, kCapsOffscreenPlain, kBltColorFill, 0x5678},
      {&kIndexed, kCapsOffscreenPlain, kBltColorFill, 0x78},
      {&kX888, kCapsOffscreenPlain, kBltColorFill, 0x12345678},
      {&kDepth, kCapsZBuffer, kBltDepthFill, 0xBEEF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format->bit_count);
    SurfacePtr s = MakeSurface(c.caps, 10, 6, c.format);
    const BltFx fx{0x12345678, 0xCAFEBEEF};
    const Rect r{2, 1, 7, 4};
    ASSERT_EQ(s->Blt(&r, nullptr, nullptr, c.flags | kBltWait, &fx), Result::kOk);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 10; ++x) {
        const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
        ASSERT_EQ(ReadPixel(*s, x, y), inside ? c.written : 0u) << x << "," << y;
      }
    }
  }
  SurfacePtr colour = MakeSurface(kCapsOffscreenPlain, 4, 4, &k565);
  const BltFx fx{};
  EXPECT_EQ(colour->Blt(nullptr, nullptr, nullptr, kBltDepthFill, &fx), Result::kInvalidParams);
  EXPECT_EQ(colour->Blt(nullptr, nullptr, nullptr, kBltColorFill, nullptr), Result::kInvalidParams);
}

// Source colour keys: BltFast with the key flag and Blt with kBltKeySource
// skip the key's pixels (a range low..high too); without the flag every
// pixel is copied; a key is needed for the flag.
TEST_F(DisplayTest, ColorKeysSkipKeyPixels) {
  for (const PixelFormat* format : {&kIndexed, &k565, &kX888}) {
    SCOPED_TRACE(format->bit_count);
    SurfacePtr src = MakeSurface(kCapsOffscreenPlain, 6, 3, format);
    SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, 8, 5, format);
    // Source pixels 1..18; the key is 5, the range 7..9.
    FillWith(*src, [](int32_t x, int32_t y) { return static_cast<uint32_t>(1 + x + 6 * y); });
    const uint32_t background = 0xEE;
    auto reset = [&] {
      const BltFx fx{background, 0};
      ASSERT_EQ(dst->Blt(nullptr, nullptr, nullptr, kBltColorFill, &fx), Result::kOk);
    };
    EXPECT_EQ(dst->BltFast(1, 1, src.get(), nullptr, kBltFastSourceColorKey), Result::kNoColorKey);
    EXPECT_EQ(dst->Blt(nullptr, src.get(), nullptr, kBltKeySource, nullptr), Result::kNoColorKey);

    struct KeyCase {
      ColorKey key;
      bool fast;
      uint32_t flags;
    };
    const KeyCase key_cases[] = {
        {{5, 5}, true, kBltFastSourceColorKey | kBltFastWait},
        {{7, 9}, true, kBltFastSourceColorKey},
        {{5, 5}, true, kBltFastNoColorKey},
        {{5, 5}, false, kBltKeySource | kBltWait},
        {{7, 9}, false, kBltKeySource},
        {{5, 5}, false, kBltWait},
    };
    for (const KeyCase& k : key_cases) {
      reset();
      ASSERT_EQ(src->SetColorKey(kColorKeySourceBlt, &k.key), Result::kOk);
      const Rect to{1, 1, 7, 4};
      ASSERT_EQ(k.fast ? dst->BltFast(1, 1, src.get(), nullptr, k.flags)
                       : dst->Blt(&to, src.get(), nullptr, k.flags, nullptr),
                Result::kOk);
      const bool keyed = (k.fast ? k.flags & kBltFastSourceColorKey : k.flags & kBltKeySource) != 0;
      for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
          const uint32_t v = static_cast<uint32_t>(1 + x + 6 * y);
          const bool skipped = keyed && v >= k.key.low && v <= k.key.high;
          ASSERT_EQ(ReadPixel(*dst, 1 + x, 1 + y), skipped ? background : v) << x << "," << y;
        }
      }
    }
    ColorKey key;
    EXPECT_EQ(src->GetColorKey(kColorKeySourceBlt, &key), Result::kOk);
    EXPECT_EQ(src->SetColorKey(kColorKeySourceBlt, nullptr), Result::kOk);
    EXPECT_EQ(src->GetColorKey(kColorKeySourceBlt, &key), Result::kNoColorKey);
  }
}

// The stretch takes source x = left + dx * sw / dw (and likewise y), checked
// against a plain reference for 2x, 3 -> 2 and an uneven stretch, with and
// without a key.
TEST_F(DisplayTest, StretchesTakeTheNearestSourcePixel) {
  struct Case {
    Rect src;
    Rect dst;
  };
  const Case cases[] = {
      {{0, 0, 20, 15}, {0, 0, 40, 30}},    // 2x
      {{3, 1, 18, 13}, {1, 2, 31, 26}},    // 2x inside both surfaces
      {{0, 0, 21, 15}, {5, 4, 19, 14}},    // 3 -> 2
      {{2, 3, 9, 10}, {0, 0, 41, 17}},     // uneven
  };
  for (const PixelFormat* format : {&kIndexed, &k565, &kX888}) {
    for (bool keyed : {false, true}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << format->bit_count << " keyed " << keyed << " to "
                                        << c.dst.Width() << "x" << c.dst.Height());
        SurfacePtr src = MakeSurface(kCapsOffscreenPlain, 24, 16, format);
        SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, 48, 32, format);
        FillWith(*src, [&](int32_t x, int32_t y) { return Pattern(x, y, *format) | 1; });
        const ColorKey key{Pattern(5, 5, *format) | 1, Pattern(5, 5, *format) | 1};
        ASSERT_EQ(src->SetColorKey(kColorKeySourceBlt, &key), Result::kOk);
        ASSERT_EQ(dst->Blt(&c.dst, src.get(), &c.src, keyed ? uint32_t{kBltKeySource} : 0u, nullptr),
                  Result::kOk);
        for (int32_t y = 0; y < 32; ++y) {
          for (int32_t x = 0; x < 48; ++x) {
            uint32_t expected = 0;
            if (x >= c.dst.left && x < c.dst.right && y >= c.dst.top && y < c.dst.bottom) {
              const int32_t sx = c.src.left + (x - c.dst.left) * c.src.Width() / c.dst.Width();
              const int32_t sy = c.src.top + (y - c.dst.top) * c.src.Height() / c.dst.Height();
              expected = Pattern(sx, sy, *format) | 1;
              if (keyed && expected == key.low) expected = 0;
            }
            ASSERT_EQ(ReadPixel(*dst, x, y), expected) << x << "," << y;
          }
        }
      }
    }
  }
}

// Rectangles that are empty, inverted or outside a surface, and blits
// between formats, are refused and write nothing.
TEST_F(DisplayTest, RefusedRectanglesWriteNothing) {
  SurfacePtr src = MakeSurface(kCapsOffscreenPlain, 16, 16, &k565);
  SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, 20, 10, &k565);
  SurfacePtr other = MakeSurface(kCapsOffscreenPlain, 16, 16, &kX888);
  FillWith(*src, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x + 16 * y + 1); });
  const std::vector<uint8_t> before = Snapshot(*dst);
  struct Case {
    const char* what;
    Rect dst;
    Rect src;
  };
  const Case blt_cases[] = {
      {"destination past the right edge", {10, 0, 21, 10}, {0, 0, 11, 10}},
      {"destination above the top", {0, -1, 5, 4}, {0, 0, 5, 5}},
      {"empty destination", {3, 3, 3, 8}, {0, 0, 5, 5}},
      {"inverted destination", {8, 2, 4, 6}, {0, 0, 4, 4}},
      {"source past the bottom", {0, 0, 5, 5}, {0, 12, 5, 17}},
      {"source left of the surface", {0, 0, 5, 5}, {-2, 0, 3, 5}},
      {"inverted source", {0, 0, 5, 5}, {5, 5, 0, 0}},
  };
  for (const Case& c : blt_cases) {
    EXPECT_EQ(dst->Blt(&c.dst, src.get(), &c.src, 0, nullptr), Result::kInvalidRect) << c.what;
  }
  const BltFx fx{0xFFFF, 0};
  const Rect outside{15, 5, 25, 8};
  EXPECT_EQ(dst->Blt(&outside, nullptr, nullptr, kBltColorFill, &fx), Result::kInvalidRect);
  const Rect src_part{0, 0, 6, 6};
  EXPECT_EQ(dst->BltFast(15, 0, src.get(), &src_part, 0), Result::kInvalidRect);
  EXPECT_EQ(dst->BltFast(0, 5, src.get(), &src_part, 0), Result::kInvalidRect);
  EXPECT_EQ(dst->BltFast(-1, 0, src.get(), &src_part, 0), Result::kInvalidRect);
  const Rect bad_source{10, 10, 17, 12};
  EXPECT_EQ(dst->BltFast(0, 0, src.get(), &bad_source, 0), Result::kInvalidRect);
  EXPECT_EQ(dst->Blt(nullptr, other.get(), nullptr, 0, nullptr), Result::kInvalidPixelFormat);
  EXPECT_EQ(dst->BltFast(0, 0, other.get(), &src_part, 0), Result::kInvalidPixelFormat);
  EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, 0, nullptr), Result::kInvalidParams);
  LockedRect lock;
  const Rect lock_outside{0, 5, 20, 11};
  EXPECT_EQ(dst->Lock(&lock_outside, 0, &lock), Result::kInvalidRect);
  EXPECT_EQ(Snapshot(*dst), before);
}

// A blit within one surface whose rectangles overlap reads the source as it
// was before the blit.
TEST_F(DisplayTest, OverlappingBlitWithinASurfaceReadsTheOldPixels) {
  SurfacePtr s = MakeSurface(kCapsOffscreenPlain, 12, 12, &kX888);
  FillWith(*s, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x + 100 * y); });
  const Rect from{0, 0, 10, 10};
  const Rect to{2, 1, 12, 11};
  ASSERT_EQ(s->Blt(&to, s.get(), &from, 0, nullptr), Result::kOk);
  for (int32_t y = 1; y < 11; ++y) {
    for (int32_t x = 2; x < 12; ++x) {
      ASSERT_EQ(ReadPixel(*s, x, y), static_cast<uint32_t>(x - 2 + 100 * (y - 1)));
    }
  }
  ASSERT_EQ(s->BltFast(0, 0, s.get(), &to, 0), Result::kOk);  // and back
  EXPECT_EQ(ReadPixel(*s, 0, 0), 0u);
  EXPECT_EQ(ReadPixel(*s, 9, 9), 909u);
}

// What creation refuses, and the controls that make it fail.
TEST_F(DisplayTest, CreationFailuresAndTheirControls) {
  struct Case {
    const char* what;
    SurfaceDesc desc;
    Result result;
  };
  auto desc = [](uint32_t caps, int32_t w, int32_t h, const PixelFormat* f = nullptr) {
    SurfaceDesc d;
    d.caps = caps;
    d.width = w;
    d.height = h;
    if (f != nullptr) {
      d.has_pixel_format = true;
      d.pixel_format = *f;
    }
    return d;
  };
  const PixelFormat k24 = RgbFormat(24, 0xFF0000, 0xFF00, 0xFF);
  const PixelFormat gap = RgbFormat(16, 0xF000, 0x0F00, 0x000D);
  const Case cases[] = {
      {"overlay", desc(kCapsOverlay | kCapsVideoMemory, 16, 16, &k565), Result::kNoOverlayHardware},
      {"both memories", desc(kCapsOffscreenPlain | kCapsSystemMemory | kCapsVideoMemory, 4, 4),
       Result::kInvalidCaps},
      {"managed non-texture", desc(kCapsOffscreenPlain | kCapsTextureManage, 4, 4), Result::kInvalidCaps},
      {"flip off the primary", desc(kCapsOffscreenPlain | kCapsFlip, 4, 4), Result::kInvalidCaps},
      {"over 256 MB", desc(kCapsOffscreenPlain, 8192, 8200, &kX888), Result::kOutOfMemory},
      {"24 bits", desc(kCapsOffscreenPlain, 4, 4, &k24), Result::kInvalidPixelFormat},
      {"gapped mask", desc(kCapsOffscreenPlain, 4, 4, &gap), Result::kInvalidPixelFormat},
      {"depth format off a depth buffer", desc(kCapsOffscreenPlain, 4, 4, &kDepth),
       Result::kInvalidPixelFormat},
      {"colour format on a depth buffer", desc(kCapsZBuffer, 4, 4, &k565), Result::kInvalidPixelFormat},
      {"no width", desc(kCapsOffscreenPlain, 0, 4), Result::kInvalidParams},
      {"negative height", desc(kCapsOffscreenPlain, 4, -4), Result::kInvalidParams},
  };
  for (const Case& c : cases) {
    SurfacePtr s;
    EXPECT_EQ(device_->CreateSurface(c.desc, &s), c.result) << c.what;
    EXPECT_EQ(s, nullptr) << c.what;
  }

  SurfacePtr s;
  test::FailSurfaceCreation(kCapsZBuffer, Result::kOutOfVideoMemory);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsZBuffer, 8, 8), &s), Result::kOutOfVideoMemory);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsOffscreenPlain, 8, 8), &s), Result::kOk);
  test::FailSurfaceCreation(0);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsZBuffer, 8, 8), &s), Result::kOk);

  test::SetVideoMemoryExhausted(true);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsOffscreenPlain | kCaps3DDevice, 8, 8), &s),
            Result::kOutOfVideoMemory);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsOffscreenPlain | kCapsVideoMemory, 8, 8), &s),
            Result::kOutOfVideoMemory);
  EXPECT_EQ(device_->CreateSurface(desc(kCapsOffscreenPlain | kCapsSystemMemory, 8, 8), &s),
            Result::kOk);
  test::SetVideoMemoryExhausted(false);

  test::FailDeviceCreation(1);
  DevicePtr device;
  EXPECT_EQ(CreateDevice(&device), Result::kGeneric);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(CreateDevice(&device), Result::kOk);
}

// Failing locks and contexts on demand; counted locks and blits.
TEST_F(DisplayTest, LockAndContextControlsAndCounters) {
  SurfacePtr a = MakeSurface(kCapsOffscreenPlain, 8, 8, &k565);
  SurfacePtr b = MakeSurface(kCapsOffscreenPlain, 8, 8, &k565);
  test::ResetCounts();
  LockedRect lock;
  test::FailLocks(2, Result::kSurfaceBusy);
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kSurfaceBusy);
  EXPECT_EQ(lock.bits, nullptr);
  EXPECT_EQ(b->Lock(nullptr, 0, &lock), Result::kSurfaceBusy);
  EXPECT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  EXPECT_EQ(a->Unlock(), Result::kOk);
  test::FailGetDC(-1);
  DeviceContextPtr dc;
  EXPECT_EQ(a->GetDC(&dc), Result::kGeneric);
  EXPECT_EQ(a->GetDC(&dc), Result::kGeneric);
  test::FailGetDC(0);
  EXPECT_EQ(a->GetDC(&dc), Result::kOk);
  dc.reset();

  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), Result::kOk);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), Result::kOk);
  EXPECT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), Result::kOk);
  const test::DisplayCounts counts = test::GetCounts();
  EXPECT_EQ(counts.locks, 3u);
  EXPECT_EQ(counts.blts, 2u);
  EXPECT_EQ(counts.blt_fasts, 1u);
}

// Depth buffers attach to a surface of their size; the attached one is found
// by its caps.
TEST_F(DisplayTest, DepthBuffersAttachToSurfacesOfTheirSize) {
  SurfacePtr target = MakeSurface(kCapsOffscreenPlain | kCaps3DDevice, 32, 16, &k565);
  SurfacePtr small = MakeSurface(kCapsZBuffer, 16, 16);
  SurfacePtr depth = MakeSurface(kCapsZBuffer, 32, 16);
  EXPECT_EQ(target->AddAttachedSurface(small), Result::kCannotAttachSurface);
  EXPECT_EQ(target->AddAttachedSurface(target), Result::kInvalidParams);
  SurfacePtr found;
  EXPECT_EQ(target->GetAttachedSurface(kCapsZBuffer, &found), Result::kNotFound);
  ASSERT_EQ(target->AddAttachedSurface(depth), Result::kOk);
  EXPECT_EQ(target->AddAttachedSurface(depth), Result::kSurfaceAlreadyAttached);
  ASSERT_EQ(target->GetAttachedSurface(kCapsZBuffer, &found), Result::kOk);
  EXPECT_EQ(found, depth);
  EXPECT_EQ(target->GetAttachedSurface(kCapsBackBuffer, &found), Result::kNotFound);
  EXPECT_EQ(target->DeleteAttachedSurface(depth.get()), Result::kOk);
  EXPECT_EQ(target->DeleteAttachedSurface(depth.get()), Result::kNotFound);
}

// A companion sees the CPU side's reads before and writes after.
TEST_F(DisplayTest, CompanionSeesAccessesAndWrites) {
  struct Recorder : SurfaceCompanion {
    int before = 0, after = 0;
    void BeforeMemoryAccess(Surface&) override { ++before; }
    void AfterMemoryWrite(Surface&) override { ++after; }
  };
  SurfacePtr a = MakeSurface(kCapsOffscreenPlain | kCaps3DDevice, 8, 8, &kX888);
  SurfacePtr b = MakeSurface(kCapsOffscreenPlain, 8, 8, &kX888);
  auto recorder = std::make_shared<Recorder>();
  a->SetCompanion(recorder);
  LockedRect lock;
  ASSERT_EQ(a->Lock(nullptr, kLockReadOnly, &lock), Result::kOk);
  a->Unlock();
  EXPECT_EQ(recorder->before, 1);
  EXPECT_EQ(recorder->after, 0);
  ASSERT_EQ(a->Lock(nullptr, 0, &lock), Result::kOk);
  a->Unlock();
  EXPECT_EQ(recorder->after, 1);
  ASSERT_EQ(b->Blt(nullptr, a.get(), nullptr, 0, nullptr), Result::kOk);  // a only read
  EXPECT_EQ(recorder->before, 3);
  EXPECT_EQ(recorder->after, 1);
  ASSERT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), Result::kOk);
  EXPECT_EQ(recorder->after, 2);
}

// Writes name what they covered: one lock's rectangle, the box of nested
// locks, a fill's or a copy's destination; a restore may have changed all.
TEST_F(DisplayTest, CompanionLearnsWhatEachWriteCovered) {
  struct Recorder : SurfaceCompanion {
    std::vector<Rect> written;
    int whole = 0;
    void BeforeMemoryAccess(Surface&) override {}
    void AfterMemoryWrite(Surface&) override { ++whole; }
    void AfterMemoryWrite(Surface&, const Rect& r) override { written.push_back(r); }
  };
  SurfacePtr a = MakeSurface(kCapsOffscreenPlain | kCaps3DDevice, 8, 8, &kX888);
  SurfacePtr b = MakeSurface(kCapsOffscreenPlain, 8, 8, &kX888);
  auto recorder = std::make_shared<Recorder>();
  a->SetCompanion(recorder);
  LockedRect lock;
  const Rect first{1, 2, 4, 5};
  ASSERT_EQ(a->Lock(&first, 0, &lock), Result::kOk);
  a->Unlock();
  const Rect top{0, 0, 2, 2}, low{5, 5, 8, 6}, read{6, 0, 7, 1};
  ASSERT_EQ(a->Lock(&top, 0, &lock), Result::kOk);
  ASSERT_EQ(a->Lock(&read, kLockReadOnly, &lock), Result::kOk);
  ASSERT_EQ(a->Lock(&low, 0, &lock), Result::kOk);
  a->Unlock();
  a->Unlock();
  EXPECT_EQ(recorder->written.size(), 1u) << "nested locks report once, at the last unlock";
  a->Unlock();
  BltFx fx;
  fx.fill_color = 0x123456;
  const Rect fill{2, 2, 6, 3};
  ASSERT_EQ(a->Blt(&fill, nullptr, nullptr, kBltColorFill, &fx), Result::kOk);
  const Rect part{0, 0, 2, 2};
  ASSERT_EQ(a->BltFast(3, 4, b.get(), &part, 0), Result::kOk);
  EXPECT_EQ(recorder->written,
            (std::vector<Rect>{first, Rect{0, 0, 8, 6}, fill, Rect{3, 4, 5, 6}}));
  EXPECT_EQ(recorder->whole, 0);
  test::MarkAllSurfacesLost();
  ASSERT_EQ(a->Restore(), Result::kOk);
  EXPECT_EQ(recorder->whole, 1);
}

}  // namespace
}  // namespace display_test
