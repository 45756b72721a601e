// DIB transfers into the window that convert between pixel layouts (the
// software present's 5-6-5 frame into a 32-bit window image, and the other
// 16- and 32-bit layouts both ways), at scale 1, 2 and 3, with odd widths,
// DIB rows wider than the part sent, and the window edges cutting the
// destination. Every pixel of the window is checked against a per-pixel
// reference: each source channel widened to 8 bits by repeating its bits,
// its top bits packed into the window's channel; outside the destination
// the window keeps what it held. Between surfaces' contexts, alpha bits are
// set in the destination and ignored in the source.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "display/display_fixture.h"

namespace display_test {
namespace {

struct Layout {
  uint16_t bits;
  uint32_t red, green, blue;
};

constexpr Layout k565{16, 0xF800, 0x7E0, 0x1F};
constexpr Layout k555{16, 0x7C00, 0x3E0, 0x1F};
constexpr Layout k444{16, 0xF00, 0xF0, 0xF};
constexpr Layout k332{16, 0xE0, 0x1C, 0x3};  // channels narrower than 4 bits
constexpr Layout kX888{32, 0xFF0000, 0xFF00, 0xFF};
constexpr Layout kXbgr{32, 0xFF, 0xFF00, 0xFF0000};

int Shift(uint32_t mask) {
  int s = 0;
  while (((mask >> s) & 1) == 0) ++s;
  return s;
}

int Width(uint32_t mask) {
  int w = 0;
  for (uint32_t m = mask >> Shift(mask); (m & 1) != 0; m >>= 1) ++w;
  return w;
}

// The channel of mask in pixel, its bits repeated from the top to fill 8.
uint32_t Widened(uint32_t pixel, uint32_t mask) {
  const int w = Width(mask);
  const uint32_t v = (pixel & mask) >> Shift(mask);
  uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += w) {
    const int left = 8 - filled - w;
    out |= left >= 0 ? v << left : v >> -left;
  }
  return out & 0xFF;
}

uint32_t Packed(uint32_t value8, uint32_t mask) { return (value8 >> (8 - Width(mask))) << Shift(mask); }

uint32_t Reference(uint32_t pixel, const Layout& from, const Layout& to) {
  return Packed(Widened(pixel, from.red), to.red) | Packed(Widened(pixel, from.green), to.green) |
         Packed(Widened(pixel, from.blue), to.blue);
}

struct Case {
  const char* name;
  Layout source;
  int32_t desktop_bits;  // the window image: 32 (X8R8G8B8) or 16 (5-6-5)
  bool top_down;
  int32_t dib_width, dib_height;  // the DIB; rows may be wider than the part sent
  int32_t src_x, src_y, src_w, src_h;  // src_y counted from the bottom edge
  int32_t x, y, w, h;                  // destination in the window
  bool one_to_one;                     // SetDIBitsToDevice rather than StretchDIBits
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DibConversionTest : public DisplayTest, public ::testing::WithParamInterface<Case> {};

TEST_P(DibConversionTest, MatchesThePerPixelConversion) {
  const Case& c = GetParam();
  test::SetDesktop(1024, 768, c.desktop_bits);
  const Layout window_layout = c.desktop_bits == 32 ? kX888 : k565;
  const int32_t bytes = c.source.bits / 8;
  const int32_t stride = DibStride(c.dib_width, c.source.bits);

  // Every bit of every source pixel varies, bits outside the masks included.
  std::vector<uint8_t> dib(static_cast<size_t>(stride) * c.dib_height);
  uint32_t seed = 12345;
  for (uint8_t& b : dib) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  DibDescription desc;
  desc.width = c.dib_width;
  desc.height = c.top_down ? -c.dib_height : c.dib_height;
  desc.bit_count = c.source.bits;
  desc.compression = DibCompression::kBitfields;
  desc.red_mask = c.source.red;
  desc.green_mask = c.source.green;
  desc.blue_mask = c.source.blue;
  // Pixel (column, image row counted from the top) of the DIB.
  auto source_pixel = [&](int32_t column, int32_t row) {
    const int32_t stored = c.top_down ? row : c.dib_height - 1 - row;
    uint32_t v = 0;
    std::memcpy(&v, dib.data() + static_cast<size_t>(stored) * stride + column * bytes,
                static_cast<size_t>(bytes));
    return v;
  };

  DeviceContextPtr window = GetWindowDC();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->GetDeviceCaps(DeviceCapIndex::kBitsPerPixel), c.desktop_bits);
  // What the window held before: one colour stretched over all of it.
  const uint32_t before_rgb = 0x5A3C96;
  DibDescription one = desc;
  one.width = 1;
  one.height = 1;
  one.bit_count = 32;
  one.red_mask = kX888.red;
  one.green_mask = kX888.green;
  one.blue_mask = kX888.blue;
  ASSERT_EQ(StretchDIBits(window.get(), 0, 0, kClientWidth, kClientHeight, 0, 0, 1, 1, &before_rgb,
                          one),
            1);

