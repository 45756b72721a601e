// Triangles and four-point draws of graphs: the entries give the pixels of
// the software renderer's routines called directly on the memory images,
// the same on the stand-in's surfaces as in software rendering; refusals;
// the entry's presentation rectangle; a golden frame; and the 3D matrices
// that selecting a draw target sets.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics/draw_target.h"
#include "engine/graphics/quad_draw_2d.h"
#include "engine/graphics/target_transforms.h"
#include "tests/graphics/golden_png.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using QuadDrawTest = ScreenTest;

constexpr int kW = 24, kH = 20, kSide = 48;

int DataHandleOf(int graph) { return GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle; }

uint32_t PixelRgb(const uint8_t* bits, int pitch, const ColorFormat* format, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, bits + static_cast<ptrdiff_t>(y) * pitch + x * format->PixelByte, format->PixelByte);
  int r = 0, g = 0, b = 0, a = 0;
  UnpackColor(format, v, &r, &g, &b, &a);
  return static_cast<uint32_t>(r << 16 | g << 8 | b);
}

void PutPixel(uint8_t* bits, int pitch, const ColorFormat* format, int x, int y, int r, int g, int b) {
  const uint32_t v = PackColor(format, r, g, b, 255);
  std::memcpy(bits + static_cast<ptrdiff_t>(y) * pitch + x * format->PixelByte, &v, format->PixelByte);
}

// Runs fn(bits, pitch, format) on the back screen's pixels.
template <typename Fn>
void WithBackScreen(Fn fn) {
  MainSurfaces& m = GetMainSurfaces();
  if (m.ScreensAreMemImgs != 0) {
    fn(m.BackMemImg.Pixels, m.BackMemImg.Pitch, m.BackMemImg.Format);
    return;
  }
  pd::LockedRect lock;
  ASSERT_EQ(m.BackSurface->Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
  fn(lock.bits, lock.pitch, &GetScreenColorState().ScreenColorFormat);
  m.BackSurface->Unlock();
}

void PaintBackground() {
  WithBackScreen([](uint8_t* bits, int pitch, const ColorFormat* f) {
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) PutPixel(bits, pitch, f, x, y, x * 5, 255 - y * 5, (x * y) & 0xFF);
  });
}

std::vector<uint32_t> ReadBack() {
  std::vector<uint32_t> out;
  WithBackScreen([&out](uint8_t* bits, int pitch, const ColorFormat* f) {
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) out.push_back(PixelRgb(bits, pitch, f, x, y));
  });
  return out;
}

// A source with a key pattern (the current transparent colour 254, 0, 254).
int MakeSource() {
  const int source = NewGraph(kW, kH, 1);
  int pitch = 0;
  uint8_t* bits = nullptr;
  const ColorFormat* format = nullptr;
  EXPECT_GE(LockSurfaceData(DataHandleOf(source), &pitch, &bits, 0, nullptr, &format), 0);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if ((x + 2 * y) % 7 == 0) {
        PutPixel(bits, pitch, format, x, y, 254, 0, 254);
      } else {
        PutPixel(bits, pitch, format, x, y, (x * 11) & 0xFF, (y * 13) & 0xFF, 0x80 + x);
      }
    }
  }
  UnlockSurfaceData(DataHandleOf(source));
  return source;
}

struct QuadCase {
  const char* name;
  int mode, value, transparent;
  bool triangle;  // one DrawTriangleGraph2D instead of a four-point draw
  bool flat;      // the triangle without a graph, in one colour
  float p[4][2];  // clockwise corners (triangle: the first three)
};

const QuadCase kCases[] = {
    {"quad plain", 0, 0, 0, false, false, {{4, 3}, {40, 8}, {36, 44}, {2, 30}}},
    {"quad transparent", 0, 0, 1, false, false, {{4, 3}, {40, 8}, {36, 44}, {2, 30}}},
    {"quad alpha 128", 1, 128, 1, false, false, {{44, 2}, {46, 40}, {6, 45}, {3, 5}}},
    {"quad add 200", 2, 200, 0, false, false, {{4, 3}, {40, 8}, {36, 44}, {2, 30}}},
    {"quad partly off the target", 0, 0, 1, false, false, {{-20, -9}, {30, -4}, {35, 26}, {-14, 33}}},
    {"quad bow-tie", 0, 0, 1, false, false, {{4, 4}, {40, 4}, {4, 40}, {40, 40}}},
    {"triangle", 0, 0, 1, true, false, {{3, 2}, {45, 20}, {10, 46}, {0, 0}}},
    {"triangle alpha 90", 1, 90, 0, true, false, {{45, 2}, {3, 30}, {30, 46}, {0, 0}}},
    {"flat triangle", 0, 0, 0, true, true, {{3, 2}, {45, 20}, {10, 46}, {0, 0}}},
    {"flat triangle alpha 160", 1, 160, 0, true, true, {{45, 2}, {3, 30}, {30, 46}, {0, 0}}},
};

