// Texture graphics drawn by the 3D back end on the OpenGL stand-in (Mesa's
// llvmpipe, headless) against the same image as a 2D graphic drawn by the
// software path, through the same entry onto the same back screen over the
// same background: every pixel within 2 per channel (2 units of each
// channel of a 5-6-5 screen). Free rotations and linear filtering compare
// only pixels whose 3 x 3 neighbourhood is flat in the software frame.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/quad_draw_2d.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "platform/d3d/gl_direct3d.h"
#include "tests/graphics3d/draw3d_fixture.h"

namespace d3d_engine_test {
namespace {

constexpr double kQuarter = 1.5707963267948966;

struct Frame {
  int width = 0, height = 0, bits = 0;
  std::vector<uint32_t> pixels;  // raw screen pixels
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// Channel values of a raw pixel: 8 bits each at 32 bits, 5-6-5 at 16.
void Channels(uint32_t p, int bits, int out[3]) {
  if (bits == 16) {
    out[0] = static_cast<int>((p >> 11) & 0x1F);
    out[1] = static_cast<int>((p >> 5) & 0x3F);
    out[2] = static_cast<int>(p & 0x1F);
  } else {
    out[0] = static_cast<int>((p >> 16) & 0xFF);
    out[1] = static_cast<int>((p >> 8) & 0xFF);
    out[2] = static_cast<int>(p & 0xFF);
  }
}

class Draw3DPixelTest : public Draw3DTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    if (!StartOnOpenGl(GetParam() == 16, 16)) return;
    ASSERT_EQ(GetScreenColorState().ScreenBits, GetParam());
    UseDeviceForTextures();
    EnableTextureGraphsForTest(1);
    ASSERT_EQ(SetDrawTarget(-2), 0);
    SetColorKeyRgb(254, 0, 254);
    const auto noise = [](int x, int y, std::mt19937& rng) {
      // Every eleventh pixel in the colour key.
      const uint32_t v = static_cast<uint32_t>(rng()) & 0xFFFFFF;
      return (x + 2 * y) % 11 == 0 ? 0xFE00FEu : v;
    };
    MakeGraphs(noise_, noise);
    MakeGraphs(odd_, noise, 31, 31);
    MakeGraphs(oddEven_, noise, 31, 30);
    MakeGraphs(blocks_, [](int x, int y, std::mt19937&) {
      const uint32_t colours[4] = {0xE03020, 0x20C040, 0x3050F0, 0xF0F0A0};
      return colours[((x / 8) + (y / 8)) % 4];
    });
  }
  // The same image as a 2D graphic ([0]) and a texture graphic ([1]).
  void MakeGraphs(int (&out)[2], const std::function<uint32_t(int, int, std::mt19937&)>& pixel,
                  int width = 32, int height = 32) {
    GraphImage image{};
    ASSERT_EQ(CreateArgb32GraphImage(width, height, &image), 0);
    CreateColorFormat(&image.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    std::mt19937 rng(5);
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(image.Pixels + y * image.Pitch);
      for (int x = 0; x < width; ++x) row[x] = pixel(x, y, rng);
    }
    for (int want3D = 0; want3D < 2; ++want3D) {
      out[want3D] = MakeGraphFromImage(&image, nullptr, want3D, 0, 0);
      ASSERT_NE(out[want3D], -1);
      ASSERT_EQ(Graph(out[want3D]).TextureFlag, want3D);
    }
    ReleaseGraphImage(&image);
  }

  // A background with gradients in all three channels.
  void PaintBackground() {
    EndCurrentScene3D();
    pd::Surface& back = *GetMainSurfaces().BackSurface;
    pd::LockedRect lock;
    ASSERT_EQ(back.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    const int bytes = GetParam() / 8;
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        const uint32_t v = PackScreenColor((x * 3) & 0xFF, (y * 5) & 0xFF, ((x + y) * 2) & 0xFF);
        std::memcpy(lock.bits + y * lock.pitch + x * bytes, &v, static_cast<size_t>(bytes));
      }
    }
    back.Unlock();
  }

