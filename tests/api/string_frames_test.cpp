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
#include "tests/api/library_test_fixture.h"
#include "tests/graphics/golden_png.h"
#include "tests/graphics/string_scene.h"

namespace {

namespace fs = std::filesystem;

struct Mode {
  const char* name;
  int bits;
  bool window;
};

class StringFrames : public LibraryFixture, public ::testing::WithParamInterface<Mode> {
 protected:
  void SetUp() override {
    LibraryFixture::SetUp();
    fonttest::TestFonts::Get();
    SetMessageThreadEnabled(false);
    ResetWindowData();
    platform::ClearInjectedWindowEvents();
    platform::SetInstanceLockFolder(native_dir_);
    ServiceSet services = services_.Set();
    services.window = &window_service_;
    services.input = &input_service_;
    services.graphics = &graphics_service_;
    InstallServices(services);
  }
  void TearDown() override {
    EndLibrary();
    EnableTextureGraphsForTest(0);
    platform::display::SetDirect3DFactory(nullptr);
    platform::ClearInjectedWindowEvents();
    platform::SetInstanceLockFolder("");
    SetMessageThreadEnabled(true);
    ResetWindowData();
    platform::display::test::ResetDisplayControls();
    LibraryFixture::TearDown();
  }

  bool Start(const Mode& mode, bool hardware) {
    window_mode_ = mode.window ? 1 : 0;
    SetWindowedMode(window_mode_);
    requested_depth_ = mode.bits;
    platform::display::test::SetDesktop(1024, 768, mode.window ? mode.bits : 32);
    if (hardware) {
      setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
      EXPECT_EQ(SetHardwareRendering(1), 0);
      InstallDirect3DBackEnd();
    } else {
      EXPECT_EQ(SetHardwareRendering(0), 0);
    }
    ChangeScreenMode(640, 480, mode.bits, 60);
    EXPECT_EQ(StartLibrary(), 0);
    EXPECT_EQ(GetScreenColorState().ScreenBits, mode.bits);
    return !hardware || GetDirect3DState().Initialized3D == 1;
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
    golden::Frame frame;
    const std::string path = start_dir_ + "\\" + leaf;
    EXPECT_EQ(SaveScreenAreaAsPng(0, 0, string_scene::kWidth, string_scene::kHeight, path.c_str(), 6), 0);
    EXPECT_TRUE(golden::ReadPng(native_dir_ + "/" + leaf, &frame));
    return frame;
  }

  LibraryWindowService window_service_;
  LibraryInputService input_service_;
  EngineGraphicsService graphics_service_;
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
  std::vector<bool> bad(frame.rgb.size());
  size_t differing = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const size_t i = static_cast<size_t>(y) * frame.width + x;
      if (PathsPart(x, y)) continue;
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
