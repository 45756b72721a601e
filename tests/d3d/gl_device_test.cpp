// The OpenGL Direct3D object and device: what it enumerates, the device's
// starting state, surfaces kept in step between GL and memory (lock after a
// draw, a draw after a CPU write, Load, the primary at a scene's end),
// lost surfaces, no context, and calls from a thread that does not own the
// device.
#include <thread>

#include "gl_fixture.h"
#include "platform/display/window_presenter.h"

namespace d3d_test {
namespace {

class GlDeviceObjectTest : public GlDeviceTest {};

TEST_F(GlDeviceObjectTest, EnumeratesOneTnLHalDeviceOneDepthFormatAndFiveTextureFormats) {
  int devices = 0;
  DeviceDesc desc;
  ASSERT_EQ(direct3d_->EnumDevices([&](const std::string&, const std::string&, const DeviceDesc& d) {
    ++devices;
    desc = d;
    return true;
  }),
            Result::kOk);
  EXPECT_EQ(devices, 1);
  EXPECT_EQ(desc.kind, DeviceKind::kTnLHal);
  EXPECT_EQ(desc.render_bit_depths, kBitDepth16 | kBitDepth32);
  EXPECT_EQ(desc.triangle_texture_caps & (kTextureCapsPow2 | kTextureCapsSquareOnly), kTextureCapsPow2);
  EXPECT_EQ(desc.min_texture_width, 1u);
  EXPECT_EQ(desc.max_texture_width, 2048u);  // llvmpipe's largest is larger
  EXPECT_EQ(desc.max_texture_height, 2048u);

  std::vector<PixelFormat> depth;
  ASSERT_EQ(direct3d_->EnumZBufferFormats(DeviceKind::kHal, [&](const PixelFormat& f) {
    depth.push_back(f);
    return true;
  }),
            Result::kOk);
  ASSERT_EQ(depth.size(), 1u);
  EXPECT_EQ(depth[0].flags, display::kPixelFormatDepth);
  EXPECT_EQ(depth[0].bit_count, 16u);

  MakeTarget(8, 8, display::Rgb565Format());
  std::vector<PixelFormat> textures;
  ASSERT_EQ(device_->EnumTextureFormats([&](const PixelFormat& f) {
    textures.push_back(f);
    return textures.size() < 3;  // stopping is honoured
  }),
            Result::kOk);
  ASSERT_EQ(textures.size(), 3u);
  EXPECT_EQ(textures[0], TextureFormatR5G6B5());
  EXPECT_EQ(textures[1], TextureFormatX8R8G8B8());
  EXPECT_EQ(textures[2], TextureFormatA4R4G4B4());
}

TEST_F(GlDeviceObjectTest, ANewDeviceHasTheInterfacesDefaultStates) {
  MakeTarget(8, 8, display::Rgb565Format());
  Device3DPtr fresh;
  SurfacePtr target;
  ASSERT_EQ(device_->GetRenderTarget(&target), Result::kOk);
  ASSERT_EQ(direct3d_->CreateDevice(DeviceKind::kHal, target, &fresh), Result::kOk);
  struct RenderCase {
    uint32_t state, value;
  };
  for (RenderCase c : {RenderCase{kRsSrcBlend, kBlendOne}, {kRsDestBlend, kBlendZero},
                       {kRsAlphaBlendEnable, 0}, {kRsAlphaTestEnable, 0}, {kRsAlphaFunc, kCmpAlways},
                       {kRsAlphaRef, 0}, {kRsColorKeyEnable, 0}, {kRsShadeMode, kShadeGouraud}}) {
    uint32_t v = 99;
    ASSERT_EQ(fresh->GetRenderState(c.state, &v), Result::kOk);
    EXPECT_EQ(v, c.value) << "render state " << c.state;
  }
  struct StageCase {
    uint32_t stage, state, value;
  };
  for (StageCase c : {StageCase{0, kTssColorOp, kTopModulate}, {0, kTssColorArg1, kTaTexture},
                      {0, kTssColorArg2, kTaCurrent}, {0, kTssAlphaOp, kTopSelectArg1},
                      {0, kTssAlphaArg1, kTaTexture}, {1, kTssColorOp, kTopDisable},
                      {3, kTssAlphaOp, kTopDisable}, {2, kTssTexCoordIndex, 2}}) {
    uint32_t v = 99;
    ASSERT_EQ(fresh->GetTextureStageState(c.stage, c.state, &v), Result::kOk);
    EXPECT_EQ(v, c.value) << "stage " << c.stage << " state " << c.state;
  }
  // Values the device cannot honour are refused and change nothing.
  EXPECT_EQ(fresh->SetRenderState(kRsSrcBlend, 14), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetRenderState(kRsAlphaFunc, 0), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetRenderState(0, 1), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetRenderState(kRenderStateCount, 1), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetTextureStageState(0, kTssColorOp, 24), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetTextureStageState(0, kTssColorArg1, 5), Result::kInvalidParams);
  EXPECT_EQ(fresh->SetTextureStageState(kStageCount, kTssColorOp, kTopAdd), Result::kInvalidParams);
  uint32_t v = 0;
  ASSERT_EQ(fresh->GetRenderState(kRsSrcBlend, &v), Result::kOk);
  EXPECT_EQ(v, kBlendOne);
  // Transforms are kept as given.
  Matrix m;
  m.m[3][0] = 12.5f;
  ASSERT_EQ(fresh->SetTransform(kTransformView, m), Result::kOk);
  Matrix back;
  ASSERT_EQ(fresh->GetTransform(kTransformView, &back), Result::kOk);
  EXPECT_EQ(back, m);
  EXPECT_EQ(fresh->SetTransform(4, m), Result::kInvalidParams);
}

TEST_F(GlDeviceObjectTest, MemoryAndGlStayInStep) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8(), 0xFF000000);
  SurfacePtr texture = MakeSurface(8, 8, TextureFormatX8R8G8B8(), display::kCapsTexture);
  Fill(*texture, 0xFF0000FF);
  SelectTexture();
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  std::vector<VertexTextured> left;
  AppendQuad(&left, -0.5f, -0.5f, 3.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(left), Result::kOk);
  // A lock after the draw sees it.
  EXPECT_EQ(PixelAt(*target, 1, 1), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(*target, 6, 1), 0xFF000000u);

