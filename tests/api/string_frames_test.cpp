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
// and the areas where the two paths part by design (string_scene.h), left
// out. A mismatch leaves both frames and a difference image in the build
// folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_manager.h"
#include "tests/graphics/string_scene.h"
#include "tests/support/golden_frames.h"
#include "tests/support/open_gl_context.h"
#include "tests/support/started_library_test.h"

namespace {

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

TEST_P(StringFrames, HardwareFrameMatchesTheSoftwareFrame) {
  const Mode mode = GetParam();
  golden::Frame want;
  ASSERT_TRUE(golden::ReadPng(
      golden::SourcePath("tests/graphics/golden/strings_testfont" + std::to_string(mode.bits) + ".png"), &want));
  if (!Start(mode, true)) {
    test_support::NoOpenGlContext();
    return;
  }
  // Texture graphs (and so texture glyph caches) are not switched on in
  // normal running yet.
  EnableTextureGraphsForTest(1);
  const golden::Frame frame = DrawAndSave("strings_hw.png", true);
  if (HasFatalFailure()) return;
  ASSERT_EQ(want.width, frame.width);
  ASSERT_EQ(want.height, frame.height);
  const int glyphTolerance = mode.bits == 32 ? 17 : 4;
  std::vector<bool> bad(frame.rgb.size());
  size_t differing = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const size_t i = static_cast<size_t>(y) * frame.width + x;
      if (PathsPart(x, y)) continue;
      const int tolerance = Antialiased(x, y) ? glyphTolerance : 2;
      for (const int shift : {0, 8, 16}) {
        const int d =
            golden::ScreenUnits(frame.rgb[i], shift, mode.bits) - golden::ScreenUnits(want.rgb[i], shift, mode.bits);
        if (d > tolerance || d < -tolerance) bad[i] = true;
      }
      if (bad[i] && differing < 8) {
        std::printf("(%d, %d): %06x instead of %06x\n", x, y, frame.rgb[i], want.rgb[i]);
      }
      differing += bad[i] ? 1 : 0;
    }
  }
  if (differing != 0) {
    const std::string name = "strings_" + std::string(mode.name);
    golden::WriteOut(name + "_hardware", frame, bad);
    golden::WritePng(golden::OutFolder() + "/" + name + "_software.png", want);
    FAIL() << differing << " pixels beyond the tolerance; frames and difference image in " << golden::OutFolder();
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, StringFrames,
                         ::testing::Values(Mode{"window32", 32, true}, Mode{"full16", 16, false}),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

}  // namespace
