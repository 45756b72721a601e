// The render-state cache on the recording stand-in: start values of a new
// record, the viewport and target caches, the stage table, the threshold
// rule of the blend graphic, the per-draw preparation and what reaches the
// device (only real changes).
#include <cstdio>
#include <memory>

#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

class RenderStateTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    StartHardware();
    ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }
  DrawTexture3D Texture(const pd::PixelFormat& format, int alphaCh, int alphaTest) {
    return DrawTexture3D{MakeTexture(format), alphaCh, alphaTest};
  }
  // Puts a quad in the batch (the vertices' contents do not matter here).
  void AppendQuad() {
    BeginScene3D();
    ReserveBatchVertices3D(Record(), d3d::kPrimTriangleList, 6);
  }
};

TEST_F(RenderStateTest, ANewRecordStartsFromItsOwnValues) {
  auto r = std::make_unique<DeviceRecord3D>();
  MakeDeviceRecord3D(*r);
  EXPECT_EQ(r->InUse, 1);
  EXPECT_EQ(r->DepthEnable, 1);
  EXPECT_EQ(r->ShadeMode, 1);
  EXPECT_EQ(r->DepthFunc, 4);
  EXPECT_EQ(r->DepthWrite, 0);
  EXPECT_EQ(r->BorderParam, -1);
  EXPECT_EQ(r->TextureAddress, 3);
  EXPECT_EQ(r->BlendDirty, 1);
  EXPECT_EQ(r->Batch.Format, 1);
  for (const StageSetting3D& s : r->Stages) {
    EXPECT_EQ(s.Texture, nullptr);
    EXPECT_EQ((std::vector<int>{s.AlphaArg1, s.AlphaArg2, s.AlphaOp, s.ColorArg1, s.ColorArg2, s.ColorOp}),
              (std::vector<int>{2, 0, 1, 2, 0, 1}));
  }
}

TEST_F(RenderStateTest, ViewportCache) {
  ClearTrace();
  EXPECT_EQ(SetDrawAreaViewport3D(IntRect{10, 20, 110, 70}), 0);
  EXPECT_EQ(Trace(), std::vector<std::string>{"SetViewport(10, 20, 100, 50)"});
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{10, 20, 100, 50, 0.0f, 1.0f}));
  ClearTrace();
  AppendQuad();
  ClearTrace();
  EXPECT_EQ(SetDrawAreaViewport3D(IntRect{10, 20, 110, 70}), 0);
  EXPECT_TRUE(Trace().empty()) << "the same viewport again: nothing sent, no flush";
  EXPECT_EQ(Record().Batch.Count, 6u);
  EXPECT_EQ(SetDrawAreaViewport3D(IntRect{10, 20, 10, 70}), -1);

  Recorder().FailCall("SetViewport", d3d::Result::kGeneric);
  EXPECT_EQ(SetDrawAreaViewport3D(IntRect{0, 0, 5, 5}), -1);
  char line[80];
  std::snprintf(line, sizeof line, "ビューポートのセットに失敗しました ErrorCode %x",
                static_cast<unsigned>(d3d::Result::kGeneric));
  EXPECT_TRUE(LogHas(line));
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{10, 20, 100, 50, 0.0f, 1.0f})) << "cache kept";
  EXPECT_EQ(Count("DrawPrimitive(4, "), 1) << "a real change flushes first";
}