  // CPU writes into the texture and the target are seen by the next draw.
  Fill(*texture, 0xFFFF0000);
  FillWith(*target, [](int32_t x, int32_t) { return x >= 4 ? 0xFF00FF00u : 0xFF000000u; });
  std::vector<VertexTextured> top;
  AppendQuad(&top, -0.5f, -0.5f, 7.5f, 1.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(top), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 6, 0), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(*target, 6, 5), 0xFF00FF00u) << "the CPU write outside the draw stays";
  EXPECT_EQ(PixelAt(*target, 1, 5), 0xFF000000u);

  // A blit out of the target reads what was drawn.
  SurfacePtr copy = MakeSurface(8, 8, TextureFormatX8R8G8B8(), display::kCapsOffscreenPlain);
  ASSERT_EQ(device_->DrawPrimitive(kPrimTriangleList, kFvfTextured, left.data(), 6, 0), Result::kOk);
  ASSERT_EQ(copy->BltFast(0, 0, target.get(), nullptr, 0), Result::kOk);
  EXPECT_EQ(PixelAt(*copy, 1, 4), 0xFFFF0000u);
}

// A copy of part of a target after a draw, into another surface at an
// offset and another pitch: only that rectangle arrives, with the spare
// bits set, and the target itself still reads what was drawn.
TEST_F(GlDeviceObjectTest, APartialBlitOutOfADrawnTargetTakesOnlyItsRectangle) {
  struct Case {
    const char* what;
    PixelFormat format;
    uint32_t background, texel, untouched;
  };
  const Case cases[] = {
      {"x8r8g8b8", TextureFormatX8R8G8B8(), 0xFF000000u, 0xFF0000FFu, 0x00123456u},
      {"r5g6b5", display::Rgb565Format(), 0u, 0xF800u, 0x1234u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SurfacePtr target = MakeTarget(8, 8, c.format, c.background);
    SurfacePtr texture = MakeSurface(8, 8, c.format, display::kCapsTexture);
    Fill(*texture, c.texel);
    SelectTexture();
    ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
    std::vector<VertexTextured> left;
    AppendQuad(&left, -0.5f, -0.5f, 3.5f, 7.5f, 0xFFFFFFFF);
    ASSERT_EQ(DrawQuads(left), Result::kOk);
    SurfacePtr copy = MakeSurface(13, 9, c.format, display::kCapsOffscreenPlain);
    Fill(*copy, c.untouched);
    const display::Rect part{2, 1, 6, 7};
    ASSERT_EQ(copy->BltFast(3, 2, target.get(), &part, display::kBltFastWait), Result::kOk);
    for (int32_t y = 0; y < 9; ++y) {
      for (int32_t x = 0; x < 13; ++x) {
        const bool inside = x >= 3 && x < 7 && y >= 2 && y < 8;
        const uint32_t want = !inside ? c.untouched : (x - 3 + part.left < 4 ? c.texel : c.background);
        ASSERT_EQ(PixelAt(*copy, x, y), want) << x << "," << y;
      }
    }
    EXPECT_EQ(PixelAt(*target, 1, 6), c.texel);
    EXPECT_EQ(PixelAt(*target, 7, 0), c.background);
    ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  }
}

TEST_F(GlDeviceObjectTest, LoadCopiesIntoATextureTheNextDrawUses) {
  SurfacePtr target = MakeTarget(8, 8, display::Rgb565Format(), 0);
  SurfacePtr texture = MakeSurface(8, 8, display::Rgb565Format(), display::kCapsTexture);
  SurfacePtr staging =
      MakeSurface(8, 8, display::Rgb565Format(), display::kCapsTexture | display::kCapsSystemMemory);
  Fill(*texture, 0x001F);
  SelectTexture();
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 5, 5), 0x001Fu);
  FillWith(*staging, [](int32_t x, int32_t) { return x < 4 ? 0xF800u : 0x07E0u; });
  const display::Rect part{4, 0, 8, 8};
  ASSERT_EQ(device_->Load(texture, 0, 0, staging, &part, 0), Result::kOk);
  ASSERT_EQ(DrawQuads(v), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 1, 5), 0x07E0u);
  EXPECT_EQ(PixelAt(*target, 5, 5), 0x001Fu);
  EXPECT_EQ(device_->Load(texture, 6, 0, staging, &part, 0), Result::kInvalidRect);
}

