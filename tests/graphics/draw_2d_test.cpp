// The 2D draw path: the same draws give the same pixels in software
// rendering and on the stand-in's surfaces (video-memory, system-memory and
// memory-image sources; 16 and 32 bits); the draw frame's views, direct
// blits and refusals; boxes.
#include <cstring>
#include <map>
#include <vector>

#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/graph_draw.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using Draw2DTest = ScreenTest;

// Pixels of a locked store in its own format; channels 0-255.
struct Pixels {
  uint8_t* bits = nullptr;
  int pitch = 0;
  const ColorFormat* format = nullptr;
  void Put(int x, int y, int r, int g, int b) const {
    const uint32_t v = PackColor(format, r, g, b, 255);
    std::memcpy(bits + static_cast<ptrdiff_t>(y) * pitch + x * format->PixelByte, &v,
                format->PixelByte);
  }
  uint32_t Rgb(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, bits + static_cast<ptrdiff_t>(y) * pitch + x * format->PixelByte,
                format->PixelByte);
    int r = 0, g = 0, b = 0, a = 0;
    UnpackColor(format, v, &r, &g, &b, &a);
    return static_cast<uint32_t>(r << 16 | g << 8 | b);
  }
};

int DataHandleOf(int graph) {
  return GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle;
}

Pixels LockGraph(int graph) {
  Pixels p;
  EXPECT_GE(LockSurfaceData(DataHandleOf(graph), &p.pitch, &p.bits, 0, nullptr, &p.format), 0);
  return p;
}

// The back screen's pixels: its image, or its locked surface.
template <typename Fn>
void WithBackScreen(Fn fn) {
  MainSurfaces& m = GetMainSurfaces();
  if (m.ScreensAreMemImgs != 0) {
    fn(Pixels{m.BackMemImg.Pixels, m.BackMemImg.Pitch, m.BackMemImg.Format});
    return;
  }
  pd::LockedRect lock;
  ASSERT_EQ(m.BackSurface->Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
  fn(Pixels{lock.bits, lock.pitch, &GetScreenColorState().ScreenColorFormat});
  m.BackSurface->Unlock();
}

enum class Source { kSoftware, kVideoSurface, kSystemSurface, kMemoryImage };

struct Way {
  const char* name;
  Source source;
  int bits;
};

struct DrawCase {
  const char* name;
  int mode, value, transparent;
  int r, g, b;  // draw tint
  bool blendGraph;
  int shape = 0;  // 0 at a position, 1 stretched, 2 stretched and mirrored
};

constexpr int kW = 24, kH = 20;

std::vector<uint32_t> DrawOnce(const DrawCase& c, int source, int blend) {
  WithBackScreen([](const Pixels& p) {
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) p.Put(x, y, x * 6, 255 - y * 6, (x * y) & 0xFF);
  });
  SetBlendMode(c.mode, c.value);
  SetDrawTint(c.r, c.g, c.b);
  if (c.shape == 1) {
    EXPECT_EQ(PutGraphStretched(5, 7, 38, 33, source, c.transparent), 0);
  } else if (c.shape == 2) {
    EXPECT_EQ(PutGraphStretched(38, 33, 2, 9, source, c.transparent), 0);
  } else if (c.blendGraph) {
    EXPECT_EQ(PutGraphBlended(5, 7, source, c.transparent, blend, 100, 40), 0);
  } else {
    EXPECT_EQ(PutGraph(5, 7, source, c.transparent), 0);
  }
  SetBlendMode(0, 0);
  SetDrawTint(255, 255, 255);
  std::vector<uint32_t> out;
  WithBackScreen([&out](const Pixels& p) {
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) out.push_back(p.Rgb(x, y));
  });
  return out;
}

