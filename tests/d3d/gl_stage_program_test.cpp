// The OpenGL device's texture stages, alpha test, blending and stores
// against the CPU reference (reference_pipeline.h), within one step per
// channel: random stage programs of the engine's operations and arguments,
// the blend factor pairs the engine sends, the alpha-test edges, 5-6-5
// rounding and the spare bits of read-backs.
#include <cmath>
#include <cstdio>
#include <random>

#include "gl_fixture.h"
#include "platform/d3d/gl_pipeline.h"
#include "reference_pipeline.h"

namespace d3d_test {
namespace {

constexpr uint32_t kOps[] = {kTopDisable, kTopSelectArg1, kTopSelectArg2, kTopModulate,
                             kTopModulate2x, kTopModulate4x, kTopAdd, kTopSubtract};
constexpr uint32_t kArgs[] = {kTaDiffuse, kTaCurrent, kTaTexture, kTaTFactor, kTaSpecular};

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

::testing::AssertionResult Near(uint32_t actual, const Rgba& expected, bool with_alpha) {
  const long e[4] = {std::lround(expected.r * 255), std::lround(expected.g * 255),
                     std::lround(expected.b * 255), std::lround(expected.a * 255)};
  const int a[4] = {Channel(actual, 16), Channel(actual, 8), Channel(actual, 0), Channel(actual, 24)};
  for (int i = 0; i < (with_alpha ? 4 : 3); ++i) {
    if (std::abs(a[i] - e[i]) > 1) {
      char text[160];
      std::snprintf(text, sizeof text, "got %08X, expected %02lX%02lX%02lX%02lX", actual, e[3], e[0],
                    e[1], e[2]);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

class GlStageProgramTest : public GlDeviceTest {
 protected:
  // A 4 x 4 texture of one colour per stage.
  SurfacePtr SolidTexture(uint32_t argb) {
    SurfacePtr t = MakeSurface(4, 4, TextureFormatA8R8G8B8(), display::kCapsTexture);
    Fill(*t, argb);
    return t;
  }

  void SetStage(uint32_t i, const RefStage& s) {
    ASSERT_EQ(device_->SetTextureStageState(i, kTssColorOp, s.color_op), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssColorArg1, s.color_arg1), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssColorArg2, s.color_arg2), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssAlphaOp, s.alpha_op), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssAlphaArg1, s.alpha_arg1), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssAlphaArg2, s.alpha_arg2), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(i, kTssTexCoordIndex, 0), Result::kOk);
  }
};

TEST_F(GlStageProgramTest, RandomProgramsMatchTheReference) {
  SurfacePtr target = MakeTarget(16, 16, TextureFormatA8R8G8B8());
  std::mt19937 random(20261211);
  auto pick = [&](const auto& table) {
    return table[std::uniform_int_distribution<size_t>(0, std::size(table) - 1)(random)];
  };
  auto colour = [&]() { return static_cast<uint32_t>(random()); };
  for (int trial = 0; trial < 200; ++trial) {
    RefProgram p;
    p.texture_factor = colour();
    ASSERT_EQ(device_->SetRenderState(kRsTextureFactor, p.texture_factor), Result::kOk);
    std::vector<SurfacePtr> textures;
    for (uint32_t i = 0; i < kStageCount; ++i) {
      RefStage& s = p.stages[i];
      s.color_op = pick(kOps);
      s.color_arg1 = pick(kArgs);
      s.color_arg2 = pick(kArgs);
      s.alpha_op = pick(kOps);
      s.alpha_arg1 = pick(kArgs);
      s.alpha_arg2 = pick(kArgs);
      s.has_texture = random() % 4 != 0;
      const uint32_t texel = colour();
      s.texel = FromArgb(texel);
      SetStage(i, s);
      if (s.has_texture) textures.push_back(SolidTexture(texel));
      ASSERT_EQ(device_->SetTexture(i, s.has_texture ? textures.back() : nullptr), Result::kOk);
    }
    const uint32_t diffuse = colour();
    std::vector<VertexTextured> v;
    AppendQuad(&v, -0.5f, -0.5f, 15.5f, 15.5f, diffuse);
    ASSERT_EQ(DrawQuads(v), Result::kOk);
    const Rgba expected = EvaluateStages(p, FromArgb(diffuse));
    ASSERT_TRUE(Near(PixelAt(*target, 7, 9), expected, true)) << "trial " << trial;
  }
}

