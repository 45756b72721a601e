// The string scene of the golden frames, shared by the 2D tests and the
// end-to-end comparison of the drawing paths: every font type, horizontal,
// vertical and scaled, blend modes 0, 1 at 128 and 3, a tinted line, on a
// background with a gradient for the blends to show. 360 x 240 pixels; the
// caller makes the four fonts (types 0-3) and starts the graphics.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/string_draw.h"
#include "font/test_fonts.h"

namespace string_scene {

inline constexpr int kWidth = 360;
inline constexpr int kHeight = 240;

// Where the 2D path (memory caches) and the texture path part by design
// (left, top, right, bottom): the scaled strings, which the 2D path
// composes and stretches whole and the texture path stretches glyph by
// glyph; edge fonts blended in modes 1 and 3, which the 2D path composes
// first and blends once, while the texture path blends the edge and then
// the glyph over it, so the edge shows through the glyph; and antialiased
// edge fonts, whose glyph and edge levels the 2D path mixes into one pixel
// while the texture path lays one over the other.
struct Area {
  int left, top, right, bottom;
};
inline constexpr Area kPathAreas[] = {
    {0, 126, 360, 214},    // scaled
    {240, 214, 360, 240},  // scaled, vertical
    {88, 28, 270, 52},     // edge, modes 1 and 3
    {0, 76, 270, 100},     // antialiased edge
    {0, 100, 116, 126},    // antialiased edge, mode 1, on the gradient
    {333, 0, 360, 100},    // antialiased edge, vertical
};

// The scene of the golden frames: every font type, horizontal, vertical
// and scaled, blend modes 0, 1 at 128 and 3, on a background with a
// gradient for the blends to show.
inline void DrawStringScene(const int fonts[4]) {
  using fonttest::Sjis;
  EXPECT_EQ(PutBox(0, 0, 360, 240, PackScreenColor(40, 60, 90), 1), 0);
  for (int x = 0; x < 360; x += 6) {
    EXPECT_EQ(PutBox(x, 100, x + 6, 124, PackScreenColor(x * 255 / 360, 200, 255 - x * 255 / 360), 1), 0);
  }
  const std::string text = Sjis(u8"IL/\\あア日");
  const uint32_t main = PackScreenColor(250, 230, 90), edge = PackScreenColor(200, 30, 40);
  const int modes[3][2] = {{0, 0}, {1, 128}, {3, 150}};
  for (int t = 0; t < 4; ++t) {
    for (int m = 0; m < 3; ++m) {
      SetBlendMode(modes[m][0], modes[m][1]);
      EXPECT_EQ(DrawFontString(4 + m * 84, 4 + t * 24, text.c_str(), main, fonts[t], edge, 0), 0);
    }
    SetBlendMode(0, 0);
    EXPECT_EQ(DrawFontString(258 + t * 25, 4, text.c_str(), main, fonts[t], edge, 1), 0);
  }
  SetBlendMode(1, 128);
  EXPECT_EQ(DrawFontString(4, 102, text.c_str(), main, fonts[3], edge, 0), 0);
  SetBlendMode(3, 200);
  EXPECT_EQ(DrawFontString(120, 102, text.c_str(), main, fonts[0], edge, 0), 0);
  SetBlendMode(0, 0);
  EXPECT_EQ(DrawFontStringScaled(4, 130, 1.5, 2.0, "IOT/", main, fonts[0], edge, 0), 0);
  EXPECT_EQ(DrawFontStringScaled(80, 130, 2.0, 1.5, text.c_str(), main, fonts[3], edge, 0), 0);
  SetBlendMode(1, 128);
  EXPECT_EQ(DrawFontStringScaled(250, 140, 1.5, 1.5, text.c_str(), main, fonts[1], edge, 1), 0);
  SetBlendMode(0, 0);
  SetDrawTint(128, 255, 200);
  EXPECT_EQ(DrawFontString(4, 214, text.c_str(), main, fonts[1], edge, 0), 0);
  SetDrawTint(255, 255, 255);
}

}  // namespace string_scene
