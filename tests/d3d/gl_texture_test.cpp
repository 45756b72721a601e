// Textures on the OpenGL device: the five texture formats read back through
// a draw, colour keys (also under linear filtering), flat colour from each
// triangle's first vertex whatever the other slots hold, and an untextured
// box after a textured draw.
#include <cmath>

#include "gl_fixture.h"
#include "reference_pipeline.h"

namespace d3d_test {
namespace {

class GlTextureTest : public GlDeviceTest {};

// A pixel value of the format for texel (x, y), spread over every channel.
uint32_t PatternPixel(const PixelFormat& f, int32_t x, int32_t y) {
  uint32_t seed = static_cast<uint32_t>(x * 37 + y * 101 + 1) * 2654435761u;
  seed ^= seed >> 15;
  const uint32_t used = f.red_mask | f.green_mask | f.blue_mask | f.alpha_mask;
  return seed & used;
}

long Channel(uint32_t pixel, int shift) { return static_cast<long>((pixel >> shift) & 0xFF); }

TEST_F(GlTextureTest, EveryEnumeratedFormatSamplesAsItsChannelsSay) {
  SurfacePtr target = MakeTarget(16, 16, TextureFormatA8R8G8B8());
  std::vector<PixelFormat> formats;
  ASSERT_EQ(device_->EnumTextureFormats([&](const PixelFormat& f) {
    formats.push_back(f);
    return true;
  }),
            Result::kOk);
  ASSERT_EQ(formats.size(), 5u);
  SelectTexture();
  for (const PixelFormat& f : formats) {
    SCOPED_TRACE(testing::Message() << "format of " << f.bit_count << " bits, alpha mask " << f.alpha_mask);
    SurfacePtr texture = MakeSurface(16, 16, f, display::kCapsTexture);
    FillWith(*texture, [&](int32_t x, int32_t y) { return PatternPixel(f, x, y); });
    ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
    std::vector<VertexTextured> v;
    AppendQuad(&v, -0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF);
    ASSERT_EQ(DrawQuads(v), Result::kOk);
    const std::vector<uint32_t> got = ReadAll(*target);
    int wrong = 0;
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const Rgba e = FromPixel(PatternPixel(f, x, y), f);
        const uint32_t g = got[static_cast<size_t>(y * 16 + x)];
        if (std::abs(Channel(g, 16) - std::lround(e.r * 255)) > 1 ||
            std::abs(Channel(g, 8) - std::lround(e.g * 255)) > 1 ||
            std::abs(Channel(g, 0) - std::lround(e.b * 255)) > 1 ||
            std::abs(Channel(g, 24) - std::lround(e.a * 255)) > 1) {
          ++wrong;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(GlTextureTest, ColourKeyedTexelsLeaveTheTargetAlone) {
  struct Case {
    const char* what;
    PixelFormat format;
    uint32_t key, other;
  };
  const Case cases[] = {
      {"5-6-5", TextureFormatR5G6B5(), 0xF81F, 0xF81E},
      {"X8R8G8B8", TextureFormatX8R8G8B8(), 0x00FE00FE, 0x00FE00FF},
      {"A1R5G5B5", TextureFormatA1R5G5B5(), 0xFC1F, 0x7C1F},
  };
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8());
  SelectTexture();
  ASSERT_EQ(device_->SetRenderState(kRsColorKeyEnable, 1), Result::kOk);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(*target, 0xFF102030);
    SurfacePtr texture = MakeSurface(8, 8, c.format, display::kCapsTexture);
    FillWith(*texture, [&](int32_t x, int32_t) { return x < 4 ? c.key : c.other; });
    const display::ColorKey key{c.key, c.key};
    ASSERT_EQ(texture->SetColorKey(display::kColorKeySourceBlt, &key), Result::kOk);
    ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
    std::vector<VertexTextured> v;
    AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
    ASSERT_EQ(DrawQuads(v), Result::kOk);
    EXPECT_EQ(PixelAt(*target, 2, 3), 0xFF102030u) << "keyed";
    EXPECT_NE(PixelAt(*target, 6, 3), 0xFF102030u) << "one step from the key";
  }
  // The key is off again: the keyed texels draw.
  ASSERT_EQ(device_->SetRenderState(kRsColorKeyEnable, 0), Result::kOk);
  Fill(*target, 0xFF102030);
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_NE(PixelAt(*target, 2, 3), 0xFF102030u);
}

TEST_F(GlTextureTest, UnderLinearFilteringTheNearestTexelDecidesTheKey) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8(), 0xFF000000);
  SelectTexture();
  ASSERT_EQ(device_->SetRenderState(kRsColorKeyEnable, 1), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssMagFilter, kFilterLinear), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssMinFilter, kFilterLinear), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssAddress, kAddressClamp), Result::kOk);
  SurfacePtr texture = MakeSurface(4, 4, TextureFormatR5G6B5(), display::kCapsTexture);
  FillWith(*texture, [](int32_t x, int32_t y) { return x == 1 && y == 1 ? 0xF81Fu : 0xFFFFu; });
  const display::ColorKey key{0xF81F, 0xF81F};
  ASSERT_EQ(texture->SetColorKey(display::kColorKeySourceBlt, &key), Result::kOk);
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  // Twice the texture's size: texel (1, 1) is nearest to pixels 2..3, 2..3.
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      const bool keyed = x >= 2 && x <= 3 && y >= 2 && y <= 3;
      EXPECT_EQ(PixelAt(*target, x, y) == 0xFF000000u, keyed) << x << ", " << y;
    }
  }
  // A neighbour of the key is filtered with the key's colour in it, as a
  // filtering device does.
  EXPECT_NE(PixelAt(*target, 4, 2), 0xFFFFFFFFu);
}