TriangleRecord CaseTriangle(const QuadCase& c) {
  TriangleRecord t{};
  const int uv[3][2] = {{0, 0}, {kW - 1, 3}, {5, kH - 1}};
  for (int i = 0; i < 3; ++i) {
    t.v[i][0] = static_cast<int>(c.p[i][0]);
    t.v[i][1] = static_cast<int>(c.p[i][1]);
    t.v[i][2] = uv[i][0];
    t.v[i][3] = uv[i][1];
  }
  return t;
}

uint32_t FlatColour() { return PackScreenColor(30, 200, 90); }

void DrawThroughEntry(const QuadCase& c, int source) {
  if (c.triangle) {
    const GraphRecord* graph = c.flat ? nullptr : GetGraphRecord(source);
    EXPECT_EQ(DrawTriangleGraph2D(CaseTriangle(c), graph, c.transparent, FlatColour()), 0);
  } else {
    EXPECT_EQ(BlitQuadGraph(c.p[0][0], c.p[0][1], c.p[1][0], c.p[1][1], c.p[2][0], c.p[2][1],
                            c.p[3][0], c.p[3][1], source, c.transparent),
              0);
  }
}

// The same draw made directly with the memory-image routines (software
// rendering only: the back screen is an image).
void DrawDirect(const QuadCase& c, int source) {
  MEMIMG* dest = &GetMainSurfaces().BackMemImg;
  const MEMIMG* image = &GetSurfaceData(DataHandleOf(source))->Image;
  if (c.triangle) {
    const TriangleRecord t = CaseTriangle(c);
    DrawTriangleMemImg(dest, c.flat ? nullptr : image, &t, c.transparent, nullptr, FlatColour());
    return;
  }
  QuadRecord q{};
  const int order[4] = {0, 1, 3, 2};  // clockwise to source-corner order
  for (int i = 0; i < 4; ++i) {
    q.p[i][0] = static_cast<int>(c.p[order[i]][0]);
    q.p[i][1] = static_cast<int>(c.p[order[i]][1]);
  }
  DrawQuadMemImg(dest, image, &q, c.transparent, nullptr);
}

TEST_F(QuadDrawTest, EntriesMatchTheMemoryImageRoutinesInEveryWay) {
  struct Way {
    const char* name;
    bool software;
    int bits;
    bool memoryImageSource;
  };
  const Way ways[] = {
      {"software 16", true, 16, false},       {"video surface 16", false, 16, false},
      {"memory image 16", false, 16, true},   {"software 32", true, 32, false},
      {"video surface 32", false, 32, false}, {"memory image 32", false, 32, true},
  };
  std::vector<std::vector<uint32_t>> reference[33];
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    pd::test::SetDesktop(1024, 768, way.software ? 32 : way.bits);
    GetScreenColorState().ScreenBits = way.bits;
    if (way.software) {
      StartSoftware();
    } else {
      StartHardware();
    }
    ASSERT_EQ(SetTargetScreen(-2), 0);
    SetTransparentColor(254, 0, 254);
    CurrentDrawState.CreateSystemMem = way.memoryImageSource ? 1 : 0;
    const int source = MakeSource();
    CurrentDrawState.CreateSystemMem = 0;
    std::vector<std::vector<uint32_t>>& ref = reference[way.bits];
    for (size_t i = 0; i < std::size(kCases); ++i) {
      const QuadCase& c = kCases[i];
      SCOPED_TRACE(c.name);
      SetBlendMode(c.mode, c.value);
      if (way.software) {
        PaintBackground();
        DrawDirect(c, source);
        ref.push_back(ReadBack());
      }
      PaintBackground();
      DrawThroughEntry(c, source);
      const std::vector<uint32_t> got = ReadBack();
      SetBlendMode(0, 0);
      ASSERT_LT(i, ref.size());
      int differing = 0;
      for (size_t k = 0; k < got.size(); ++k) {
        if (got[k] != ref[i][k] && differing++ < 3) {
          ADD_FAILURE() << "pixel (" << k % kSide << ", " << k / kSide << "): " << std::hex << got[k]
                        << " instead of " << ref[i][k];
        }
      }
    }
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
  // The draws did something: the plain quad differs from the transparent one.
  EXPECT_NE(reference[16][0], reference[16][1]);
  EXPECT_NE(reference[32][6], reference[32][8]);
}