TEST_F(GlDeviceObjectTest, APrimaryTargetIsInMemoryAtTheScenesEnd) {
  ASSERT_EQ(display_->SetCooperativeLevel(display::kCooperativeNormal), Result::kOk);
  display::SurfaceDesc desc;
  desc.caps = display::kCapsPrimary;
  SurfacePtr primary;
  ASSERT_EQ(display_->CreateSurface(desc, &primary), Result::kOk);
  ASSERT_EQ(direct3d_->CreateDevice(DeviceKind::kTnLHal, primary, &device_), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsShadeMode, kShadeFlat), Result::kOk);
  ASSERT_EQ(device_->SetTexture(0, nullptr), Result::kOk);
  ASSERT_EQ(device_->BeginScene(), Result::kOk);
  // The client area lies at (100, 50) on the desktop.
  std::vector<VertexColored> v;
  AppendBox(&v, 100, 50, 110, 60, 0xFFC08040);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  ASSERT_EQ(device_->EndScene(), Result::kOk);
  display::WindowImageCopy image;
  ASSERT_TRUE(display::CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(3, 3), 0xC08040u);
  EXPECT_NE(image.Rgb(12, 12), 0xC08040u);
}

TEST_F(GlDeviceObjectTest, LostSurfacesRefuseDrawsUntilRestoredAndReloaded) {
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8(), 0xFF000000);
  SurfacePtr texture = MakeSurface(8, 8, TextureFormatX8R8G8B8(), display::kCapsTexture);
  Fill(*texture, 0xFF123456);
  SelectTexture();
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  std::vector<VertexTextured> v;
  AppendQuad(&v, -0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(v), Result::kOk);

  display::test::MarkAllSurfacesLost();
  EXPECT_EQ(DrawQuads(v), Result::kSurfaceLost);
  EXPECT_EQ(device_->BeginScene(), Result::kSurfaceLost);
  Device3DPtr other;
  EXPECT_EQ(direct3d_->CreateDevice(DeviceKind::kTnLHal, target, &other), Result::kSurfaceLost);

  // The engine's rebuild: surfaces restored, the device made again, the
  // texture's pixels reloaded.
  ASSERT_EQ(target->Restore(), Result::kOk);
  EXPECT_EQ(DrawQuads(v), Result::kSurfaceLost) << "the texture is still lost";
  ASSERT_EQ(texture->Restore(), Result::kOk);
  device_.reset();
  direct3d_.reset();
  ASSERT_EQ(QueryDirect3D(*display_, &direct3d_), Result::kOk);
  ASSERT_EQ(direct3d_->CreateDevice(DeviceKind::kTnLHal, target, &device_), Result::kOk);
  ASSERT_EQ(device_->SetRenderState(kRsShadeMode, kShadeFlat), Result::kOk);
  SelectTexture();
  Fill(*texture, 0xFF654321);
  ASSERT_EQ(device_->SetTexture(0, texture), Result::kOk);
  ASSERT_EQ(device_->BeginScene(), Result::kOk);
  std::vector<VertexTextured> half;
  AppendQuad(&half, -0.5f, -0.5f, 3.5f, 7.5f, 0xFFFFFFFF);
  ASSERT_EQ(DrawQuads(half), Result::kOk);
  EXPECT_EQ(PixelAt(*target, 1, 1), 0xFF654321u);
  EXPECT_NE(PixelAt(*target, 6, 1), 0xFF123456u) << "the restored target holds no old frame";
}

