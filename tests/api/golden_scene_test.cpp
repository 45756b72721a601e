// End to end: the test scene (tests/api/test_scene.h) drawn by the library
// started as the player starts it, in a 32-bit window and in a 16-bit full
// screen, saved with SaveScreenAreaAsPng. Software rendering is compared
// exactly with the expected PNG in tests/golden; hardware drawing with
// Direct3D on the OpenGL stand-in (Mesa's llvmpipe through EGL) and graphs
// in display surfaces against the software frame of the same mode, within
// a tolerance. In every way of drawing, texture graphs drawn by the 3D
// device included, the captured area drawn back equals its source.
//
// VESK_UPDATE_GOLDEN=1 writes the expected files anew; a mismatch leaves the
// frame and a difference image in the build folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/api/graph_file_entry_points.h"
#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "tests/api/test_scene.h"
#include "tests/support/golden_frames.h"
#include "tests/support/open_gl_context.h"
#include "tests/support/started_library_test.h"

namespace {

struct SceneMode {
  const char* name;
  int bits;
  bool window;
};

class GoldenScene : public StartedLibraryTest, public ::testing::WithParamInterface<SceneMode> {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    InstallDrawingServices();
    for (const auto& [leaf, bytes] : test_scene::SceneFiles()) WriteNative(leaf, bytes);
  }

  // Starts the library in the mode; hardware: drawing on the display layer
  // with Direct3D on OpenGL. False when the hardware path has no OpenGL.
  bool Start(const SceneMode& mode, bool hardware, bool textures = false) {
    EnableTextureGraphsForTest(textures ? 1 : 0);
    if (!StartInMode(test_scene::kWidth, test_scene::kHeight, mode.bits, mode.window, hardware)) return false;
    // Without texture graphics the scene takes the DirectDraw path: 3D
    // drawing off, so graphics, boxes and fonts made from here on are 2D.
    if (hardware && !textures) SetUse3DDrawing(0);
    return true;
  }

  // The scene, saved and read back.
  golden::Frame DrawAndSave(const std::string& leaf) {
    test_scene::DrawScene(
        [this](const std::string& file, const std::string& alpha, bool blend) {
          if (blend) return ImportGraphFileWithAlpha(Path(file).c_str());
          const std::vector<uint8_t> data = ReadNative(file);
          const std::vector<uint8_t> alphaData = alpha.empty() ? std::vector<uint8_t>() : ReadNative(alpha);
          return ImportGraphFromMemory(data.data(), static_cast<int32_t>(data.size()),
                                       alphaData.empty() ? nullptr : alphaData.data(),
                                       static_cast<int32_t>(alphaData.size()), 1, 0);
        },
        [](uint32_t rgb) {
          return PackScreenColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                                 static_cast<int>(rgb & 0xFF));
        });
    const golden::Frame frame = SaveScreen(leaf, test_scene::kWidth, test_scene::kHeight);
    EXPECT_EQ(frame.width, test_scene::kWidth);
    EXPECT_EQ(frame.height, test_scene::kHeight);
    return frame;
  }

  static void ExpectCaptureDrawnBack(const golden::Frame& frame) {
    const int* a = test_scene::kCaptureArea;
    size_t differing = 0;
    for (int y = a[1]; y < a[3]; ++y) {
      for (int x = a[0]; x < a[2]; ++x) {
        const uint32_t source = frame.rgb[static_cast<size_t>(y) * frame.width + x];
        const uint32_t back = frame.rgb[static_cast<size_t>(y - a[1] + test_scene::kCaptureTargetY) * frame.width +
                                        (x - a[0] + test_scene::kCaptureTargetX)];
        differing += source == back ? 0 : 1;
      }
    }
    EXPECT_EQ(differing, 0u) << "the captured area drawn back differs from its source";
  }
};