TEST_F(GlTextureTest, FlatColourComesFromEachTrianglesFirstVertex) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8());
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  // AppendBox leaves garbage in four of the six slots.
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 8, 8, 0xFF4080C0);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  for (uint32_t pixel : ReadAll(*target)) ASSERT_EQ(pixel, 0xFF4080C0u);

  // Gouraud shading does show the other slots.
  ASSERT_EQ(device_->SetRenderState(kRsShadeMode, kShadeGouraud), Result::kOk);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_NE(PixelAt(*target, 6, 1), 0xFF4080C0u);
}

TEST_F(GlTextureTest, ABoxAfterATexturedDrawHasItsOwnColour) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8());
  SurfacePtr texture = MakeSurface(8, 8, TextureFormatX8R8G8B8(), display::kCapsTexture);
  Fill(*texture, 0xFF00FF00);
  // The device's own stage 0 (MODULATE of TEXTURE and CURRENT) is left as it
  // is; with the texture unbound, the box takes its diffuse colour.
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  std::vector<VertexTextured> quad;
  AppendQuad(&quad, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(quad), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 3, 3), 0xFF00FF00u);
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  std::vector<VertexColored> box;
  AppendBox(&box, 2, 2, 6, 6, 0xFFFF0000);
  ASSERT_EQ(DrawBoxes(box), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 3, 3), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(*target, 0, 0), 0xFF00FF00u);
}

// The GL copy takes the rectangles memory writes covered and keeps the rest,
// also when the rest was drawn by GL.
TEST_F(GlTextureTest, WritesReachTheCopyByTheRectanglesTheyCovered) {
  SurfacePtr target = MakeTarget(16, 16, TextureFormatX8R8G8B8());
  SurfacePtr texture = MakeSurface(16, 16, TextureFormatX8R8G8B8());
  SurfacePtr blue = MakeSurface(4, 4, TextureFormatX8R8G8B8(), display::kCapsTexture);
  Fill(*texture, 0xFF00FF00);
  Fill(*blue, 0xFF0000FF);
  SelectTexture();
  std::vector<VertexTextured> quad;
  AppendQuad(&quad, 0, 0, 16, 16, 0xFFFFFFFF);
  const auto shown = [&] {
    EXPECT_EQ(device_->SetRenderTarget(target), Result::kOk);
    EXPECT_EQ(device_->SetTexture(0, texture), Result::kOk);
    EXPECT_EQ(DrawQuads(quad), Result::kOk);
    EXPECT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
    return ReadAll(*target);
  };
  ASSERT_EQ(shown(), ReadAll(*texture));

  // A lock, a fill and a copy, each over a few texels.
  display::LockedRect lock;
  const display::Rect spot{2, 3, 5, 6};
  ASSERT_EQ(texture->Lock(&spot, display::kLockWait, &lock), Result::kOk);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 3; ++x) {
      const uint32_t red = 0xFFFF0000;
      std::memcpy(lock.bits + y * lock.pitch + x * 4, &red, 4);
    }
  }
  texture->Unlock();
  display::BltFx fx;
  fx.fill_color = 0xFFFFFFFF;
  const display::Rect strip{12, 0, 16, 2};
  ASSERT_EQ(texture->Blt(&strip, nullptr, nullptr, display::kBltColorFill, &fx), Result::kOk);
  const display::Rect part{0, 0, 2, 2};
  ASSERT_EQ(texture->BltFast(10, 10, blue.get(), &part, display::kBltFastWait), Result::kOk);
  std::vector<uint32_t> expected = ReadAll(*texture);
  EXPECT_EQ(expected[3 * 16 + 2], 0xFFFF0000u);
  EXPECT_EQ(expected[11 * 16 + 11], 0xFF0000FFu);
  EXPECT_EQ(shown(), expected);

  // Drawn into by GL, then written in one spot: both show.
  ASSERT_EQ(device_->SetRenderTarget(texture), Result::kOk);
  std::vector<VertexColored> box;
  AppendBox(&box, 0, 0, 8, 16, 0xFF808080);
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  ASSERT_EQ(DrawBoxes(box), Result::kOk);
  const display::Rect corner{14, 14, 16, 16};
  ASSERT_EQ(texture->Blt(&corner, nullptr, nullptr, display::kBltColorFill, &fx), Result::kOk);
  expected = ReadAll(*texture);
  EXPECT_EQ(expected[0], 0xFF808080u);
  EXPECT_EQ(expected[15 * 16 + 15], 0xFFFFFFFFu);
  EXPECT_EQ(expected[11 * 16 + 11], 0xFF0000FFu);
  EXPECT_EQ(shown(), expected);
}

TEST_F(GlTextureTest, TexturesTheDeviceCannotHoldAreRefused) {
  MakeTarget(8, 8, TextureFormatX8R8G8B8());
  SurfacePtr depth = MakeSurface(8, 8, display::Depth16Format(), display::kCapsZBuffer);
  SurfacePtr rgb555 = MakeSurface(8, 8, display::Rgb555Format(), display::kCapsTexture);
  EXPECT_EQ(device_->SetTexture(0, depth), Result::kInvalidPixelFormat);
  EXPECT_EQ(device_->SetTexture(4, rgb555), Result::kInvalidParams);
  EXPECT_EQ(device_->SetTexture(0, rgb555), Result::kOk);
  EXPECT_EQ(device_->SetRenderTarget(depth), Result::kInvalidParams);
  EXPECT_EQ(device_->SetRenderTarget(nullptr), Result::kInvalidParams);
}

}  // namespace
}  // namespace d3d_test
