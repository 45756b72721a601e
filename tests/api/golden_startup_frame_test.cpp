// End to end: the library started as the player starts it (real window
// without a display, software rendering, 16 and 32 bits), image files read
// through the library's file entry points into graphs as the game does,
// drawn in every blend mode, tinted, stretched, turned, through a blend
// graphic and cut, then the back screen saved with SaveScreenAreaAsPng and
// compared exactly with the expected PNG in tests/golden. Probe pixels
// computed from the colour formats anchor the expected frames.
// VESK_UPDATE_GOLDEN=1 writes the expected files anew; a mismatch leaves the
// frame and a difference image in the build folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/api/file_entry_points.h"
#include "engine/api/graph_file_entry_points.h"
#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "platform/display/test_controls.h"
#include "tests/api/test_scene.h"
#include "tests/support/golden_frames.h"
#include "tests/support/started_library_test.h"
#include "tools/writers/coded_image_writer.h"
#include "tools/writers/image_file_writer.h"

namespace {

constexpr int kFrameWidth = 400;
constexpr int kFrameHeight = 300;

// A channel of a colour as the screen at bits keeps it and the PNG writer
// widens it again (value x 255 / maximum, truncated).
uint32_t Kept(uint32_t c, int width) {
  const uint32_t maximum = (1u << width) - 1;
  return (c >> (8 - width)) * 255 / maximum;
}
uint32_t OnScreen(uint32_t rgb, int bits) {
  if (bits == 32) return rgb;
  return Kept(rgb >> 16 & 0xFF, 5) << 16 | Kept(rgb >> 8 & 0xFF, 6) << 8 | Kept(rgb & 0xFF, 5);
}

std::vector<uint8_t> RgbaBall() {
  writers::PngFile png;
  png.width = png.height = 32;
  png.color_type = 6;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int dx = x - 16, dy = y - 16;
      const bool inside = dx * dx + dy * dy < 15 * 15;
      png.rows.push_back(static_cast<uint8_t>(200 - x * 3));
      png.rows.push_back(static_cast<uint8_t>(40 + y * 6));
      png.rows.push_back(static_cast<uint8_t>(x * 7));
      png.rows.push_back(static_cast<uint8_t>(inside ? 255 - (dx * dx + dy * dy) : 0));
    }
  }
  return writers::BuildPngFile(png);
}

std::vector<uint8_t> PaletteChecker() {
  writers::PngFile png;
  png.width = png.height = 24;
  png.color_type = 3;
  png.palette = {0x000000, 0xE0C020, 0x20A0E0, 0xF0F0F0};
  png.palette_alpha = {0};
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) png.rows.push_back(static_cast<uint8_t>(((x / 6 + y / 6) % 2) ? (x / 12 + 1 + y / 12) % 4 : 0));
  return writers::BuildPngFile(png);
}

// The 24-bit tiles (framed by the key colour) and the 8-bit shade with its
// alpha image are the test scene's.
using test_scene::kKey;
using test_scene::ShadeBmp;
using test_scene::TilePixel;
using test_scene::TilesBmp;

std::vector<uint8_t> GreyRamp() {
  writers::PngFile png;
  png.width = png.height = 32;
  png.color_type = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) png.rows.push_back(static_cast<uint8_t>((x + y) * 4));
  return writers::BuildPngFile(png);
}

class GoldenStartupFrame : public StartedLibraryTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    InstallDrawingServices();
  }

  // The whole file through the library's file entry points.
  std::vector<uint8_t> ReadThroughLibrary(const std::string& leaf) const {
    const std::string name = Path(leaf);
    const int64_t size = GetDataFileSize(name.c_str());
    std::vector<uint8_t> bytes(static_cast<size_t>(size > 0 ? size : 0));
    const StreamHandle file = OpenDataFile(name.c_str(), 0);
    EXPECT_NE(file, 0);
    EXPECT_EQ(ReadDataFile(bytes.data(), size, file), 1) << "the whole file";
    CloseDataFile(file);
    return bytes;
  }
  int Import(const std::string& leaf, const std::string& alphaLeaf = "") const {
    const std::vector<uint8_t> data = ReadThroughLibrary(leaf);
    std::vector<uint8_t> alpha;
    if (!alphaLeaf.empty()) alpha = ReadThroughLibrary(alphaLeaf);
    return ImportGraphFromMemory(data.data(), static_cast<int32_t>(data.size()),
                                 alpha.empty() ? nullptr : alpha.data(),
                                 static_cast<int32_t>(alpha.size()), 0, 0);
  }
};

