// End to end: the string scene (tests/graphics/string_scene.h) with the
// test font, drawn by the library started as the player starts it, in a
// 32-bit window and a 16-bit full screen, with Direct3D on the OpenGL
// stand-in, where fonts keep their glyphs in texture caches; compared with
// the software frame of the same depth (tests/graphics/golden), where they
// keep them in memory.
//
// Every channel within 2 units of the screen's precision, except where the
// two ways legitimately part: pixels of antialiased glyphs within 4 units
// at 16 bits and 17 at 32 (the texture cache keeps level - 1 in four alpha
// bits, read as 17 x (level - 1), the memory writer uses 16 x (level - 1));
// and the areas where the two paths part by design (string_scene.h: the
// scaled strings, edge fonts blended in modes 1 and 3, and antialiased edge
// fonts, whose memory and texture caches build the edge by different rules),
// left out. A mismatch leaves both frames and a difference image in the build
// folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/presentation_entry_points.h"
#include "engine/api/window_entry_points.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_thread.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"
#include "tests/graphics/golden_png.h"
#include "tests/graphics/string_scene.h"
#include "tests/support/started_library_test.h"

namespace {

namespace fs = std::filesystem;

struct Mode {
  const char* name;
  int bits;
  bool window;
};

class StringFrames : public StartedLibraryTest, public ::testing::WithParamInterface<Mode> {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    fonttest::TestFonts::Get();
    InstallDrawingServices();
  }

  bool Start(const Mode& mode, bool hardware) {
    if (hardware) {
      EXPECT_EQ(SetHardwareRendering(1), 0);
    }
    return StartInMode(640, 480, mode.bits, mode.window, hardware);
  }

  golden::Frame DrawAndSave(const std::string& leaf, bool texture) {
    const std::string face = fonttest::Sjis(u8"ベスク試験");
    int fonts[4];
    for (int t = 0; t < 4; ++t) {
      fonts[t] = CreateFontToHandle(face.c_str(), 20, 4, t, 1, -1, 0, -1, -1);
      EXPECT_NE(fonts[t], -1);
      EXPECT_EQ(GetFontRecord(fonts[t])->TextureCache, texture ? 1 : 0) << "type " << t;
    }
    EXPECT_EQ(SetTargetScreen(-2), 0);
    string_scene::DrawStringScene(fonts);
    return SaveScreen(leaf, string_scene::kWidth, string_scene::kHeight);
  }
};

int Units(uint32_t rgb, int shift, int bits) {
  const int v = static_cast<int>((rgb >> shift) & 0xFF);
  if (bits == 32) return v;
  const int maximum = shift == 8 ? 63 : 31;
  return (v * maximum + 127) / 255;
}

bool PathsPart(int x, int y) {
  for (const auto& a : string_scene::kPathAreas) {
    if (x >= a.left && x < a.right && y >= a.top && y < a.bottom) return true;
  }
  return false;
}

// The rows and the vertical column of the antialiased strings (type 2).
bool Antialiased(int x, int y) {
  if (y >= 52 && y < 76 && x < 258) return true;
  return x >= 308 && x < 333 && y < 100;
}

// The antialiased edge strings (type 3) drawn in mode 0: the row's first
// string and the vertical one. Their edges part by design, but both caches
// give an edge wherever a glyph pixel of level 2 or more is in reach and
// none elsewhere, and a full-coverage glyph pixel covers its edge in both:
// the pixels the software frame shows as plain background or as the plain
// text colour must be the same through the texture cache.
bool AntialiasedEdgeMode0(int x, int y) { return (x < 88 && y >= 76 && y < 100) || (x >= 333 && y < 100); }

// Whether a frame pixel shows the colour the scene asked for, as the screen
// stores it (the top bits of each channel at 16 bits).
bool ShowsColour(uint32_t rgb, uint32_t colour, int bits) {
  for (const int shift : {0, 8, 16}) {
    const int v = static_cast<int>((colour >> shift) & 0xFF);
    const int stored = bits == 32 ? v : v >> (shift == 8 ? 2 : 3);
    if (Units(rgb, shift, bits) != stored) return false;
  }
  return true;
}

TEST_P(StringFrames, HardwareFrameMatchesTheSoftwareFrame) {
  const Mode mode = GetParam();
  golden::Frame want;
  ASSERT_TRUE(golden::ReadPng(std::string(VESK_SOURCE_DIR) + "/tests/graphics/golden/strings_testfont" +
                                  std::to_string(mode.bits) + ".png",
                              &want));
  if (!Start(mode, true)) {
    if (std::getenv("CI") != nullptr) FAIL() << "no OpenGL 3.3 core context through EGL on CI";
    GTEST_SKIP() << "no OpenGL 3.3 core context through EGL";
  }
  // Texture graphs (and so texture glyph caches) are not switched on in
  // normal running yet.
  EnableTextureGraphsForTest(1);
  const golden::Frame frame = DrawAndSave("strings_hw.png", true);
  if (HasFatalFailure()) return;
  ASSERT_EQ(want.width, frame.width);
  ASSERT_EQ(want.height, frame.height);
  const int glyphTolerance = mode.bits == 32 ? 17 : 4;
  const uint32_t background = string_scene::kBackground, text = string_scene::kTextColour;
  std::vector<bool> bad(frame.rgb.size());
  size_t differing = 0, edgeTypeBackground = 0, edgeTypeText = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const size_t i = static_cast<size_t>(y) * frame.width + x;
      if (PathsPart(x, y)) {
        if (!AntialiasedEdgeMode0(x, y)) continue;
        const bool plainBackground = ShowsColour(want.rgb[i], background, mode.bits);
        const bool plainText = ShowsColour(want.rgb[i], text, mode.bits);
        if (!plainBackground && !plainText) continue;
        edgeTypeBackground += plainBackground ? 1 : 0;
        edgeTypeText += plainText ? 1 : 0;
      }
      const int tolerance = Antialiased(x, y) ? glyphTolerance : 2;
      for (const int shift : {0, 8, 16}) {
        const int d = Units(frame.rgb[i], shift, mode.bits) - Units(want.rgb[i], shift, mode.bits);
        if (d > tolerance || d < -tolerance) bad[i] = true;
      }
      if (bad[i] && differing < 8) {
        std::printf("(%d, %d): %06x instead of %06x\n", x, y, frame.rgb[i], want.rgb[i]);
      }
      differing += bad[i] ? 1 : 0;
    }
  }
  EXPECT_GT(edgeTypeBackground, 100u);
  EXPECT_GT(edgeTypeText, 20u) << "full-coverage pixels of the antialiased edge strings";
  if (differing != 0) {
    const std::string out = std::string(VESK_BINARY_DIR) + "/golden_out";
    fs::create_directories(out);
    golden::Frame diff = frame;
    for (size_t i = 0; i < diff.rgb.size(); ++i) diff.rgb[i] = bad[i] ? 0xFF00FF : 0;
    golden::WritePng(out + "/strings_" + std::string(mode.name) + "_hardware.png", frame);
    golden::WritePng(out + "/strings_" + std::string(mode.name) + "_software.png", want);
    golden::WritePng(out + "/strings_" + std::string(mode.name) + "_diff.png", diff);
    FAIL() << differing << " pixels beyond the tolerance; frames and difference image in " << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, StringFrames,
                         ::testing::Values(Mode{"window32", 32, true}, Mode{"full16", 16, false}),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

}  // namespace