TEST_F(RenderStateTest, TargetsThatCannotTake3D) {
  CurrentDrawState.CreateSystemMem = 1;
  const int systemGraph = MakeBlankGraph(32, 32, 1);
  ASSERT_NE(systemGraph, -1);
  EXPECT_EQ(SetDrawTarget3D(systemGraph), -1);
  EXPECT_EQ(GetDirect3DState().Suspended3D, 1);
  EXPECT_EQ(SetDrawAreaViewport3D(IntRect{0, 0, 4, 4}), 0) << "suspended: nothing to set";
  EXPECT_EQ(SetDrawTarget3D(-2), 0);
  EXPECT_EQ(GetDirect3DState().Suspended3D, 0);
  EXPECT_EQ(Record().CurrentTarget.get(), GetMainSurfaces().BackSurface.get());

  CurrentDrawState.CreateSystemMem = 0;
  CurrentDrawState.CreateDrawable = 1;
  const int videoGraph = MakeBlankGraph(32, 32, 1);
  ASSERT_NE(videoGraph, -1);
  EXPECT_EQ(SetDrawTarget3D(videoGraph), 0);
  EXPECT_NE(Record().CurrentTarget, nullptr);
  EXPECT_NE(Record().CurrentTarget.get(), GetMainSurfaces().BackSurface.get());
  EXPECT_EQ(GetDirect3DState().FrontTargetFlag, 0);

  // A graphic of several stores: refused and suspended, never drawn onto the
  // screen the device was made on.
  GraphRecord* several = GetGraphRecord(videoGraph);
  several->Pieces[1] = several->Pieces[0];
  several->PieceCount = 2;
  EXPECT_EQ(SetDrawTarget3D(videoGraph), -1);
  EXPECT_EQ(GetDirect3DState().Suspended3D, 1);
  EXPECT_EQ(Record().CurrentTarget, nullptr) << "back at the device's own target, suspended";
  several->PieceCount = 1;
  EXPECT_EQ(SetDrawTarget3D(-4), 0);
  EXPECT_EQ(GetDirect3DState().FrontTargetFlag, 1);
}

TEST_F(RenderStateTest, StageTable) {
  EXPECT_EQ(StageTableIndex3D(1, 1, 1, 0), 10);
  EXPECT_EQ(StageTableIndex3D(1, 1, 1, 1), 22);
  struct Case {
    int index, count;
    int stage, alphaOp, alphaArg1, alphaArg2, colorOp, colorArg1, colorArg2;
  };
  const Case cases[] = {
      {0, 1, 0, 3, -1, 0, 2, 2, -1},   // u 0: alpha from the vertex
      {4, 1, 0, 4, 2, 0, 2, 2, -1},    // MA 1, u 1: texture alpha times vertex alpha
      {8, 1, 0, 2, 2, -1, 4, 2, 0},    // MC 1, u 2: colour times vertex colour
      {12, 2, 0, 7, 2, 3, 3, -1, 0},   // blend graphic: its alpha plus the factor
      {12, 2, 1, 2, 1, -1, 2, 2, -1},  // u 0, MA 0: the current alpha, second argument left
      {13, 3, 1, 4, 4, 1, 2, 1, -1},   // u 1: the specular stage
      {22, 4, 3, 4, 0, 1, 2, 1, -1},   // u 1, MA 1: the vertex alpha last
      {17, 3, 2, 4, 0, 1, 2, 1, -1},   // u 2, MA 1
      {17, 3, 3, 1, -1, -1, 1, -1, -1},
      {24, 1, 0, 3, -1, 0, 2, 0, -1},  // untextured subtract
  };
  for (const Case& c : cases) {
    const StageEntry3D& e = GetStageTableEntry3D(c.index);
    const StageSetting3D& s = e.Stages[static_cast<size_t>(c.stage)];
    EXPECT_EQ(e.Count, c.count) << c.index;
    EXPECT_EQ((std::vector<int>{s.AlphaOp, s.AlphaArg1, s.AlphaArg2, s.ColorOp, s.ColorArg1, s.ColorArg2}),
              (std::vector<int>{c.alphaOp, c.alphaArg1, c.alphaArg2, c.colorOp, c.colorArg1, c.colorArg2}))
        << "entry " << c.index << " stage " << c.stage;
  }
}