TEST_F(QuadDrawTest, FloatCornersTruncateAndRefusalsStillReportZero) {
  // Without a display object every triangle is refused, the quad reports 0.
  GraphRecord record{};
  record.Width = 8;
  record.Height = 8;
  TriangleRecord t{};
  EXPECT_EQ(DrawTriangleGraph2D(t, &record, 1, 0), -1);
  EXPECT_EQ(DrawTriangleGraph2D(t, nullptr, 1, 0), -1);
  EXPECT_EQ(DrawQuadGraph2D(0, 0, 8, 0, 0, 8, 8, 8, record, 1), 0);
  EXPECT_EQ(DrawQuadGraph2DF(0, 0, 8, 0, 0, 8, 8, 8, record, 1), 0);

  StartSoftware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  const int source = MakeSource();
  const GraphRecord& graph = *GetGraphRecord(source);
  PaintBackground();
  EXPECT_EQ(DrawQuadGraph2DF(10.9f, -0.5f, 40.2f, 1.99f, 3.7f, 30.0f, -0.99f, 44.5f, graph, 0), 0);
  const std::vector<uint32_t> floats = ReadBack();
  PaintBackground();
  EXPECT_EQ(DrawQuadGraph2D(10, 0, 40, 1, 3, 30, 0, 44, graph, 0), 0);
  EXPECT_EQ(ReadBack(), floats);

  // A graph whose surface is gone, a stale handle.
  GraphRecord broken = graph;
  broken.Pieces[0] = graph.Pieces[0] + 0x10000;
  EXPECT_EQ(DrawTriangleGraph2D(t, &broken, 1, 0), -1);
  EXPECT_EQ(BlitQuadGraph(0, 0, 8, 0, 8, 8, 0, 8, source + 0x10000, 1), -1);
  // Coordinates the rasteriser rejects draw nothing and break nothing.
  PaintBackground();
  const std::vector<uint32_t> before = ReadBack();
  EXPECT_EQ(BlitQuadGraph(-1e9f, 5, 1e9f, 5, 3e38f, 1e30f, -3e38f, 20, source, 0), 0);
  EXPECT_EQ(ReadBack(), before);
}

TEST_F(QuadDrawTest, EntryPresentationRectangle) {
  struct Case {
    float x[4], y[4];
    IntRect want;
  };
  const Case cases[] = {
      {{10, 30.9f, 30, 10}, {20, 20, 40.5f, 40}, {10, 20, 30, 40}},
      // The maximum starts at 0: a quad left of and above the origin reaches it.
      {{-50, -20, -20, -50}, {-9, -9, -1, -1}, {-50, -9, 0, 0}},
      {{-0.9f, 5, 5, -0.9f}, {2, 2, 7, 7}, {0, 2, 5, 7}},
  };
  for (const Case& c : cases) {
    const IntRect r = QuadEntryBounds(c.x, c.y);
    EXPECT_EQ(r.left, c.want.left);
    EXPECT_EQ(r.top, c.want.top);
    EXPECT_EQ(r.right, c.want.right);
    EXPECT_EQ(r.bottom, c.want.bottom);
  }
}

golden::Frame BackFrame() {
  golden::Frame f;
  f.width = 160;
  f.height = 120;
  WithBackScreen([&f](uint8_t* bits, int pitch, const ColorFormat* format) {
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) f.rgb.push_back(PixelRgb(bits, pitch, format, x, y));
  });
  return f;
}

