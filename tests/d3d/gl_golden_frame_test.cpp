// A frame of the engine's kinds of draws (a filled box, an alpha-blended
// texture, a colour-keyed tinted sprite, an added box and an outline) drawn
// by the OpenGL device, compared with the golden PNG within one step per
// channel; the CPU reference draws the same frame and must give the golden
// exactly. VESK_UPDATE_GOLDEN=1 rewrites the golden from the reference.
#include <cstdlib>

#include "gl_fixture.h"
#include "png_frame.h"
#include "reference_pipeline.h"

namespace d3d_test {
namespace {

constexpr int32_t kW = 64, kH = 48;
constexpr uint32_t kBackground = 0xFF203040;
constexpr uint32_t kKey = 0xF81F;

uint32_t GradientTexel(int32_t x, int32_t y) {
  return static_cast<uint32_t>(x * 16) << 24 | static_cast<uint32_t>(y * 16) << 16 |
         static_cast<uint32_t>(255 - x * 16) << 8 | 0x80;
}

uint32_t SpriteTexel(int32_t x, int32_t y) {
  const int32_t dx = 2 * x - 15, dy = 2 * y - 15;
  if (dx * dx + dy * dy > 15 * 15) return kKey;
  return ((x + y) & 2) != 0 ? 0xFFE0u : 0x07FFu;
}

// The frame by the reference: each draw over whole pixels.
Frame ReferenceFrame() {
  std::vector<Rgba> px(static_cast<size_t>(kW * kH), FromArgb(kBackground));
  auto at = [&](int32_t x, int32_t y) -> Rgba& { return px[static_cast<size_t>(y * kW + x)]; };
  // Filled box (4, 4)-(28, 20).
  for (int32_t y = 4; y < 20; ++y) {
    for (int32_t x = 4; x < 28; ++x) at(x, y) = FromArgb(0xFFE0C020);
  }
  // Gradient at (8, 12), alpha blended.
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      Rgba& d = at(8 + x, 12 + y);
      d = Blend(FromArgb(GradientTexel(x, y)), d, kBlendSrcAlpha, kBlendInvSrcAlpha);
    }
  }
  // Sprite at (40, 8), keyed, modulated by the diffuse tint.
  const Rgba tint = FromArgb(0xFF80FF80);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const uint32_t t = SpriteTexel(x, y);
      if (t == kKey) continue;
      const Rgba c = FromPixel(t, TextureFormatR5G6B5());
      at(40 + x, 8 + y) = Rgba{c.r * tint.r, c.g * tint.g, c.b * tint.b, 1};
    }
  }
  // Added box (30, 28)-(60, 44) at half alpha.
  for (int32_t y = 28; y < 44; ++y) {
    for (int32_t x = 30; x < 60; ++x) {
      at(x, y) = Blend(FromArgb(0x80FF4080), at(x, y), kBlendSrcAlpha, kBlendOne);
    }
  }
  // Outline of (2, 30)-(20, 46), drawn without blending.
  for (int32_t x = 2; x <= 19; ++x) at(x, 30) = at(x, 45) = FromArgb(0xFFFFFFFF);
  for (int32_t y = 30; y <= 45; ++y) at(2, y) = at(19, y) = FromArgb(0xFFFFFFFF);
  Frame f{kW, kH, {}};
  for (const Rgba& c : px) f.rgb.push_back(ToPixel(c, TextureFormatX8R8G8B8()));
  return f;
}

class GlGoldenFrameTest : public GlDeviceTest {};