TEST_F(RenderStateTest, ThresholdOfTheBlendGraphic) {
  const SurfacePtr texture = MakeTexture(d3d::TextureFormatA8R8G8B8());
  const SurfacePtr blend = MakeTexture(d3d::TextureFormatA8R8G8B8());
  struct Case {
    int param, range, textureAlpha;
    int stage1Op, stage0Op, alphaTest, alphaFunc, alphaRef, alphaBlend;
    uint32_t factor;
  };
  const Case cases[] = {
      {128, 32, 0, 6, 10, 0, -1, -1, 1, 0x61FFFFFFu},
      {0, 32, 0, 6, 7, 0, -1, -1, 1, 0x40FFFFFFu},
      {100, 200, 0, 4, 7, 0, -1, -1, 1, 0x37FFFFFFu},
      {128, 100, 0, 5, 10, 0, -1, -1, 1, 0x41FFFFFFu},
      {0, 1, 1, 4, 7, 1, 7, 1, 0, 0x00FFFFFFu},
      {0, 0, 0, 2, 7, 1, 7, 0, 0, 0x00FFFFFFu},
      {90, 1, 0, 2, 7, 1, 7, 90, 0, 0x00FFFFFFu},
  };
  DeviceRecord3D& r = Record();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.param * 1000 + c.range);
    SetDrawTexture3D(r, texture);
    SetBlendInputs3D(r, 0, c.textureAlpha, 0);
    SetBlendTexture3D(r, c.param, blend, c.range);
    ASSERT_EQ(CommitBlendState3D(r), 0);
    EXPECT_EQ(r.Stages[1].AlphaOp, c.stage1Op);
    EXPECT_EQ(r.Stages[0].AlphaOp, c.stage0Op);
    EXPECT_EQ(r.States.AlphaTestEnable, c.alphaTest);
    if (c.alphaFunc != -1) {
      EXPECT_EQ(r.States.AlphaFunc, c.alphaFunc);
    }
    if (c.alphaRef != -1) {
      EXPECT_EQ(r.States.AlphaRef, c.alphaRef);
    }
    EXPECT_EQ(r.States.AlphaBlendEnable, c.alphaBlend);
    EXPECT_EQ(r.States.TextureFactor, c.factor);
    EXPECT_EQ(r.Batch.Format, 2);
    EXPECT_EQ(r.SkipDraw, 0);
  }
  // Fully hidden: the batch is discarded.
  SetBlendTexture3D(r, 255, blend, 32);
  CommitBlendState3D(r);
  EXPECT_EQ(r.SkipDraw, 1);
  AppendQuad();
  ClearTrace();
  EXPECT_EQ(FlushVertexBatch(r), 0);
  EXPECT_EQ(Count("DrawPrimitive"), 0);
  EXPECT_EQ(r.Batch.Count, 0u);
}

TEST_F(RenderStateTest, PrepareDraw) {
  const DrawTexture3D oneBit = Texture(d3d::TextureFormatA1R5G5B5(), 0, 1);
  DeviceRecord3D& r = Record();
  CurrentDrawState.FilterMode = 0;
  PrepareDraw3D(&oneBit, kPrepareTransparent | kPrepareIntegerCoords);
  EXPECT_EQ(r.UseAlphaTest, 1);
  EXPECT_EQ(r.UseTextureAlpha, 0);
  EXPECT_EQ(r.States.AlphaTestEnable, 1);
  EXPECT_EQ(r.States.AlphaFunc, static_cast<int>(d3d::kCmpGreater));
  EXPECT_EQ(r.States.AlphaRef, 16);
  EXPECT_EQ(r.States.AlphaBlendEnable, 0);
  EXPECT_EQ(r.DepthEnable, 0) << "depth testing off without the depth flag";
  EXPECT_EQ(r.Stages[0].Texture, oneBit.Texture);

  CurrentDrawState.BlendMode = 1;
  CurrentDrawState.BlendValue = 128;
  PrepareDraw3D(&oneBit, kPrepareTransparent | kPrepareIntegerCoords);
  EXPECT_EQ(r.UseTextureAlpha, 1);
  EXPECT_EQ(r.ModulateAlpha, 1);
  EXPECT_EQ(r.States.SrcBlend, static_cast<int>(d3d::kBlendSrcAlpha));
  EXPECT_EQ(r.States.DestBlend, static_cast<int>(d3d::kBlendInvSrcAlpha));
  EXPECT_EQ(r.States.AlphaTestEnable, 0);
  EXPECT_EQ(r.States.AlphaBlendEnable, 1);

  CurrentDrawState.BlendMode = 0;
  CurrentDrawState.FilterMode = 1;
  PrepareDraw3D(&oneBit, kPrepareTransparent);
  EXPECT_EQ(r.UseTextureAlpha, 1) << "linear filter with float coordinates";
  EXPECT_EQ(r.UseAlphaTest, 0);
  CurrentDrawState.FilterMode = 0;

  const DrawTexture3D plain = Texture(d3d::TextureFormatR5G6B5(), 0, 0);
  ClearTrace();
  PrepareDraw3D(&plain, kPrepareTransparent);
  EXPECT_EQ(r.ColorKeyEnable, 1);
  EXPECT_TRUE(Has("SetRenderState(41, 1)"));
  PrepareDraw3D(&plain, 0);
  EXPECT_EQ(r.ColorKeyEnable, 0);

  // Multiply with a transparent alpha-test texture keeps the test, so its
  // transparent pixels leave the target alone.
  CurrentDrawState.BlendMode = 4;
  CurrentDrawState.BlendValue = 255;
  PrepareDraw3D(&oneBit, kPrepareTransparent | kPrepareIntegerCoords);
  EXPECT_EQ(r.UseTextureAlpha, 1);
  EXPECT_EQ(r.States.AlphaTestEnable, 1);
  EXPECT_EQ(r.States.AlphaFunc, static_cast<int>(d3d::kCmpGreater));
  EXPECT_EQ(r.States.AlphaRef, 0);
  EXPECT_EQ(r.States.SrcBlend, static_cast<int>(d3d::kBlendZero));
  EXPECT_EQ(r.States.DestBlend, static_cast<int>(d3d::kBlendSrcColor));
  CurrentDrawState.BlendMode = 0;
}