TEST_F(QuadDrawTest, SoftwareQuadFramesMatchTheirGoldens) {
  for (int bits : {16, 32}) {
    SCOPED_TRACE(bits);
    GetScreenColorState().ScreenBits = bits;
    StartSoftware();
    ASSERT_EQ(SetTargetScreen(-2), 0);
    SetTransparentColor(254, 0, 254);
    const int source = MakeSource();
    EXPECT_EQ(PutBox(0, 0, 160, 120, PackScreenColor(40, 40, 90), 1), 0);
    EXPECT_EQ(BlitQuadGraph(5, 5, 60, 12, 52, 58, 8, 50, source, 1), 0);
    EXPECT_EQ(BlitQuadGraph(70, 5, 150, 5, 130, 55, 90, 55, source, 0), 0) << "trapezoid";
    SetBlendMode(1, 128);
    EXPECT_EQ(BlitQuadGraph(40, 40, 100, 40, 100, 100, 40, 100, source, 1), 0);
    SetBlendMode(2, 180);
    EXPECT_EQ(BlitQuadGraph(110, 60, 170, 70, 100, 130, 150, 110, source, 1), 0) << "bow-tie, clipped";
    SetBlendMode(0, 0);
    TriangleRecord t{{{10, 70, 0, 0}, {60, 110, kW - 1, kH - 1}, {2, 118, 0, kH - 1}}};
    EXPECT_EQ(DrawTriangleGraph2D(t, GetGraphRecord(source), 1, 0), 0);
    TriangleRecord flat{{{70, 65, 0, 0}, {95, 118, 0, 0}, {62, 100, 0, 0}}};
    EXPECT_EQ(DrawTriangleGraph2D(flat, nullptr, 0, PackScreenColor(250, 220, 40)), 0);
    const std::string path = std::string(VESK_SOURCE_DIR) + "/tests/graphics/golden/quads" +
                             std::to_string(bits) + ".png";
    EXPECT_EQ(golden::CompareWithGolden(path, BackFrame()), "");
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
}

void ExpectMatrix(const TransformMatrix& got, const float (&want)[4][4]) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(got.m[r][c], want[r][c], 2e-5 * (1 + std::abs(want[r][c]))) << r << "," << c;
}

TEST_F(QuadDrawTest, SelectingATargetSetsItsMatrices) {
  StartSoftware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  const TargetTransforms& t = GetTargetTransforms();
  const float identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  ExpectMatrix(t.World, identity);
  const float view640[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-320, -240, 415.692216f, 1}};
  ExpectMatrix(t.View, view640);
  const float proj640[4][4] = {
      {1.2990380f, 0, 0, 0}, {0, 1.7320508f, 0, 0}, {0, 0, 1.0302515f, 1}, {0, 0, -42.826751f, 0}};
  ExpectMatrix(t.Projection, proj640);

  // A 256 x 256 graph: the view follows the target, the aspect the screen.
  const int graph = NewGraph(256, 256, 1);
  ASSERT_EQ(SetTargetScreen(graph), 0);
  const float view256[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-128, -128, 221.702515f, 1}};
  ExpectMatrix(t.View, view256);
  const float proj256[4][4] = {
      {1.2990380f, 0, 0, 0}, {0, 1.7320508f, 0, 0}, {0, 0, 1.0184824f, 1}, {0, 0, -22.580011f, 0}};
  ExpectMatrix(t.Projection, proj256);
  // An empty slot is refused before anything changes; a stale handle fails
  // the selection, and the previous target is selected again, matrices and all.
  SetTransformToWorld(TransformMatrix{{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}});
  EXPECT_EQ(SetTargetScreen(30000), -1);
  EXPECT_EQ(t.World.m[0][0], 2.0f);
  EXPECT_EQ(SetTargetScreen(graph + 0x10000), -1);
  ExpectMatrix(t.World, identity);
  ExpectMatrix(t.View, view256);
  ASSERT_EQ(SetTargetScreen(-2), 0);
  ExpectMatrix(t.View, view640);

  // A point on the z = 0 plane lands one unit per pixel from the centre.
  const TransformMatrix v = TargetViewMatrix(640, 480);
  const float x = 330, y = 250;
  const float vx = x * v.m[0][0] + y * v.m[1][0] + v.m[3][0];
  const float vy = x * v.m[0][1] + y * v.m[1][1] + v.m[3][1];
  EXPECT_FLOAT_EQ(vx, 10);
  EXPECT_FLOAT_EQ(vy, 10);
  // A look-at along another axis is still orthonormal, translation -axis.eye.
  const float eye[3] = {1, 2, 3}, at[3] = {4, 2, 3}, up[3] = {0, 1, 0};
  const TransformMatrix l = LookAtMatrix(eye, at, up);
  const float lookX[4][4] = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {3, -2, -1, 1}};
  ExpectMatrix(l, lookX);
}

}  // namespace
}  // namespace graphics_test