TEST_P(GoldenStartupFrame, DrawsEveryWayAndSavesTheExpectedFrame) {
  const int bits = GetParam();
  window_mode_ = 1;
  // In a window the screen takes the desktop's depth.
  platform::display::test::SetDesktop(1024, 768, bits);
  ASSERT_EQ(SetHardwareRendering(0), 0);
  if (bits == 32) ChangeScreenMode(640, 480, 32, 60);
  ASSERT_EQ(StartLibrary(), 0);
  ASSERT_EQ(GetScreenColorState().ScreenBits, bits);

  // The start-up drawing leaves a black front screen as draw target.
  int width = 0, height = 0;
  EXPECT_EQ(QueryGraphSize(-4, &width, &height), 0);
  const MEMIMG& front = GetMainSurfaces().FrontMemImg;
  ASSERT_NE(front.Pixels, nullptr);
  const golden::Frame frontFrame = golden::ReadFrame(front, 640, 480);
  EXPECT_EQ(std::count(frontFrame.rgb.begin(), frontFrame.rgb.end(), 0u),
            static_cast<std::ptrdiff_t>(frontFrame.rgb.size()));
  EXPECT_EQ(CountGraphHandles(), 0) << "the start-up graphs are released";

  WriteNative("ball.png", RgbaBall());
  WriteNative("checker.png", PaletteChecker());
  WriteNative("tiles.bmp", TilesBmp());
  WriteNative("shade.bmp", ShadeBmp(false));
  WriteNative("shade_alpha.bmp", ShadeBmp(true));
  WriteNative("ramp.png", GreyRamp());

  SetTransparentColor(254, 0, 254);
  const int ball = Import("ball.png");
  const int checker = Import("checker.png");
  const int tiles = Import("tiles.bmp");
  const int shade = Import("shade.bmp", "shade_alpha.bmp");
  const int ramp = ImportGraphFileWithAlpha(Path("ramp.png").c_str());
  const int tileCut = CutGraph(4, 4, 16, 12, tiles);
  const int ballCut = CutGraph(16, 0, 40, 16, ball);
  for (const int g : {ball, checker, tiles, shade, ramp, tileCut, ballCut}) ASSERT_NE(g, -1);

  ASSERT_EQ(SetTargetScreen(-2), 0);
  const uint32_t background = 0x1E2850;
  ASSERT_EQ(PutBox(0, 0, 640, 480, PackScreenColor(0x1E, 0x28, 0x50), 1), 0);
  const int sprites[] = {ball, checker, tiles, shade};
  for (int mode = 0; mode <= 4; ++mode) {
    for (int v = 0; v < 2; ++v) {
      SetBlendMode(mode, v == 0 ? 128 : 255);
      const int x = 4 + (mode * 2 + v) * 36;
      for (int s = 0; s < 4; ++s) EXPECT_EQ(PutGraph(x, 4 + s * 34, sprites[s], 1), 0);
    }
  }
  SetBlendMode(0, 0);
  SetDrawTint(255, 128, 64);
  EXPECT_EQ(PutGraph(4, 142, ball, 1), 0);
  EXPECT_EQ(PutGraph(40, 142, tiles, 1), 0);
  SetDrawTint(255, 255, 255);
  EXPECT_EQ(PutGraph(76, 142, tiles, 0), 0) << "not transparent";
  EXPECT_EQ(PutGraphStretched(112, 142, 176, 190, tiles, 1), 0);
  EXPECT_EQ(PutGraphStretched(240, 190, 180, 142, checker, 1), 0) << "mirrored both ways";
  EXPECT_EQ(PutGraphRotated(280, 170, 1.5, 0.6, ball, 1, 0), 0);
  EXPECT_EQ(PutGraphRotated(330, 170, 1.0, 2.0, shade, 1, 1), 0);
  EXPECT_EQ(PutGraphBlended(4, 200, tiles, 1, ramp, 128, 64), 0);
  EXPECT_EQ(PutGraphBlended(40, 200, ball, 1, ramp, 200, 32), 0);
  EXPECT_EQ(PutGraph(80, 200, tileCut, 1), 0);
  EXPECT_EQ(PutGraph(100, 200, ballCut, 1), 0);
  EXPECT_EQ(PutBox(130, 200, 170, 240, PackScreenColor(250, 250, 0), 1), 0);
  EXPECT_EQ(PutBox(180, 200, 220, 240, PackScreenColor(0, 250, 120), 0), 0);
  SetBlendMode(1, 100);
  EXPECT_EQ(PutBox(150, 220, 200, 260, PackScreenColor(255, 0, 0), 1), 0);
  SetBlendMode(0, 0);

  const std::string shot = Path("frame.png");
  ASSERT_EQ(SaveScreenAreaAsPng(0, 0, kFrameWidth, kFrameHeight, shot.c_str(), 6), 0);
  golden::Frame frame;
  ASSERT_TRUE(golden::ReadPng(native_dir_ + "/frame.png", &frame));
  ASSERT_EQ(frame.width, kFrameWidth);
  ASSERT_EQ(frame.height, kFrameHeight);
  auto at = [&](int x, int y) { return frame.rgb[static_cast<size_t>(y) * kFrameWidth + x]; };

  // Probes: the background, an opaque pixel of the plain 24-bit sprite, its
  // key colour left out, a filled box, the outline's edge and inside.
  EXPECT_EQ(at(399, 299), OnScreen(background, bits));
  EXPECT_EQ(at(4 + 10, 4 + 68 + 7), OnScreen(TilePixel(10, 7), bits));
  EXPECT_EQ(at(4 + 0, 4 + 68 + 0), OnScreen(background, bits)) << "the key colour is transparent";
  EXPECT_EQ(at(76 + 0, 142 + 0), OnScreen(kKey, bits)) << "drawn without transparency";
  EXPECT_EQ(at(135, 205), OnScreen(0xFAFA00, bits));
  EXPECT_EQ(at(180, 210), OnScreen(0x00FA78, bits));
  EXPECT_EQ(at(190, 210), OnScreen(background, bits)) << "an outline is not filled";
  EXPECT_EQ(at(80 + 3, 200 + 2), OnScreen(TilePixel(7, 6), bits)) << "the cut starts at (4, 4)";

  golden::ExpectSameAsGolden(golden::SourcePath("tests/golden/startup_frame" + std::to_string(bits) + ".png"), frame,
                             "startup_frame" + std::to_string(bits));
}

INSTANTIATE_TEST_SUITE_P(Depths, GoldenStartupFrame, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Bits" + std::to_string(info.param);
                         });

}  // namespace