TEST_F(GlGoldenFrameTest, TheEnginesDrawsMatchTheGoldenFrame) {
  SurfacePtr target = MakeTarget(kW, kH, TextureFormatX8R8G8B8(), kBackground);
  Device3D& d = *device_;
  ASSERT_EQ(d.BeginScene(), Result::kOk);
  // The engine's state for each draw, as its caches would send it.
  ASSERT_EQ(d.SetTexture(0, nullptr), Result::kOk);
  std::vector<VertexColored> box;
  AppendBox(&box, 4, 4, 28, 20, 0xFFE0C020);
  ASSERT_EQ(DrawBoxes(box), Result::kOk);

  SurfacePtr gradient = MakeSurface(16, 16, TextureFormatA8R8G8B8(), display::kCapsTexture);
  FillWith(*gradient, GradientTexel);
  SelectTexture();
  ASSERT_EQ(d.SetTexture(0, gradient), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsSrcBlend, kBlendSrcAlpha), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsDestBlend, kBlendInvSrcAlpha), Result::kOk);
  std::vector<VertexTextured> quad;
  AppendQuad(&quad, 7.5f, 11.5f, 23.5f, 27.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(quad), Result::kOk);

  SurfacePtr sprite = MakeSurface(16, 16, TextureFormatR5G6B5(), display::kCapsTexture);
  FillWith(*sprite, SpriteTexel);
  const display::ColorKey key{kKey, kKey};
  ASSERT_EQ(sprite->SetColorKey(display::kColorKeySourceBlt, &key), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsAlphaBlendEnable, 0), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsColorKeyEnable, 1), Result::kOk);
  ASSERT_EQ(d.SetTextureStageState(0, kTssColorOp, kTopModulate), Result::kOk);
  ASSERT_EQ(d.SetTextureStageState(0, kTssColorArg2, kTaDiffuse), Result::kOk);
  ASSERT_EQ(d.SetTexture(0, sprite), Result::kOk);
  quad.clear();
  AppendQuad(&quad, 39.5f, 7.5f, 55.5f, 23.5f, 0xFF80FF80);
  ASSERT_EQ(DrawQuads(quad), Result::kOk);

  ASSERT_EQ(d.SetRenderState(kRsColorKeyEnable, 0), Result::kOk);
  ASSERT_EQ(d.SetTexture(0, nullptr), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
  ASSERT_EQ(d.SetRenderState(kRsDestBlend, kBlendOne), Result::kOk);
  box.clear();
  AppendBox(&box, 30, 28, 60, 44, 0x80FF4080);
  ASSERT_EQ(DrawBoxes(box), Result::kOk);

  ASSERT_EQ(d.SetRenderState(kRsAlphaBlendEnable, 0), Result::kOk);
  const float X1 = 2, Y1 = 30, X2 = 19, Y2 = 45;
  const uint32_t w = 0xFFFFFFFF;
  const VertexColored lines[] = {{X1, Y1, 0.2f, 1, w},     {X2 - 0.1f, Y1, 0.2f, 1, w},
                                 {X2, Y1, 0.2f, 1, w},     {X2, Y2 - 0.1f, 0.2f, 1, w},
                                 {X1, Y2, 0.2f, 1, w},     {X2 + 0.9f, Y2, 0.2f, 1, w},
                                 {X1, Y1 + 1, 0.2f, 1, w}, {X1, Y2 - 0.1f, 0.2f, 1, w}};
  ASSERT_EQ(d.DrawPrimitive(kPrimLineList, kFvfColored, lines, 8, 0), Result::kOk);
  ASSERT_EQ(d.EndScene(), Result::kOk);

  Frame drawn{kW, kH, {}};
  for (uint32_t p : ReadAll(*target)) drawn.rgb.push_back(p & 0xFFFFFF);
  const Frame reference = ReferenceFrame();
  const std::string golden_path = std::string(VESK_SOURCE_DIR) + "/tests/d3d/golden/gl_scene.png";
  if (std::getenv("VESK_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(golden_path, reference));
  }
  Frame golden;
  ASSERT_TRUE(ReadPng(golden_path, &golden)) << golden_path;
  EXPECT_EQ(CountDifferences(reference, golden, 0), 0) << "the reference no longer draws the golden";
  const int32_t off = CountDifferences(drawn, golden, 1);
  if (off != 0) WritePng(std::string(VESK_BINARY_DIR) + "/gl_scene_drawn.png", drawn);
  EXPECT_EQ(off, 0) << "pixels off the golden by more than one step; drawn frame in the build folder";
}

}  // namespace
}  // namespace d3d_test
