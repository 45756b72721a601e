// The draw-state setters: colour scale, blend state and blend graphic (with
// the waits they may or may not make), the clip rectangle, the creation
// rule's colour depths.
#include "engine/core/base/library_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_handles.h"
#include "tests/graphics/graphics_fixture.h"

namespace graphics_test {
namespace {

using DrawStateControlTest = GraphicsTest;

// An inactive window whose message pass ends at once: a wait shows as the
// window's inactive mark. (Without a window the wait returns at once.)
void MakeWindowInactive() {
  GetWindowData().has_window = true;
  GetWindowData().active = 0;
  GetWindowData().inactive = 0;
  SetQuitFlag(1);
}
bool Waited() { return GetWindowData().inactive == 1; }

TEST_F(DrawStateControlTest, ColorScaleClampsAndNeverWaits) {
  MakeWindowInactive();
  EXPECT_EQ(SetColorScale(300, -5, 128), 0);
  EXPECT_EQ(CurrentDrawState.DrawBright, 0xFF0080u);
  EXPECT_EQ(SetColorScale(300, -5, 128), 0);
  EXPECT_EQ(SetColorScale(255, 0, 128), 0);
  EXPECT_EQ(CurrentDrawState.DrawBright, 0xFF0080u);
  EXPECT_FALSE(Waited());
  SetQuitFlag(0);
}

TEST_F(DrawStateControlTest, BlendStateWaitsOnlyForAChangeAndNotWhileLost) {
  MakeWindowInactive();
  EXPECT_EQ(SetBlendState(0, 0), 0);
  EXPECT_FALSE(Waited()) << "equal values change nothing";
  GetDisplayState().GraphicsLost = 1;
  EXPECT_EQ(SetBlendState(1, 300), 0);
  EXPECT_FALSE(Waited());
  EXPECT_EQ(CurrentDrawState.BlendMode, 0);
  GetDisplayState().GraphicsLost = 0;
  EXPECT_EQ(SetBlendState(1, 300), 0);
  EXPECT_TRUE(Waited());
  EXPECT_EQ(CurrentDrawState.BlendMode, 1);
  EXPECT_EQ(CurrentDrawState.BlendValue, 255);
  SetQuitFlag(0);
}

TEST_F(DrawStateControlTest, BlendGraphicRefusesStaleHandlesAndRebuildsItsTable) {
  const int g = AllocGraphHandle(16, 16, 0, nullptr, 0, 0);
  ReleaseGraph(g, 0);
  EXPECT_EQ(SelectBlendGraphic(g, 64, 0), -1);
  EXPECT_EQ(CurrentDrawState.BlendGraph, -1);
  EXPECT_EQ(CurrentDrawState.BorderParam, 0);
  EXPECT_EQ(BlendGraphTable[0], 255);

  const int live = AllocGraphHandle(16, 16, 0, nullptr, 0, 0);
  EXPECT_EQ(SelectBlendGraphic(live, 64, 0), 0);
  EXPECT_EQ(BlendGraphTable[63], 0);
  EXPECT_EQ(BlendGraphTable[64], 192);
  EXPECT_EQ(BlendGraphTable[65], 255);
  EXPECT_EQ(SelectBlendGraphic(-1, 128, 64), 0);
  EXPECT_EQ(BlendGraphTable[0], 0);
  EXPECT_EQ(BlendGraphTable[96], 2);
  EXPECT_EQ(BlendGraphTable[160], 254);
  EXPECT_EQ(BlendGraphTable[161], 255);
  EXPECT_EQ(SelectBlendGraphic(-1, 999, -3), 0);
  EXPECT_EQ(CurrentDrawState.BorderParam, 255);
  EXPECT_EQ(CurrentDrawState.BorderRange, 0);

  GraphRecord small{};
  small.Width = 17;
  small.Height = 4;
  SelectBlendGraphic(live, 0, 0);
  EXPECT_EQ(CheckBlendGraphicSize(small), -1);
  small.Width = 16;
  EXPECT_EQ(CheckBlendGraphicSize(small), 0);
}

TEST_F(DrawStateControlTest, ClipAreaIsNormalisedIntoTheTarget) {
  const int g = AllocGraphHandle(100, 50, 0, nullptr, 0, 0);
  CurrentDrawState.DrawTarget = g;
  struct Case {
    int x1, y1, x2, y2;
    IntRect area;
    int nothing;
  };
  const Case cases[] = {
      {120, -10, 30, 40, {30, 0, 100, 40}, 0},
      {10, 10, 10, 40, {10, 10, 10, 40}, 1},
      {-5, 60, 200, 70, {0, 50, 100, 50}, 1},
      {0, 0, 100, 50, {0, 0, 100, 50}, 0},
  };
  for (const Case& c : cases) {
    SetClipArea(c.x1, c.y1, c.x2, c.y2);
    const IntRect a = CurrentDrawState.DrawArea;
    EXPECT_EQ(a.left, c.area.left);
    EXPECT_EQ(a.top, c.area.top);
    EXPECT_EQ(a.right, c.area.right);
    EXPECT_EQ(a.bottom, c.area.bottom);
    EXPECT_EQ(CurrentDrawState.DrawAreaF[2], static_cast<float>(c.area.right));
    EXPECT_EQ(CurrentDrawState.NothingToDraw, c.nothing);
  }
  EXPECT_EQ(GetRequestedClipArea().left, 0);

  // A stale target handle leaves everything as it was.
  CurrentDrawState.DrawTarget = g + 0x10000;
  SetClipArea(1, 2, 3, 4);
  EXPECT_EQ(CurrentDrawState.DrawArea.right, 100);
}

TEST_F(DrawStateControlTest, FrontScreenClipFollowsAClientAreaStickingOutOfTheDesktop) {
  WindowData& w = GetWindowData();
  w.desktop_width = 600;
  w.desktop_height = 460;
  w.client_rect = WindowRectangle{-20, -10, 620, 470};
  CurrentDrawState.DrawTarget = -4;
  SetClipArea(0, 0, 640, 480);
  EXPECT_EQ(CurrentDrawState.DrawArea.left, 20);
  EXPECT_EQ(CurrentDrawState.DrawArea.top, 10);
  EXPECT_EQ(CurrentDrawState.DrawArea.right, 620);
  EXPECT_EQ(CurrentDrawState.DrawArea.bottom, 470);
  SetClipArea(50, 5, 100, 100);
  EXPECT_EQ(CurrentDrawState.DrawArea.left, 50) << "an edge further in is kept";
  EXPECT_EQ(CurrentDrawState.DrawArea.top, 10);

  w.client_rect = WindowRectangle{10, 10, 650, 490};
  w.desktop_width = 1024;
  w.desktop_height = 768;
  SetClipArea(0, 0, 640, 480);
  EXPECT_EQ(CurrentDrawState.DrawArea.left, 0);
  EXPECT_EQ(CurrentDrawState.DrawArea.right, 640);
}

TEST_F(DrawStateControlTest, CreationRuleColourDepths) {
  struct Case {
    const char* what;
    int direct3d, screenBits, banned, createBits, blendFormat, alpha, want3D;
    int texture, depth, alphaCh, drawValid;
  };
  const Case cases[] = {
      {"texture with alpha", 1, 16, 0, 0, 0, 1, 1, 1, 32, 1, 0},
      {"texture without alpha, 16-bit screen", 1, 16, 0, 0, 0, 0, 1, 1, 16, 0, 0},
      {"blend-graphic format as texture", 1, 16, 0, 0, 1, 0, 1, 1, 32, 1, 0},
      {"texture with CreateBitDepth", 1, 16, 0, 32, 0, 0, 1, 1, 32, 0, 0},
      {"2D with CreateBitDepth 32 while banned", 0, 16, 1, 32, 0, 0, 0, 0, 16, 0, 0},
      {"2D with CreateBitDepth 32", 0, 16, 0, 32, 0, 0, 0, 0, 32, 0, 0},
      {"2D, screen unset", 0, 0, 0, 0, 0, 1, 0, 0, 16, 1, 0},
      {"want 3D without Direct3D", 0, 32, 0, 0, 0, 0, 1, 0, 32, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ForceDirect3DUsableForTest(c.direct3d);
    GetScreenColorState().RequestedScreenBits = c.screenBits;
    GetScreenColorState().HardwareBanned = c.banned;
    CurrentDrawState.CreateBitDepth = c.createBits;
    CurrentDrawState.CreateBlendGraph = c.blendFormat;
    GraphRecord* r = nullptr;
    const int h = AllocGraphHandle(8, 8, c.want3D, &r, c.alpha, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->TextureFlag, c.texture);
    EXPECT_EQ(r->ColorBitDepth, c.depth);
    EXPECT_EQ(r->AlphaChFlag, c.alphaCh);
    EXPECT_EQ(r->DrawValid, c.drawValid);
    EXPECT_EQ(r->BlendGraphFormat, c.blendFormat);
    EXPECT_EQ(r->MovieHandle, -1);
    ReleaseGraph(h, 0);
  }
  ForceDirect3DUsableForTest(0);
}

TEST_F(DrawStateControlTest, DrawableDefaultClearsAlphaAndSmallSetters) {
  SetCreateDrawableGraph(1);
  GraphRecord* r = nullptr;
  AllocGraphHandle(8, 8, 0, &r, 1, 1);
  EXPECT_EQ(r->DrawValid, 1);
  EXPECT_EQ(r->AlphaChFlag, 0);
  EXPECT_EQ(r->AlphaTestFlag, 0);

  SetColorKeyRgb(254, 0, 254);
  EXPECT_EQ(CurrentDrawState.ColorKey, 0xFE00FEu);
  GetScreenColorState().ScreenBits = 8;
  SetColorKeyRgb(1, 2, 3);
  EXPECT_EQ(CurrentDrawState.ColorKey, 0xFE00FEu) << "ignored on an 8-bit screen";

  GetScreenColorState().HardwareBanned = 1;
  SetGraphSystemMemFlag(1);
  EXPECT_EQ(CurrentDrawState.CreateSystemMem, 0);
  SetGraphSystemMemFlag(0);
  EXPECT_EQ(CurrentDrawState.CreateSystemMem, 1);
  SetGraphSystemMemDefault(0);
  EXPECT_EQ(CurrentDrawState.CreateSystemMem, 0);
  GetScreenColorState().HardwareBanned = 0;
  SetGraphSystemMemDefault(0);
  EXPECT_EQ(CurrentDrawState.CreateSystemMem, 1);

  SetUse3DDrawing(1);
  EXPECT_EQ(GetNotUseDirect3D(), 0) << "Direct3D asked for before the display object exists";
  EXPECT_EQ(IsUsing3DDrawing(), 0) << "no device";

  int w = 0, h = 0, bits = 0;
  GetScreenColorState().RequestedScreenBits = 0;
  QueryScreenMode(&w, &h, &bits);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(GetGraphDimensions(-2, &w, nullptr), 0);
  EXPECT_EQ(GetGraphDimensions(-4, nullptr, &h), 0);
}

}  // namespace
}  // namespace graphics_test