TEST_F(Draw2DTest, EveryWayGivesTheSamePixels) {
  const Way ways[] = {
      {"software 16", Source::kSoftware, 16},       {"video surface 16", Source::kVideoSurface, 16},
      {"system surface 16", Source::kSystemSurface, 16}, {"memory image 16", Source::kMemoryImage, 16},
      {"software 32", Source::kSoftware, 32},       {"video surface 32", Source::kVideoSurface, 32},
      {"system surface 32", Source::kSystemSurface, 32}, {"memory image 32", Source::kMemoryImage, 32},
  };
  const DrawCase cases[] = {
      {"plain", 0, 0, 0, 255, 255, 255, false},
      {"transparent", 0, 0, 1, 255, 255, 255, false},
      {"alpha 128", 1, 128, 1, 255, 255, 255, false},
      {"add 200", 2, 200, 1, 255, 255, 255, false},
      {"subtract 150", 3, 150, 0, 255, 255, 255, false},
      {"multiply", 4, 255, 1, 255, 255, 255, false},
      {"tinted", 0, 0, 1, 200, 100, 50, false},
      {"blend graphic", 0, 0, 1, 255, 255, 255, true},
      {"stretched", 0, 0, 1, 255, 255, 255, false, 1},
      {"stretched alpha", 1, 90, 0, 255, 255, 255, false, 1},
      {"stretched, mirrored both ways", 0, 0, 1, 255, 255, 255, false, 2},
      {"stretched, mirrored, tinted", 0, 0, 1, 90, 255, 160, false, 2},
  };
  std::map<int, std::vector<std::vector<uint32_t>>> reference;  // by depth, by case
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const bool software = way.source == Source::kSoftware;
    pd::test::SetDesktop(1024, 768, software ? 32 : way.bits);
    GetScreenColorState().ScreenBits = way.bits;
    if (software) {
      StartSoftware();
    } else {
      StartHardware();
    }
    ASSERT_EQ(GetScreenColorBits(), way.bits);
    ASSERT_EQ(SetTargetScreen(-2), 0);
    SetTransparentColor(254, 0, 254);
    CurrentDrawState.CreateSystemMem = way.source == Source::kMemoryImage ? 1 : 0;
    pd::test::SetVideoMemoryExhausted(way.source == Source::kSystemSurface);
    const int source = NewGraph(kW, kH, 1);
    pd::test::SetVideoMemoryExhausted(false);
    ASSERT_NE(source, -1);
    const SurfaceData* data = GetSurfaceData(DataHandleOf(source));
    EXPECT_EQ(data->MemImgFlag == 1, software || way.source == Source::kMemoryImage);
    if (way.source == Source::kVideoSurface) {
      EXPECT_EQ(data->SystemMemFlag, 0);
    }
    if (way.source == Source::kSystemSurface) {
      EXPECT_EQ(data->SystemMemFlag, 1);
    }
    Pixels p = LockGraph(source);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        if ((x + y) % 5 == 0) {
          p.Put(x, y, 254, 0, 254);
        } else {
          p.Put(x, y, (x * 11) & 0xFF, (y * 13) & 0xFF, 0x80 + x);
        }
      }
    }
    UnlockSurfaceData(DataHandleOf(source));
    CurrentDrawState.CreateSystemMem = 0;
    CurrentDrawState.CreateBlendGraph = 1;
    const int blend = NewGraph(kW, kH, 1);
    CurrentDrawState.CreateBlendGraph = 0;
    MEMIMG& blendImage = GetSurfaceData(DataHandleOf(blend))->Image;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) blendImage.Pixels[y * blendImage.Pitch + x] = static_cast<uint8_t>(x * 10 + y);

    std::vector<std::vector<uint32_t>>& ref = reference[way.bits];
    for (size_t i = 0; i < std::size(cases); ++i) {
      SCOPED_TRACE(cases[i].name);
      const std::vector<uint32_t> got = DrawOnce(cases[i], source, blend);
      if (ref.size() <= i) {
        ref.push_back(got);
        continue;
      }
      int differing = 0;
      for (size_t k = 0; k < got.size(); ++k) {
        if (got[k] != ref[i][k] && differing++ < 3) {
          ADD_FAILURE() << "pixel (" << k % 40 << ", " << k / 40 << "): " << std::hex << got[k]
                        << " instead of " << ref[i][k];
        }
      }
    }
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
  // The draws did something: the plain draw differs from the transparent one.
  EXPECT_NE(reference[16][0], reference[16][1]);
  EXPECT_NE(reference[32][0], reference[32][2]);
}

