// FillGlyphCache of 256 distinct kanji at size 24 into a memory cache, per
// font type, against FreeType loading and rendering the same glyphs in the
// same mode (mono for types 0 and 1, grey for 2 and 3) by itself, in the
// same run. Printed at the end as time ratios reference / cache (1 = as
// fast as the bare render; the goal for types 0 and 2 is 0.8 or more).
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "platform/clock.h"
#include "platform/font_faces.h"
#include "platform/text_encoding.h"

namespace {

constexpr int kSize = 24;

struct Ratios {
  std::map<std::string, double> ns;
  ~Ratios() {
    if (ns.empty()) return;
    std::printf("\nGlyph cache fill vs FreeType render (time ratio reference / fill, goal >= 0.8 for types 0 and 2)\n");
    for (int type = 0; type < 4; ++type) {
      const std::string name = "type " + std::to_string(type);
      const std::string reference = type < 2 ? "mono" : "grey";
      if (ns.count(name) && ns.count(reference) && ns[name] > 0) {
        std::printf("  %-8s %6.3f\n", name.c_str(), ns[reference] / ns[name]);
      }
    }
  }
};
Ratios& Summary() {
  static Ratios ratios;
  return ratios;
}

template <class F>
void Timed(benchmark::State& state, const std::string& name, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  if (state.iterations() > 0) Summary().ns[name] = double(t1 - t0) * 1000.0 / double(state.iterations());
}

// 256 kanji of the first level, as Shift-JIS codes.
std::vector<uint16_t> Kanji() {
  std::vector<uint16_t> codes;
  for (int trail = 0x9F; trail <= 0xFC; ++trail) codes.push_back(uint16_t(0x8800 | trail));
  for (int trail = 0x40; trail <= 0xFC && codes.size() < 256; ++trail) {
    if (trail != 0x7F) codes.push_back(uint16_t(0x8900 | trail));
  }
  return codes;
}

platform::FontRequest Request() {
  platform::FontRequest request;
  request.height = kSize;
  request.weight = 400;
  return request;
}

// A memory-cache font record of the type, sized as font creation sizes it.
std::unique_ptr<FontRecord> MemoryFont(uint32_t type) {
  auto r = std::make_unique<FontRecord>();
  r->Face = platform::CreateFontFace(Request());
  if (!r->Face) return nullptr;
  r->Type = type;
  r->EdgeSize = 1;
  const platform::TextMetrics& m = r->Face->Metrics();
  const FontCellGeometry g = ComputeFontCellGeometry(m.max_char_width, m.height, type, 1);
  r->CellSize = g.cell_size;
  r->LineHeight = g.line_height;
  r->CellCount = MemoryCacheCellCount(g.cell_size);
  r->CellsPerColumn = r->CellCount;
  r->MemoryCacheBits = type == 0 ? 1 : 8;
  r->MemoryCachePitch = (r->MemoryCacheBits * r->CellSize + 7) / 8;
  r->MemoryCache.assign(size_t(r->MemoryCachePitch) * size_t(r->CellCount) * size_t(r->CellSize), 0);
  ClearGlyphCache(*r);
  return r;
}

void BM_GlyphCacheFill(benchmark::State& state) {
  const auto type = static_cast<uint32_t>(state.range(0));
  auto font = MemoryFont(type);
  if (!font || font->CellCount < 256) {
    state.SkipWithError("no font or too few cells");
    return;
  }
  std::vector<CharacterKey> keys;
  for (uint16_t code : Kanji()) keys.push_back(CharacterKey{uint8_t(code >> 8), uint8_t(code & 0xFF), 0});
  Timed(state, "type " + std::to_string(type), [&] {
    benchmark::DoNotOptimize(FillGlyphCache(*font, int(keys.size()), keys.data()));
  });
  state.SetItemsProcessed(state.iterations() * int64_t(keys.size()));
}

void BM_GlyphCacheFill_Reference_FreeType(benchmark::State& state) {
  const bool mono = state.range(0) == 0;
  auto face = platform::CreateFontFace(Request());
  FT_Library library = nullptr;
  FT_Face ft = nullptr;
  if (!face || FT_Init_FreeType(&library) != 0 || FT_New_Face(library, face->File().c_str(), 0, &ft) != 0) {
    state.SkipWithError("no font");
    return;
  }
  FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(face->Metrics().pixels_per_em));
  std::vector<FT_ULong> chars;
  for (uint16_t code : Kanji()) chars.push_back(platform::SjisCharToCodePoint(code >> 8, code & 0xFF));
  const FT_Int32 flags = FT_LOAD_RENDER | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP |
                         (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  Timed(state, mono ? "mono" : "grey", [&] {
    for (FT_ULong c : chars) {
      FT_Load_Char(ft, c, flags);
      benchmark::DoNotOptimize(ft->glyph->bitmap.buffer);
    }
  });
  state.SetItemsProcessed(state.iterations() * int64_t(chars.size()));
  FT_Done_Face(ft);
  FT_Done_FreeType(library);
}

BENCHMARK(BM_GlyphCacheFill)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlyphCacheFill_Reference_FreeType)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
