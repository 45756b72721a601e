// The 3D back ends on the recording stand-in: how draws fill the vertex
// batch (DrawPrimitive counts), the vertex colour, and the geometry of each
// back end (positions and texture coordinates of the recorded vertices).
#include <cmath>
#include <functional>

#include "engine/core/base/library_state.h"
#include "engine/graphics/image/screen_color.h"
#include "tests/graphics3d/draw3d_fixture.h"

namespace d3d_engine_test {
namespace {

using VT = d3d::VertexTextured;
using VC = d3d::VertexColored;

class SurfaceDraw3DTest : public Draw3DTest {
 protected:
  void SetUp() override {
    Draw3DTest::SetUp();
    if (HasFailure()) return;
    graph_ = TextureGraph(32, 32);
    other_ = TextureGraph(32, 32);
    blend_ = TextureGraph(32, 32);
    TakeDraws();
    ClearTrace();
  }
  // The blend graphic on the device, as the blend-graphic setter leaves it.
  void UseBlendGraphic() {
    CurrentDrawState.BlendGraph = blend_;
    ASSERT_EQ(SetBlendGraphic3D(PieceTexture(blend_), TextureWidth(blend_), TextureWidth(blend_), 128, 10), 0);
  }
  void ExpectCorner(const VT& v, float x, float y) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
  }
  // Corners of the first quad of a draw (vertices 0, 1, 2 and 3 are TL, TR,
  // BL and BR).
  std::vector<VT> FirstQuad() {
    const auto draws = TakeDraws();
    EXPECT_FALSE(draws.empty());
    if (draws.empty()) return {};
    auto v = Vertices<VT>(draws[0]);
    EXPECT_GE(v.size(), 4u);
    v.resize(4);
    return v;
  }

  int graph_ = -1, other_ = -1, blend_ = -1;
};

TEST_F(SurfaceDraw3DTest, BatchesGoOutWhenFullOrWhenThePrimitiveChanges) {
  struct Case {
    const char* what;
    int draws;
    std::function<int()> draw;
    std::vector<uint32_t> counts;
  };
  const uint32_t white = PackScreenColor(255, 255, 255);
  const std::vector<Case> cases = {
      {"textured quads: 390 fit in 2,340", 400,
       [this] { return DrawSurface3D(0, 0, Graph(graph_), 0, 1); }, {2340, 60}},
      {"boxes: 537 fit in 3,225", 538,
       [white] { return FillBox3D(0, 0, 4, 4, white); }, {3222, 6}},
      {"outlines: 403 fit", 404,
       [white] { return DrawBoxFrame3D(0, 0, 4, 4, white); }, {3224, 8}},
      {"blend-graphic quads: 273 fit in 1,638", 274,
       [this] {
         UseBlendGraphic();
         return DrawSurface3D(0, 0, Graph(graph_), 0, 1);
       },
       {1638, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < c.draws; ++i) ASSERT_EQ(c.draw(), 0);
    EXPECT_EQ(VertexCounts(TakeDraws()), c.counts);
    SetBlendGraphic3D(nullptr, 0, 0, 0, 0);
    CurrentDrawState.BlendGraph = -1;
  }
}

TEST_F(SurfaceDraw3DTest, StateChangesBreakTheBatch) {
  const uint32_t white = PackScreenColor(255, 255, 255);
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  DrawSurface3D(0, 0, Graph(other_), 0, 1);
  EXPECT_EQ(VertexCounts(TakeDraws()), (std::vector<uint32_t>{12, 6})) << "another texture flushes";

  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  FillBox3D(0, 0, 8, 8, white);
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  const auto draws = TakeDraws();
  ASSERT_EQ(VertexCounts(draws), (std::vector<uint32_t>{6, 6, 6})) << "a box between: two flushes";
  EXPECT_EQ(draws[1].fvf, d3d::kFvfColored);
  EXPECT_EQ(draws[1].textures[0], nullptr);
  EXPECT_EQ(draws[2].textures[0], PieceTexture(graph_));
}

TEST_F(SurfaceDraw3DTest, OnTheFrontScreenEveryDrawEndsTheScene) {
  ASSERT_EQ(SetDrawTarget(-4), 0);
  ASSERT_EQ(GetDirect3DState().FrontTargetFlag, 1);
  ClearTrace();
  const uint32_t white = PackScreenColor(255, 255, 255);
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  DrawStretchSurface3D(0, 0, 64, 64, Graph(graph_), 0, 1);
  DrawRotateSurface3D(50.0f, 50.0f, 1.0, 0.5, Graph(graph_), 0, 0);
  DrawQuadSurface3D(0, 0, 40, 0, 0, 40, 40, 40, Graph(graph_), 0);
  FillBox3D(0, 0, 8, 8, white);
  DrawBoxFrame3D(0, 0, 8, 8, white);
  EXPECT_EQ(Count("EndScene("), 6);
  EXPECT_EQ(Count("BeginScene("), 6);
  EXPECT_EQ(Count("DrawPrimitive("), 6);
  EXPECT_EQ(Record().SceneOpen, 0);
  EXPECT_EQ(Record().Batch.Count, 0u);
}

TEST_F(SurfaceDraw3DTest, VertexColor) {
  struct Case {
    int mode, value;
    uint32_t expected;
  };
  // Multiply takes no strength: its alpha stays whole (else a value of 0
  // would let the transparency test drop every pixel).
  for (const Case& c : {Case{1, 128, 0x80FF8000u}, Case{0, 128, 0xFFFF8000u}, Case{2, 0, 0x00FF8000u},
                        Case{4, 0, 0xFFFF8000u}}) {
    CurrentDrawState.BlendMode = c.mode;
    CurrentDrawState.BlendValue = c.value;
    CurrentDrawState.DrawBright = 0xFF8000;
    UpdateVertexColor3D();
    EXPECT_EQ(GetDirect3DState().VertexColor, c.expected) << c.mode << " " << c.value;
  }
  CurrentDrawState.BlendMode = 0;
  UpdateVertexColor3D();
  ASSERT_EQ(FillBox3D(0, 0, 32, 32, PackScreenColor(200, 100, 50)), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 1u);
  const auto v = Vertices<VC>(draws[0]);
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].diffuse, 0xFFC83200u);
  EXPECT_EQ(v[3].diffuse, 0xFFC83200u);
}