  if (c.one_to_one) {
    ASSERT_EQ(SetDIBitsToDevice(window.get(), c.x, c.y, c.src_w, c.src_h, c.src_x, c.src_y, 0,
                                c.dib_height, dib.data(), desc),
              c.dib_height);
  } else {
    ASSERT_EQ(StretchDIBits(window.get(), c.x, c.y, c.w, c.h, c.src_x, c.src_y, c.src_w, c.src_h,
                            dib.data(), desc),
              c.src_h);
  }
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  ASSERT_EQ(image.width, kClientWidth);
  ASSERT_EQ(image.height, kClientHeight);

  const int32_t w = c.one_to_one ? c.src_w : c.w, h = c.one_to_one ? c.src_h : c.h;
  const int32_t top_row = c.dib_height - c.src_y - c.src_h;  // image row of the part's top
  const uint32_t before = Reference(before_rgb, kX888, window_layout);
  int32_t written = 0;
  for (int32_t y = 0; y < kClientHeight; ++y) {
    for (int32_t x = 0; x < kClientWidth; ++x) {
      uint32_t expected = before;
      if (x >= c.x && x < c.x + w && y >= c.y && y < c.y + h) {
        const int32_t column = c.src_x + (x - c.x) * c.src_w / w;
        const int32_t row = top_row + (y - c.y) * c.src_h / h;
        expected = Reference(source_pixel(column, row), c.source, window_layout);
        ++written;
      }
      ASSERT_EQ(image.RawPixel(x, y), expected) << "x " << x << " y " << y;
    }
  }
  EXPECT_GT(written, 0);
}

// Window 640 x 480. Destinations past an edge are cut there; at scale 2 a
// cut at an odd column starts on the second copy of a source pixel.
INSTANTIATE_TEST_SUITE_P(
    Layouts, DibConversionTest,
    ::testing::Values(
        Case{"From565OneToOne", k565, 32, true, 40, 23, 1, 0, 37, 21, 5, 7, 0, 0, true},
        Case{"From565OneToOneBottomUp", k565, 32, false, 41, 23, 2, 1, 37, 21, 5, 7, 0, 0, true},
        Case{"From565PastTheRightAndBottomEdges", k565, 32, true, 39, 25, 0, 0, 39, 25, 620, 470, 0,
             0, true},
        Case{"From565PastTheLeftAndTopEdges", k565, 32, true, 39, 25, 0, 0, 39, 25, -13, -4, 0, 0,
             true},
        Case{"From565Doubled", k565, 32, true, 40, 23, 3, 2, 37, 21, 3, 4, 74, 42, false},
        Case{"From565DoubledCutAtAnOddColumn", k565, 32, true, 40, 23, 0, 0, 37, 21, -5, -3, 74, 42,
             false},
        Case{"From565DoubledCutAtTheRightEdge", k565, 32, true, 40, 23, 1, 0, 37, 21, 640 - 73, 460,
             74, 42, false},
        Case{"From565WholeWindowDoubled", k565, 32, true, 320, 240, 0, 0, 320, 240, 0, 0, 640, 480,
             false},
        Case{"From555Tripled", k555, 32, false, 30, 17, 2, 1, 25, 15, 610, -7, 75, 45, false},
        Case{"From555Halved", k555, 32, true, 64, 40, 0, 0, 63, 39, 11, 9, 31, 19, false},
        Case{"From444OneToOne", k444, 32, true, 19, 9, 0, 0, 19, 9, 1, 1, 0, 0, true},
        Case{"From332PerPixel", k332, 32, true, 21, 9, 0, 0, 21, 9, 7, 3, 42, 18, false},
        Case{"FromXbgrOneToOne", kXbgr, 32, true, 33, 9, 1, 0, 31, 9, 0, 0, 0, 0, true},
        Case{"From888ToA565Window", kX888, 16, true, 35, 11, 0, 0, 35, 11, 630, 3, 0, 0, true},
        Case{"From888ToA565WindowDoubled", kX888, 16, false, 35, 11, 0, 0, 35, 11, -1, 475, 70, 22,
             false},
        Case{"From555ToA565Window", k555, 16, true, 29, 7, 0, 0, 29, 7, 3, 3, 58, 14, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Between surfaces' contexts an alpha channel is neither read nor carried:
// a destination's alpha bits are set, a source's are ignored.
TEST_F(DisplayTest, ContextCopiesSetTheDestinationsAlphaBits) {
  const PixelFormat argb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  const PixelFormat rgb565 = Rgb565Format();
  struct Direction {
    const PixelFormat* from;
    const PixelFormat* to;
    Layout from_layout, to_layout;
    uint32_t alpha;  // the destination's alpha bits
  };
  const Direction directions[] = {{&rgb565, &argb, k565, kX888, 0xFF000000},
                                  {&argb, &rgb565, kX888, k565, 0}};
  const int32_t w = 11;
  // Alpha bits and channels that differ from pixel to pixel.
  auto source_pixel = [](int32_t x) {
    return 0x5F000000u * static_cast<uint32_t>(x) + 0x3A61C9u * static_cast<uint32_t>(x + 1);
  };
  for (const Direction& d : directions) {
    SCOPED_TRACE(testing::Message() << d.from->bit_count << " to " << d.to->bit_count << " bits");
    SurfacePtr src = MakeSurface(kCapsOffscreenPlain, w, 1, d.from);
    SurfacePtr dst = MakeSurface(kCapsOffscreenPlain, w, 1, d.to);
    FillWith(*src, [&](int32_t x, int32_t) { return source_pixel(x); });
    FillWith(*dst, [](int32_t, int32_t) { return 0x1234u; });
    DeviceContextPtr from, to;
    ASSERT_EQ(src->GetDC(&from), Result::kOk);
    ASSERT_EQ(dst->GetDC(&to), Result::kOk);
    ASSERT_TRUE(BitBlt(to.get(), 1, 0, w - 2, 1, from.get(), 1, 0));
    from.reset();
    ASSERT_EQ(dst->ReleaseDC(std::move(to)), Result::kOk);
    EXPECT_EQ(ReadPixel(*dst, 0, 0), 0x1234u);
    for (int32_t x = 1; x < w - 1; ++x) {
      const uint32_t in = ReadPixel(*src, x, 0);
      EXPECT_EQ(ReadPixel(*dst, x, 0), Reference(in, d.from_layout, d.to_layout) | d.alpha) << x;
    }
    EXPECT_EQ(ReadPixel(*dst, w - 1, 0), 0x1234u);
  }
}

}  // namespace
}  // namespace display_test