TEST_F(GlStageProgramTest, EachDistinctSetUpBuildsOneProgramOnce) {
  MakeTarget(8, 8, TextureFormatA8R8G8B8());
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFF808080);
  auto built = [] { return test::GetGlPipelineCounts().programs_built; };
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopAddSmooth), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorArg1, kTaTFactor | kTaComplement), Result::kOk);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  const uint64_t first = built();
  // Values that are no part of the set-up (factor, reference, blending)
  // reuse the program.
  ASSERT_EQ(device_->SetRenderState(kRsTextureFactor, 0x12345678), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsAlphaRef, 99), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ(built(), first);
  // Another operation is another program, built once.
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopAddSigned2x), Result::kOk);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ(built(), first + 1);
  EXPECT_LE(test::GetGlPipelineCounts().cached_programs, kProgramCacheSize);
}

TEST_F(GlStageProgramTest, Modulate4xWithTheSecondAlphaArgumentLeftAtCurrentGivesFourASquared) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatA8R8G8B8());
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopSelectArg1), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorArg1, kTaDiffuse), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssAlphaOp, kTopModulate4x), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssAlphaArg1, kTaDiffuse), Result::kOk);
  for (uint32_t a : {0u, 40u, 64u, 100u, 127u, 128u, 255u}) {
    std::vector<VertexTextured> v;
    AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, a << 24 | 0x102030);
    ASSERT_EQ(DrawQuads(v), Result::kOk);
    const double x = a / 255.0;
    const long expected = std::lround(std::min(1.0, 4 * x * x) * 255);
    EXPECT_NEAR(Channel(PixelAt(*target, 3, 3), 24), expected, 1) << "alpha " << a;
  }
}

TEST_F(GlStageProgramTest, BlendFactorPairsMatchTheReferenceOnBothTargetDepths) {
  struct Pair {
    uint32_t src, dst;
  };
  // The engine's blend modes (alpha, add, the inverting subtract pass,
  // multiply, keep), the alpha-texture default and a few others.
  const Pair pairs[] = {{kBlendSrcAlpha, kBlendInvSrcAlpha}, {kBlendSrcAlpha, kBlendOne},
                        {kBlendInvDestColor, kBlendZero},    {kBlendZero, kBlendSrcColor},
                        {kBlendZero, kBlendOne},             {kBlendOne, kBlendZero},
                        {kBlendDestColor, kBlendInvSrcColor}, {kBlendBothSrcAlpha, kBlendZero},
                        {kBlendInvSrcAlpha, kBlendDestAlpha}};
  const PixelFormat targets[] = {TextureFormatA8R8G8B8(), TextureFormatR5G6B5()};
  const uint32_t destinations[] = {0xFF336699, 0x80C0A010, 0x00FFFFFF};
  const uint32_t sources[] = {0xFFFF8000, 0x80408020, 0x10FFFFFF, 0xC0000000};
  SurfacePtr texture = MakeSurface(4, 4, TextureFormatA8R8G8B8(), display::kCapsTexture);
  for (const PixelFormat& format : targets) {
    SurfacePtr target = MakeTarget(8, 8, format);
    SelectTexture();
    ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
    ASSERT_EQ(device_->SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
    for (const Pair& pair : pairs) {
      ASSERT_EQ(device_->SetRenderState(kRsSrcBlend, pair.src), Result::kOk);
      ASSERT_EQ(device_->SetRenderState(kRsDestBlend, pair.dst), Result::kOk);
      for (uint32_t d : destinations) {
        for (uint32_t s : sources) {
          const uint32_t dst_pixel = ToPixel(FromArgb(d), format);
          Fill(*target, dst_pixel);
          Fill(*texture, s);
          std::vector<VertexTextured> v;
          AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
          ASSERT_EQ(DrawQuads(v), Result::kOk);
          const Rgba dst = FromPixel(dst_pixel, format);
          const Rgba expected = FromPixel(ToPixel(Blend(FromArgb(s), dst, pair.src, pair.dst), format), format);
          const Rgba got = FromPixel(PixelAt(*target, 2, 5), format);
          const double step = format.bit_count == 16 ? 1.0 / 31 : 1.0 / 255;
          EXPECT_NEAR(got.r, expected.r, step + 1e-9) << pair.src << "/" << pair.dst << " " << std::hex << s << " over " << d;
          EXPECT_NEAR(got.g, expected.g, step + 1e-9) << pair.src << "/" << pair.dst << " " << std::hex << s << " over " << d;
          EXPECT_NEAR(got.b, expected.b, step + 1e-9) << pair.src << "/" << pair.dst << " " << std::hex << s << " over " << d;
          if (format.alpha_mask != 0) {
            EXPECT_NEAR(got.a, expected.a, step + 1e-9) << pair.src << "/" << pair.dst;
          }
        }
      }
    }
  }
}

TEST_F(GlStageProgramTest, AlphaTestEdges) {
  struct Case {
    uint32_t func, ref, alpha;
    bool passes;
  };
  const Case cases[] = {
      {kCmpGreater, 16, 16, false},      {kCmpGreater, 16, 17, true},
      {kCmpGreater, 0, 0, false},        {kCmpGreater, 0, 1, true},
      {kCmpGreaterEqual, 128, 127, false}, {kCmpGreaterEqual, 128, 128, true},
      {kCmpGreaterEqual, 1, 0, false},   {kCmpGreaterEqual, 255, 255, true},
      {kCmpLess, 10, 10, false},         {kCmpLess, 10, 9, true},
      {kCmpEqual, 77, 77, true},         {kCmpNotEqual, 77, 77, false},
      {kCmpNever, 0, 255, false},        {kCmpAlways, 255, 0, true},
  };
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8(), 0xFF000000);
  SurfacePtr texture = MakeSurface(4, 4, TextureFormatA8R8G8B8(), display::kCapsTexture);
  SelectTexture();
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsAlphaTestEnable, 1), Result::kOk);
  for (const Case& c : cases) {
    Fill(*target, 0xFF000000);
    Fill(*texture, c.alpha << 24 | 0xFFFFFF);
    ASSERT_EQ(device_->SetRenderState(kRsAlphaFunc, c.func), Result::kOk);
    ASSERT_EQ(device_->SetRenderState(kRsAlphaRef, c.ref), Result::kOk);
    std::vector<VertexTextured> v;
    AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
    ASSERT_EQ(DrawQuads(v), Result::kOk);
    EXPECT_EQ(PixelAt(*target, 4, 4) == 0xFFFFFFFF, c.passes)
        << "func " << c.func << " ref " << c.ref << " alpha " << c.alpha;
    EXPECT_EQ(AlphaTestPasses(c.alpha / 255.0, c.func, c.ref), c.passes);
  }
}