TEST_F(SurfaceDraw3DTest, OnlyTheFirstAndFourthVertexTakeTheColour) {
  Record().Batch.Textured[1].diffuse = 0x12345678u;
  CurrentDrawState.DrawBright = 0x808080;
  UpdateVertexColor3D();
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  const auto v = Vertices<VT>(TakeDraws().at(0));
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].diffuse, 0xFF808080u);
  EXPECT_EQ(v[3].diffuse, 0xFF808080u);
  EXPECT_EQ(v[1].diffuse, 0x12345678u) << "the slot keeps what it held";
  for (const VT& x : v) EXPECT_FLOAT_EQ(x.z, 0.2f);
}

TEST_F(SurfaceDraw3DTest, GraphAndBoxGeometry) {
  ASSERT_EQ(DrawSurface3D(0, 0, Graph(graph_), 0, 1), 0);
  auto q = FirstQuad();
  ExpectCorner(q[0], -0.5f, -0.5f);
  ExpectCorner(q[3], 31.5f, 31.5f);
  EXPECT_FLOAT_EQ(q[3].u, 32.0f / static_cast<float>(TextureWidth(graph_)));

  ASSERT_EQ(FillBox3D(0, 0, 32, 32, PackScreenColor(255, 255, 255)), 0);
  const auto box = Vertices<VC>(TakeDraws().at(0));
  EXPECT_FLOAT_EQ(box[0].x, 0.0f);
  EXPECT_FLOAT_EQ(box[0].y, 0.0f);
  EXPECT_FLOAT_EQ(box[3].x, 32.0f);
  EXPECT_FLOAT_EQ(box[3].y, 32.0f);

  // A box is clipped to the draw area; an empty one draws nothing.
  SetClipArea(10, 10, 20, 20);
  ASSERT_EQ(FillBox3D(0, 0, 32, 32, 0), 0);
  const auto clipped = Vertices<VC>(TakeDraws().at(0));
  EXPECT_FLOAT_EQ(clipped[0].x, 10.0f);
  EXPECT_FLOAT_EQ(clipped[3].y, 20.0f);
  ASSERT_EQ(FillBox3D(30, 30, 40, 40, 0), 0);
  EXPECT_TRUE(TakeDraws().empty());
}

