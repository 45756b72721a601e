// Render targets of the Direct3D back end on the recording stand-in:
// drawable texture graphics as targets, what is refused (and then never
// drawn onto the front screen), the clear of a texture target, and the
// mask screen taking the drawing while masked drawing is on.
#include <cstring>
#include <memory>

#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

// Notes every access to a surface's memory in the recorder's trace, so the
// trace shows what reached the device before the surface was touched.
class AccessNotes final : public pd::SurfaceCompanion {
 public:
  explicit AccessNotes(std::string name) : name_(std::move(name)) {}
  void BeforeMemoryAccess(pd::Surface&) override { Note("access"); }
  void AfterMemoryWrite(pd::Surface&) override {}

 private:
  void Note(const char* what) {
    auto recorder = d3d::RecordingDirect3D::Instance();
    if (recorder != nullptr) recorder->Record(std::string(what) + "(" + name_ + ")");
  }
  std::string name_;
};

class TargetTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    StartWithSmallTextures();
    if (HasFatalFailure()) return;
  }
  void TearDown() override {
    UseMaskScreenForTest(nullptr);
    ResetTextureDevice();
    Direct3DTest::TearDown();
  }

  int MakeGraph(int width, int height, int drawable, int texture = 1) {
    CurrentDrawState.CreateDrawable = drawable;
    const int graph = MakeBlankGraph(width, height, texture == 1 ? 0 : 1);
    CurrentDrawState.CreateDrawable = 0;
    EXPECT_NE(graph, -1);
    if (texture == 1) {
      EXPECT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
    }
    return graph;
  }
  SurfaceData* Store(int graph) {
    const GraphRecord* g = GetGraphRecord(graph);
    if (g->TextureFlag == 1) return GetSurfaceData(GetSurface3DData(g->Pieces[0])->SurfaceData);
    return GetSurfaceData(GetSurface2D(g->Pieces[0])->SurfaceDataHandle);
  }
  int StoreHandle(int graph) { return GetSurface3DData(GetGraphRecord(graph)->Pieces[0])->SurfaceData; }
  void AppendQuad() {
    BeginScene3D();
    ReserveBatchVertices3D(Record(), d3d::kPrimTriangleList, 6);
  }
  std::string Name(const SurfacePtr& s) { return Recorder().Name(s.get()); }
  // The trace lines of the calls named (prefixes), in order.
  std::vector<std::string> Only(std::initializer_list<const char*> prefixes) {
    std::vector<std::string> out;
    for (const std::string& line : Trace()) {
      for (const char* p : prefixes) {
        if (line.rfind(p, 0) == 0) {
          out.push_back(line);
          break;
        }
      }
    }
    return out;
  }
  uint32_t Pixel32(const SurfacePtr& s) {
    pd::LockedRect lock;
    EXPECT_EQ(s->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    uint32_t v = 0;
    std::memcpy(&v, lock.bits, sizeof v);
    s->Unlock();
    return v;
  }
  uint16_t Pixel16(const SurfacePtr& s) {
    pd::LockedRect lock;
    EXPECT_EQ(s->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    uint16_t v = 0;
    std::memcpy(&v, lock.bits, sizeof v);
    s->Unlock();
    return v;
  }
};

TEST_F(TargetTest, TextureGraphicsAsTargets) {
  const int drawable = MakeGraph(48, 32, 1);
  const int plain = MakeGraph(48, 32, 0);
  const int wide = MakeGraph(100, 32, 1);
  ASSERT_GT(GetGraphRecord(wide)->PieceCount, 1);
  const int systemMem2D = [&] {
    CurrentDrawState.CreateSystemMem = 1;
    const int g = MakeGraph(16, 16, 1, 0);
    CurrentDrawState.CreateSystemMem = 0;
    return g;
  }();
  const SurfacePtr texture = Store(drawable)->Surface;

  struct Case {
    const char* what;
    int target;
    int result;
    int suspended;
  };
  const Case cases[] = {
      {"a drawable texture graphic", drawable, 0, 0},
      {"a texture graphic not made drawable", plain, -1, 1},
      {"a texture graphic of several textures", wide, -1, 1},
      {"a 2D graphic in system memory", systemMem2D, -1, 1},
      {"a handle that is not a graphic", 0x7FFF0000, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SetDrawTarget3D(-2), 0);
    EXPECT_EQ(SetDrawTarget3D(c.target), c.result);
    EXPECT_EQ(GetDirect3DState().Suspended3D, c.suspended);
    EXPECT_EQ(GetDirect3DState().FrontTargetFlag, 0);
    if (c.result == 0) {
      EXPECT_EQ(Record().CurrentTarget, texture);
    } else {
      // Refused: the device is back on its own target and draws wait.
      EXPECT_EQ(Record().CurrentTarget, nullptr);
    }
  }

  // Through the public selection: the texture becomes the target and the
  // draw area its viewport.
  ASSERT_EQ(SetDrawTarget(-2), 0);
  ClearTrace();
  ASSERT_EQ(SetDrawTarget(drawable), 0);
  EXPECT_EQ(Only({"SetRenderTarget", "SetViewport"}),
            (std::vector<std::string>{"SetRenderTarget(" + Name(GetMainSurfaces().PrimarySurface) + ")",
                                      "SetRenderTarget(" + Name(texture) + ")",
                                      "SetViewport(0, 0, 48, 32)"}));
  EXPECT_EQ(GetDirect3DState().Suspended3D, 0);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(Record().CurrentTarget, GetMainSurfaces().BackSurface);
}

TEST_F(TargetTest, ClearingATextureTarget) {
  CurrentDrawState.CreateBitDepth = 32;
  const int graph = MakeGraph(32, 16, 1);
  CurrentDrawState.CreateBitDepth = 0;
  SurfaceData* data = Store(graph);
  ASSERT_EQ(SetSurfaceDataZBuffer(StoreHandle(graph), 1), 0);
  ASSERT_NE(data->DepthSurface, nullptr);
  ASSERT_EQ(FillSurfaceData(StoreHandle(graph), 200, 100, 50, 255), 0);
  pd::BltFx zero;
  zero.fill_depth = 0;
  ASSERT_EQ(data->DepthSurface->Blt(nullptr, nullptr, nullptr, pd::kBltDepthFill | pd::kBltWait, &zero),
            pd::Result::kOk);
  ASSERT_EQ(SetDrawTarget(graph), 0);
  data->Surface->SetCompanion(std::make_shared<AccessNotes>("texture"));

  AppendQuad();
  ClearTrace();
  EXPECT_EQ(ClearDrawTarget3D(), 0);
  const std::vector<std::string> order = Only({"DrawPrimitive", "EndScene", "access"});
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0].rfind("DrawPrimitive(4, ", 0), 0u) << "the waiting draw lands first";
  EXPECT_EQ(order[1], "EndScene()");
  EXPECT_EQ(order[2], "access(texture)");
  data->Surface->SetCompanion(nullptr);

  // Background black over the whole texture, depth all far.
  EXPECT_EQ(Pixel32(data->Surface) & 0xFFFFFFu, 0u);
  EXPECT_EQ(Pixel16(data->DepthSurface), 0xFFFF);

  // The screens and 2D graphics are left to the 2D side.
  ASSERT_EQ(FillSurfaceData(StoreHandle(graph), 200, 100, 50, 255), 0);
  const uint32_t filled = Pixel32(data->Surface);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(ClearDrawTarget3D(), 0);
  EXPECT_EQ(Pixel32(data->Surface), filled);
  CurrentDrawState.DrawTarget = graph;
  GetDisplayState().GraphicsLost = 1;
  EXPECT_EQ(ClearDrawTarget3D(), 0);
  EXPECT_EQ(Pixel32(data->Surface), filled) << "nothing while the graphics are lost";
  GetDisplayState().GraphicsLost = 0;
  CurrentDrawState.DrawTarget = -2;
}

