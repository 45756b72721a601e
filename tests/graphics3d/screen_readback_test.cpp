// Reading the draw target back into texture graphics: the order the five
// ways are tried in and the one remembered per texture kind, the requests
// every way refuses, each way reached through the stand-ins' failure
// controls with its log lines, the desktop read in a window, the device's
// busy copy, and the pixels that arrive (recording device and OpenGL).
#include <cstdlib>
#include <cstring>
#include <functional>

#include "engine/graphics/graph_manager.h"
#include "engine/graphics/screen_readback_3d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_format_table.h"
#include "engine/graphics/texture_split.h"
#include "platform/d3d/gl_direct3d.h"
#include "tests/graphics3d/d3d_fixture.h"

namespace d3d_engine_test {
namespace {

// The colour of screen pixel (x, y) of the test pattern as 0x00RRGGBB: every
// pixel differs from its neighbours, none is black (the colour key of the
// tests' graphs), except (3, 2), which is.
uint32_t PatternColor(int x, int y) {
  if (x == 3 && y == 2) return 0;
  const uint32_t r = static_cast<uint32_t>(x * 37 + 8) & 0xFF;
  const uint32_t g = static_cast<uint32_t>(y * 53 + 16) & 0xFF;
  const uint32_t b = static_cast<uint32_t>((x ^ y) * 29 + 40) & 0xFF;
  return r << 16 | g << 8 | b;
}

uint32_t ReadPixel(const uint8_t* row, int x, int bytes) {
  if (bytes == 2) {
    uint16_t v;
    std::memcpy(&v, row + x * 2, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, row + x * 4, 4);
  return v;
}

void WritePixel(uint8_t* row, int x, int bytes, uint32_t v) {
  if (bytes == 2) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(row + x * 2, &w, 2);
  } else {
    std::memcpy(row + x * 4, &v, 4);
  }
}

// A channel's top `keep` bits out of a pixel value.
uint32_t TopBits(uint32_t pixel, uint32_t mask, int shift, int width, int keep) {
  const uint32_t v = (pixel & mask) >> shift;
  return v >> (width - keep);
}

int Smaller(int a, int b) { return a < b ? a : b; }

class ReadBackTest : public Direct3DTest {
 protected:
  void TearDown() override {
    ResetTextureDevice();
    ForceDirect3DUsableForTest(0);
    EnableTextureGraphsForTest(0);
    Direct3DTest::TearDown();
  }

  // Hardware drawing with Direct3D, then texture graphs on its device; the
  // largest texture maxTexture texels, so larger graphs are split.
  void Start(bool fullScreen = false, int bits = 16, int maxTexture = 256) {
    StartHardware(fullScreen, bits);
    ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(1, 1, maxTexture, maxTexture);
    t.Load = [](const pd::SurfacePtr& dst, int x, int y, const pd::SurfacePtr& src, const pd::Rect& rect) {
      return GetCurrentDevice3D()->Load(dst, x, y, src, &rect, 0);
    };
    ForceDirect3DUsableForTest(1);
    EnableTextureGraphsForTest(1);
    // Copies between surfaces by BltFast, whatever the timing measured.
    GetDisplayState().UseBitBltForCopies = 0;
  }

  // A texture graph keyed black: plain, with alpha channel, or with alpha
  // test.
  int MakeTextureGraph(int width, int height, bool alpha, bool alphaTest = false) {
    SetTransparentColor(0, 0, 0);
    CurrentDrawState.CreateAlphaTest = alphaTest ? 1 : 0;
    const int handle = CreateBlankGraph(width, height, 1, alpha ? 1 : 0, 0);
    CurrentDrawState.CreateAlphaTest = 0;
    const GraphRecord* g = GetGraphRecord(handle);
    EXPECT_NE(g, nullptr);
    if (g != nullptr) {
      EXPECT_EQ(g->TextureFlag, 1);
    }
    return handle;
  }

