// The end-to-end test scene: a 640 x 480 frame drawn through the library's
// entry points in every way a game draws. Blend modes 0-4 at values 0, 128
// and 255 over graphs with an alpha channel, a colour key, an alpha test
// and an alpha image; tint; an untransparent draw; stretched draws with and
// without linear filtering, mirrored; free rotation and quarter turns; a
// blend graphic with a hard edge (range 1) and a soft one; filled, outlined
// and blended boxes; and a screen area captured into a graph and drawn back
// (CaptureArea at CaptureTarget). The same scene serves every drawing path;
// the image files come from the writers in tools/.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/api/graph_file_entry_points.h"
#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/image/draw_state.h"
#include "tools/writers/coded_image_writer.h"
#include "tools/writers/image_file_writer.h"

namespace test_scene {

inline constexpr int kWidth = 640;
inline constexpr int kHeight = 480;
inline constexpr uint32_t kBackground = 0x1E2850;
inline constexpr uint32_t kKey = 0xFE00FE;

// The captured rectangle (left, top, right, bottom) and where its graph is
// drawn back.
inline constexpr int kCaptureArea[4] = {4, 4, 184, 140};
inline constexpr int kCaptureTargetX = 440, kCaptureTargetY = 330;

// Where paths may shape edges differently (free rotation, linear
// filtering, blend-graphic transitions): left, top, right, bottom.
struct SceneArea {
  int left, top, right, bottom;
};
inline constexpr SceneArea kLooseAreas[] = {
    {252, 146, 316, 194},  // linear filtering
    {300, 120, 480, 220},  // rotations
    {0, 210, 150, 254},    // blend graphic
};

// 32 x 32 RGBA: a ball whose alpha falls towards its edge, clear outside.
inline std::vector<uint8_t> BallPng() {
  writers::PngFile png;
  png.width = png.height = 32;
  png.color_type = 6;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int dx = x - 16, dy = y - 16;
      const int d2 = dx * dx + dy * dy;
      png.rows.push_back(static_cast<uint8_t>(230 - x * 5));
      png.rows.push_back(static_cast<uint8_t>(30 + y * 7));
      png.rows.push_back(static_cast<uint8_t>(x * 6 + 20));
      png.rows.push_back(static_cast<uint8_t>(d2 < 225 ? 255 - d2 : 0));
    }
  }
  return writers::BuildPngFile(png);
}

// 32 x 24, 24 bits: a gradient framed by the key colour.
inline uint32_t TilePixel(int x, int y) {
  if (x < 2 || y < 2 || x >= 30 || y >= 22) return kKey;
  return static_cast<uint32_t>((x * 8) << 16 | (y * 10) << 8 | (255 - x * 4));
}
inline std::vector<uint8_t> TilesBmp() {
  writers::BmpFile bmp;
  bmp.width = 32;
  bmp.height = 24;
  bmp.bits = 24;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) bmp.pixels.push_back(TilePixel(x, y));
  return writers::BuildBmpFile(bmp);
}

// 32 x 32 RGBA with only clear and opaque pixels: a diamond (for the alpha
// test).
inline std::vector<uint8_t> DiamondPng() {
  writers::PngFile png;
  png.width = png.height = 32;
  png.color_type = 6;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int d = (x < 16 ? 15 - x : x - 16) + (y < 16 ? 15 - y : y - 16);
      png.rows.push_back(static_cast<uint8_t>(40 + x * 6));
      png.rows.push_back(static_cast<uint8_t>(220 - y * 4));
      png.rows.push_back(static_cast<uint8_t>(90));
      png.rows.push_back(static_cast<uint8_t>(d < 14 ? 255 : 0));
    }
  }
  return writers::BuildPngFile(png);
}

// 8-bit 32 x 32 and its alpha image (a horizontal ramp).
inline std::vector<uint8_t> ShadeBmp(bool alpha) {
  writers::BmpFile bmp;
  bmp.width = 32;
  bmp.height = 32;
  bmp.bits = 8;
  for (int i = 0; i < 256; ++i) {
    const uint32_t v = static_cast<uint32_t>(i);
    bmp.palette.push_back(alpha ? (v << 16 | v << 8 | v) : (v << 16 | (255 - v) << 8 | (v / 2)));
  }
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) bmp.pixels.push_back(static_cast<uint32_t>(alpha ? x * 8 : (x + y) * 4));
  return writers::BuildBmpFile(bmp);
}

// 64 x 64 grey: the blend graphic, a diagonal ramp reaching white at x + y
// = 64.
inline std::vector<uint8_t> RampPng() {
  writers::PngFile png;
  png.width = png.height = 64;
  png.color_type = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) png.rows.push_back(static_cast<uint8_t>((x + y) * 4 > 255 ? 255 : (x + y) * 4));
  return writers::BuildPngFile(png);
}