TEST_F(GlStageProgramTest, SixteenBitTargetsRoundToNearest) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatR5G6B5());
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  // Red: exactly 0.5 (ADDSIGNED of 1 and 0); green 132/255; blue 0.
  ASSERT_EQ(device_->SetRenderState(kRsTextureFactor, 0xFF000000), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopAddSigned), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorArg1, kTaDiffuse), Result::kOk);
  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorArg2, kTaTFactor), Result::kOk);
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFF0000);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 1, 1) >> 11, 16u) << "0.5 of 31";

  ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopSelectArg1), Result::kOk);
  v.clear();
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFF008400);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ((PixelAt(*target, 1, 1) >> 5) & 0x3F, 33u) << "132/255 of 63";
}

TEST_F(GlStageProgramTest, TargetsWithoutAlphaReadBackAndBlendAsOpaque) {
  ASSERT_EQ(device_, nullptr);
  SurfacePtr x8 = MakeTarget(4, 4, TextureFormatX8R8G8B8(), 0);
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 4, 4, 0x00123456);  // alpha 0 written into the target
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_EQ(PixelAt(*x8, 2, 2), 0xFF123456u);

  SurfacePtr x1 = MakeTarget(4, 4, display::Rgb555Format(), 0);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_EQ(PixelAt(*x1, 2, 2), 0x8000u | (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));

  // Without an alpha channel the destination's alpha is 1 to a blend, even
  // where memory held 0 in the spare bits.
  SurfacePtr again = MakeTarget(4, 4, TextureFormatX8R8G8B8(), 0x00000000);
  ASSERT_EQ(device_->SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsSrcBlend, kBlendDestAlpha), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsDestBlend, kBlendZero), Result::kOk);
  v.clear();
  AppendBox(&v, 0, 0, 4, 4, 0x00FFFFFF);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_EQ(PixelAt(*again, 1, 1), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace d3d_test