TEST_F(SurfaceDraw3DTest, OutlineLines) {
  struct Case {
    int x1, y1, x2, y2;
    std::vector<float> xy;  // eight points, x then y
  };
  const std::vector<Case> cases = {
      {10, 20, 30, 40, {10, 20, 28.9f, 20, 29, 20, 29, 38.9f, 10, 39, 29.9f, 39, 10, 21, 10, 38.9f}},
      // One swapped coordinate exchanges both corners: the rows are 40 and 19.
      {30, 20, 10, 40, {10, 40, 28.9f, 40, 29, 40, 29, 18.9f, 10, 19, 29.9f, 19, 10, 41, 10, 18.9f}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(DrawBoxFrame3D(c.x1, c.y1, c.x2, c.y2, PackScreenColor(255, 0, 0)), 0);
    const auto draws = TakeDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].type, static_cast<uint32_t>(d3d::kPrimLineList));
    const auto v = Vertices<VC>(draws[0]);
    ASSERT_EQ(v.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
      EXPECT_FLOAT_EQ(v[i].x, c.xy[2 * i]) << c.x1 << " vertex " << i;
      EXPECT_FLOAT_EQ(v[i].y, c.xy[2 * i + 1]) << c.x1 << " vertex " << i;
      EXPECT_EQ(v[i].diffuse, 0xFFFF0000u);
    }
  }
}