TEST_F(GlDeviceObjectTest, WithoutAContextThereIsNoDirect3D) {
  display::DevicePtr another;
  ASSERT_EQ(display::CreateDevice(&another), Result::kOk);
  test::SetOpenGlUnavailable(true);
  std::shared_ptr<Direct3D> none;
  EXPECT_EQ(QueryDirect3D(*another, &none), Result::kNoDirect3D);
  EXPECT_EQ(none, nullptr);
  test::SetOpenGlUnavailable(false);
  EXPECT_EQ(QueryDirect3D(*another, &none), Result::kOk);
}

using GlDeviceObjectDeathTest = GlDeviceObjectTest;

TEST_F(GlDeviceObjectDeathTest, AnotherThreadMayNotDraw) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  MakeTarget(8, 8, TextureFormatX8R8G8B8());
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 4, 4, 0xFFFFFFFF);
  EXPECT_DEATH(std::thread([&] { (void)DrawBoxes(v); }).join(), "does not own the 3D device");
}

TEST_F(GlDeviceObjectDeathTest, AnotherThreadMayNotReadBackADraw) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SurfacePtr target = MakeTarget(8, 8, TextureFormatX8R8G8B8());
  std::vector<VertexColored> v;
  AppendBox(&v, 0, 0, 4, 4, 0xFFFFFFFF);
  ASSERT_EQ(DrawBoxes(v), Result::kOk);
  EXPECT_DEATH(std::thread([&] { (void)PixelAt(*target, 0, 0); }).join(), "does not own the 3D device");
}

}  // namespace
}  // namespace d3d_test
