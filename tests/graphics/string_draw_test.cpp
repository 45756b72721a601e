// String drawing and measuring with the test font (written by the
// project's font writer) and IPA Gothic: measuring, the colour forms, the
// entries' early answers, long strings in pieces, the 2D back ends' choice
// between writing straight and composing on the draw screen, the draw
// screen's key, scaled composition, and golden frames that the software and
// the DirectDraw 2D paths must both give exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/base/log.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/string_draw.h"
#include "font/test_fonts.h"
#include "tests/graphics/screen_fixture.h"
#include "tests/graphics/string_scene.h"
#include "tests/support/golden_frames.h"

namespace graphics_test {
namespace {

using fonttest::Sjis;

class StringDrawTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    fonttest::TestFonts::Get();
    SetFontCacheHooks({});
  }
  void TearDown() override {
    SetStringGraphDraws({});
    ScreenTest::TearDown();
  }
  void Start(int bits, bool software = true) {
    pd::test::SetDesktop(1024, 768, software ? 32 : bits);
    GetScreenColorState().ScreenBits = bits;
    if (software) {
      StartSoftware();
    } else {
      StartHardware();
      // The DirectDraw path: fonts made from here on keep memory caches,
      // and the recording 3D device draws no pixels.
      CurrentDrawState.Use3D = 0;
    }
    ASSERT_EQ(GetScreenColorBits(), bits);
    ASSERT_EQ(SetTargetScreen(-2), 0);
  }
  void Stop() {
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
  // The test font (regular weight) at size 20; face null: the default face.
  int Font(int type, const char* face = nullptr, int size = 20) {
    const std::string name = Sjis(u8"ベスク試験");
    const int handle =
        CreateFontToHandle(face != nullptr ? face : name.c_str(), size, 4, type, 1, -1, 0, -1, -1);
    EXPECT_NE(handle, -1);
    return handle;
  }

  // The back screen's pixels as 0x00RRGGBB, the screens in memory or on
  // the stand-in's surface.
  golden::Frame Back(int width, int height) {
    MainSurfaces& m = GetMainSurfaces();
    const uint8_t* bits = m.BackMemImg.Pixels;
    int pitch = m.BackMemImg.Pitch;
    const ColorFormat* format = m.BackMemImg.Format;
    pd::LockedRect lock{};
    const bool surface = m.ScreensAreMemImgs == 0;
    if (surface) {
      EXPECT_EQ(m.BackSurface->Lock(nullptr, pd::kLockWait, &lock), pd::Result::kOk);
      bits = lock.bits;
      pitch = lock.pitch;
      format = &GetScreenColorState().ScreenColorFormat;
    }
    golden::Frame f = golden::ReadFrame(bits, pitch, format, width, height);
    if (surface) m.BackSurface->Unlock();
    return f;
  }
  MEMIMG& DrawScreenOf(int font) {
    const Surface2D* s = GetSurface2D(GetFontRecord(font)->DrawScreen);
    return GetSurfaceData(s->SurfaceDataHandle)->Image;
  }
};

TEST_F(StringDrawTest, ColourFormsTakeDrawBright) {
  Start(16);
  const uint32_t c = PackScreenColor(200, 100, 50);
  EXPECT_EQ(c, 0xCB26u);
  const struct {
    uint32_t bright, memory, texture;
  } cases[] = {
      {0xFFFFFF, 0xCB26, 0xFFCD6531},
      {0xFF80FF, 0xC986, 0xFFCD3231},
      {0x000000, 0x0000, 0xFF000000},
  };
  for (const auto& k : cases) {
    const StringColorForms f = ComputeStringColorForms(c, k.bright);
    EXPECT_EQ(f.memory, k.memory) << std::hex << k.bright;
    EXPECT_EQ(f.texture, k.texture) << std::hex << k.bright;
  }
  Stop();
  Start(32);
  // Packed black's own bits never reach the memory form.
  const StringColorForms f = ComputeStringColorForms(PackScreenColor(1, 2, 3), 0xFFFFFF);
  EXPECT_EQ(f.memory, PackScreenColor(1, 2, 3) & ~PackScreenColor(0, 0, 0));
  EXPECT_EQ(f.memory & 0x00FFFFFFu, 0x010203u);
  Stop();
}

TEST_F(StringDrawTest, MeasuringAndEarlyAnswers) {
  Start(32);
  const int font = Font(0);
  ASSERT_EQ(SetFontSpacing(2, font), 0);
  // Three advances of 8 and three spacings; the space is measured.
  EXPECT_EQ(MeasureFontString("A B", -1, font, 0), 30);
  int32_t size[2] = {0, 0};
  EXPECT_EQ(RenderFontString(0, 0, 0, 0, 1.0, 1.0, "A B", 0, nullptr, nullptr, font, 0, -1, 0, size), 30);
  EXPECT_EQ(size[0], 30);
  EXPECT_EQ(size[1], 20);
  EXPECT_EQ(MeasureFontString("A B", -1, font, 1), 30) << "vertical: the same width";
  EXPECT_EQ(RenderFontString(0, 0, 0, 0, 1.0, 1.0, "A B", 0, nullptr, nullptr, font, 0, -1, 1, size), 30);
  EXPECT_EQ(size[0], 20);
  EXPECT_EQ(size[1], 30);
  ASSERT_EQ(SetFontSpacing(0, font), 0);

  const struct {
    const char* what;
    const char* text;
    int limit, width;
  } measures[] = {
      {"a limit inside a double-byte character counts all of it", "\x82\xA0x", 1, 16},
      {"limit 0", "AB", 0, 0},
      {"limit beyond the end", "AB", 50, 16},
      {"a lone lead byte at the end is one character", "A\x82", -1, 16},
      {"full-width space advances", "\x81\x40", -1, 16},
      {"a line feed is a glyph on the same line", "A\nB", -1,
       16 + MeasureFontString("\n", -1, font, 0)},
      {"empty", "", -1, 0},
      {"null", nullptr, -1, 0},
  };
  for (const auto& m : measures) EXPECT_EQ(MeasureFontString(m.text, m.limit, font, 0), m.width) << m.what;
  EXPECT_GT(MeasureFontString("\n", -1, font, 0), 0);

  // Bad handles: the measuring side tests the handle first, the drawing
  // entries the string first.
  const int bad = font + 1;
  EXPECT_EQ(MeasureFontString(nullptr, -1, bad, 0), -1);
  EXPECT_EQ(RenderFontString(1, 0, 0, 0, 1.0, 1.0, "", 0, nullptr, nullptr, bad, 0, -1, 0, nullptr), -1);
  EXPECT_EQ(DrawFontString(0, 0, nullptr, 0, bad, 0, 0), 0);
  EXPECT_EQ(DrawFontString(0, 0, "", 0, bad, 0, 0), 0);
  EXPECT_EQ(DrawFontStringScaled(0, 0, 2.0, 2.0, "", 0, bad, 0, 0), 0);
  EXPECT_EQ(ReadLog().find(Sjis(u8"フォントハンドル値が異常です")), std::string::npos);
  EXPECT_EQ(DrawFontString(0, 0, "A", 0, bad, 0, 0), -1);
  EXPECT_NE(ReadLog().find(Sjis(u8"フォントハンドル値が異常です")), std::string::npos);
  EXPECT_EQ(DrawFontStringScaled(0, 0, 2.0, 2.0, "A", 0, bad, 0, 0), -1);
  Stop();
}

TEST_F(StringDrawTest, MemoryCacheFontsIgnoreTheFactors) {
  Start(32);
  const int font = Font(0);
  EXPECT_EQ(RenderFontString(0, 0, 0, 1, 3.0, 3.0, "IL", 0, nullptr, nullptr, font, 0, -1, 0, nullptr), 16);
  std::vector<uint32_t> a(64 * 32, 0), b(64 * 32, 0);
  MEMIMG ia{}, ib{};
  ASSERT_EQ(CreateMemImg(&ia, 64, 32, 256, 0, 1, 0, 0, 0), 0);
  ib = ia;
  ia.Pixels = reinterpret_cast<uint8_t*>(a.data());
  ib.Pixels = reinterpret_cast<uint8_t*>(b.data());
  const IntRect clip{0, 0, 64, 32};
  EXPECT_EQ(RenderFontString(1, 3, 2, 1, 2.0, 2.0, "IL", 0xFFFFFF, &ia, &clip, font, 0, -1, 0, nullptr), 16);
  EXPECT_EQ(RenderFontString(1, 3, 2, 0, 1.0, 1.0, "IL", 0xFFFFFF, &ib, &clip, font, 0, -1, 0, nullptr), 16);
  EXPECT_EQ(a, b);
  EXPECT_NE(std::count(a.begin(), a.end(), 0xFFFFFFu), 0);
  Stop();
}

TEST_F(StringDrawTest, DefaultFontEntriesFollowTheSettings) {
  Start(32);
  EXPECT_EQ(DrawDefaultFontString(2, 2, "A", PackScreenColor(255, 255, 255), 0), 0);
  const int before = GetDefaultFontSettings().Handle;
  ASSERT_NE(GetFontRecord(before), nullptr);
  EXPECT_EQ(GetFontRecord(before)->Size, 16);
  const int width16 = MeasureDefaultFontString("AAAA", -1, 0);
  ASSERT_EQ(SetDefaultFontSize(24), 0);
  EXPECT_EQ(DrawDefaultFontString(2, 2, "A", PackScreenColor(255, 255, 255), 0), 0);
  const int after = GetDefaultFontSettings().Handle;
  ASSERT_NE(GetFontRecord(after), nullptr);
  EXPECT_EQ(GetFontRecord(after)->Size, 24);
  EXPECT_EQ(GetFontRecord(before), nullptr) << "the old default font is gone";
  EXPECT_GT(MeasureDefaultFontString("AAAA", -1, 0), width16);
  Stop();
}

// Positions, factors and spacing at the ends of their ranges draw what
// fits and never overflow.
TEST_F(StringDrawTest, ExtremePositionsFactorsAndSpacing) {
  Start(32);
  const int fonts[2] = {Font(0), Font(2)};
  const uint32_t white = PackScreenColor(255, 255, 255);
  for (const int target : {-2, -4}) {
    ASSERT_EQ(SetTargetScreen(target), 0);
    for (const int font : fonts) {
      for (const int vertical : {0, 1}) {
        EXPECT_EQ(DrawFontString(INT_MAX - 2, INT_MIN + 1, "IL", white, font, 0, vertical), 0);
        EXPECT_EQ(DrawFontString(INT_MIN + 1, INT_MAX - 2, "IL", white, font, 0, vertical), 0);
        EXPECT_EQ(DrawFontStringScaled(INT_MAX - 2, 5, 1e12, 1e12, "IL", white, font, 0, vertical), 0);
        EXPECT_EQ(DrawFontStringScaled(5, 5, -1e12, 0.0, "IL", white, font, 0, vertical), 0);
        EXPECT_EQ(DrawFontStringScaled(5, 5, 1e-9, 1e-9, "IL", white, font, 0, vertical), 0);
      }
    }
  }
  ASSERT_EQ(SetFontSpacing(INT_MAX, fonts[0]), 0);
  EXPECT_EQ(MeasureFontString("ILILIL", -1, fonts[0], 0), INT_MAX) << "saturated";
  EXPECT_EQ(DrawFontString(0, 0, "ILIL", white, fonts[0], 0, 0), 0);
  Stop();
}

// A long string (double-byte characters across the 256-character seams)
// draws and measures as its pieces of 256 characters joined.
TEST_F(StringDrawTest, LongStringsAreTheirPiecesJoined) {
  Start(32);
  const int font = Font(1);
  const std::string kana = Sjis(u8"あ");
  std::vector<std::string> chars;
  for (int i = 0; i < 600; ++i) chars.push_back(i % 7 == 3 ? kana : std::string(1, "ILTO/\\x "[i % 8]));
  std::string whole;
  std::vector<std::string> pieces(3);
  for (int i = 0; i < 600; ++i) {
    whole += chars[i];
    pieces[i / 256] += chars[i];
  }
  int sum = 0;
  for (const auto& p : pieces) sum += MeasureFontString(p.c_str(), -1, font, 0);
  EXPECT_EQ(MeasureFontString(whole.c_str(), -1, font, 0), sum);
  EXPECT_EQ(MeasureFontString(whole.c_str(), -1, font, 1), sum);
  const uint32_t white = PackScreenColor(255, 255, 255), blue = PackScreenColor(0, 0, 255);
  for (const int vertical : {0, 1}) {
    for (const int offset : {0, -2050, -4300}) {
      SCOPED_TRACE(std::to_string(vertical) + " at " + std::to_string(offset));
      const int x = vertical ? 10 : offset, y = vertical ? offset : 10;
      ASSERT_EQ(ClearDrawTarget(), 0);
      EXPECT_EQ(DrawFontString(x, y, whole.c_str(), white, font, blue, vertical), 0);
      const golden::Frame joined = Back(640, 480);
      ASSERT_EQ(ClearDrawTarget(), 0);
      int pen = 0;
      for (const auto& p : pieces) {
        EXPECT_EQ(DrawFontString(vertical ? x : x + pen, vertical ? y + pen : y, p.c_str(), white, font,
                                 blue, vertical),
                  0);
        pen += MeasureFontString(p.c_str(), -1, font, vertical);
      }
      const golden::Frame separate = Back(640, 480);
      EXPECT_TRUE(joined.rgb == separate.rgb);
      EXPECT_NE(std::count(joined.rgb.begin(), joined.rgb.end(), 0xFFFFFFu), 0) << "something drawn";
    }
  }
  Stop();
}

// Blending or antialiasing composes on the draw screen; otherwise the
// glyphs go straight into the target. The draw screen shows which.
TEST_F(StringDrawTest, ComposedOrStraight) {
  Start(16);
  const struct {
    const char* what;
    int type, mode, value;
    bool composed;
  } cases[] = {
      {"mode 1 at 255, plain", 0, 1, 255, false},
      {"mode 1 at 128, plain", 0, 1, 128, true},
      {"mode 0, antialiased", 2, 0, 255, true},
      {"mode 0, plain", 0, 0, 255, false},
      {"mode 0, edge", 1, 0, 255, false},
      {"mode 2, plain", 0, 2, 255, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int font = Font(c.type);
    MEMIMG& screen = DrawScreenOf(font);
    const IntRect all{0, 0, screen.Width, screen.Height};
    FillMemImg(&screen, &all, 0x1234);
    SetBlendMode(c.mode, c.value);
    EXPECT_EQ(DrawFontString(30, 40, "ILT", PackScreenColor(255, 255, 255), font, 0, 0), 0);
    SetBlendMode(0, 0);
    uint32_t corner = 0;
    std::memcpy(&corner, screen.Pixels, screen.Format->PixelByte);
    if (screen.Format->PixelByte == 2) corner &= 0xFFFF;
    EXPECT_EQ(corner != 0x1234, c.composed);
    DeleteFontHandle(font);
  }
  Stop();
}

TEST_F(StringDrawTest, DrawScreenKeyMovesPastTheColours) {
  Start(16);
  const int font = Font(0);
  MEMIMG& screen = DrawScreenOf(font);
  const struct {
    uint32_t key, color, edge, want;
  } cases[] = {
      {5, 5, 6, 7},
      {5, 4, 6, 5},
      {0xFFFF, 0xFFFF, 0x1234, 0},
      {0xFFFE, 0xFFFE, 0xFFFF, 0},
  };
  SetBlendMode(1, 128);
  for (const auto& c : cases) {
    screen.TransColor = c.key;
    EXPECT_EQ(DrawFontString(10, 10, "I", c.color, font, c.edge, 0), 0);
    EXPECT_EQ(screen.TransColor, c.want) << c.key;
  }
  SetBlendMode(0, 0);
  Stop();
}

// Scaled strings: the whole draw screen is stretched and the narrowed
// draw area keeps only the string's (2W + 3) x (2H + 3) rectangle; the
// draw area and DrawBright are back afterwards.
TEST_F(StringDrawTest, ScaledStringsStayInTheirRectangle) {
  Start(32);
  const int font = Font(0);
  const uint32_t white = PackScreenColor(255, 255, 255);
  // A frame of glyph pixels all over the draw screen would show through
  // anywhere the area did not keep the string.
  const int width = MeasureFontString("LOT", -1, font, 0);
  ASSERT_EQ(width, 24);
  SetDrawTint(255, 200, 255);
  EXPECT_EQ(DrawFontStringScaled(50, 60, 2.0, 2.0, "LOT", white, font, 0, 0), 0);
  EXPECT_EQ(CurrentDrawState.DrawBright, 0xFFC8FFu);
  const IntRect& area = CurrentDrawState.DrawArea;
  EXPECT_TRUE(area.left == 0 && area.top == 0 && area.right == 640 && area.bottom == 480);
  const golden::Frame f = Back(640, 480);
  int minX = 640, minY = 480, maxX = -1, maxY = -1;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      if (f.rgb[size_t(y) * 640 + size_t(x)] == 0) continue;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  EXPECT_GE(minX, 50);
  EXPECT_GE(minY, 60);
  EXPECT_LT(maxX, 50 + 2 * 24 + 3);
  EXPECT_LT(maxY, 60 + 2 * 20 + 3);
  // 'L' starts at column 2 of its cell, 'T' ends at 7 of its third: twice that.
  EXPECT_NEAR(minX, 50 + 2 * 2, 1) << "the stretch steps 640 to 1,283 pixels";
  EXPECT_GE(maxX, 50 + 2 * 23 - 1);
  SetDrawTint(255, 255, 255);
  Stop();
}

// Records the texture path's graph draws with the state they met.
struct GraphDrawRecorder {
  std::vector<std::string> calls;
  int next_sub = 500;
  std::string State() const {
    const DrawState& s = CurrentDrawState;
    char text[96];
    std::snprintf(text, sizeof text, " bright %06X area %d,%d,%d,%d blend %d", s.DrawBright & 0xFFFFFFu,
                  s.DrawArea.left, s.DrawArea.top, s.DrawArea.right, s.DrawArea.bottom, s.BlendGraph);
    return text;
  }
  StringGraphDraws Draws() {
    StringGraphDraws d;
    d.blit_part = [this](int x, int y, int sx, int sy, int w, int h, int graph, int t, int m) {
      char text[128];
      std::snprintf(text, sizeof text, "part %d,%d src %d,%d %dx%d g%d t%d m%d", x, y, sx, sy, w, h, graph, t, m);
      calls.push_back(text + State());
      return 0;
    };
    d.blit_stretch_part = [this](int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph, int t) {
      char text[128];
      std::snprintf(text, sizeof text, "stretch %d,%d-%d,%d src %d,%d %dx%d g%d t%d", x1, y1, x2, y2, sx, sy, sw,
                    sh, graph, t);
      calls.push_back(text + State());
      return 0;
    };
    d.blit_quad = [this](float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                         int t) {
      char text[160];
      std::snprintf(text, sizeof text, "quad %.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f g%d t%d", x1, y1, x2, y2, x3,
                    y3, x4, y4, graph, t);
      calls.push_back(text + State());
      return 0;
    };
    d.create_sub_graph = [this](int x, int y, int w, int h, int source) {
      char text[96];
      std::snprintf(text, sizeof text, "sub %d,%d %dx%d of g%d -> g%d", x, y, w, h, source, next_sub);
      calls.push_back(text);
      return next_sub++;
    };
    d.release_graph = [this](int graph) {
      calls.push_back("release g" + std::to_string(graph));
      return 0;
    };
    return d;
  }
};

// One texture glyph in its four placements: an edge font's glyph in cell 22
// (24-pixel cells, 21 a column: at 24, 24), origin x 1, top 3, 10 x 12,
// pen 10.7, the string at (100, 50); line height 22; factors 1.5 and 2.0.
TEST_F(StringDrawTest, TextureGlyphPlacements) {
  Start(32);
  CurrentDrawState.CreateBlendGraph = 1;
  const int blend = NewGraph(16, 16, 1);
  CurrentDrawState.CreateBlendGraph = 0;
  ASSERT_EQ(SelectBlendGraphic(blend, 100, 20), 0);
  CurrentDrawState.DrawBright = 0x112233;
  FontRecord font;
  font.Type = kFontTypeEdge;
  font.CellSize = 24;
  font.CellsPerColumn = 21;
  font.CacheWidth = 512;
  font.CacheHeight = 512;
  font.LineHeight = 22;
  font.CacheGraph = 77;
  font.EdgeCacheGraph = 78;
  GlyphEntry glyph;
  glyph.Cell = 22;
  glyph.OriginX = 1;
  glyph.Top = 3;
  glyph.Width = 10;
  glyph.Height = 12;
  const std::string edge = " bright 102030 area ", main = " bright CD3231 area ";
  const std::string whole = "0,0,640,480 blend -1";
  const struct {
    const char* what;
    bool scaled, vertical;
    std::vector<std::string> calls;
  } cases[] = {
      {"horizontal", false, false,
       {"part 111,53 src 24,24 10x12 g78 t1 m0" + edge + whole,
        "part 111,53 src 24,24 10x12 g77 t1 m0" + main + whole}},
      {"horizontal, scaled", true, false,
       {"stretch 112,56-127,80 src 24,24 10x12 g78 t1" + edge + whole,
        "stretch 112,56-127,80 src 24,24 10x12 g77 t1" + main + whole}},
      // The whole cache turned a quarter clockwise, the area keeping the glyph.
      {"vertical", false, true,
       {"quad 142.5,36.5 142.5,548.5 -369.5,548.5 -369.5,36.5 g78 t1" + edge + "106,61,120,71 blend -1",
        "quad 142.5,36.5 142.5,1060.5 -369.5,1060.5 -369.5,36.5 g77 t1" + main + "106,61,120,71 blend -1"}},
      {"vertical, scaled", true, true,
       {"sub 24,24 10x12 of g78 -> g500",
        "quad 127.5,61.5 127.5,81.5 109.5,81.5 109.5,61.5 g500 t1" + edge + "109,62,129,82 blend -1",
        "release g500", "sub 24,24 10x12 of g77 -> g501",
        "quad 127.5,61.5 127.5,81.5 109.5,81.5 109.5,61.5 g501 t1" + main + "109,62,129,82 blend -1",
        "release g501"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GraphDrawRecorder recorder;
    SetStringGraphDraws(recorder.Draws());
    TextureGlyphPlacement p;
    p.x = 100;
    p.y = 50;
    p.pen = 10.7;
    p.scaled = c.scaled;
    p.vertical = c.vertical;
    p.xf = c.scaled ? 1.5 : 1.0;
    p.yf = c.scaled ? 2.0 : 1.0;
    p.main.texture = 0xFFCD3231;
    p.edge.texture = 0xFF102030;
    DrawFontTextureGlyph(p, font, glyph);
    EXPECT_EQ(recorder.calls, c.calls);
    EXPECT_EQ(recorder.State(), " bright 112233 area 0,0,640,480 blend " + std::to_string(blend));
    EXPECT_EQ(CurrentDrawState.BorderParam, 100);
    EXPECT_EQ(CurrentDrawState.BorderRange, 20);
    const IntRect& a = CurrentDrawState.DrawArea;
    EXPECT_EQ(CurrentDrawState.DrawAreaF[2], float(a.right));
  }
  SetStringGraphDraws({});
  SelectBlendGraphic(-1, 0, 0);
  Stop();
}

// Texture caches whose cache graphs are ordinary graphs of this screen: a
// glyph pixel white, every other pixel the key. The texture path then draws
// through the engine's own graph draws, so where it puts the glyphs (and
// the edge under the glyph) can be compared pixel for pixel with the memory
// writer (one-bit fonts).
class GraphCacheStringTest : public StringDrawTest {
 protected:
  void UseGraphCaches() {
    SetTransparentColor(254, 0, 254);
    FontCacheHooks hooks;
    hooks.texture_formats = [](ColorFormat* alpha, ColorFormat* mask) {
      CreateColorFormat(alpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
      CreateColorFormat(mask, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
      return true;
    };
    hooks.create_cache_graphs = [](FontRecord& f) {
      const bool edged = (f.Type & kFontTypeEdge) != 0;
      f.CacheGraph = NewGraph(f.CacheWidth * (edged ? 2 : 1), f.CacheHeight, 1);
      f.EdgeCacheGraph = edged ? CreateSubGraph(f.CacheWidth, 0, f.CacheWidth, f.CacheHeight, f.CacheGraph) : -1;
      return f.CacheGraph == -1 ? -1 : 0;
    };
    hooks.release_cache_graphs = [](FontRecord& f) {
      if (f.EdgeCacheGraph != -1) ReleaseGraph(f.EdgeCacheGraph, 0);
      if (f.CacheGraph != -1) ReleaseGraph(f.CacheGraph, 0);
      f.CacheGraph = f.EdgeCacheGraph = -1;
    };
    hooks.transfer_image_rect = [](const GraphImage& image, int left, int top, int right, int bottom, int x,
                                   int y, int graph) {
      MEMIMG& g = GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle)->Image;
      const uint32_t white = PackColor(g.Format, 255, 255, 255, 255);
      for (int sy = top; sy < bottom; ++sy) {
        for (int sx = left; sx < right; ++sx) {
          uint16_t p;
          std::memcpy(&p, image.Pixels + size_t(sy) * size_t(image.Pitch) + size_t(sx) * 2, 2);
          const uint32_t v = (p & 0x8000) != 0 ? white : g.TransColor;
          std::memcpy(g.Pixels + size_t(y + sy - top) * size_t(g.Pitch) + size_t(x + sx - left) * g.Format->PixelByte,
                      &v, g.Format->PixelByte);
        }
      }
      return 0;
    };
    SetFontCacheHooks(hooks);
  }
};

TEST_F(GraphCacheStringTest, TexturePathPlacesGlyphsAsTheMemoryWriter) {
  for (const int bits : {16, 32}) {
    Start(bits);
    const int memory[2] = {Font(0), Font(1)};
    UseGraphCaches();
    const int texture[2] = {Font(0), Font(1)};
    ASSERT_EQ(GetFontRecord(texture[1])->TextureCache, 1);
    ASSERT_EQ(GetFontRecord(memory[1])->TextureCache, 0);
    const std::string text = Sjis(u8"IL/\\あア日_");
    const uint32_t main = PackScreenColor(250, 230, 90), edge = PackScreenColor(200, 30, 40);
    // Horizontal text only: for vertical text the 2D quad back end truncates
    // the corners, where the 3D device the path is made for samples pixel
    // centres, so the two place a turned glyph one pixel apart.
    for (int type = 0; type < 2; ++type) {
      SCOPED_TRACE(std::to_string(bits) + " bits, type " + std::to_string(type));
      golden::Frame frames[2];
      for (int way = 0; way < 2; ++way) {
        ASSERT_EQ(ClearDrawTarget(), 0);
        SetDrawTint(255, 200, 255);
        EXPECT_EQ(DrawFontString(13, 7, text.c_str(), main, way == 0 ? memory[type] : texture[type], edge, 0), 0);
        SetDrawTint(255, 255, 255);
        frames[way] = Back(200, 200);
        // Which colour, not how bright (the graph draw tints by its own
        // arithmetic): 0 nothing, 1 the main colour, 2 the edge.
        for (uint32_t& v : frames[way].rgb) v = v == 0 ? 0 : ((v >> 8) & 0xFF) > 128 ? 1 : 2;
      }
      size_t first = 0;
      while (first < frames[0].rgb.size() && frames[0].rgb[first] == frames[1].rgb[first]) ++first;
      EXPECT_EQ(first, frames[0].rgb.size()) << "first difference at " << first % 200 << ", " << first / 200;
      EXPECT_NE(std::count(frames[0].rgb.begin(), frames[0].rgb.end(), 1u), 0) << "drawn";
      EXPECT_EQ(std::count(frames[0].rgb.begin(), frames[0].rgb.end(), 2u) != 0, type == 1) << "edge";
    }
    SetFontCacheHooks({});
    ResetFontTable();
    Stop();
  }
}

TEST_F(StringDrawTest, GoldenFramesOnTheSoftwareAndDirectDrawPaths) {
  const struct {
    const char* name;
    bool testFont;
  } faces[] = {{"testfont", true}, {"ipagothic", false}};
  for (const auto& face : faces) {
    for (const int bits : {16, 32}) {
      for (const bool software : {true, false}) {
        SCOPED_TRACE(std::string(face.name) + " " + std::to_string(bits) + (software ? " software" : " surfaces"));
        Start(bits, software);
        int fonts[4];
        for (int t = 0; t < 4; ++t) {
          const std::string ipa;
          fonts[t] = face.testFont ? Font(t) : CreateFontToHandle(nullptr, 18, 4, t, 1, -1, 0, -1, -1);
          ASSERT_NE(fonts[t], -1);
        }
        if (!face.testFont) {
          ASSERT_EQ(GetFontRecord(fonts[0])->Face->Family(), "IPAGothic");
        }
        string_scene::DrawStringScene(fonts);
        const std::string path = std::string(VESK_SOURCE_DIR) + "/tests/graphics/golden/strings_" +
                                 face.name + std::to_string(bits) + ".png";
        // The software frame is the golden one; the surfaces must equal it.
        if (software) {
          EXPECT_EQ(golden::CompareWithGolden(path, Back(360, 240)), "");
        } else {
          golden::Frame expected;
          ASSERT_TRUE(golden::ReadPng(path, &expected));
          const golden::Frame got = Back(360, 240);
          size_t first = 0;
          while (first < got.rgb.size() && got.rgb[first] == expected.rgb[first]) ++first;
          EXPECT_EQ(first, got.rgb.size()) << "first difference at " << first % 360 << ", " << first / 360;
        }
        Stop();
      }
    }
  }
}

}  // namespace
}  // namespace graphics_test