TEST_P(GoldenScene, SoftwareFrameIsTheExpectedOne) {
  const SceneMode mode = GetParam();
  ASSERT_TRUE(Start(mode, false));
  const golden::Frame frame = DrawAndSave("scene.png");
  if (HasFatalFailure()) return;
  ExpectCaptureDrawnBack(frame);

  const std::string name = std::string("scene_") + mode.name;
  golden::ExpectSameAsGolden(golden::SourcePath("tests/golden/" + name + ".png"), frame, name);
}

bool InLooseArea(int x, int y) {
  for (const test_scene::SceneArea& a : test_scene::kLooseAreas) {
    if (x >= a.left && x < a.right && y >= a.top && y < a.bottom) return true;
  }
  return false;
}

// The 3 x 3 neighbourhood of (x, y) is one colour.
bool Flat(const golden::Frame& f, int x, int y) {
  const uint32_t c = f.rgb[static_cast<size_t>(y) * f.width + x];
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx < 0 || ny < 0 || nx >= f.width || ny >= f.height) continue;
      if (f.rgb[static_cast<size_t>(ny) * f.width + nx] != c) return false;
    }
  }
  return true;
}

// Where the texture-graph frame follows its own arithmetic rather than the
// software frame's, in the sprite grid. Multiply over a graph with alpha
// (alpha channel, alpha image): the device multiplies the target by the
// texture colour alone and leaves clear texels off (the blend value and the
// alpha do not enter), where the software path scales the product by the
// alpha. Those pixels are checked against the device's product, d x c / 255
// over the background. Add and subtract over partly transparent pixels: the
// device adds or removes c x a x value / 255^2, rounded (subtract in three
// passes), the software path c x a x value / 2^16 rounded down; one unit
// more is allowed there.
// Blend graphics with a hard edge: the device keeps exactly the pixels
// whose blend-graphic value reaches the border value (an alpha test), where
// the software path weighs every pixel through its weight table; there the
// frame is checked against the device's rule over the background, every
// pixel of the draw included.
struct PixelRule {
  bool product = false;    // check against the device's multiply
  bool threshold = false;  // check against the device's hard edge
  uint32_t source = 0;     // 0xAARRGGBB of the sprite's pixel
  int tolerance = 2;
};

PixelRule TextureRule(int x, int y) {
  PixelRule rule;
  for (const test_scene::HardEdgeDraw& e : test_scene::kHardEdges) {
    const int gx = x - e.x, gy = y - e.y;
    if (gx < 0 || gy < 0 || gx >= e.width || gy >= e.height) continue;
    const uint32_t p = e.pixel(gx, gy);
    rule.threshold = true;
    rule.source = (p >> 24) == 0xFF && test_scene::RampValue(gx, gy) >= e.border ? p : 0;
    return rule;
  }
  for (const int mode : {2, 3, 4}) {
    for (int v = 0; v < 3; ++v) {
      for (const int sprite : {test_scene::kBall, test_scene::kShade}) {
        const int gx = x - test_scene::CellX(mode, v), gy = y - test_scene::CellY(sprite);
        if (gx < 0 || gy < 0 || gx >= test_scene::kCellSize || gy >= test_scene::kCellSize) continue;
        rule.source = sprite == test_scene::kBall ? test_scene::BallPixel(gx, gy) : test_scene::ShadePixel(gx, gy);
        const uint32_t alpha = rule.source >> 24;
        rule.product = mode == 4;
        if (mode != 4 && alpha != 0 && alpha != 255) rule.tolerance = 3;
        return rule;
      }
    }
  }
  return rule;
}

// The device's multiply of the background left of (x, y)'s cell by the
// sprite's colour.
uint32_t DeviceProduct(const golden::Frame& soft, int x, int y, uint32_t source) {
  const int left = x - (x - 4) % 36 - 1;
  const uint32_t d = soft.rgb[static_cast<size_t>(y) * soft.width + left];
  if ((source >> 24) == 0) return d;
  uint32_t out = 0;
  for (const int shift : {0, 8, 16}) {
    const uint32_t p = ((d >> shift) & 0xFF) * ((source >> shift) & 0xFF);
    out |= ((p + 127) / 255) << shift;
  }
  return out;
}

