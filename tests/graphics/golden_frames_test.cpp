// End to end: a few 2D draws through the public entry points in software
// rendering, at 16 and 32 bits, compared exactly with golden PNG frames
// (tests/graphics/golden; VESK_UPDATE_GOLDEN=1 writes them anew).
#include <cstring>
#include <string>

#include "engine/graphics/image/convert_color_blt.h"
#include "tests/graphics/screen_fixture.h"
#include "tests/support/golden_frames.h"

namespace graphics_test {
namespace {

using GoldenFramesTest = ScreenTest;

// A 48 x 40 sprite: a disc on the key colour, with a gradient.
int MakeSprite() {
  const int g = NewGraph(48, 40, 1);
  SurfaceData* d = GetSurfaceData(GetSurface2D(GetGraphRecord(g)->Pieces[0])->SurfaceDataHandle);
  MEMIMG& img = d->Image;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 48; ++x) {
      const bool inside = (x - 24) * (x - 24) + (y - 20) * (y - 20) <= 18 * 18;
      const uint32_t v = inside ? PackColor(img.Format, 255 - x * 4, 60 + y * 4, x * 5, 255)
                                : img.TransColor;
      std::memcpy(img.Pixels + y * img.Pitch + x * img.Format->PixelByte, &v, img.Format->PixelByte);
    }
  }
  return g;
}

int MakeBlendGraph() {
  CurrentDrawState.CreateBlendGraph = 1;
  const int g = NewGraph(48, 40, 1);
  CurrentDrawState.CreateBlendGraph = 0;
  MEMIMG& img = GetSurfaceData(GetSurface2D(GetGraphRecord(g)->Pieces[0])->SurfaceDataHandle)->Image;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 48; ++x) img.Pixels[y * img.Pitch + x] = static_cast<uint8_t>(x * 5);
  return g;
}

void DrawScene() {
  ASSERT_EQ(SetTargetScreen(-2), 0);
  ASSERT_EQ(EraseScreen(), 0);
  const int sprite = MakeSprite();
  const int blend = MakeBlendGraph();
  EXPECT_EQ(PutBox(0, 0, 200, 120, PackScreenColor(40, 40, 90), 1), 0);
  EXPECT_EQ(PutBox(150, 10, 190, 60, PackScreenColor(250, 250, 0), 0), 0);
  EXPECT_EQ(PutGraph(4, 4, sprite, 0), 0);
  EXPECT_EQ(PutGraph(56, 4, sprite, 1), 0);
  SetBlendMode(1, 128);
  EXPECT_EQ(PutGraph(80, 20, sprite, 1), 0);
  SetBlendMode(2, 200);
  EXPECT_EQ(PutGraph(4, 60, sprite, 1), 0);
  SetBlendMode(0, 0);
  SetDrawTint(255, 128, 64);
  EXPECT_EQ(PutGraph(56, 60, sprite, 1), 0);
  SetDrawTint(255, 255, 255);
  EXPECT_EQ(PutGraphBlended(108, 60, sprite, 1, blend, 128, 64), 0);
  EXPECT_EQ(PutGraphPart(160, 70, 12, 10, 24, 20, sprite, 1, 0), 0);
  EXPECT_EQ(PutGraph(180, 100, sprite, 1), 0) << "clipped at the frame's edge";
  EXPECT_EQ(PutGraphStretched(150, 118, 110, 96, sprite, 1), 0) << "mirrored both ways";
  EXPECT_EQ(PutGraphRotated(130, 30, 0.75, 0.5, sprite, 1, 1), 0);
  EXPECT_EQ(PutGraphPart(20, 100, 12, 10, 24, 20, sprite, 1, 1), 0) << "mirrored part";
}

TEST_F(GoldenFramesTest, SoftwareFramesMatchTheirGoldens) {
  for (int bits : {16, 32}) {
    SCOPED_TRACE(bits);
    GetScreenColorState().ScreenBits = bits;
    StartSoftware();
    DrawScene();
    const std::string path = std::string(VESK_SOURCE_DIR) + "/tests/graphics/golden/scene" +
                             std::to_string(bits) + ".png";
    EXPECT_EQ(golden::CompareWithGolden(path, golden::ReadFrame(GetMainSurfaces().BackMemImg, 200, 120)), "");
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
}

}  // namespace
}  // namespace graphics_test
