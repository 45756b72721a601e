// A 40-character Japanese line with a warm glyph cache: DrawFontString
// (entry checks, layout, the glyph loop) against the same 40 glyphs drawn
// straight at the same positions, in the same run. Memory path (software
// rendering, 16 and 32 bits): the glyph writer called directly. Texture
// path (Direct3D on the OpenGL stand-in, 16 bits, headless): BlitGraphPart
// of each glyph's cell from the cache graph into the vertex batch, the part
// draws the string makes. Both texture loops draw the line ten times and
// then hand their batch to the device (no glFinish: the device's pixel work
// is the same for both and would only hide the per-glyph cost; the scene's
// end is shared by ten lines for the same reason). Printed at the end as
// direct time / entry time (1.0: no layout overhead; the goal is 0.83 or
// more).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/glyph_writer.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/string_draw.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/vertex_batch.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/d3d_device.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/test_controls.h"
#include "platform/text_encoding.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "String line: DrawFontString vs the same glyphs drawn directly (direct time / entry time, goal >= 0.83)");
  return summary;
}

struct Line {
  int bits = 0;
  int font = -1;
  std::string text;
  std::vector<const GlyphEntry*> glyphs;
  std::vector<double> pens;
};

// The graphics started for one line at a time: 16 or 32 bits in software
// rendering, or kTexturePath (16 bits, Direct3D, texture glyph caches).
constexpr int kTexturePath = 1016;
constexpr int kLinesPerScene = 10;

// The graphics started for one line (or tried) from the library's reset
// state, and taken down again at the end of the benchmark.
class LineSetUp {
  engine_bench::FreshLibrary fresh_;

 public:
  explicit LineSetUp(int bits) { Start(bits); }
  ~LineSetUp() { TerminateGraphics(); }
  LineSetUp(const LineSetUp&) = delete;
  LineSetUp& operator=(const LineSetUp&) = delete;

  Line line;

 private:
  void Start(int bits);
};

void LineSetUp::Start(int bits) {
  const bool texture = bits == kTexturePath;
  engine_bench::PrepareWindowedGraphics(texture ? 16 : 32);
  GetScreenColorState().ScreenBits = texture ? 16 : bits;
  if (texture) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    platform::d3d::InstallOpenGlDirect3D();
    EnableTextureGraphsForTest(1);
  } else {
    EnableTextureGraphsForTest(0);
  }
  SetRenderingMode(texture ? 1 : 0);
  line.font = -1;
  line.bits = bits;
  if (InitializeGraphics() != 0 || (texture && IsUsing3DDrawing() == 0)) return;
  SetTargetScreen(-2);
  line.font = CreateFontToHandle(nullptr, 16, 4, 0, 1, -1, 0, -1, -1);
  line.text = platform::Utf8ToSjis(reinterpret_cast<const char*>(
      u8"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所"));
  // 40 characters exactly.
  line.text.resize(80);
  // Warm the cache, then note each glyph and its pen.
  MeasureFontString(line.text.c_str(), -1, line.font, 0);
  FontRecord* record = GetFontRecord(line.font);
  if (record == nullptr || (record->TextureCache != 0) != texture) {
    line.font = -1;
    return;
  }
  double pen = 0;
  for (size_t i = 0; i + 1 < line.text.size(); i += 2) {
    const uint16_t key = static_cast<uint16_t>(static_cast<uint8_t>(line.text[i]) |
                                               static_cast<uint8_t>(line.text[i + 1]) << 8);
    const GlyphEntry* g = FindCachedGlyph(*record, key);
    if (g == nullptr) {
      line.font = -1;
      return;
    }
    line.glyphs.push_back(g);
    line.pens.push_back(pen);
    pen += g->Advance + record->Spacing;
  }
}

void Report(benchmark::State& state, int bits) {
  const std::string entry = "entry " + std::to_string(bits), direct = "direct " + std::to_string(bits);
  auto ratio = Registry().Compare(state, "direct_over_entry", entry, direct);
  if (ratio) {
    char text[128];
    if (bits == kTexturePath) {
      std::snprintf(text, sizeof text, "16 bits texture path direct/entry %.3f", *ratio);
    } else {
      std::snprintf(text, sizeof text, "%2d bits memory path  direct/entry %.3f", bits, *ratio);
    }
    Registry().SetLine("line " + std::to_string(bits), text);
  }
}