TEST_F(SurfaceDraw3DTest, ClippingKeepsTheTextureRegistered) {
  SetClipArea(0, 0, 100, 100);
  // Half outside on the left: 16 pixels clipped.
  ASSERT_EQ(DrawSurface3D(-16, 0, Graph(graph_), 0, 1), 0);
  const float tw = static_cast<float>(TextureWidth(graph_));
  auto q = FirstQuad();
  // Every corner is clamped, so the top edge too (half a pixel).
  ExpectCorner(q[0], 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(q[0].u, 16.5f / tw);
  EXPECT_FLOAT_EQ(q[0].v, 0.5f / tw);
  EXPECT_FLOAT_EQ(q[1].u, 32.0f / tw) << "the unclipped corner keeps its u";

  // Stretched to twice the size and clipped at the bottom: the v moves by
  // half the clipped distance.
  ASSERT_EQ(DrawStretchSurface3D(0, 80, 64, 144, Graph(graph_), 0, 1), 0);
  q = FirstQuad();
  EXPECT_FLOAT_EQ(q[2].y, 99.5f);
  EXPECT_FLOAT_EQ(q[2].v, (20.0f / 2.0f) / static_cast<float>(TextureWidth(graph_)));

  // Wholly outside: nothing.
  ASSERT_EQ(DrawSurface3D(100, 0, Graph(graph_), 0, 1), 0);
  ASSERT_EQ(DrawStretchSurface3D(-64, 0, 0, 32, Graph(graph_), 0, 1), 0);
  EXPECT_TRUE(TakeDraws().empty());
  EXPECT_EQ(DrawStretchSurface3D(5, 0, 5, 32, Graph(graph_), 0, 1), -1) << "zero width";
}

TEST_F(SurfaceDraw3DTest, StretchMirrorsAndTakesFloatBits) {
  ASSERT_EQ(DrawStretchSurface3D(64, 0, 0, 16, Graph(graph_), 0, 1), 0);
  auto q = FirstQuad();
  ExpectCorner(q[0], 63.5f, -0.5f);
  ExpectCorner(q[3], -0.5f, 15.5f);
  const float x = 10.25f;
  ASSERT_EQ(DrawSurface3D(std::bit_cast<int>(x), std::bit_cast<int>(x), Graph(graph_), 0, 0), 0);
  q = FirstQuad();
  ExpectCorner(q[0], 9.75f, 9.75f);
}

TEST_F(SurfaceDraw3DTest, RotatedCorners) {
  struct Case {
    const char* what;
    int w, h;
    double angle;
    float tl[2], tr[2], bl[2], br[2];
  };
  const double quarter = 1.5707963267948966;
  const std::vector<Case> cases = {
      // Snapped by -0.5 in x and y after the corners (101.5, 98.5),
      // (101.5, 101.5), (98.5, 98.5) and (98.5, 101.5).
      {"3 x 3, 90 degrees", 3, 3, quarter, {101.0f, 98.0f}, {101.0f, 101.0f}, {98.0f, 98.0f}, {98.0f, 101.0f}},
      {"4 x 2, 0 degrees", 4, 2, 0.0, {97.5f, 98.5f}, {101.5f, 98.5f}, {97.5f, 100.5f}, {101.5f, 100.5f}},
      {"3 x 2, 0 degrees", 3, 2, 0.0, {98.5f, 99.5f}, {101.5f, 99.5f}, {98.5f, 101.5f}, {101.5f, 101.5f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int g = TextureGraph(c.w, c.h);
    ASSERT_EQ(DrawRotateSurface3D(100.0f, 100.0f, 1.0, c.angle, Graph(g), 0, 0), 0);
    const auto q = FirstQuad();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_NEAR(q[0].x, c.tl[0], 1e-4);
    EXPECT_NEAR(q[0].y, c.tl[1], 1e-4);
    EXPECT_NEAR(q[1].x, c.tr[0], 1e-4);
    EXPECT_NEAR(q[1].y, c.tr[1], 1e-4);
    EXPECT_NEAR(q[2].x, c.bl[0], 1e-4);
    EXPECT_NEAR(q[2].y, c.bl[1], 1e-4);
    EXPECT_NEAR(q[3].x, c.br[0], 1e-4);
    EXPECT_NEAR(q[3].y, c.br[1], 1e-4);
  }

  // 45 degrees: no snap, the corners lie on the circle around the pivot.
  const int g = TextureGraph(3, 3);
  ASSERT_EQ(DrawRotateSurface3D(100.0f, 100.0f, 1.0, quarter / 2, Graph(g), 0, 0), 0);
  const auto q = FirstQuad();
  EXPECT_NEAR(q[0].x, 100.0f, 1e-4);
  EXPECT_NEAR(q[0].y, 100.0f - 1.5f * std::sqrt(2.0f), 1e-4);
  EXPECT_EQ(DrawRotateSurface3D(100.0f, 100.0f, 0.0, 0.0, Graph(g), 0, 0), -1) << "scale 0";
}

TEST_F(SurfaceDraw3DTest, RotatedWithABlendGraphicKeepsUnrotatedBlendCoordinates) {
  UseBlendGraphic();
  ASSERT_EQ(DrawRotateSurface3D(100.0f, 100.0f, 1.0, 0.0, Graph(graph_), 0, 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].fvf, d3d::kFvfTwoTexture);
  const auto v = Vertices<d3d::VertexTwoTexture>(draws[0]);
  const float inv = 1.0f / static_cast<float>(TextureWidth(blend_));
  EXPECT_FLOAT_EQ(v[0].x, 83.5f);
  EXPECT_FLOAT_EQ(v[0].u0, 0.0f);
  EXPECT_FLOAT_EQ(v[3].u0, 32.0f * inv);
  EXPECT_FLOAT_EQ(v[3].v0, 32.0f * inv);
  EXPECT_EQ(v[1].specular, 0xFFFFFFFFu);
}

TEST_F(SurfaceDraw3DTest, FourPoints) {
  // Int points forming a rectangle: a stretched draw.
  ASSERT_EQ(DrawQuadSurface3DInt(10, 10, 74, 10, 10, 42, 74, 42, Graph(graph_), 0), 0);
  auto q = FirstQuad();
  ExpectCorner(q[0], 9.5f, 9.5f);
  ExpectCorner(q[3], 73.5f, 41.5f);

  // A parallelogram: one quad at the points themselves.
  ASSERT_EQ(DrawQuadSurface3D(10, 10, 42, 10, 20, 42, 52, 42, Graph(graph_), 0), 0);
  q = FirstQuad();
  ExpectCorner(q[0], 10.0f, 10.0f);
  ExpectCorner(q[2], 20.0f, 42.0f);
  ExpectCorner(q[3], 52.0f, 42.0f);

  // A trapezoid of one piece: the 8 x 8 grid as joined strips.
  ClearTrace();
  ASSERT_EQ(DrawQuadSurface3D(10, 10, 42, 10, 0, 42, 52, 42, Graph(graph_), 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].type, static_cast<uint32_t>(d3d::kPrimTriangleStrip));
  EXPECT_EQ(draws[0].vertex_count, 64u);
  EXPECT_EQ(draws[0].indices.size(), 7u * 16u + 6u * 2u);
  const auto grid = Vertices<VT>(draws[0]);
  EXPECT_FLOAT_EQ(grid[7].x, 42.0f);
  EXPECT_FLOAT_EQ(grid[56].x, 0.0f);
  EXPECT_FLOAT_EQ(grid[63].y, 42.0f);
  EXPECT_FLOAT_EQ(grid[63].u, Piece(graph_).Corners[kCornerBottomRight].U);
  EXPECT_EQ((std::vector<uint16_t>(draws[0].indices.begin(), draws[0].indices.begin() + 4)),
            (std::vector<uint16_t>{8, 0, 9, 1}));
  EXPECT_EQ(draws[0].indices[16], 7) << "the last index repeated";
  EXPECT_EQ(draws[0].indices[17], 16) << "then the first of the next strip";
}

TEST_F(SurfaceDraw3DTest, GridStripsSplitIntoListsOfAtMostAThousandIndices) {
  std::vector<VT> grid(60u * 30u);
  BeginScene3D();
  ASSERT_EQ(DrawGridStrips3D(Record(), 60, grid.data(), 30), 0);
  const auto draws = TakeDraws();
  // A strip of 60 columns takes 120 indices and 2 to join: 8 strips a list.
  std::vector<size_t> sizes;
  for (const auto& d : draws) sizes.push_back(d.indices.size());
  EXPECT_EQ(sizes, (std::vector<size_t>{8 * 120 + 7 * 2, 8 * 120 + 7 * 2, 8 * 120 + 7 * 2, 5 * 120 + 4 * 2}));
  EXPECT_EQ(DrawGridStrips3D(Record(), 1, grid.data(), 30), -1);
  EXPECT_EQ(DrawGridStrips3D(Record(), 300, grid.data(), 300), -1) << "more than 16-bit indices reach";
}

TEST_F(SurfaceDraw3DTest, SeveralPiecesArePlacedBilinearly) {
  SetTextureSizeLimits(1, 1, 256, 256);
  const int wide = TextureGraph(300, 32);
  ASSERT_GT(Graph(wide).PieceCount, 1);
  // A trapezoid: each piece's corners lie on the lines between the points.
  ASSERT_EQ(DrawQuadSurface3D(0, 0, 300, 0, 0, 32, 600, 32, Graph(wide), 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(static_cast<int>(draws.size()), Graph(wide).PieceCount) << "one grid per piece";
  const Surface3D& second = Piece(wide, 1);
  const auto grid = Vertices<VT>(draws[1]);
  const float gx = second.Corners[kCornerBottomLeft].X;
  EXPECT_FLOAT_EQ(grid[56].x, gx * 2.0f) << "bottom edge runs 0 to 600";
  EXPECT_FLOAT_EQ(grid[0].x, gx) << "top edge runs 0 to 300";
}

TEST_F(SurfaceDraw3DTest, BlendGraphicQuadsAreDrawnOneStripAPiece) {
  UseBlendGraphic();
  ASSERT_EQ(DrawQuadSurface3D(10.7f, 10, 42, 12, 10, 42, 44, 40, Graph(graph_), 0), 0);
  const auto draws = TakeDraws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].type, static_cast<uint32_t>(d3d::kPrimTriangleStrip));
  EXPECT_EQ(draws[0].fvf, d3d::kFvfTwoTexture);
  const auto v = Vertices<d3d::VertexTwoTexture>(draws[0]);
  ASSERT_EQ(v.size(), 4u);
  // Truncated points, each moved by -0.5; the top-left corner lies above
  // the diagonal (triangle 1-2-3), the bottom-right below (4-3-2).
  EXPECT_FLOAT_EQ(v[0].x, 9.5f);
  EXPECT_FLOAT_EQ(v[0].y, 9.5f);
  EXPECT_FLOAT_EQ(v[3].x, 43.5f);
  EXPECT_FLOAT_EQ(v[3].y, 39.5f);
  EXPECT_FLOAT_EQ(v[3].u0, 32.0f / static_cast<float>(TextureWidth(blend_)));
  for (const auto& x : v) EXPECT_EQ(x.specular, 0xFFFFFFFFu);
}

TEST_F(SurfaceDraw3DTest, RefusalsAndSuspension) {
  GraphRecord broken = Graph(graph_);
  broken.Pieces[0] = 0x30000000 | 0x7FFF;
  EXPECT_EQ(DrawSurface3D(0, 0, broken, 0, 1), -1) << "a piece that is not live";
  GetDirect3DState().Suspended3D = 1;
  EXPECT_EQ(DrawSurface3D(0, 0, Graph(graph_), 0, 1), 0);
  EXPECT_EQ(DrawRotateSurface3D(0, 0, 1.0, 0.0, Graph(graph_), 0, 0), 0);
  EXPECT_TRUE(TakeDraws().empty());
  GetDirect3DState().Suspended3D = 0;
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  TakeDraws();
  Record().SkipDraw = 1;
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  EXPECT_TRUE(TakeDraws().empty()) << "SkipDraw discards the batch";
  EXPECT_EQ(Record().Batch.Count, 0u);
  Record().SkipDraw = 0;
  // While the library quits, batches and direct draws are dropped too.
  SetQuitFlag(1);
  DrawSurface3D(0, 0, Graph(graph_), 0, 1);
  DrawQuadSurface3D(10, 10, 42, 10, 0, 42, 52, 42, Graph(graph_), 0);
  EXPECT_TRUE(TakeDraws().empty());
  SetQuitFlag(0);
}

}  // namespace
}  // namespace d3d_engine_test