TEST_F(TargetTest, TheMaskScreenTakesTheDrawing) {
  pd::SurfaceDesc desc;
  desc.caps = pd::kCapsOffscreenPlain | pd::kCaps3DDevice | pd::kCapsVideoMemory;
  desc.width = 640;
  desc.height = 480;
  SurfacePtr mask;
  ASSERT_EQ(GetDisplayState().DirectDrawObject->CreateSurface(desc, &mask), pd::Result::kOk);
  const std::string back = Name(GetMainSurfaces().BackSurface);

  // A mask buffer without a mask screen: masked drawing stays off and the
  // target keeps the drawing.
  ASSERT_EQ(CreateMaskBuffer(1, 0), 0);
  ASSERT_EQ(SetClipArea(10, 20, 110, 70), 0);
  ClearTrace();
  ASSERT_EQ(EnableMaskedDrawing(1), 0);
  EXPECT_EQ(CurrentDrawState.MaskedDrawing, 0);
  EXPECT_EQ(Record().CurrentTarget, GetMainSurfaces().BackSurface);
  EXPECT_EQ(Count("SetRenderTarget"), 0);

  UseMaskScreenForTest(mask);
  AppendQuad();
  ClearTrace();
  ASSERT_EQ(EnableMaskedDrawing(1), 0);
  ASSERT_EQ(CurrentDrawState.MaskedDrawing, 1);
  EXPECT_EQ(Only({"DrawPrimitive", "SetRenderTarget", "SetViewport"}),
            (std::vector<std::string>{"DrawPrimitive(4, 0x44, 6, 0)", "SetRenderTarget(" + Name(mask) + ")",
                                      "SetViewport(10, 20, 100, 50)"}));
  ClearTrace();
  ASSERT_EQ(EnableMaskedDrawing(0), 0);
  EXPECT_EQ(Only({"SetRenderTarget", "SetViewport"}),
            (std::vector<std::string>{"SetRenderTarget(" + back + ")", "SetViewport(10, 20, 100, 50)"}));

  // The front screen of a window lies on the desktop at the client area;
  // the screen-sized mask screen takes the draw area as it is.
  ASSERT_EQ(SetDrawTarget(-4), 0);
  ASSERT_EQ(GetDisplayState().TempPrimaryMode, 0);
  ASSERT_EQ(SetClipArea(10, 20, 110, 70), 0);
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{110, 70, 100, 50, 0.0f, 1.0f}));
  ASSERT_EQ(SetMaskDrawTarget3D(1), 0);
  EXPECT_EQ(Record().CurrentTarget, mask);
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{10, 20, 100, 50, 0.0f, 1.0f}));
  ASSERT_EQ(SetClipArea(0, 0, 8, 8), 0);
  Recorder().FailCall("SetViewport", d3d::Result::kGeneric);
  EXPECT_EQ(SetMaskDrawTarget3D(1), -1);
  EXPECT_TRUE(LogHas("ビューポートのセットに失敗しました")) << "its own line, without the code";
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{100, 50, 8, 8, 0.0f, 1.0f})) << "cache kept";
  ASSERT_EQ(SetMaskDrawTarget3D(0), 0);
  EXPECT_EQ(Record().CurrentTarget, GetMainSurfaces().PrimarySurface);
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{100, 50, 8, 8, 0.0f, 1.0f}));

  // A target that cannot take 3D stays suspended; the device goes back to
  // its own target, not onto the target's system-memory surface.
  CurrentDrawState.CreateSystemMem = 1;
  const int systemMem = MakeGraph(16, 16, 1, 0);
  CurrentDrawState.CreateSystemMem = 0;
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(SetDrawTarget3D(systemMem), -1);
  CurrentDrawState.DrawTarget = systemMem;
  ASSERT_EQ(SetMaskDrawTarget3D(1), 0);
  ASSERT_EQ(SetMaskDrawTarget3D(0), 0);
  EXPECT_EQ(Record().CurrentTarget, nullptr);
  EXPECT_EQ(GetDirect3DState().Suspended3D, 1);
  CurrentDrawState.DrawTarget = -2;
}

}  // namespace
}  // namespace d3d_engine_test