  Frame ReadBack() {
    EndCurrentScene3D();
    Frame f;
    pd::Surface& back = *GetMainSurfaces().BackSurface;
    pd::LockedRect lock;
    EXPECT_EQ(back.Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    f.width = lock.width;
    f.height = lock.height;
    f.bits = GetParam();
    const int bytes = GetParam() / 8;
    f.pixels.resize(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, lock.bits + y * lock.pitch + x * bytes, static_cast<size_t>(bytes));
        f.pixels[static_cast<size_t>(y) * static_cast<size_t>(f.width) + static_cast<size_t>(x)] =
            bytes == 4 ? (v & 0xFFFFFF) : v;
      }
    }
    back.Unlock();
    return f;
  }

  static bool Flat(const Frame& f, int x, int y) {
    if (x < 1 || y < 1 || x + 1 >= f.width || y + 1 >= f.height) return false;
    const uint32_t c = f.At(x, y);
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (f.At(x + dx, y + dy) != c) return false;
      }
    }
    return true;
  }

  // Pixels outside the tolerance (flat pixels only when asked), with the
  // first few described.
  static int Mismatches(const Frame& soft, const Frame& hard, bool flatOnly, int tolerance,
                        std::string* where) {
    int bad = 0;
    for (int y = 0; y < soft.height; ++y) {
      for (int x = 0; x < soft.width; ++x) {
        if (flatOnly && !Flat(soft, x, y)) continue;
        int a[3], b[3];
        Channels(soft.At(x, y), soft.bits, a);
        Channels(hard.At(x, y), hard.bits, b);
        if (std::abs(a[0] - b[0]) <= tolerance && std::abs(a[1] - b[1]) <= tolerance &&
            std::abs(a[2] - b[2]) <= tolerance) {
          continue;
        }
        if (++bad <= 4) {
          char line[120];
          std::snprintf(line, sizeof line, " (%d,%d) soft %06X 3d %06X;", x, y, soft.At(x, y), hard.At(x, y));
          *where += line;
        }
      }
    }
    return bad;
  }

  static void ResetState() {
    SetBlendState(0, 0);
    SetColorScale(255, 255, 255);
    SetDrawFilterMode(0);
  }

  int noise_[2] = {-1, -1};
  int odd_[2] = {-1, -1};      // 31 x 31
  int oddEven_[2] = {-1, -1};  // 31 x 30
  int blocks_[2] = {-1, -1};
};

enum class Image { kNoise, kOdd, kOddEven, kBlocks };

struct PixelCase {
  std::string name;
  std::function<void()> setup;
  // graph, transparent flag
  std::function<int(int, int)> draw;
  Image image = Image::kNoise;
  bool flatOnly = false;  // compare flat pixels only
  int tolerance = 2;
};

