// The recording stand-in: the Direct3D query through a display device, the
// trace, scripted enumerations, injected failures, and the same state
// checks and defaults as the OpenGL device.
#include <gtest/gtest.h>

#include "platform/d3d/recording_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"

namespace d3d_test {
namespace {

using namespace platform::d3d;
namespace display = platform::display;
using display::SurfacePtr;

class RecordingDirect3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display::test::ResetDisplayControls();
    ASSERT_EQ(display::CreateDevice(&display_), Result::kOk);
    target_ = MakeSurface(64, 32, display::Rgb565Format());
  }
  void TearDown() override {
    RecordingDirect3D::Uninstall();
    display::test::ResetDisplayControls();
  }

  SurfacePtr MakeSurface(int32_t w, int32_t h, const PixelFormat& f) {
    display::SurfaceDesc desc;
    desc.caps = display::kCapsTexture | display::kCaps3DDevice;
    desc.width = w;
    desc.height = h;
    desc.has_pixel_format = true;
    desc.pixel_format = f;
    SurfacePtr s;
    EXPECT_EQ(display_->CreateSurface(desc, &s), Result::kOk);
    return s;
  }

  display::DevicePtr display_;
  SurfacePtr target_;
};

TEST_F(RecordingDirect3DTest, WithoutABackEndTheQueryFails) {
  std::shared_ptr<Direct3D> d3d;
  EXPECT_EQ(QueryDirect3D(*display_, &d3d), Result::kNoDirect3D);
}

TEST_F(RecordingDirect3DTest, RecordsTheCallsOfAStartAndADraw) {
  RecordingDirect3D::Install();
  auto recorder = RecordingDirect3D::Instance();
  std::shared_ptr<Direct3D> d3d;
  ASSERT_EQ(QueryDirect3D(*display_, &d3d), Result::kOk);
  DeviceKind chosen = DeviceKind::kRgb;
  ASSERT_EQ(d3d->EnumDevices([&](const std::string&, const std::string&, const DeviceDesc& d) {
    chosen = d.kind;
    return false;
  }),
            Result::kOk);
  EXPECT_EQ(chosen, DeviceKind::kTnLHal);
  Device3DPtr device;
  ASSERT_EQ(d3d->CreateDevice(chosen, target_, &device), Result::kOk);
  SurfacePtr texture = MakeSurface(32, 32, TextureFormatA4R4G4B4());
  ASSERT_EQ(device->SetTexture(0, texture), Result::kOk);
  ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 1), Result::kOk);
  ASSERT_EQ(device->SetTextureStageState(0, kTssColorOp, kTopSelectArg1), Result::kOk);
  ASSERT_EQ(device->BeginScene(), Result::kOk);
  const VertexTextured v[3] = {{0, 0, 0.2f, 1, 0xFFFFFFFF, 0, 0},
                               {10, 0, 0.2f, 1, 0, 1, 0},
                               {0, 10, 0.2f, 1, 0, 0, 1}};
  ASSERT_EQ(device->DrawPrimitive(kPrimTriangleList, kFvfTextured, v, 3, 0), Result::kOk);
  ASSERT_EQ(device->EndScene(), Result::kOk);
  const std::vector<std::string> expected = {
      "QueryDirect3D()",
      "EnumDevices()",
      "CreateDevice(3, surface1)",
      "SetTexture(0, surface2)",
      "SetRenderState(27, 1)",
      "SetTextureStageState(0, 1, 2)",
      "BeginScene()",
      "DrawPrimitive(4, 0x144, 3, 0)",
      "EndScene()",
  };
  EXPECT_EQ(recorder->trace(), expected);
  ASSERT_EQ(recorder->draws().size(), 1u);
  const RecordedDraw& d = recorder->draws()[0];
  EXPECT_EQ(d.vertices.size(), sizeof v);
  EXPECT_EQ(d.textures[0], texture);
  EXPECT_EQ(d.target, target_);
}

