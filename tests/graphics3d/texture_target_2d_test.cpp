// The 2D paths with a texture graphic as the draw target, on the recording
// stand-in: the selection points them at the first piece's texture at the
// piece's place in it, so clearing leaves the texture to the 3D side,
// read-backs and boxes drawn while 3D waits reach the piece's texels, and a
// graphic whose piece is gone is refused with the previous target kept.
#include <cstring>

#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

class TextureTarget2DTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    StartWithSmallTextures();
    if (HasFatalFailure()) return;
    CurrentDrawState.CreateBitDepth = 32;
    drawable_ = MakeGraph(48, 32, 1);
    plain_ = MakeGraph(48, 32, 0);
    CurrentDrawState.CreateBitDepth = 0;
    // Both share their texture with a part at (8, 4).
    drawablePart_ = CreateSubGraph(8, 4, 16, 16, drawable_);
    plainPart_ = CreateSubGraph(8, 4, 16, 16, plain_);
    ASSERT_NE(drawablePart_, -1);
    ASSERT_NE(plainPart_, -1);
  }
  void TearDown() override {
    ResetTextureDevice();
    Direct3DTest::TearDown();
  }

  static int MakeGraph(int width, int height, int drawable) {
    CurrentDrawState.CreateDrawable = drawable;
    const int graph = MakeBlankGraph(width, height, 0);
    CurrentDrawState.CreateDrawable = 0;
    EXPECT_NE(graph, -1);
    if (graph != -1) {
      EXPECT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
    }
    return graph;
  }
  static const Surface3D& Piece(int graph) { return *GetSurface3DData(GetGraphRecord(graph)->Pieces[0]); }
  static pd::Surface& Texture(int graph) { return *GetSurfaceData(Piece(graph).SurfaceData)->Surface; }

  // Every texel of a graph's texture: its position in the colour channels,
  // no spare bits.
  static void Pattern(pd::Surface& s) {
    pd::LockedRect lock;
    ASSERT_EQ(s.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        const uint32_t v = PatternAt(x, y);
        std::memcpy(lock.bits + y * lock.pitch + x * 4, &v, 4);
      }
    }
    s.Unlock();
  }
  static uint32_t PatternAt(int x, int y) { return static_cast<uint32_t>(0x100000 + x * 0x100 + y); }
  static uint32_t At(pd::Surface& s, int x, int y) {
    pd::LockedRect lock;
    EXPECT_EQ(s.Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    uint32_t v = 0;
    std::memcpy(&v, lock.bits + y * lock.pitch + x * 4, 4);
    s.Unlock();
    return v;
  }

  int drawable_ = -1, plain_ = -1, drawablePart_ = -1, plainPart_ = -1;
};

TEST_F(TextureTarget2DTest, TheSelectionPointsAtTheFirstPiece) {
  struct Case {
    const char* what;
    int graph;
    int suspended;  // the 3D side refuses what was not made drawable
    int offsetX, offsetY;
  };
  const Case cases[] = {
      {"a drawable texture graphic", drawable_, 0, 0, 0},
      {"a part of it", drawablePart_, 0, 8, 4},
      {"a texture graphic not made drawable", plain_, 1, 0, 0},
      {"a part of that", plainPart_, 1, 8, 4},
  };
  // A 2D graphic held as an image, with a depth image: as the previous
  // target it leaves both in the target state, which a texture target must
  // not keep.
  CurrentDrawState.CreateSystemMem = 1;
  const int held = MakeBlankGraph(16, 16, 1);
  CurrentDrawState.CreateSystemMem = 0;
  ASSERT_NE(held, -1);
  ASSERT_EQ(SetSurfaceDataZBuffer(GetSurface2D(GetGraphRecord(held)->Pieces[0])->SurfaceDataHandle, 1), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SetDrawTarget(held), 0);
    ASSERT_NE(GetDrawTargetState().TargetMemImg, nullptr);
    ASSERT_NE(GetDrawTargetState().TargetZMemImg, nullptr);
    ASSERT_EQ(SetDrawTarget(c.graph), 0);
    EXPECT_EQ(CurrentDrawState.DrawTarget, c.graph);
    EXPECT_EQ(GetDirect3DState().Suspended3D, c.suspended);
    const DrawTargetState& t = GetDrawTargetState();
    EXPECT_EQ(t.TargetSurface, &Texture(c.graph));
    EXPECT_EQ(t.TargetOffsetX, c.offsetX);
    EXPECT_EQ(t.TargetOffsetY, c.offsetY);
    EXPECT_EQ(t.TargetMemImg, nullptr);
    EXPECT_EQ(t.TargetZMemImg, nullptr);
    EXPECT_EQ(CurrentDrawState.TargetWidth, GetGraphRecord(c.graph)->Width);
  }
}

