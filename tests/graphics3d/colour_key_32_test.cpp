// Transparent 2D graphics on a 32-bit screen, with Direct3D running on the
// recording stand-in and in software rendering: the colour key is a screen
// colour with the format's spare bits set, so every way pixels reach a 2D
// graphic must leave them set, or keyed pixels would be drawn. Sources
// whose pixels lack them: a 32-bit image of the screen's layout (copied
// as it is), a part of one, a movie frame of the screen's depth (copied, or
// written straight into the store) and a read-back of target pixels; a
// 24-bit image (converted) beside them.
#include <cstring>
#include <functional>
#include <string>

#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/image_transfer_2d.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

constexpr int kSide = 8;
constexpr int kAtX = 10, kAtY = 12;
constexpr uint32_t kKeyRgb = 0xFE00FE;

bool Keyed(int x, int y) { return (x + y) % 3 == 0; }
uint32_t ColourAt(int x, int y) {
  return Keyed(x, y) ? kKeyRgb : 0x204060u + static_cast<uint32_t>(x * 0x100 + y);
}
// The background under the graphic, without spare bits.
uint32_t BackgroundAt(int x, int y) { return static_cast<uint32_t>((x * 7) << 16 | (y * 5) << 8 | 0x11); }

// An image of kSide x kSide in 32 bits with the screen's layout (no spare
// bits in its pixels) or in 24 bits.
void MakeImage(GraphImage* image, int bits) {
  if (bits == 32) {
    ASSERT_EQ(CreateArgb32GraphImage(kSide, kSide, image), 0);
    CreateColorFormat(&image->Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  } else {
    ASSERT_EQ(CreateRgb24GraphImage(kSide, kSide, image), 0);
  }
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const uint32_t v = ColourAt(x, y);
      std::memcpy(image->Pixels + y * image->Pitch + x * (bits / 8), &v, static_cast<size_t>(bits / 8));
    }
  }
}

enum class Running { kDirect3D, kSoftware };

class ColourKey32Test : public Direct3DTest, public ::testing::WithParamInterface<Running> {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    if (GetParam() == Running::kSoftware) {
      GetScreenColorState().ScreenBits = 32;
      StartSoftware();
      ASSERT_EQ(GetDrawTargetState().TargetMemImg->Format->PixelByte, 4);
    } else {
      StartHardware();
      ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    }
    ASSERT_EQ(GetScreenColorState().ScreenBits, 32);
    EnableTextureGraphsForTest(0);
    ASSERT_EQ(SetDrawTarget(-2), 0);
    SetColorKeyRgb(254, 0, 254);
  }
  void TearDown() override {
    EnableTextureGraphsForTest(0);
    Direct3DTest::TearDown();
  }

  // Writes the screen-sized background into the back screen, raw.
  static void PaintBackground() {
    const DrawTargetState& t = GetDrawTargetState();
    if (t.TargetMemImg != nullptr) {
      for (int y = 0; y < t.TargetMemImg->Height; ++y) {
        for (int x = 0; x < t.TargetMemImg->Width; ++x) {
          const uint32_t v = BackgroundAt(x, y);
          std::memcpy(t.TargetMemImg->Pixels + y * t.TargetMemImg->Pitch + x * 4, &v, 4);
        }
      }
      return;
    }
    EndCurrentScene3D();
    pd::Surface& back = *GetMainSurfaces().BackSurface;
    pd::LockedRect lock;
    ASSERT_EQ(back.Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        const uint32_t v = BackgroundAt(x, y);
        std::memcpy(lock.bits + y * lock.pitch + x * 4, &v, 4);
      }
    }
    back.Unlock();
  }

  static uint32_t BackAt(int x, int y) {
    const DrawTargetState& t = GetDrawTargetState();
    uint32_t v = 0;
    if (t.TargetMemImg != nullptr) {
      std::memcpy(&v, t.TargetMemImg->Pixels + y * t.TargetMemImg->Pitch + x * 4, 4);
      return v & 0xFFFFFF;
    }
    EndCurrentScene3D();
    pd::Surface& back = *GetMainSurfaces().BackSurface;
    pd::LockedRect lock;
    EXPECT_EQ(back.Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    std::memcpy(&v, lock.bits + y * lock.pitch + x * 4, 4);
    back.Unlock();
    return v & 0xFFFFFF;
  }
};

struct KeyCase {
  std::string name;
  // Makes the 2D graphic of kSide x kSide holding ColourAt's pixels.
  std::function<int()> make;
  bool software = true;  // also in software rendering
};