TEST_F(RecordingDirect3DTest, ScriptsTheEnumerations) {
  RecordingScript script;
  DeviceDesc hal;
  hal.kind = DeviceKind::kHal;
  hal.render_bit_depths = kBitDepth16;
  script.devices.push_back({"plain", "HAL", hal});
  script.texture_formats = {TextureFormatA8R8G8B8()};
  RecordingDirect3D::Install(script);
  std::shared_ptr<Direct3D> d3d;
  ASSERT_EQ(QueryDirect3D(*display_, &d3d), Result::kOk);
  std::vector<DeviceKind> kinds;
  ASSERT_EQ(d3d->EnumDevices([&](const std::string&, const std::string&, const DeviceDesc& d) {
    kinds.push_back(d.kind);
    return true;
  }),
            Result::kOk);
  EXPECT_EQ(kinds, std::vector<DeviceKind>{DeviceKind::kHal});
  int depth_formats = 0;
  ASSERT_EQ(d3d->EnumZBufferFormats(DeviceKind::kHal, [&](const PixelFormat&) { return ++depth_formats, true; }),
            Result::kOk);
  EXPECT_EQ(depth_formats, 0);
  Device3DPtr device;
  EXPECT_EQ(d3d->CreateDevice(DeviceKind::kTnLHal, target_, &device), Result::kInvalidParams)
      << "a kind the script does not have";
  ASSERT_EQ(d3d->CreateDevice(DeviceKind::kHal, target_, &device), Result::kOk);
  std::vector<PixelFormat> formats;
  ASSERT_EQ(device->EnumTextureFormats([&](const PixelFormat& f) { return formats.push_back(f), true; }),
            Result::kOk);
  EXPECT_EQ(formats, script.texture_formats);
}

TEST_F(RecordingDirect3DTest, InjectedFailuresAnswerTheNamedCalls) {
  RecordingDirect3D::Install();
  auto recorder = RecordingDirect3D::Instance();
  recorder->FailCall("QueryDirect3D", Result::kGeneric);
  std::shared_ptr<Direct3D> d3d;
  EXPECT_EQ(QueryDirect3D(*display_, &d3d), Result::kNoDirect3D);
  ASSERT_EQ(QueryDirect3D(*display_, &d3d), Result::kOk) << "once only";
  recorder->FailCall("CreateDevice", Result::kOutOfVideoMemory);
  Device3DPtr device;
  EXPECT_EQ(d3d->CreateDevice(DeviceKind::kTnLHal, target_, &device), Result::kOutOfVideoMemory);
  EXPECT_EQ(device, nullptr);
  ASSERT_EQ(d3d->CreateDevice(DeviceKind::kTnLHal, target_, &device), Result::kOk);
  recorder->FailCall("SetViewport", Result::kGeneric, -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(device->SetViewport(Viewport{0, 0, 8, 8, 0, 1}), Result::kGeneric);
  Viewport v;
  ASSERT_EQ(device->GetViewport(&v), Result::kOk);
  EXPECT_EQ(v.width, 64u) << "a failed call changes nothing";
  recorder->ClearFailures();
  EXPECT_EQ(device->SetViewport(Viewport{0, 0, 8, 8, 0, 1}), Result::kOk);
  EXPECT_EQ(recorder->trace().back(), "SetViewport(0, 0, 8, 8)");
  EXPECT_EQ(recorder->trace()[recorder->trace().size() - 2], "SetViewport(0, 0, 8, 8) -> failed");
}

TEST_F(RecordingDirect3DTest, KeepsTheDevicesStateAndChecks) {
  RecordingDirect3D::Install();
  std::shared_ptr<Direct3D> d3d;
  ASSERT_EQ(QueryDirect3D(*display_, &d3d), Result::kOk);
  Device3DPtr device;
  ASSERT_EQ(d3d->CreateDevice(DeviceKind::kTnLHal, target_, &device), Result::kOk);
  uint32_t v = 0;
  ASSERT_EQ(device->GetTextureStageState(0, kTssColorOp, &v), Result::kOk);
  EXPECT_EQ(v, kTopModulate);
  ASSERT_EQ(device->GetRenderState(kRsAlphaFunc, &v), Result::kOk);
  EXPECT_EQ(v, kCmpAlways);
  EXPECT_EQ(device->SetRenderState(kRsDestBlend, 0), Result::kInvalidParams);
  EXPECT_EQ(device->SetViewport(Viewport{60, 0, 8, 8, 0, 1}), Result::kInvalidParams);
  const VertexColored tri[3] = {};
  const uint16_t bad[3] = {0, 1, 3};
  EXPECT_EQ(device->DrawIndexedPrimitive(kPrimTriangleList, kFvfColored, tri, 3, bad, 3, 0),
            Result::kInvalidParams);
  display::test::MarkSurfaceLost(*target_);
  EXPECT_EQ(device->DrawPrimitive(kPrimTriangleList, kFvfColored, tri, 3, 0), Result::kSurfaceLost);
  EXPECT_TRUE(RecordingDirect3D::Instance()->draws().empty());
}

}  // namespace
}  // namespace d3d_test
