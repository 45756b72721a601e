// The draw entries with texture graphics on the recording stand-in: every
// image entry and the boxes reach the 3D back end (2D graphics keep the 2D
// path), the subtract passes of blend mode 3, and the draw-state setters,
// target selection and clears that reach the device.
#include <functional>

#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/quad_draw_2d.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "engine/graphics/target_transforms.h"
#include "tests/graphics3d/draw3d_fixture.h"

namespace d3d_engine_test {
namespace {

class TextureEntryTest : public Draw3DTest {
 protected:
  void SetUp() override {
    Draw3DTest::SetUp();
    if (HasFailure()) return;
    texture_ = TextureGraph(32, 32);
    plain_ = MakeBlankGraph(32, 32, 1);  // asked for in 2D
    ASSERT_EQ(Graph(plain_).TextureFlag, 0);
    TakeDraws();
    ClearTrace();
  }
  int texture_ = -1, plain_ = -1;
};

TEST_F(TextureEntryTest, EveryImageEntryDrawsTextureGraphicsIn3D) {
  struct Case {
    const char* what;
    std::function<int(int graph)> draw;
    uint32_t type;
  };
  const std::vector<Case> cases = {
      {"BlitGraph", [](int g) { return BlitGraph(10, 10, g, 1); }, d3d::kPrimTriangleList},
      {"BlitStretchGraph", [](int g) { return BlitStretchGraph(10, 10, 74, 42, g, 0); }, d3d::kPrimTriangleList},
      {"BlitMirrorGraph", [](int g) { return BlitMirrorGraph(10, 10, g, 0); }, d3d::kPrimTriangleList},
      {"BlitRotateGraph", [](int g) { return BlitRotateGraph(50.0f, 50.0f, 2.0, 0.3, g, 0, 1); },
       d3d::kPrimTriangleList},
      {"BlitRotateGraphInt", [](int g) { return BlitRotateGraphInt(50, 50, 1.0, 0.0, g, 0, 0); },
       d3d::kPrimTriangleList},
      {"BlitQuadGraph", [](int g) { return BlitQuadGraph(10, 10, 50, 10, 60, 50, 0, 50, g, 0); },
       d3d::kPrimTriangleStrip},
      {"BlitGraphPart", [](int g) { return BlitGraphPart(10, 10, 4, 4, 8, 8, g, 0, 1); },
       d3d::kPrimTriangleList},
      {"BlitStretchGraphPart", [](int g) { return BlitStretchGraphPart(10, 10, 30, 30, 0, 0, 8, 8, g, 0); },
       d3d::kPrimTriangleList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.draw(texture_), 0);
    const auto draws = TakeDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].type, c.type);
    EXPECT_EQ(draws[0].textures[0], PieceTexture(texture_));
    EXPECT_EQ(c.draw(plain_), 0);
    EXPECT_TRUE(TakeDraws().empty()) << "a 2D graphic keeps the 2D path";
  }
}

TEST_F(TextureEntryTest, PartDrawsClipToThePart) {
  // The part's rectangle clips the quad; the area is restored afterwards.
  const IntRect area = CurrentDrawState.DrawArea;
  ASSERT_EQ(BlitGraphPart(100, 100, 8, 4, 10, 6, texture_, 0, 0), 0);
  auto v = Vertices<d3d::VertexTextured>(TakeDraws().at(0));
  EXPECT_FLOAT_EQ(v[0].x, 100.0f);
  EXPECT_FLOAT_EQ(v[0].y, 100.0f);
  EXPECT_FLOAT_EQ(v[3].x, 110.0f);
  EXPECT_FLOAT_EQ(v[3].y, 106.0f);
  EXPECT_FLOAT_EQ(v[0].u, 8.5f / static_cast<float>(TextureWidth(texture_)));
  ASSERT_EQ(BlitStretchGraphPart(100, 100, 120, 112, 8, 4, 10, 6, texture_, 0), 0);
  v = Vertices<d3d::VertexTextured>(TakeDraws().at(0));
  EXPECT_FLOAT_EQ(v[0].x, 99.5f);
  EXPECT_FLOAT_EQ(v[3].x, 119.5f);
  EXPECT_FLOAT_EQ(v[3].y, 111.5f);
  const IntRect after = CurrentDrawState.DrawArea;
  EXPECT_EQ((std::vector<int>{after.left, after.top, after.right, after.bottom}),
            (std::vector<int>{area.left, area.top, area.right, area.bottom}));
}

TEST_F(TextureEntryTest, BoxesGoThrough3D) {
  EXPECT_EQ(PaintBox(0, 0, 10, 10, PackScreenColor(255, 0, 0), 1), 0);
  EXPECT_EQ(PaintBox(0, 0, 10, 10, PackScreenColor(255, 0, 0), 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].type, static_cast<uint32_t>(d3d::kPrimTriangleList));
  EXPECT_EQ(draws[1].type, static_cast<uint32_t>(d3d::kPrimLineList));
  // With 3D drawing off boxes stay 2D.
  CurrentDrawState.Use3D = 0;
  EXPECT_EQ(PaintBox(0, 0, 10, 10, PackScreenColor(255, 0, 0), 1), 0);
  EXPECT_TRUE(TakeDraws().empty());
  CurrentDrawState.Use3D = 1;
}