// The files the scene reads, by leaf name.
inline std::vector<std::pair<std::string, std::vector<uint8_t>>> SceneFiles() {
  return {{"ball.png", BallPng()},         {"tiles.bmp", TilesBmp()},
          {"diamond.png", DiamondPng()},   {"shade.bmp", ShadeBmp(false)},
          {"shade_alpha.bmp", ShadeBmp(true)}, {"ramp.png", RampPng()}};
}

// Loads a graph from a leaf (with an alpha image's leaf, or ""); blend: as
// a blend graphic.
using GraphLoader = std::function<int(const std::string& leaf, const std::string& alphaLeaf, bool blend)>;
// A screen colour of 0x00RRGGBB for the current screen.
using ScreenColor = std::function<uint32_t(uint32_t rgb)>;

// Draws the scene on the back screen. Every draw must succeed.
inline void DrawScene(const GraphLoader& load, const ScreenColor& color) {
  SetTransparentColor(254, 0, 254);
  const int ball = load("ball.png", "", false);
  const int tiles = load("tiles.bmp", "", false);
  CurrentDrawState.CreateAlphaTest = 1;
  const int diamond = load("diamond.png", "", false);
  CurrentDrawState.CreateAlphaTest = 0;
  const int shade = load("shade.bmp", "shade_alpha.bmp", false);
  const int ramp = load("ramp.png", "", true);
  for (const int g : {ball, tiles, diamond, shade, ramp}) ASSERT_NE(g, -1);

  ASSERT_EQ(SetTargetScreen(-2), 0);
  ASSERT_EQ(PutBox(0, 0, kWidth, kHeight, color(kBackground), 1), 0);
  const int sprites[] = {ball, tiles, diamond, shade};
  const int values[] = {0, 128, 255};
  for (int mode = 0; mode <= 4; ++mode) {
    for (int v = 0; v < 3; ++v) {
      SetBlendMode(mode, values[v]);
      const int x = 4 + (mode * 3 + v) * 36;
      for (int s = 0; s < 4; ++s) EXPECT_EQ(PutGraph(x, 4 + s * 34, sprites[s], 1), 0);
    }
  }
  SetBlendMode(0, 0);

  // Tint, an untransparent draw, stretches, turns.
  SetDrawTint(255, 128, 64);
  EXPECT_EQ(PutGraph(4, 146, ball, 1), 0);
  EXPECT_EQ(PutGraph(40, 146, tiles, 1), 0);
  SetDrawTint(255, 255, 255);
  EXPECT_EQ(PutGraph(76, 146, tiles, 0), 0);
  EXPECT_EQ(PutGraphStretched(112, 146, 176, 194, tiles, 1), 0);
  EXPECT_EQ(PutGraphStretched(244, 194, 180, 146, diamond, 1), 0);
  SetFilterMode(1);
  EXPECT_EQ(PutGraphStretched(252, 146, 316, 194, ball, 1), 0);
  SetFilterMode(0);
  EXPECT_EQ(PutGraphRotated(350, 170, 1.5, 0.6, ball, 1, 0), 0);
  EXPECT_EQ(PutGraphRotated(400, 170, 1.0, 2.0, shade, 1, 1), 0);
  EXPECT_EQ(PutGraphRotated(450, 170, 1.0, 1.5707963267948966, tiles, 1, 0), 0);
  EXPECT_EQ(PutGraphPart(490, 150, 4, 4, 20, 14, tiles, 1, 1), 0);

  // Blend graphic: a hard edge (range 1) and soft ones.
  EXPECT_EQ(PutGraphBlended(4, 214, tiles, 1, ramp, 128, 1), 0);
  EXPECT_EQ(PutGraphBlended(40, 214, tiles, 1, ramp, 128, 64), 0);
  EXPECT_EQ(PutGraphBlended(76, 214, ball, 1, ramp, 200, 32), 0);
  EXPECT_EQ(PutGraphBlended(112, 214, diamond, 1, ramp, 60, 0), 0);

  // Boxes.
  EXPECT_EQ(PutBox(150, 214, 190, 254, color(0xFAFA00), 1), 0);
  EXPECT_EQ(PutBox(200, 214, 240, 254, color(0x00FA78), 0), 0);
  SetBlendMode(1, 100);
  EXPECT_EQ(PutBox(170, 234, 220, 274, color(0xFF0000), 1), 0);
  SetBlendMode(3, 128);
  EXPECT_EQ(PutBox(230, 234, 280, 274, color(0x4080FF), 1), 0);
  SetBlendMode(0, 0);

  // A screen area into a graph, and back onto the screen elsewhere.
  const int w = kCaptureArea[2] - kCaptureArea[0], h = kCaptureArea[3] - kCaptureArea[1];
  const int captured = NewGraph(w, h, 0);
  ASSERT_NE(captured, -1);
  ASSERT_EQ(CaptureScreenToGraph(kCaptureArea[0], kCaptureArea[1], kCaptureArea[2], kCaptureArea[3], captured, 1),
            0);
  EXPECT_EQ(PutGraph(kCaptureTargetX, kCaptureTargetY, captured, 0), 0);
}

}  // namespace test_scene
