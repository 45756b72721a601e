// Direct3D start-up on the recording stand-in: the log, the device and
// depth rules, the failures that send the library to software rendering,
// and the end, loss and re-creation of the device.
#include "tests/graphics3d/d3d_fixture.h"
#include "engine/graphics/surface_3d.h"
#include "tests/support/direct3d_startup_log.h"

namespace d3d_engine_test {
namespace {

using StartupTest = Direct3DTest;

d3d::RecordingScript::Device Dev(d3d::DeviceKind kind, uint32_t depths, uint32_t maxTexture) {
  d3d::DeviceDesc desc;
  desc.kind = kind;
  desc.render_bit_depths = depths;
  desc.max_texture_width = desc.max_texture_height = maxTexture;
  desc.min_texture_width = desc.min_texture_height = 0;
  return {"device", "device", desc};
}

TEST_F(StartupTest, HardwareStartLogsEveryStepAndUsesTheDevice) {
  StartHardware();
  const std::vector<std::string>& expected = test_support::Direct3DStartupLogLines();

  EXPECT_EQ(LogBetween(expected.front(), expected.back()), expected);
  EXPECT_TRUE(LogHas("３Ｄグラフィック描画機能を使用します"));
  const Direct3DState& s = GetDirect3DState();
  EXPECT_EQ(s.Initialized3D, 1);
  EXPECT_EQ(IsDirect3DUsable(), 1);
  EXPECT_EQ(IsUsing3DDrawing(), 1);
  EXPECT_EQ(s.MinTextureSize, 1);
  EXPECT_EQ(s.MaxTextureSize, 2048);
  EXPECT_EQ(s.ReadBackChoice[0], -1);
  EXPECT_EQ(s.ZBufferFormat.RgbBitCount, 16u);
  EXPECT_EQ(s.FrontTargetFlag, 1) << "the front screen is the draw target after start-up";
  EXPECT_EQ(Record().CurrentTarget.get(), GetMainSurfaces().PrimarySurface.get());
  EXPECT_EQ(Record().DefaultTarget.get(), GetMainSurfaces().PrimarySurface.get());
  EXPECT_TRUE(Has("CreateDevice(3, surface1)"));
  EXPECT_EQ(InitializeDirect3D(), -1) << "a second start is refused";
  EXPECT_EQ(CurrentDrawState.Use3D, 1);

  CurrentDrawState.CreateDrawable = 0;
  const int graph = MakeBlankGraph(16, 16, 0);
  ASSERT_NE(graph, -1);
  EXPECT_EQ(GetGraphRecord(graph)->TextureFlag, 1) << "a graphic asked for in 3D is a texture graphic";
  EXPECT_GT(GetSurface3DCount(), 0);

  TerminateGraphics();
  EXPECT_FALSE(IsDirect3DRunning());
  EXPECT_EQ(GetDirect3DState().Initialized3D, 0);
  EXPECT_EQ(Record().InUse, 0);
  EXPECT_TRUE(LogHas("３Ｄデバイスの削除は正常に終了しました"));
  EXPECT_TRUE(LogHas("Direct3D 関連の終了処理は正常に終了しました"));
  EXPECT_EQ(GetSurface3DCount(), 0) << "the end deletes every piece";
}

TEST_F(StartupTest, DeviceRule) {
  using K = d3d::DeviceKind;
  const uint32_t both = d3d::kBitDepth16 | d3d::kBitDepth32;
  struct Case {
    const char* what;
    std::vector<d3d::RecordingScript::Device> devices;
    int fullScreenBits;  // 0: window on the 32-bit desktop
    K kind;
    uint32_t maxTexture;  // tells the devices apart
    int devicesAsked;     // callbacks run before the enumeration stopped
  };
  const Case cases[] = {
      {"T&L wins and ends the search", {Dev(K::kHal, both, 512), Dev(K::kTnLHal, both, 1024),
                                        Dev(K::kHal, both, 4096)}, 0, K::kTnLHal, 1024, 2},
      {"the last plain HAL is kept", {Dev(K::kHal, both, 512), Dev(K::kHal, both, 1024)}, 0, K::kHal,
       1024, 2},
      {"T&L without 16-bit rendering is skipped on a 16-bit screen",
       {Dev(K::kHal, d3d::kBitDepth16, 512), Dev(K::kTnLHal, d3d::kBitDepth32, 1024)}, 16, K::kHal, 512,
       2},
      {"software devices are skipped", {Dev(K::kRgb, both, 256), Dev(K::kHal, both, 512)}, 0, K::kHal,
       512, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    d3d::RecordingScript script = d3d::RecordingScript::LikeOpenGl();
    script.devices = c.devices;
    UseScript(script);
    StartHardware(c.fullScreenBits != 0, c.fullScreenBits == 0 ? 16 : c.fullScreenBits);
    EXPECT_EQ(GetDirect3DState().Initialized3D, 1);
    EXPECT_EQ(GetDirect3DState().DeviceDesc.kind, c.kind);
    EXPECT_EQ(GetDirect3DState().MaxTextureSize, static_cast<int>(c.maxTexture));
    EXPECT_EQ(GetDirect3DState().MinTextureSize, 32) << "a device reporting 0 gets 32";
    EXPECT_TRUE(Has("CreateDevice(" + std::to_string(static_cast<int>(c.kind)) + ", surface1)"));
    TerminateGraphics();
    GetWindowData().window_mode = 1;
    GetScreenColorState() = ScreenColorState{};
  }
}

TEST_F(StartupTest, AScreenDepthWithoutDeviceFindsNone) {
  SetNotUseDirect3D(1);
  StartHardware();
  ASSERT_FALSE(IsDirect3DRunning());
  EXPECT_TRUE(LogHas("３Ｄグラフィック描画機能は使用しません"));
  GetScreenColorState().ScreenBits = 24;
  EXPECT_EQ(InitializeDirect3D(), -1);
  EXPECT_TRUE(LogHas("現在の画面モードで使用できる描画デバイスが見つかりませんでした"));
  EXPECT_FALSE(IsDirect3DRunning());
  GetScreenColorState().ScreenBits = 32;
}

TEST_F(StartupTest, EveryFailedStepLogsReleasesAndFallsBackToSoftware) {
  struct Case {
    const char* line;
    void (*arrange)(d3d::RecordingScript&, d3d::RecordingDirect3D&);
  };
  const Case cases[] = {
      {"Direct3Dオブジェクトの作成に失敗しました",
       [](d3d::RecordingScript&, d3d::RecordingDirect3D& r) {
         r.FailCall("QueryDirect3D", d3d::Result::kGeneric);
       }},
      {"現在の画面モードで使用できる描画デバイスが見つかりませんでした",
       [](d3d::RecordingScript& s, d3d::RecordingDirect3D&) { s.devices.clear(); }},
      {"現在の画面モードで使用できる描画デバイスが見つかりませんでした",
       [](d3d::RecordingScript&, d3d::RecordingDirect3D& r) {
         r.FailCall("EnumDevices", d3d::Result::kGeneric);
       }},
      {"使用可能なＺバッファが見つかりませんでした",
       [](d3d::RecordingScript& s, d3d::RecordingDirect3D&) {
         // A 24-bit depth format and one with more flags do not count.
         pd::PixelFormat f = pd::Depth16Format();
         f.bit_count = 24;
         pd::PixelFormat g = pd::Depth16Format();
         g.flags |= pd::kPixelFormatAlpha;
         s.z_buffer_formats = {f, g};
       }},
      {"３Ｄデバイスを作成します... ３Ｄデバイスの作成に失敗しました",
       [](d3d::RecordingScript&, d3d::RecordingDirect3D& r) {
         r.FailCall("CreateDevice", d3d::Result::kGeneric);
       }},
      {"使用可能なテクスチャフォーマットが見つかりませんでした",
       [](d3d::RecordingScript& s, d3d::RecordingDirect3D&) {
         s.texture_formats = {d3d::TextureFormatX8R8G8B8(), d3d::TextureFormatA4R4G4B4()};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    d3d::RecordingScript script = d3d::RecordingScript::LikeOpenGl();
    d3d::RecordingDirect3D::Install(script);
    c.arrange(Recorder().script(), Recorder());
    StartHardware();
    EXPECT_TRUE(LogHas(c.line));
    EXPECT_TRUE(LogHas("ソフトウエアレンダリングモードに変更します"));
    EXPECT_FALSE(IsDirect3DRunning());
    EXPECT_EQ(GetDirect3DState().Initialized3D, 0);
    EXPECT_EQ(Record().InUse, 0) << "the device made is released";
    EXPECT_EQ(Record().Device, nullptr);
    EXPECT_EQ(IsSoftwareRendering(), 1);
    EXPECT_EQ(GetMainSurfaces().ScreensAreMemImgs, 1);
    EXPECT_EQ(IsDirect3DUsable(), 0);
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    ResetDisplayState();  // the fall-back switched Direct3D off
    CreateLogFile();
  }
}

TEST_F(StartupTest, LossAndRecreation) {
  StartHardware();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  ClearTrace();
  EXPECT_EQ(ReleaseDirect3DObject(), 0);
  EXPECT_EQ(Record().Device, nullptr);
  EXPECT_EQ(Record().InUse, 1) << "the record survives the loss";
  EXPECT_EQ(GetDirect3DState().Initialized3D, 1);
  EXPECT_EQ(SetZEnable3D(Record(), 0), -1) << "nothing can be set while lost";
  EXPECT_EQ(ReleaseDirect3DObject(), 0);
  const std::vector<std::string> lost = LogBetween("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました",
                                                   "Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています");
  EXPECT_EQ(lost, (std::vector<std::string>{
                      "Ｄｉｒｅｃｔ３Ｄデバイスを削除しました",
                      "Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します",
                      "Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました",
                      "Ｄｉｒｅｃｔ３Ｄデバイスを削除しました",
                      "Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します",
                      "Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています",
                  }));

  Record().ColorKeyEnable = 1;
  ClearTrace();
  EXPECT_EQ(ReacquireDirect3D(), 0);
  ASSERT_NE(Record().Device, nullptr);
  EXPECT_EQ(Record().ColorKeyEnable, 0) << "the colour key ends off";
  EXPECT_EQ(Record().CurrentTarget.get(), GetMainSurfaces().BackSurface.get());
  // Everything is sent again, whatever the caches say.
  for (const char* line : {"SetRenderState(41, 0)", "SetRenderState(9, 1)", "SetRenderState(22, 1)",
                           "SetRenderState(26, 0)", "SetRenderState(4, 0)", "SetRenderState(137, 0)",
                           "SetRenderState(27, 0)", "SetRenderState(15, 0)",
                           "SetTextureStageState(0, 12, 3)", "SetTextureStageState(3, 11, 0)",
                           "SetTextureStageState(2, 11, 1)"}) {
    EXPECT_TRUE(Has(line)) << line;
  }
  EXPECT_TRUE(Has("SetViewport(0, 0, 640, 480)"));
  EXPECT_EQ(ReacquireDirect3D(), 0);
  // The line keeps its bytes: it ends in the letter n, not a line break.
  EXPECT_NE(ReadLog().find("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されていますn"), std::string::npos);
}

}  // namespace
}  // namespace d3d_engine_test