TEST_F(TextureEntryTest, SubtractDrawsBetweenTwoWhiteFills) {
  SetBlendState(3, 100);
  SetColorScale(10, 20, 30);
  ASSERT_EQ(BlitGraph(4, 6, texture_, 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 3u);
  const auto fill1 = Vertices<d3d::VertexColored>(draws[0]);
  const auto graph = Vertices<d3d::VertexTextured>(draws[1]);
  const auto fill2 = Vertices<d3d::VertexColored>(draws[2]);
  EXPECT_EQ(draws[0].fvf, d3d::kFvfColored);
  EXPECT_EQ(fill1[0].diffuse, 0xFFFFFFFFu) << "white at full strength";
  EXPECT_FLOAT_EQ(fill1[0].x, 4.0f);
  EXPECT_FLOAT_EQ(fill1[3].y, 38.0f) << "over the bounding rectangle";
  EXPECT_EQ(graph[0].diffuse, 0x640A141Eu) << "the graphic with its own value and tint";
  EXPECT_EQ(fill2[0].diffuse, 0xFFFFFFFFu);
  EXPECT_EQ(CurrentDrawState.BlendMode, 3);
  EXPECT_EQ(CurrentDrawState.BlendValue, 100);
  EXPECT_EQ(CurrentDrawState.DrawBright, 0x0A141Eu);
  EXPECT_EQ(GetDirect3DState().VertexColor, 0x640A141Eu);

  // Boxes take the passes too; a 2D graphic does not.
  ASSERT_EQ(PaintBox(0, 0, 8, 8, PackScreenColor(255, 255, 255), 1), 0);
  EXPECT_EQ(TakeDraws().size(), 3u);
  ASSERT_EQ(BlitGraph(0, 0, plain_, 0), 0);
  EXPECT_TRUE(TakeDraws().empty());
}

TEST_F(TextureEntryTest, SettersReachTheDevice) {
  EXPECT_EQ(SetDrawFilterMode(1), 0);
  EXPECT_EQ(Record().Filter, 1);
  SetDrawFilterMode(0);
  EXPECT_EQ(Record().Filter, 0);

  SetBlendState(1, 77);
  EXPECT_EQ(GetDirect3DState().VertexColor >> 24, 77u);
  SetColorScale(1, 2, 3);
  EXPECT_EQ(GetDirect3DState().VertexColor, 0x4D010203u);
  SetDrawBrightPacked(0x445566);
  EXPECT_EQ(GetDirect3DState().VertexColor, 0x4D445566u);

  const int blend = TextureGraph(64, 64);
  ASSERT_EQ(SelectBlendGraphic(blend, 40, 8), 0);
  EXPECT_EQ(Record().BlendTexture, PieceTexture(blend));
  EXPECT_EQ(Record().BorderParam, 40);
  EXPECT_EQ(Record().BorderRange, 8);
  EXPECT_FLOAT_EQ(GetDirect3DState().BlendTextureInvWidth, 1.0f / static_cast<float>(TextureWidth(blend)));
  ASSERT_EQ(SelectBlendGraphic(-1, 0, 0), 0);
  EXPECT_EQ(Record().BlendTexture, nullptr);

  SetClipArea(5, 6, 50, 60);
  EXPECT_EQ(Record().Viewport, (d3d::Viewport{5, 6, 45, 54, 0.0f, 1.0f}));
}

TEST_F(TextureEntryTest, TargetSelectionHandsTheMatricesToTheDevice) {
  ClearTrace();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(Count("SetTransform("), 3);
  const TargetTransforms& t = GetTargetTransforms();
  const TransformMatrix* mine[3] = {&t.World, &t.View, &t.Projection};
  for (uint32_t which = 1; which <= 3; ++which) {
    d3d::Matrix m;
    ASSERT_EQ(Record().Device->GetTransform(which, &m), pd::Result::kOk);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(m.m[r][c], mine[which - 1]->m[r][c]) << which;
    }
  }
}

TEST_F(TextureEntryTest, FillsAndClearsSendWhatWaitsFirst) {
  ASSERT_EQ(BlitGraph(0, 0, texture_, 0), 0);
  ASSERT_EQ(Record().Batch.Count, 6u);
  ASSERT_EQ(FillGraph(texture_, 1, 2, 3, 255), 0);
  EXPECT_EQ(Record().Batch.Count, 0u) << "the waiting quad was drawn before its texture changed";
  EXPECT_EQ(Recorder().draws().size(), 1u);

  ASSERT_EQ(BlitGraph(0, 0, texture_, 0), 0);
  ASSERT_EQ(Record().SceneOpen, 1);
  ASSERT_EQ(EraseDrawTarget(), 0);
  EXPECT_EQ(Record().SceneOpen, 0);
  EXPECT_EQ(Record().Batch.Count, 0u);
}

}  // namespace
}  // namespace d3d_engine_test
