// A 40-character Japanese line with a warm glyph cache in software
// rendering: DrawFontString (entry checks, layout, the glyph loop) against
// the glyph writer called directly for the same 40 glyphs at the same
// positions, in the same run, at 16 and 32 bits. Printed at the end as
// direct time / entry time (1.0: no layout overhead; the goal is 0.83 or
// more).
#include <benchmark/benchmark.h>

#include <cstdio>
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
#include "platform/display/test_controls.h"
#include "platform/text_encoding.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "String line: DrawFontString vs direct glyph writes (direct time / entry time, goal >= 0.83)");
  return summary;
}

struct Line {
  int bits = 0;
  int font = -1;
  std::string text;
  std::vector<const GlyphEntry*> glyphs;
  std::vector<double> pens;
};

Line& SetUp(int bits) {
  static Line line;
  if (line.bits == bits) return line;
  if (line.bits != 0) TerminateGraphics();
  platform::display::test::SetDesktop(1024, 768, 32);
  WindowData& w = GetWindowData();
  w.desktop_width = 1024;
  w.desktop_height = 768;
  w.window_mode = 1;
  w.active = 1;
  SetStartupFlag(1);
  GetScreenColorState() = ScreenColorState{};
  GetDisplayState() = DisplayState{};
  GetScreenColorState().ScreenBits = bits;
  SetRenderingMode(0);
  InitializeGraphics();
  SetTargetScreen(-2);
  line.font = CreateFontToHandle(nullptr, 16, 4, 0, 1, -1, 0, -1, -1);
  line.text = platform::Utf8ToSjis(reinterpret_cast<const char*>(
      u8"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所"));
  // 40 characters exactly.
  line.text.resize(80);
  // Warm the cache, then note each glyph and its pen.
  MeasureFontString(line.text.c_str(), -1, line.font, 0);
  FontRecord* record = GetFontRecord(line.font);
  line.glyphs.clear();
  line.pens.clear();
  double pen = 0;
  for (size_t i = 0; i + 1 < line.text.size(); i += 2) {
    const uint16_t key = static_cast<uint16_t>(static_cast<uint8_t>(line.text[i]) |
                                               static_cast<uint8_t>(line.text[i + 1]) << 8);
    const GlyphEntry* g = FindCachedGlyph(*record, key);
    line.glyphs.push_back(g);
    line.pens.push_back(pen);
    pen += g->Advance + record->Spacing;
  }
  line.bits = bits;
  return line;
}

void Report(benchmark::State& state, int bits) {
  const std::string entry = "entry " + std::to_string(bits), direct = "direct " + std::to_string(bits);
  auto ratio = Registry().Compare(state, "direct_over_entry", entry, direct);
  if (ratio) {
    char text[128];
    std::snprintf(text, sizeof text, "%2d bits memory path  direct/entry %.3f", bits, *ratio);
    Registry().SetLine("line " + std::to_string(bits), text);
  }
}

void BM_StringDirectGlyphWrites(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Line& l = SetUp(bits);
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
  Line& l = SetUp(bits);
  const uint32_t colour = PackScreenColor(255, 255, 255);
  const double ns = TimedNs(state, [&] {
    DrawFontString(8, 200, l.text.c_str(), colour, l.font, 0, 0);
    benchmark::ClobberMemory();
  });
  Registry().Record("entry " + std::to_string(bits), ns);
  Report(state, bits);
}

BENCHMARK(BM_StringDirectGlyphWrites)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StringDrawEntry)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