void BM_StringDirectGlyphWrites(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  LineSetUp setUp(bits);
  Line& l = setUp.line;
  if (l.font == -1) return state.SkipWithError("graphics or font not started");
  const FontRecord& record = *GetFontRecord(l.font);
  const uint32_t colour = PackScreenColor(255, 255, 255);
  GlyphWriteRequest request;
  request.Dest = &GetMainSurfaces().BackMemImg;
  request.Clip = CurrentDrawState.DrawArea;
  request.X = 8;
  request.Y = 200;
  request.Main = ComputeStringColorForms(colour, 0xFFFFFF).memory;
  request.ScreenBits = bits;
  const double ns = TimedNs(state, [&] {
    for (size_t i = 0; i < l.glyphs.size(); ++i) {
      request.Pen = l.pens[i];
      WriteGlyphToMemImg(request, record, *l.glyphs[i]);
    }
    benchmark::ClobberMemory();
  });
  Registry().Record("direct " + std::to_string(bits), ns);
  Report(state, bits);
}

void BM_StringDrawEntry(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  LineSetUp setUp(bits);
  Line& l = setUp.line;
  if (l.font == -1) return state.SkipWithError("graphics or font not started");
  const uint32_t colour = PackScreenColor(255, 255, 255);
  const double ns = TimedNs(state, [&] {
    DrawFontString(8, 200, l.text.c_str(), colour, l.font, 0, 0);
    benchmark::ClobberMemory();
  });
  Registry().Record("entry " + std::to_string(bits), ns);
  Report(state, bits);
}

// The texture path: each glyph's cell of the cache graph drawn with
// BlitGraphPart where the string puts it, DrawBright in the text colour.
void BM_StringDirectTexturePartDraws(benchmark::State& state) {
  LineSetUp setUp(kTexturePath);
  Line& l = setUp.line;
  if (l.font == -1) return state.SkipWithError("no OpenGL 3D device or texture glyph cache");
  const FontRecord& record = *GetFontRecord(l.font);
  const int perColumn = record.CellsPerColumn > 0 ? record.CellsPerColumn : 1;
  struct Part {
    int x, y, sx, sy, w, h;
  };
  std::vector<Part> parts;
  for (size_t i = 0; i < l.glyphs.size(); ++i) {
    const GlyphEntry& g = *l.glyphs[i];
    if (g.Width == 0 || g.Height == 0) continue;
    parts.push_back({8 + static_cast<int>(l.pens[i]) + g.OriginX, 200 + g.Top, g.Cell / perColumn * record.CellSize,
                     g.Cell % perColumn * record.CellSize, g.Width, g.Height});
  }
  const uint32_t bright = CurrentDrawState.DrawBright;
  SetDrawBrightPacked(ComputeStringColorForms(PackScreenColor(255, 255, 255), 0xFFFFFF).texture & 0xFFFFFFu);
  const double ns = TimedNs(state, [&] {
    for (int line = 0; line < kLinesPerScene; ++line) {
      for (const Part& p : parts) BlitGraphPart(p.x, p.y, p.sx, p.sy, p.w, p.h, record.CacheGraph, 1, 0);
    }
    EndCurrentScene3D();
  });
  SetDrawBrightPacked(bright & 0xFFFFFFu);
  Registry().Record("direct " + std::to_string(kTexturePath), ns);
  Report(state, kTexturePath);
}

void BM_StringDrawEntryTexture(benchmark::State& state) {
  LineSetUp setUp(kTexturePath);
  Line& l = setUp.line;
  if (l.font == -1) return state.SkipWithError("no OpenGL 3D device or texture glyph cache");
  const uint32_t colour = PackScreenColor(255, 255, 255);
  const double ns = TimedNs(state, [&] {
    for (int line = 0; line < kLinesPerScene; ++line) DrawFontString(8, 200, l.text.c_str(), colour, l.font, 0, 0);
    EndCurrentScene3D();
  });
  Registry().Record("entry " + std::to_string(kTexturePath), ns);
  Report(state, kTexturePath);
}

BENCHMARK(BM_StringDirectGlyphWrites)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringDrawEntry)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringDirectTexturePartDraws)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringDrawEntryTexture)->Unit(benchmark::kMicrosecond);

}  // namespace
