// Glyph rendering of the font faces (size query, then the bitmap, as the
// glyph cache asks for them) against FreeType rendering the same glyphs at
// the same em size by itself, in the same run.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <vector>

#include "platform/font_faces.h"
#include "platform/text_encoding.h"

namespace {

// 64 kanji of the first level, as Shift-JIS codes, and their code points.
std::vector<uint32_t> KanjiCodes() {
  std::vector<uint32_t> codes;
  for (uint32_t trail = 0x9F; trail < 0x9F + 64; ++trail) codes.push_back(0x8800 | trail);
  return codes;
}

std::unique_ptr<platform::FontFace> DefaultFace() {
  platform::FontRequest request;
  request.height = 16;
  return platform::CreateFontFace(request);
}

void FaceGlyphs(benchmark::State& state, platform::GlyphFormat format) {
  auto face = DefaultFace();
  if (!face) {
    state.SkipWithError("no font");
    return;
  }
  const std::vector<uint32_t> codes = KanjiCodes();
  std::vector<uint8_t> buffer(64 * 1024);
  for (auto _ : state) {
    for (uint32_t code : codes) {
      platform::GlyphMetrics metrics;
      const int64_t size = face->GlyphOutline(code, format, &metrics, nullptr, 0);
      benchmark::DoNotOptimize(face->GlyphOutline(code, format, &metrics, buffer.data(), static_cast<size_t>(size)));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(codes.size()));
}

void FreeTypeGlyphs(benchmark::State& state, FT_Int32 target) {
  auto face = DefaultFace();
  FT_Library library = nullptr;
  FT_Face ft = nullptr;
  if (!face || FT_Init_FreeType(&library) != 0 || FT_New_Face(library, face->File().c_str(), 0, &ft) != 0) {
    state.SkipWithError("no font");
    return;
  }
  FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(face->Metrics().pixels_per_em));
  std::vector<FT_ULong> chars;
  for (uint32_t code : KanjiCodes()) chars.push_back(platform::SjisCharToCodePoint(code >> 8, code & 0xFF));
  for (auto _ : state) {
    for (FT_ULong c : chars) {
      FT_Load_Char(ft, c, FT_LOAD_RENDER | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | target);
      benchmark::DoNotOptimize(ft->glyph->bitmap.buffer);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(chars.size()));
  FT_Done_Face(ft);
  FT_Done_FreeType(library);
}

void BM_FontGlyphs_Mono(benchmark::State& state) { FaceGlyphs(state, platform::GlyphFormat::kMono); }
void BM_FontGlyphs_Mono_Reference_FreeType(benchmark::State& state) { FreeTypeGlyphs(state, FT_LOAD_TARGET_MONO); }
void BM_FontGlyphs_Grey(benchmark::State& state) { FaceGlyphs(state, platform::GlyphFormat::kGray); }
void BM_FontGlyphs_Grey_Reference_FreeType(benchmark::State& state) { FreeTypeGlyphs(state, FT_LOAD_TARGET_NORMAL); }
BENCHMARK(BM_FontGlyphs_Mono);
BENCHMARK(BM_FontGlyphs_Mono_Reference_FreeType);
BENCHMARK(BM_FontGlyphs_Grey);
BENCHMARK(BM_FontGlyphs_Grey_Reference_FreeType);

}  // namespace
