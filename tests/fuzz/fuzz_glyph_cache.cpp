// A damaged font file added as a private font, its glyphs rendered into the
// memory glyph caches of the four font types and written out with the glyph
// writer, horizontal and vertical, at 16 and 32 bits: nothing may crash or
// reach outside a cell or an image, and no entry may be larger than its cell.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/glyph_writer.h"
#include "engine/graphics/image/memimg.h"
#include "platform/font_faces.h"
#include "tests/fuzz/private_font_input.h"

namespace {

using private_font_input::Check;

std::unique_ptr<FontRecord> MemoryFont(std::unique_ptr<platform::FontFace> face, uint32_t type, int edge) {
  auto r = std::make_unique<FontRecord>();
  r->Face = std::move(face);
  r->Type = type;
  r->EdgeSize = edge;
  const platform::TextMetrics& m = r->Face->Metrics();
  const FontCellGeometry g = ComputeFontCellGeometry(m.max_char_width, m.height, type, edge);
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

void Exercise(FontRecord& font, const std::vector<CharacterKey>& keys) {
  FillGlyphCache(font, int(keys.size()), keys.data());
  std::vector<uint32_t> pixels(64 * 64, 0);
  MEMIMG image{};
  image.Width = 64;
  image.Height = 64;
  image.Pixels = reinterpret_cast<uint8_t*>(pixels.data());
  for (const CharacterKey& key : keys) {
    const GlyphEntry* e = FindCachedGlyph(font, CharacterKeyValue(key));
    if (e == nullptr) continue;
    Check(e->Width >= 0 && e->Width <= font.CellSize && e->Height >= 0 && e->Height <= font.CellSize);
    for (int bits : {16, 32}) {
      for (bool vertical : {false, true}) {
        image.Pitch = bits == 16 && (font.Type & kFontTypeAntialias) == 0 ? 128 : 256;
        GlyphWriteRequest request;
        request.Dest = &image;
        request.Clip = {-10, -10, 80, 80};
        request.X = vertical ? 40 : -3;
        request.Y = 5;
        request.Pen = 7.5;
        request.Vertical = vertical;
        request.Main = 0xFFFFFF;
        request.Edge = 0x123456;
        request.ScreenBits = bits;
        WriteGlyphToMemImg(request, font, *e);
      }
    }
  }
}

}  // namespace

// The font configuration library loses a few hundred bytes while it reads
// its configuration files once per process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  private_font_input::InstalledNames();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const private_font_input::FontFile file = private_font_input::TemporaryFontFile("fuzz_glyph_cache");
  if (!private_font_input::AddAsPrivateFont(file, data, size)) return 0;
  const std::vector<std::string> names = private_font_input::FaceNamesToTry(4);
  std::vector<CharacterKey> keys;
  for (uint16_t code : {uint16_t('A'), uint16_t('/'), uint16_t(' '), uint16_t(0x8140), uint16_t(0x82A0),
                        uint16_t(0x81AC), uint16_t(0x839F)}) {
    keys.push_back(CharacterKey{uint8_t(code > 0xFF ? code >> 8 : code), uint8_t(code > 0xFF ? code & 0xFF : 0), 0});
  }
  if (size >= 2) keys.push_back(CharacterKey{data[size - 2], data[size - 1], 0});
  for (const std::string& name : names) {
    for (uint32_t type = 0; type < 4; ++type) {
      platform::FontRequest request;
      request.face_name = name;
      request.height = type % 2 == 0 ? 13 : 27;
      request.weight = type == 3 ? 700 : 400;
      request.italic = type >= 2;
      std::unique_ptr<platform::FontFace> face = platform::CreateFontFace(request);
      if (!face || face->File() != file.native) continue;
      auto font = MemoryFont(std::move(face), type, type == 3 ? 3 : 1);
      Exercise(*font, keys);
    }
  }
  platform::RemovePrivateFontFile(file.engine);
  return 0;
}