TEST_F(Draw2DTest, DrawFrameViewsDirectBlitsAndRefusals) {
  pd::test::SetDesktop(1024, 768, 16);
  StartHardware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  const Surface2D* none = nullptr;
  // The destination view addresses target coordinates over the lock.
  ASSERT_EQ(BeginDraw2D(none, 0, nullptr, IntRect{10, 20, 30, 40}, 1, nullptr, nullptr), 0);
  const Draw2DState& f = GetDraw2DState();
  pd::LockedRect lock;
  EXPECT_EQ(f.DestLocked, 1);
  EXPECT_EQ(f.DestViaWork, 0) << "unblended onto video memory: in place";
  pd::LockedRect at;
  const pd::Rect corner{10, 20, 11, 21};
  ASSERT_EQ(GetMainSurfaces().BackSurface->Lock(&corner, pd::kLockReadOnly, &at), pd::Result::kOk);
  EXPECT_EQ(f.DestView.Pixels + 10 * 2 + 20 * static_cast<ptrdiff_t>(f.DestView.Pitch), at.bits)
      << "(10, 20) of the view is the locked corner";
  EXPECT_EQ(f.DestView.Pitch, at.pitch);
  GetMainSurfaces().BackSurface->Unlock();
  EndDraw2D();
  EXPECT_EQ(GetMainSurfaces().BackSurface->Lock(nullptr, 0, &lock), pd::Result::kOk) << "unlocked";
  GetMainSurfaces().BackSurface->Unlock();

  // Outside the draw area nothing is locked.
  pd::test::ResetCounts();
  const int graph = NewGraph(8, 8, 1);
  EXPECT_EQ(PutGraph(700, 10, graph, 1), 0);
  EXPECT_EQ(pd::test::GetCounts().locks, 0u);

  // An unblended video-to-video draw is one BltFast, keyed when transparent.
  pd::test::ResetCounts();
  EXPECT_EQ(PutGraph(1, 2, graph, 1), 0);
  EXPECT_EQ(pd::test::GetCounts().blt_fasts, 1u);
  EXPECT_EQ(pd::test::GetCounts().locks, 0u);

  // A lock that fails draws nothing and leaves nothing locked.
  SetBlendMode(1, 100);
  pd::test::FailLocks(1);
  EXPECT_EQ(PutGraph(1, 2, graph, 1), -1);
  EXPECT_EQ(GetMainSurfaces().BackSurface->Lock(nullptr, 0, &lock), pd::Result::kOk);
  GetMainSurfaces().BackSurface->Unlock();
  SetBlendMode(0, 0);
}

TEST_F(Draw2DTest, ImageDrawsOnAFiveFiveFiveScreenAreConvertedBothWays) {
  // A 5-5-5 display: an unblended transparent draw that is not a direct
  // blit (a system-memory source onto the video-memory back screen) goes
  // through the converted work copy, so the source reaches the screen in
  // the screen's own format.
  pd::test::SetSixteenBitDisplay555(true);
  pd::test::SetDesktop(1024, 768, 16);
  StartHardware();
  ASSERT_EQ(GetScreenColorState().ScreenFormatClass, 1);
  ASSERT_EQ(SetTargetScreen(-2), 0);
  SetTransparentColor(254, 0, 254);
  pd::test::SetVideoMemoryExhausted(true);
  const int source = NewGraph(kW, kH, 1);
  pd::test::SetVideoMemoryExhausted(false);
  ASSERT_EQ(GetSurfaceData(DataHandleOf(source))->SystemMemFlag, 1);
  Pixels p = LockGraph(source);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (x % 3 == 0) {
        p.Put(x, y, 254, 0, 254);
      } else {
        p.Put(x, y, x * 10, 255 - y * 8, 40 + x);
      }
    }
  std::vector<uint32_t> sourceRgb;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) sourceRgb.push_back(p.Rgb(x, y));
  UnlockSurfaceData(DataHandleOf(source));
  WithBackScreen([](const Pixels& back) {
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) back.Put(x, y, 0, 0, 200);
  });
  ASSERT_EQ(PutGraph(3, 4, source, 1), 0);
  WithBackScreen([&](const Pixels& back) {
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const uint32_t want = x % 3 == 0 ? back.Rgb(0, 0) : sourceRgb[static_cast<size_t>(y * kW + x)];
        ASSERT_EQ(back.Rgb(x + 3, y + 4), want) << x << ", " << y;
      }
    }
  });
}

TEST_F(Draw2DTest, BoxesInBothWays) {
  for (int software = 1; software >= 0; --software) {
    SCOPED_TRACE(software ? "software" : "stand-in");
    GetScreenColorState().ScreenBits = 32;
    if (software) {
      StartSoftware();
    } else {
      StartHardware();
      CurrentDrawState.Use3D = 0;  // the DirectDraw path: the recording 3D device draws no pixels
    }
    ASSERT_EQ(SetTargetScreen(-2), 0);
    WithBackScreen([](const Pixels& p) {
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) p.Put(x, y, 0, 0, 0);
    });
    const uint32_t white = PackScreenColor(255, 255, 255);
    EXPECT_EQ(PutBox(10, 10, 14, 13, white, 0), 0);
    int set = 0;
    WithBackScreen([&set](const Pixels& p) {
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) set += p.Rgb(x, y) == 0xFFFFFF ? 1 : 0;
    });
    EXPECT_EQ(set, 10) << "the ten border pixels";
    EXPECT_EQ(PutBox(8, 2, 4, 6, white, 1), software ? 0 : -1) << "x2 < x1";
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
}

}  // namespace
}  // namespace graphics_test