// Transparent draws keep the colour key's pixels off the target (every
// eleventh pixel of the noise images), at both depths.
std::vector<PixelCase> Cases() {
  std::vector<PixelCase> cases;
  const auto none = [] {};
  const auto at = [](int g, int t) { return BlitGraph(10, 12, g, t); };
  cases.push_back({"plain", none, [](int g, int) { return BlitGraph(10, 12, g, 0); }});
  cases.push_back({"transparent", none, at});
  for (int mode = 1; mode <= 4; ++mode) {
    for (int value : {0, 128, 255}) {
      PixelCase c{"blend " + std::to_string(mode) + " at " + std::to_string(value),
                  [mode, value] { SetBlendState(mode, value); }, at};
      // The software path weighs a subtracted source a little below
      // value / 255, and multiplies by 256ths; three rounded passes on the
      // 3D side.
      if ((mode == 3 && value == 128) || mode == 4) c.tolerance = 3;
      cases.push_back(c);
    }
  }
  cases.push_back({"tint", [] { SetColorScale(200, 100, 50); }, at});
  cases.push_back({"tint with alpha", [] {
                     SetColorScale(200, 100, 50);
                     SetBlendState(1, 128);
                   },
                   at});
  cases.push_back({"stretched twice", none, [](int g, int t) { return BlitStretchGraph(20, 30, 84, 94, g, t); }});
  cases.push_back({"mirrored", none, [](int g, int t) { return BlitStretchGraph(84, 30, 20, 62, g, t); }});
  // Mirrored upside down at one and a half times the height: every third
  // row's centre lies on a texel boundary, where the device reads the texel
  // exact arithmetic gives, as the software path does for mirrored rows.
  // (Unmirrored, the software path walks texels from each pixel's top edge
  // and takes the texel before such a boundary: the two paths part there by
  // design, so that draw is not compared.)
  cases.push_back({"mirrored upside down, one and a half", none,
                   [](int g, int t) { return BlitStretchGraph(84, 78, 20, 30, g, t); }});
  cases.push_back({"mirror entry", none, [](int g, int t) { return BlitMirrorGraph(40, 40, g, t); }});
  // Right angles other than 0 are left out: there the 3D half-pixel snap
  // moves odd sides one pixel up and left, and even sides turn about the
  // pixel corner before the centre, where the software path turns about
  // other points (the 3D geometry has its own tests).
  cases.push_back({"rotation at angle 0", none,
                   [](int g, int t) { return BlitRotateGraph(100.0f, 100.0f, 1.0, 0.0, g, t, 0); }});
  cases.push_back({"four points", none,
                   [](int g, int t) { return BlitQuadGraph(10, 10, 42, 10, 42, 42, 10, 42, g, t); }});
  PixelCase sheared{"four points sheared", none,
                    [](int g, int t) { return BlitQuadGraph(10, 10, 42, 10, 58, 42, 26, 42, g, t); }};
  sheared.image = Image::kBlocks;
  sheared.flatOnly = true;
  cases.push_back(sheared);
  const auto box = [](int, int) { return PaintBox(5, 6, 50, 40, PackScreenColor(200, 120, 40), 1); };
  cases.push_back({"box", none, box});
  cases.push_back({"box subtract", [] { SetBlendState(3, 200); }, box});
  cases.push_back({"box alpha", [] { SetBlendState(1, 100); }, box});
  cases.push_back({"box tint", [] { SetColorScale(128, 255, 64); }, box});
  cases.push_back({"outline", none,
                   [](int, int) { return PaintBox(5, 6, 50, 40, PackScreenColor(255, 255, 255), 0); }});
  PixelCase free{"free rotation", none,
                 [](int g, int t) { return BlitRotateGraph(100.0f, 100.0f, 1.5, 0.5, g, t, 0); }};
  free.image = Image::kBlocks;
  free.flatOnly = true;
  cases.push_back(free);
  PixelCase linear{"linear filter", [] { SetDrawFilterMode(1); },
                   [](int g, int t) { return BlitStretchGraph(20, 30, 100, 110, g, t); }};
  linear.image = Image::kBlocks;
  linear.flatOnly = true;
  cases.push_back(linear);
  return cases;
}

TEST_P(Draw3DPixelTest, EveryEntryMatchesTheSoftwarePath) {
  for (const PixelCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const int* graphs = c.image == Image::kBlocks  ? blocks_
                        : c.image == Image::kOdd   ? odd_
                        : c.image == Image::kOddEven ? oddEven_
                                                     : noise_;
    Frame frames[2];
    for (int hard = 0; hard < 2; ++hard) {
      PaintBackground();
      ResetState();
      c.setup();
      CurrentDrawState.Use3D = hard;  // boxes follow the texture graphics
      EXPECT_EQ(c.draw(graphs[hard], 1), 0);
      CurrentDrawState.Use3D = 1;
      frames[hard] = ReadBack();
      ResetState();
    }
    std::string where;
    EXPECT_EQ(Mismatches(frames[0], frames[1], c.flatOnly, c.tolerance, &where), 0) << where;
  }
}

INSTANTIATE_TEST_SUITE_P(ScreenDepths, Draw3DPixelTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Bits" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace d3d_engine_test