std::vector<KeyCase> KeyCases() {
  std::vector<KeyCase> cases;
  for (int bits : {32, 24}) {
    cases.push_back({"whole " + std::to_string(bits) + "-bit image", [bits] {
                       GraphImage image{};
                       MakeImage(&image, bits);
                       const int graph = MakeGraphFromImage(&image, nullptr, 0, 0, 0);
                       ReleaseGraphImage(&image);
                       return graph;
                     }});
  }
  cases.push_back({"part of a 32-bit image", [] {
                     GraphImage image{};
                     MakeImage(&image, 32);
                     const int graph = MakeBlankGraph(kSide, kSide, 1);
                     const ImageRect all{0, 0, kSide, kSide};
                     if (graph == -1 || TransImageRectToGraphSurface2D(all, 0, 0, *GetGraphRecord(graph),
                                                                       &image, nullptr) != 0) {
                       ReleaseGraphImage(&image);
                       return -1;
                     }
                     ReleaseGraphImage(&image);
                     return graph;
                   }});
  cases.push_back({"32-bit movie frame", [] {
                     uint32_t pixels[kSide * kSide];
                     for (int y = 0; y < kSide; ++y) {
                       for (int x = 0; x < kSide; ++x) pixels[y * kSide + x] = ColourAt(x, y);
                     }
                     ColorFormat format{};
                     CreateColorFormat(&format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
                     const MovieFrame frame{0,     &format,   kSide,
                                            kSide, kSide * 4, reinterpret_cast<const uint8_t*>(pixels)};
                     const int graph = MakeBlankGraph(kSide, kSide, 1);
                     if (graph == -1 || TransMovieFrameToSurface2D(frame, *GetGraphRecord(graph)) != 0)
                       return -1;
                     return graph;
                   }});
  // A frame written straight into the store: by a writer that sets each
  // pixel's top byte itself (the store's spare bits are that byte), and by
  // one that leaves the top byte clear, whose frame needs the spare-bit pass.
  for (const bool topByteSet : {true, false}) {
    cases.push_back({std::string("movie frame written into the store, top byte ") + (topByteSet ? "set" : "clear"),
                     [topByteSet] {
                       ColorFormat format{};
                       CreateColorFormat(&format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
                       const MovieFrame frame{0, &format, kSide, kSide, kSide * 4, nullptr};
                       const int graph = MakeBlankGraph(kSide, kSide, 1);
                       if (graph == -1) return -1;
                       const auto write = [topByteSet](uint8_t* bits, int pitch, int rows) {
                         for (int y = 0; y < rows; ++y) {
                           for (int x = 0; x < kSide; ++x) {
                             const uint32_t v = ColourAt(x, y) | (topByteSet ? 0xFF000000u : 0u);
                             std::memcpy(bits + y * pitch + x * 4, &v, 4);
                           }
                         }
                         return topByteSet ? MovieFrameWrite::kWrittenTopByteSet : MovieFrameWrite::kWritten;
                       };
                       if (WriteMovieFrameToSurface2D(frame, *GetGraphRecord(graph), write) != 1) return -1;
                       return graph;
                     }});
  }
  cases.push_back(
      {"read back from the target",
       [] {
         // The pixels written raw into the back screen first.
         const DrawTargetState& t = GetDrawTargetState();
         EndCurrentScene3D();
         pd::Surface& back = *GetMainSurfaces().BackSurface;
         pd::LockedRect lock;
         if (t.TargetMemImg != nullptr || back.Lock(nullptr, pd::kLockWait, &lock) != pd::Result::kOk) {
           return -1;
         }
         for (int y = 0; y < kSide; ++y) {
           for (int x = 0; x < kSide; ++x) {
             const uint32_t v = ColourAt(x, y);
             std::memcpy(lock.bits + (300 + y) * lock.pitch + (300 + x) * 4, &v, 4);
           }
         }
         back.Unlock();
         const int graph = MakeBlankGraph(kSide, kSide, 1);
         if (graph == -1 || ReadBackTargetToGraph2D(300, 300, 300 + kSide, 300 + kSide, graph) != 0) {
           return -1;
         }
         return graph;
       },
       false});
  return cases;
}

TEST_P(ColourKey32Test, KeyedPixelsLeaveTheTargetAlone) {
  for (const KeyCase& c : KeyCases()) {
    if (GetParam() == Running::kSoftware && !c.software) continue;
    SCOPED_TRACE(c.name);
    const int graph = c.make();
    ASSERT_NE(graph, -1);
    ASSERT_EQ(GetGraphRecord(graph)->TextureFlag, 0);
    PaintBackground();
    ASSERT_EQ(BlitGraph(kAtX, kAtY, graph, 1), 0);
    int wrong = 0;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const uint32_t want = Keyed(x, y) ? BackgroundAt(kAtX + x, kAtY + y) : ColourAt(x, y);
        if (BackAt(kAtX + x, kAtY + y) != want && ++wrong <= 3) {
          ADD_FAILURE() << "(" << x << "," << y << ") has " << std::hex << BackAt(kAtX + x, kAtY + y)
                        << ", not " << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    ReleaseGraph(graph, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Running, ColourKey32Test, ::testing::Values(Running::kDirect3D, Running::kSoftware),
                         [](const ::testing::TestParamInfo<Running>& info) {
                           return info.param == Running::kDirect3D ? std::string("Direct3D")
                                                                   : std::string("Software");
                         });

}  // namespace
}  // namespace d3d_engine_test