  const GraphRecord& Graph(int handle) { return *GetGraphRecord(handle); }

  // The pattern on surface s over rect, pattern (0, 0) at the rect's corner.
  static void PaintPattern(pd::Surface& s, const pd::Rect& rect) {
    pd::LockedRect lock;
    ASSERT_EQ(s.Lock(&rect, pd::kLockWait | pd::kLockWriteOnly, &lock), pd::Result::kOk);
    const ColorFormat& f = GetScreenColorState().ScreenColorFormat;
    for (int y = 0; y < rect.Height(); ++y) {
      for (int x = 0; x < rect.Width(); ++x) {
        const uint32_t c = PatternColor(x, y);
        WritePixel(lock.bits + y * lock.pitch, x, f.PixelByte,
                   PackColor(&f, static_cast<int>(c >> 16), static_cast<int>((c >> 8) & 0xFF),
                             static_cast<int>(c & 0xFF), 255));
      }
    }
    s.Unlock();
  }
  void PaintBack() {
    int w = 0, h = 0;
    GetScreenSize(&w, &h);
    PaintPattern(*GetMainSurfaces().BackSurface, pd::Rect{0, 0, w, h});
  }

  // Every graphic pixel (gx, gy) in [0, w) x [0, h) holds pattern pixel
  // (sx + gx, sy + gy), to the precision both formats keep. checkAlpha:
  // the colour key arrives transparent in a texture with alpha bits,
  // everything else opaque (the ways that convert; the device-context
  // copies leave alpha as the copy wrote it).
  void ExpectGraphHolds(int handle, int sx, int sy, int w, int h, bool checkAlpha = true) {
    const GraphRecord& g = Graph(handle);
    const ColorFormat& sf = GetScreenColorState().ScreenColorFormat;
    int checked = 0;
    for (int i = 0; i < g.PieceCount; ++i) {
      const Surface3D* p = GetSurface3DData(g.Pieces[static_cast<size_t>(i)]);
      ASSERT_NE(p, nullptr);
      SurfaceData* d = GetSurfaceData(p->SurfaceData);
      ASSERT_NE(d, nullptr);
      const ColorFormat& tf = *GetTextureColorFormat(d->FormatIndex);
      pd::LockedRect lock;
      ASSERT_EQ(d->Surface->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
      for (int y = 0; y < p->Height; ++y) {
        for (int x = 0; x < p->Width; ++x) {
          const int gx = p->GraphX + x, gy = p->GraphY + y;
          if (gx >= w || gy >= h) continue;
          const uint32_t c = PatternColor(sx + gx, sy + gy);
          const uint32_t screen = PackColor(&sf, static_cast<int>(c >> 16), static_cast<int>((c >> 8) & 0xFF),
                                            static_cast<int>(c & 0xFF), 255);
          const uint32_t texel = ReadPixel(lock.bits + (p->TexY + y) * lock.pitch, p->TexX + x, tf.PixelByte);
          const int kr = Smaller(sf.RedWidth, tf.RedWidth), kg = Smaller(sf.GreenWidth, tf.GreenWidth),
                    kb = Smaller(sf.BlueWidth, tf.BlueWidth);
          ASSERT_EQ(TopBits(texel, tf.RedMask, tf.RedShift, tf.RedWidth, kr),
                    TopBits(screen, sf.RedMask, sf.RedShift, sf.RedWidth, kr))
              << "red at " << gx << "," << gy;
          ASSERT_EQ(TopBits(texel, tf.GreenMask, tf.GreenShift, tf.GreenWidth, kg),
                    TopBits(screen, sf.GreenMask, sf.GreenShift, sf.GreenWidth, kg))
              << "green at " << gx << "," << gy;
          ASSERT_EQ(TopBits(texel, tf.BlueMask, tf.BlueShift, tf.BlueWidth, kb),
                    TopBits(screen, sf.BlueMask, sf.BlueShift, sf.BlueWidth, kb))
              << "blue at " << gx << "," << gy;
          if (checkAlpha && tf.AlphaWidth != 0) {
            const uint32_t a = (texel & tf.AlphaMask) >> tf.AlphaShift;
            const uint32_t full = (1u << tf.AlphaWidth) - 1;
            ASSERT_EQ(a, c == d->ColorKey ? 0u : full) << "alpha at " << gx << "," << gy;
          }
          ++checked;
        }
      }
      d->Surface->Unlock();
    }
    EXPECT_EQ(checked, w * h);
  }

  int32_t* Choice() { return GetDirect3DState().ReadBackChoice; }
  // Table cases that need a fresh start each: the fixture again.
  void Restart() {
    TearDown();
    SetUp();
  }
  // Strategy 5 (index 0) converts from the screen's format, turning the
  // colour key into alpha; the others copy the alpha their copies wrote.
  static bool Converts(int index) { return index == 0; }
};

TEST_F(ReadBackTest, FirstReadBackTriesStrategyFiveAndEachKindRemembersItsOwn) {
  Start();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  PaintBack();
  const int plain = MakeTextureGraph(32, 24, false);
  const int alpha = MakeTextureGraph(32, 24, true);
  const int tested = MakeTextureGraph(32, 24, false, true);
  ASSERT_EQ(Choice()[0], -1);
  ASSERT_EQ(Choice()[1], -1);

  pd::test::ResetCounts();
  ASSERT_EQ(CaptureScreenToGraph(8, 4, 40, 28, plain, 0), 0);
  EXPECT_EQ(Choice()[0], 0);
  EXPECT_EQ(Choice()[1], -1);
  // One copy to the work surface, the work surface and the texture locked.
  EXPECT_EQ(pd::test::GetCounts().blt_fasts, 1u);
  ExpectGraphHolds(plain, 8, 4, 32, 24);

  ASSERT_EQ(CaptureScreenToGraph(0, 0, 32, 24, alpha, 0), 0);
  EXPECT_EQ(Choice()[1], 0);
  ExpectGraphHolds(alpha, 0, 0, 32, 24);

  // Alpha test counts as the second kind; a later read-back of that kind
  // starts at the remembered way: strategy 2 (index 3) copies through
  // device contexts, without locks or BltFast.
  Choice()[1] = 3;
  pd::test::ResetCounts();
  ASSERT_EQ(CaptureScreenToGraph(1, 1, 33, 25, tested, 0), 0);
  EXPECT_EQ(Choice()[1], 3);
  EXPECT_EQ(pd::test::GetCounts().locks, 0u);
  EXPECT_EQ(pd::test::GetCounts().blt_fasts, 0u);
  EXPECT_EQ(Choice()[0], 0);
}

TEST_F(ReadBackTest, RememberedStrategyThatFailsStartsTheSearchAgain) {
  Start();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  PaintBack();
  const int plain = MakeTextureGraph(16, 16, false);
  Choice()[0] = 3;  // strategy 2
  pd::test::FailGetDC(1);
  ASSERT_EQ(CaptureScreenToGraph(2, 3, 18, 19, plain, 0), 0);
  EXPECT_TRUE(LogHas("Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:" +
                     std::to_string(static_cast<int>(pd::Result::kGeneric))));
  EXPECT_EQ(Choice()[0], 0);
  ExpectGraphHolds(plain, 2, 3, 16, 16);
}

TEST_F(ReadBackTest, RequestsEveryStrategyRefuses) {
  Start();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  const int graph = MakeTextureGraph(32, 32, false);
  struct Case {
    const char* what;
    int x1, y1, x2, y2;
  };
  const Case cases[] = {
      {"empty width", 10, 10, 10, 20},   {"reversed height", 10, 20, 20, 10},
      {"wider than the graph", 0, 0, 33, 10}, {"higher than the graph", 0, 0, 10, 33},
      {"left of the target", -1, 0, 10, 10},  {"above the target", 0, -1, 10, 10},
      {"x1 beyond the target", 641, 0, 650, 10}, {"y1 beyond the target", 0, 481, 10, 490},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = ReadLog();
    for (int i = 0; i < kReadBackStrategyCount; ++i) {
      EXPECT_EQ(GetReadBackStrategy3D(i)(c.x1, c.y1, c.x2, c.y2, Graph(graph), 1), -1) << "index " << i;
    }
    Choice()[0] = 0;
    EXPECT_EQ(CaptureScreenToGraph(c.x1, c.y1, c.x2, c.y2, graph, 0), -1);
    EXPECT_EQ(Choice()[0], -1);
    EXPECT_EQ(ReadLog(), before) << "a refusal logs nothing";
  }
  EXPECT_EQ(GetReadBackStrategy3D(5), nullptr);
  EXPECT_EQ(GetReadBackStrategy3D(-1), nullptr);
}

// Each way reached by making the ones before it fail, with the lines they
// log. The graphic has alpha bits, so strategy 1's BltFast from the screen
// meets another pixel format.
TEST_F(ReadBackTest, EachStrategyReachedThroughTheFailureControls) {
  const std::string generic = std::to_string(static_cast<int>(pd::Result::kGeneric));
  const std::string lost = std::to_string(static_cast<int>(pd::Result::kSurfaceLost));
  const std::string format = std::to_string(static_cast<int>(pd::Result::kInvalidPixelFormat));
  struct Case {
    const char* what;
    std::function<void(ReadBackTest&, int graph)> arrange;
    int slot;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"strategy 5", [](ReadBackTest&, int) {}, 0, {}},
      {"strategy 3 after 5's work lock and 1's pixel format",
       [](ReadBackTest&, int) { pd::test::FailLocks(1); },
       2,
       {"Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:" + generic,
        "Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:" + format}},
      {"strategy 2 after 3's work texture",
       [](ReadBackTest&, int) {
         pd::test::FailLocks(1);
         pd::test::FailSurfaceCreation(pd::kCapsSystemMemory);
       },
       3,
       {"Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:" + generic,
        "Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:" + format,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:" + generic}},
      {"strategy 4 on a lost texture, its busy copy retried",
       [](ReadBackTest&, int graph) {
         const Surface3D* p = GetSurface3DData(GetGraphRecord(graph)->Pieces[0]);
         pd::test::MarkSurfaceLost(*GetSurfaceData(p->SurfaceData)->Surface);
         d3d::RecordingDirect3D::Instance()->FailCall("Load", pd::Result::kSurfaceBusy, 1);
       },
       4,
       {"Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:" + lost,
        "Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:" + lost,
        "Error  G_D3D_GetDrawScreenGraphFunction3 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:" + lost,
        "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:" + lost}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start();
    ASSERT_EQ(SetDrawTarget(-2), 0);
    PaintBack();
    const int graph = MakeTextureGraph(32, 16, true);
    ASSERT_EQ(GetReadBackStrategy3D(1)(0, 0, 32, 16, Graph(graph), 1), -1) << "other pixel format";
    const size_t before = LogLines().size();
    c.arrange(*this, graph);
    ASSERT_EQ(CaptureScreenToGraph(5, 7, 37, 23, graph, 0), 0);
    EXPECT_EQ(Choice()[1], c.slot);
    std::vector<std::string> lines = LogLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    EXPECT_EQ(lines, c.lines);
    ExpectGraphHolds(graph, 5, 7, 32, 16, Converts(c.slot));
    pd::test::ResetDisplayControls();
    Recorder().ClearFailures();
    Restart();
  }
}

TEST_F(ReadBackTest, TenBusyLoadsWriteTheDiagnosticLinesAndFail) {
  Start(true, 16);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  PaintBack();
  const int graph = MakeTextureGraph(20, 10, true);
  const Surface3D* p = GetSurface3DData(Graph(graph).Pieces[0]);
  const SurfaceData* d = GetSurfaceData(p->SurfaceData);
  const uint64_t slept = clock_.SleptMilliseconds();
  pd::test::MarkSurfaceLost(*d->Surface);
  Recorder().FailCall("Load", pd::Result::kSurfaceBusy, 10);
  const size_t before = LogLines().size();
  EXPECT_EQ(GetReadBackStrategy3D(4)(3, 4, 23, 14, Graph(graph), 1), -1);
  EXPECT_EQ(clock_.SleptMilliseconds() - slept, 9u) << "1 ms between tries";
  std::vector<std::string> lines = LogLines();
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  const std::string busy = std::to_string(static_cast<int>(pd::Result::kSurfaceBusy));
  const std::vector<std::string> expected = {
      "hr:" + busy + "  W:640  H:480  FullMode:1  Point x:0 y:0   Rect top:0 bottom:" + std::to_string(d->Height) +
          " left:0 right:" + std::to_string(d->Width),
      "AlphaCh:1  AlphaTest:0  ColorBitDepth:32",
      "ScreenColor:16  SizeX:20  SizeY:10  DrawPointX:0  DrawPointY:0  WndRect.left:0  WndRect.top:0  left:3  top:4"};
  EXPECT_EQ(lines, expected);
  int loads = 0;
  for (const std::string& l : Trace()) loads += l.rfind("Load(", 0) == 0 ? 1 : 0;
  EXPECT_EQ(loads, 10);
}

// In a window on the front screen, desktop flag 0 reads the desktop:
// strategy 5 refuses, the others take desktop coordinates. Flag 1 (what
// the public entry passes) reads the target.
TEST_F(ReadBackTest, DesktopFlagZeroInAWindowReadsTheDesktop) {
  Start();
  ASSERT_EQ(SetDrawTarget(-4), 0);
  pd::Surface& primary = *GetMainSurfaces().PrimarySurface;
  PaintPattern(primary, pd::Rect{100, 50, 740, 530});
  const int graph = MakeTextureGraph(24, 16, false);
  EXPECT_EQ(GetReadBackStrategy3D(0)(110, 60, 134, 76, Graph(graph), 0), -1);
  for (int i = 1; i < kReadBackStrategyCount; ++i) {
    SCOPED_TRACE(i);
    FillGraph(graph, 0, 0, 0, 0);
    ASSERT_EQ(GetReadBackStrategy3D(i)(110, 60, 134, 76, Graph(graph), 0), 0);
    ExpectGraphHolds(graph, 10, 10, 24, 16);
    // Beyond the target but inside the desktop.
    EXPECT_EQ(GetReadBackStrategy3D(i)(700, 0, 724, 16, Graph(graph), 0), 0);
  }
  for (int i = 0; i < kReadBackStrategyCount; ++i) {
    SCOPED_TRACE(i);
    FillGraph(graph, 0, 0, 0, 0);
    ASSERT_EQ(GetReadBackStrategy3D(i)(10, 10, 34, 26, Graph(graph), 1), 0);
    ExpectGraphHolds(graph, 10, 10, 24, 16);
  }
  ASSERT_EQ(ReadBackTargetToGraph3D(110, 60, 134, 76, Graph(graph), 0), 0);
  EXPECT_EQ(Choice()[0], 1) << "strategy 1: a plain 32-bit texture takes the screen's BltFast";
}

// Graphs split over several textures: each piece takes its own part; a
// piece starting beyond the target is skipped, one reaching past it cut.
TEST_F(ReadBackTest, SplitGraphsFillEveryPieceInEveryStrategy) {
  struct Mode {
    bool fullScreen;
    int bits;
  };
  for (const Mode m : {Mode{false, 32}, Mode{true, 16}}) {
    for (int i = 0; i < kReadBackStrategyCount; ++i) {
      SCOPED_TRACE(testing::Message() << m.bits << " bits, index " << i);
      Start(m.fullScreen, m.bits, 64);
      ASSERT_EQ(SetDrawTarget(-2), 0);
      PaintBack();
      for (const bool alpha : {false, true}) {
        const int graph = MakeTextureGraph(150, 90, alpha);
        ASSERT_GT(Graph(graph).PieceCount, 2);
        const int result = GetReadBackStrategy3D(i)(20, 30, 170, 120, Graph(graph), 1);
        if (i == 1 && alpha) {
          EXPECT_EQ(result, -1) << "BltFast needs the screen's format";
          continue;
        }
        ASSERT_EQ(result, 0);
        ExpectGraphHolds(graph, 20, 30, 150, 90, Converts(i));
        // 600 + 150 passes the right edge: the pieces beyond 640 are skipped.
        if (i != 0) {
          EXPECT_EQ(GetReadBackStrategy3D(i)(600, 0, 750, 90, Graph(graph), 1), 0);
          ExpectGraphHolds(graph, 600, 0, 40, 90, Converts(i));
        }
      }
      Restart();
    }
  }
}

// Strategy 5 converts from the work surface only what was copied there:
// pieces beyond the rectangle keep their pixels, also those of a graph
// wider than the work surface.
TEST_F(ReadBackTest, StrategyFiveReadsOnlyTheCopiedRectangle) {
  Start(false, 16, 256);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  PaintBack();
  const int graph = MakeTextureGraph(1024, 40, false);
  ASSERT_EQ(Graph(graph).PieceCount, 4);
  ASSERT_EQ(FillGraph(graph, 0x10, 0x20, 0x30, 255), 0);
  ASSERT_EQ(GetReadBackStrategy3D(0)(0, 0, 300, 40, Graph(graph), 1), 0);
  ExpectGraphHolds(graph, 0, 0, 300, 40);
  const ColorFormat& sf = GetScreenColorState().ScreenColorFormat;
  int outside = 0, filled = 0;
  for (int i = 0; i < Graph(graph).PieceCount; ++i) {
    const Surface3D* p = GetSurface3DData(Graph(graph).Pieces[static_cast<size_t>(i)]);
    SurfaceData* d = GetSurfaceData(p->SurfaceData);
    const ColorFormat& tf = *GetTextureColorFormat(d->FormatIndex);
    const uint32_t fill = PackColor(&tf, 0x10, 0x20, 0x30, 255);
    pd::LockedRect lock;
    ASSERT_EQ(d->Surface->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    for (int y = 0; y < p->Height; ++y) {
      for (int x = 0; x < p->Width; ++x) {
        if (p->GraphX + x < 300) continue;
        ++outside;
        const uint32_t texel = ReadPixel(lock.bits + (p->TexY + y) * lock.pitch, p->TexX + x, tf.PixelByte);
        filled += (texel & ~tf.AlphaMask) == (fill & ~tf.AlphaMask) ? 1 : 0;
      }
    }
    d->Surface->Unlock();
  }
  EXPECT_EQ(sf.BitDepth, 32);
  EXPECT_EQ(outside, (1024 - 300) * 40);
  EXPECT_EQ(filled, outside);
}

TEST_F(ReadBackTest, SuspendedAndStoppedDevices) {
  Start();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  const int graph = MakeTextureGraph(16, 16, false);
  GetDirect3DState().Suspended3D = 1;
  EXPECT_EQ(ReadBackTargetToGraph3D(0, 0, 16, 16, Graph(graph), 1), 0);
  GetDirect3DState().Suspended3D = 0;
  GraphRecord noPieces = Graph(graph);
  noPieces.PieceCount = 0;
  EXPECT_EQ(ReadBackTargetToGraph3D(0, 0, 16, 16, noPieces, 1), -1);
  GraphRecord dead = Graph(graph);
  dead.Pieces[0] = 0x30000000 | 4000;
  EXPECT_EQ(ReadBackTargetToGraph3D(0, 0, 16, 16, dead, 1), -1);
  EXPECT_EQ(CaptureScreenToGraph(0, 0, 16, 16, graph + 1, 0), -1);
}

// The same read-back through the OpenGL stand-in: what was drawn on the
// back screen by the device reaches the texture.
class GlReadBackTest : public ReadBackTest {
 protected:
  void StartGl(bool fullScreen, int bits) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    d3d::RecordingDirect3D::Uninstall();
    d3d::InstallOpenGlDirect3D();
    StartHardware(fullScreen, bits);
    if (GetDirect3DState().Initialized3D != 1) {
      if (std::getenv("CI") != nullptr) FAIL() << "no OpenGL 3.3 core context through EGL on CI";
      GTEST_SKIP() << "no OpenGL 3.3 core context through EGL";
    }
    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(1, 1, 256, 256);
    ForceDirect3DUsableForTest(1);
    EnableTextureGraphsForTest(1);
  }
  void TearDown() override {
    ReadBackTest::TearDown();
    pd::SetDirect3DFactory(nullptr);
  }
};

TEST_F(GlReadBackTest, CaptureAfterADeviceDrawAt32And16Bits) {
  for (const int bits : {32, 16}) {
    SCOPED_TRACE(bits);
    StartGl(bits == 16, bits);
    if (IsSkipped()) return;
    ASSERT_EQ(SetDrawTarget(-2), 0);
    PaintBack();
    // A red quad over (0, 0)-(8, 8) drawn by the device.
    DeviceRecord3D& r = Record();
    BeginScene3D();
    PrepareDraw3D(nullptr, kPrepareIntegerCoords);
    ASSERT_EQ(r.Batch.Format, 0);
    const uint32_t first = ReserveBatchVertices3D(r, d3d::kPrimTriangleList, 6);
    const float corners[4][2] = {{-0.5f, -0.5f}, {7.5f, -0.5f}, {-0.5f, 7.5f}, {7.5f, 7.5f}};
    const int order[6] = {0, 1, 2, 3, 2, 1};
    for (int i = 0; i < 6; ++i) {
      d3d::VertexColored& v = r.Batch.Colored[first + static_cast<uint32_t>(i)];
      v.x = corners[order[i]][0];
      v.y = corners[order[i]][1];
      v.z = 0.0f;
      v.rhw = 1.0f;
      v.diffuse = 0xFFFF0000u;
    }
    const int graph = MakeTextureGraph(40, 30, bits == 32);
    ASSERT_EQ(CaptureScreenToGraph(0, 0, 40, 30, graph, 0), 0);
    EXPECT_EQ(Choice()[bits == 32 ? 1 : 0], 0);
    const Surface3D* p = GetSurface3DData(Graph(graph).Pieces[0]);
    SurfaceData* d = GetSurfaceData(p->SurfaceData);
    const ColorFormat& tf = *GetTextureColorFormat(d->FormatIndex);
    pd::LockedRect lock;
    ASSERT_EQ(d->Surface->Lock(nullptr, pd::kLockWait | pd::kLockReadOnly, &lock), pd::Result::kOk);
    for (const int x : {0, 7}) {
      const uint32_t texel = ReadPixel(lock.bits + 7 * lock.pitch, x, tf.PixelByte);
      EXPECT_EQ(texel & tf.RedMask, tf.RedMask) << "the drawn quad at x " << x;
      EXPECT_EQ(texel & (tf.GreenMask | tf.BlueMask), 0u);
    }
    const uint32_t c = PatternColor(9, 9);
    const uint32_t outside = ReadPixel(lock.bits + 9 * lock.pitch, 9, tf.PixelByte);
    EXPECT_EQ((outside & tf.RedMask) >> tf.RedShift, (c >> 16) >> (8 - tf.RedWidth));
    d->Surface->Unlock();
    Restart();
  }
}

}  // namespace
}  // namespace d3d_engine_test