TEST_F(RenderStateTest, OnlyRealChangesReachTheDevice) {
  const DrawTexture3D first = Texture(d3d::TextureFormatA1R5G5B5(), 0, 1);
  const DrawTexture3D second = Texture(d3d::TextureFormatA1R5G5B5(), 0, 1);
  const int flags = kPrepareTransparent | kPrepareIntegerCoords;
  PrepareDraw3D(&first, flags);
  ClearTrace();
  PrepareDraw3D(&first, flags);
  EXPECT_TRUE(Trace().empty()) << "the same texture again sends nothing";

  PrepareDraw3D(&second, flags);
  ASSERT_EQ(Trace().size(), 1u);
  EXPECT_EQ(Trace()[0].rfind("SetTexture(0, surface", 0), 0u) << Trace()[0];

  // Textured, untextured and back: only the values that differ.
  ClearTrace();
  PrepareDraw3D(nullptr, 0);
  EXPECT_EQ(StateCalls(), (std::vector<std::string>{"SetRenderState(15, 0)", "SetTexture(0, null)"}));
  ClearTrace();
  PrepareDraw3D(&second, flags);
  const std::vector<std::string> back = StateCalls();
  EXPECT_EQ(back.size(), 2u);
  EXPECT_TRUE(Has("SetRenderState(15, 1)"));
  EXPECT_EQ(Count("SetTexture(0, surface"), 1);

  // Filters follow the number of stages in use, and only when it changes.
  SetDrawFilter3D(1);
  const SurfacePtr blend = MakeTexture(d3d::TextureFormatA8R8G8B8());
  ClearTrace();
  SetBlendGraphic3D(blend, 8, 8, 100, 32);
  PrepareDraw3D(&second, flags);
  EXPECT_TRUE(Has("SetTextureStageState(1, 16, 2)"));
  EXPECT_TRUE(Has("SetTextureStageState(1, 17, 2)"));
  EXPECT_EQ(Record().StageCount, 2);
  EXPECT_FLOAT_EQ(GetDirect3DState().BlendTextureInvWidth, 0.125f);
  ClearTrace();
  SetBlendGraphic3D(blend, 8, 8, 120, 32);
  PrepareDraw3D(&second, flags);
  EXPECT_EQ(Count("SetTextureStageState(0, 16"), 0) << "same stage count: no filters";
  EXPECT_TRUE(Has("SetRenderState(60, " + std::to_string(0x57FFFFFFu) + ")")) << "(255 - 168) << 24";
  SetBlendGraphic3D(nullptr, 0, 0, -1, -1);
  EXPECT_EQ(Record().BlendTexture, nullptr);
  EXPECT_EQ(Record().BlendDirty, 1);
}

}  // namespace
}  // namespace d3d_engine_test