// The frame against the expected software frame of its mode: every channel
// within 2 units, except pixels of the loose areas whose neighbourhood is
// not flat in the software frame, and for texture graphs the pixels of
// TextureRule. The number of pixels beyond, written out with a difference
// image when there are any.
size_t CompareWithSoftwareFrame(const golden::Frame& frame, const SceneMode& mode, const std::string& what,
                                bool textures = false) {
  const std::string name = std::string("scene_") + mode.name;
  golden::Frame want;
  EXPECT_TRUE(golden::ReadPng(golden::SourcePath("tests/golden/" + name + ".png"), &want));
  if (want.width != frame.width || want.height != frame.height) return frame.rgb.size();
  std::vector<bool> bad(frame.rgb.size());
  size_t differing = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const size_t i = static_cast<size_t>(y) * frame.width + x;
      const PixelRule rule = textures ? TextureRule(x, y) : PixelRule{};
      if (!rule.threshold && InLooseArea(x, y) && !Flat(want, x, y)) continue;
      uint32_t expected = want.rgb[i];
      if (rule.product) expected = DeviceProduct(want, x, y, rule.source);
      if (rule.threshold) expected = rule.source != 0 ? rule.source & 0xFFFFFF : want.rgb[0];
      for (const int shift : {0, 8, 16}) {
        const int d =
            golden::ScreenUnits(frame.rgb[i], shift, mode.bits) - golden::ScreenUnits(expected, shift, mode.bits);
        if (d > rule.tolerance || d < -rule.tolerance) bad[i] = true;
      }
      differing += bad[i] ? 1 : 0;
    }
  }
  if (differing != 0) golden::WriteOut(name + "_" + what, frame, bad);
  return differing;
}

// Hardware drawing with Direct3D running on OpenGL, graphs in display
// surfaces: the same scene within the tolerance of the software frame.
TEST_P(GoldenScene, HardwareFrameMatchesTheSoftwareFrame) {
  const SceneMode mode = GetParam();
  if (!Start(mode, true)) {
    test_support::NoOpenGlContext();
    return;
  }
  const golden::Frame frame = DrawAndSave("scene_hw.png");
  if (HasFatalFailure()) return;
  ExpectCaptureDrawnBack(frame);
  EXPECT_EQ(CompareWithSoftwareFrame(frame, mode, "hardware"), 0u)
      << "pixels beyond the tolerance; frame and difference image in " << golden::OutFolder();
}

// Texture graphs drawn by the 3D device on OpenGL: every draw of the scene
// succeeds, and the area captured into a texture graph (read back from the
// OpenGL target) and drawn back equals its source.
TEST_P(GoldenScene, TextureGraphSceneCapturesAndDrawsBack) {
  const SceneMode mode = GetParam();
  if (!Start(mode, true, true)) {
    test_support::NoOpenGlContext();
    return;
  }
  const golden::Frame frame = DrawAndSave("scene_tex.png");
  if (HasFatalFailure()) return;
  ExpectCaptureDrawnBack(frame);
}

// The texture-graph frame against the software frame, with the device's
// own multiply and subtract arithmetic where the paths part by design.
TEST_P(GoldenScene, TextureGraphFrameMatchesTheSoftwareFrame) {
  const SceneMode mode = GetParam();
  if (!Start(mode, true, true)) {
    test_support::NoOpenGlContext();
    return;
  }
  const golden::Frame frame = DrawAndSave("scene_tex.png");
  if (HasFatalFailure()) return;
  EXPECT_EQ(CompareWithSoftwareFrame(frame, mode, "textures", true), 0u)
      << "pixels beyond the tolerance; frame and difference image in " << golden::OutFolder();
}

INSTANTIATE_TEST_SUITE_P(Modes, GoldenScene,
                         ::testing::Values(SceneMode{"window32", 32, true}, SceneMode{"full16", 16, false}),
                         [](const ::testing::TestParamInfo<SceneMode>& info) { return std::string(info.param.name); });

}  // namespace