TEST_F(TextureTarget2DTest, ClearingLeavesTheTextureToThe3DSide) {
  Pattern(Texture(drawable_));
  ASSERT_EQ(SetDrawTarget(drawablePart_), 0);
  EXPECT_EQ(ClearDrawTarget(), 0);
  EXPECT_EQ(At(Texture(drawable_), 10, 6), PatternAt(10, 6));
  EXPECT_EQ(At(Texture(drawable_), 0, 0), PatternAt(0, 0));
}

TEST_F(TextureTarget2DTest, ReadBackTakesThePiecesTexels) {
  Pattern(Texture(drawable_));
  ASSERT_EQ(SetDrawTarget(drawablePart_), 0);
  const int copy = MakeBlankGraph(5, 3, 1);
  ASSERT_NE(copy, -1);
  ASSERT_EQ(GetGraphRecord(copy)->TextureFlag, 0);
  ASSERT_EQ(ReadBackTargetToGraph2D(2, 3, 7, 6, copy), 0);
  pd::Surface& store =
      *GetSurfaceData(GetSurface2D(GetGraphRecord(copy)->Pieces[0])->SurfaceDataHandle)->Surface;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      // Texel (8 + 2 + x, 4 + 3 + y), with the screen's spare bits set.
      EXPECT_EQ(At(store, x, y), 0xFF000000u | PatternAt(10 + x, 7 + y)) << x << "," << y;
    }
  }
  // Outside the piece: refused.
  EXPECT_EQ(ReadBackTargetToGraph2D(12, 0, 17, 3, copy), -1);

  // A texture not made drawable keeps an alpha channel, which a 2D graphic
  // cannot take by a copy: refused rather than left with its old pixels.
  ASSERT_EQ(SetDrawTarget(plainPart_), 0);
  pd::PixelFormat texture, graphic;
  ASSERT_EQ(Texture(plain_).GetPixelFormat(&texture), pd::Result::kOk);
  ASSERT_EQ(store.GetPixelFormat(&graphic), pd::Result::kOk);
  ASSERT_NE(texture.alpha_mask, 0u);
  ASSERT_EQ(graphic.alpha_mask, 0u);
  EXPECT_EQ(ReadBackTargetToGraph2D(2, 3, 7, 6, copy), -1);
}

TEST_F(TextureTarget2DTest, BoxesWhile3DWaitsFillThePiece) {
  for (int target : {drawablePart_, plainPart_}) {
    SCOPED_TRACE(target == drawablePart_ ? "drawable" : "not drawable");
    Pattern(Texture(target));
    ASSERT_EQ(SetDrawTarget(target), 0);
    GetDirect3DState().Suspended3D = 1;
    const uint32_t colour = PackScreenColor(200, 120, 40);
    // Clipped to the piece's 16 x 16.
    EXPECT_EQ(PaintBox(2, 3, 40, 40, colour, 1), 0);
    pd::Surface& s = Texture(target);
    struct Texel {
      int x, y;
      bool filled;
    };
    const Texel texels[] = {
        {10, 7, true},   {23, 19, true},   // the box's corners in the texture
        {9, 7, false},   {10, 6, false},   // left of and above it
        {24, 12, false}, {12, 20, false},  // right of and below the piece
        {2, 3, false},                     // where the box would be at no offset
    };
    for (const Texel& t : texels) {
      EXPECT_EQ(At(s, t.x, t.y) & 0xFFFFFFu, t.filled ? colour & 0xFFFFFFu : PatternAt(t.x, t.y))
          << t.x << "," << t.y;
    }
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }
}

TEST_F(TextureTarget2DTest, AGoneFirstPieceIsRefused) {
  for (int previous : {-2, drawable_}) {
    SCOPED_TRACE(previous);
    const int graph = MakeGraph(16, 16, 1);
    ASSERT_EQ(SetDrawTarget(previous), 0);
    const DrawTargetState before = GetDrawTargetState();
    ASSERT_EQ(DeleteSurface3DData(GetGraphRecord(graph)->Pieces[0]), 0);
    EXPECT_EQ(SetDrawTarget(graph), -1);
    EXPECT_EQ(CurrentDrawState.DrawTarget, previous);
    EXPECT_EQ(GetDrawTargetState().TargetSurface, before.TargetSurface);
    EXPECT_EQ(GetDrawTargetState().TargetOffsetX, before.TargetOffsetX);
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }
}

}  // namespace
}  // namespace d3d_engine_test
