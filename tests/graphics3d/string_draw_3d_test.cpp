// Strings on the 3D path with a texture glyph cache (cache graphs standing
// in for the texture side, the graph draws recorded): glyph draws in string
// order with spaces skipped, the subtract emulation (a white fill in mode 3,
// the text in mode 5, a white fill again) with the blend state and
// DrawBright as before afterwards, and memory-cache fonts left to the 2D
// path.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/string_draw.h"
#include "font/test_fonts.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

class StringDraw3DTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    fonttest::TestFonts::Get();
    StartHardware();
    ASSERT_EQ(IsUsing3DDrawing(), 1);
    StringGraphDraws draws;
    draws.blit_part = [this](int x, int y, int sx, int sy, int w, int h, int graph, int, int) {
      char text[96];
      std::snprintf(text, sizeof text, "part %d,%d src %d,%d %dx%d g%d", x, y, sx, sy, w, h, graph);
      Note(text);
      return 0;
    };
    draws.fill_box_3d = [this](int x1, int y1, int x2, int y2, uint32_t colour) {
      char text[96];
      std::snprintf(text, sizeof text, "fill %d,%d-%d,%d c%X", x1, y1, x2, y2, colour);
      Note(text);
      return 0;
    };
    SetStringGraphDraws(draws);
  }
  void TearDown() override {
    SetStringGraphDraws({});
    // The fonts first: their cache graphs go through the hooks.
    ResetFontTable();
    SetFontCacheHooks({});
    Direct3DTest::TearDown();
  }
  void Note(const std::string& what) {
    const DrawState& s = CurrentDrawState;
    char text[64];
    std::snprintf(text, sizeof text, " mode %d/%d bright %06X", s.BlendMode, s.BlendValue,
                  s.DrawBright & 0xFFFFFFu);
    calls_.push_back(what + text);
  }
  // Cache graphs 77 and 78 take the place of textures.
  void UseTextureCaches() {
    FontCacheHooks hooks;
    hooks.texture_formats = [](ColorFormat* alpha, ColorFormat* mask) {
      CreateColorFormat(alpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
      CreateColorFormat(mask, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
      return true;
    };
    hooks.create_cache_graphs = [](FontRecord& f) {
      f.CacheGraph = 77;
      f.EdgeCacheGraph = (f.Type & kFontTypeEdge) != 0 ? 78 : -1;
      return 0;
    };
    hooks.release_cache_graphs = [](FontRecord& f) { f.CacheGraph = f.EdgeCacheGraph = -1; };
    hooks.transfer_image_rect = [](const GraphImage&, int, int, int, int, int, int, int) { return 0; };
    SetFontCacheHooks(hooks);
  }
  int Font(int type) {
    const std::string face = fonttest::Sjis(u8"ベスク試験");
    const int handle = CreateFontToHandle(face.c_str(), 20, 4, type, 1, -1, 0, -1, -1);
    EXPECT_NE(handle, -1);
    return handle;
  }
  std::vector<std::string> calls_;
};

TEST_F(StringDraw3DTest, SubtractIsEmulatedAroundTheText) {
  UseTextureCaches();
  const int font = Font(1);
  ASSERT_EQ(GetFontRecord(font)->TextureCache, 1);
  SetBlendMode(3, 150);
  SetDrawTint(200, 100, 50);
  const uint32_t white = PackScreenColor(255, 255, 255);
  char fill[64];
  std::snprintf(fill, sizeof fill, "fill 10,20-640,43 c%X mode 3/255 bright FFFFFF", white);
  const uint32_t colour = PackScreenColor(250, 250, 250), edge = PackScreenColor(0, 0, 255);
  const std::string main = std::string(" mode 5/150 bright ") + "C46231";
  EXPECT_EQ(DrawFontString(10, 20, "I L", colour, font, edge, 0), 0);
  ASSERT_EQ(calls_.size(), 6u);
  EXPECT_EQ(calls_.front(), fill);
  EXPECT_EQ(calls_.back(), fill);
  // Edge then glyph, each in mode 5 in its own colour; the space draws nothing.
  EXPECT_NE(calls_[1].find(" g78 mode 5/150 bright 000032"), std::string::npos) << calls_[1];
  EXPECT_NE(calls_[2].find(" g77" + main), std::string::npos) << calls_[2];
  EXPECT_NE(calls_[3].find(" g78 "), std::string::npos);
  EXPECT_NE(calls_[4].find(" g77 "), std::string::npos);
  const GlyphEntry* l = FindCachedGlyph(*GetFontRecord(font), 'L');
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(calls_[3].substr(0, calls_[3].find(',')), "part " + std::to_string(10 + MeasureFontString("I ", -1, font, 0) + l->OriginX))
      << "after I and the space";
  EXPECT_EQ(CurrentDrawState.BlendMode, 3);
  EXPECT_EQ(CurrentDrawState.BlendValue, 150);
  EXPECT_EQ(CurrentDrawState.DrawBright & 0xFFFFFFu, 0xC86432u);

  // Other modes draw the glyphs alone, in that mode.
  calls_.clear();
  SetBlendMode(1, 128);
  EXPECT_EQ(DrawFontString(10, 20, "I", colour, font, edge, 0), 0);
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_NE(calls_[0].find(" mode 1/128 "), std::string::npos);
  SetDrawTint(255, 255, 255);
  SetBlendMode(0, 0);
}

TEST_F(StringDraw3DTest, MemoryCacheFontsTakeThe2DPath) {
  SetFontCacheHooks({});  // no texture caches
  const int font = Font(0);
  ASSERT_EQ(GetFontRecord(font)->TextureCache, 0);
  SetBlendMode(3, 150);
  EXPECT_EQ(DrawFontString(10, 20, "IL", PackScreenColor(255, 255, 255), font, 0, 0), 0);
  EXPECT_TRUE(calls_.empty()) << "no fills, no graph draws";
  EXPECT_EQ(CurrentDrawState.BlendMode, 3);
  SetBlendMode(0, 0);
}

}  // namespace
}  // namespace d3d_engine_test
