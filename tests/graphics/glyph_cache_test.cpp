// The glyph cache over the test font: keys, cell contents of memory and
// texture caches per font type at two sizes, the ring, and glyphs larger
// than their cells. At cell height 20 one design step of the test font is
// one pixel, at 40 two, so the pictures below are its designs drawn out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/graph_image.h"
#include "font/test_fonts.h"
#include "graphics_fixture.h"

namespace {

using Picture = std::vector<std::string>;

Picture Repeat(int n, const std::string& row) { return Picture(static_cast<size_t>(n), row); }
Picture Join(std::initializer_list<Picture> parts) {
  Picture all;
  for (const Picture& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Picture Doubled(const Picture& rows) {
  Picture out;
  for (const std::string& row : rows) {
    std::string wide;
    for (char c : row) wide.append(2, c);
    out.push_back(wide);
    out.push_back(wide);
  }
  return out;
}

const Picture kL = Join({Repeat(10, "##..."), Repeat(2, "#####")});

// A region of a memory cell as characters: type 0 '#' for a set bit; type
// 1 '#' glyph, 'o' edge; type 2 the value as a hex digit; type 3 two hex
// digits a pixel (glyph level - 1 low, edge level high). '.' (type 3: "..")
// is 0.
Picture MemoryCell(const FontRecord& r, int cell, int width, int height) {
  Picture rows;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = r.MemoryCache.data() + (size_t(cell) * r.CellSize + size_t(y)) * size_t(r.MemoryCachePitch);
    std::string text;
    for (int x = 0; x < width; ++x) {
      if (r.Type == 0) {
        text += (row[x / 8] & (0x80 >> (x % 8))) ? '#' : '.';
        continue;
      }
      const int v = row[x];
      if (r.Type == 1) {
        text += v == 0 ? '.' : v == 1 ? '#' : v == 2 ? 'o' : '?';
      } else if (r.Type == 2) {
        text += v == 0 ? '.' : "0123456789abcdef"[v & 15];
      } else {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", v);
        text += v == 0 ? std::string("..") : std::string(pair);
        text += ' ';
      }
    }
    rows.push_back(text);
  }
  return rows;
}

// Everything of the cell outside the width x height corner is clear.
bool CellClearOutside(const FontRecord& r, int cell, int width, int height) {
  for (int y = 0; y < r.CellSize; ++y) {
    const uint8_t* row = r.MemoryCache.data() + (size_t(cell) * r.CellSize + size_t(y)) * size_t(r.MemoryCachePitch);
    for (int x = 0; x < r.MemoryCachePitch * (r.Type == 0 ? 8 : 1); ++x) {
      const bool set = r.Type == 0 ? (row[x / 8] & (0x80 >> (x % 8))) != 0 : row[x] != 0;
      if (set && (x >= width || y >= height)) return false;
    }
  }
  return true;
}

CharacterKey Key(uint16_t code) {
  CharacterKey k;
  if (code > 0xFF) {
    k.First = uint8_t(code >> 8);
    k.Trail = uint8_t(code & 0xFF);
  } else {
    k.First = uint8_t(code);
  }
  return k;
}

class GlyphCacheTest : public graphics_test::GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    fonttest::TestFonts::Get();
    UseSoftwareRendering(32);
    ResetFontTable();
    SetFontCacheHooks({});
  }
  void TearDown() override {
    ResetFontTable();
    SetFontCacheHooks({});
    GraphicsTest::TearDown();
  }
  // The test font, regular weight.
  int Font(int size, int type, int edge = -1, int italic = 0) {
    const int handle = CreateFontToHandle(face_.c_str(), size, 4, type, 1, edge, italic, -1, -1);
    EXPECT_NE(handle, -1);
    return handle;
  }
  const GlyphEntry* Render(int handle, uint16_t code) {
    const CharacterKey key = Key(code);
    return FillGlyphCache(handle, 1, &key);
  }
  const std::string face_ = fonttest::Sjis(u8"ベスク試験");
};

TEST_F(GlyphCacheTest, KeysFromText) {
  const int handle = Font(20, 0);
  const struct {
    const char* text;
    int limit;
    std::vector<uint16_t> keys;
    int bytes;
  } cases[] = {
      {"\x81\x40", -1, {0x4081}, 2},
      {"A", -1, {0x0041}, 1},
      {"A\x82\xA0z", -1, {0x0041, 0xA082, 0x007A}, 4},
      {"\x82\xA0x", 1, {0xA082}, 2},    // a lead byte at the limit takes its follower
      {"\x82", -1, {0x0082}, 1},        // a lead byte at the end stands alone
      {"\xA1\x41", -1, {0x00A1, 0x0041}, 2},  // 0xA1 leads no Shift-JIS pair
      {"ABC", 0, {}, 0},
      {"", -1, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CharacterKey keys[kMaxLayoutKeys];
    int count = -1, bytes = -1;
    ASSERT_EQ(LayoutFontString(handle, c.text, c.limit, keys, &count, &bytes), 0);
    ASSERT_EQ(count, int(c.keys.size()));
    EXPECT_EQ(bytes, c.bytes);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(CharacterKeyValue(keys[i]), c.keys[size_t(i)]) << i;
      EXPECT_EQ(keys[i].Zero, 0);
      EXPECT_NE(FindCachedGlyph(*GetFontRecord(handle), c.keys[size_t(i)]), nullptr) << "rendered";
    }
  }
  // Longer strings are laid out 256 characters at a time.
  const std::string line(300, 'x');
  int count = 0, bytes = 0;
  ASSERT_EQ(LayoutFontString(handle, line.c_str(), -1, nullptr, &count, &bytes), 0);
  EXPECT_EQ(count, kMaxLayoutKeys);
  EXPECT_EQ(bytes, kMaxLayoutKeys);
  EXPECT_EQ(LayoutFontString(0x20000000 | 39, "A", -1, nullptr, &count), -1);
  EXPECT_EQ(ClearGlyphCache(-1), -1);
  EXPECT_EQ(Render(-1, 'A'), nullptr);
  EXPECT_EQ(FillGlyphCache(handle, 0, nullptr), nullptr);
  GetDisplayState().GraphicsLost = 1;
  EXPECT_EQ(Render(handle, 'A'), nullptr) << "nothing renders while the display is lost";
  GetDisplayState().GraphicsLost = 0;
}

TEST_F(GlyphCacheTest, MemoryCellsPerTypeAtTwoSizes) {
  // Plain and antialiased 'L': the black box at the cell's corner.
  for (int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    const Picture expected = scale == 1 ? kL : Doubled(kL);
    const int w = 5 * scale, h = 12 * scale;
    for (int type : {0, 2}) {
      const int handle = Font(20 * scale, type);
      const GlyphEntry* e = Render(handle, 'L');
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->Cell, 0);
      EXPECT_EQ(e->OriginX, 2 * scale);
      EXPECT_EQ(e->Top, 4 * scale);
      EXPECT_EQ(e->Advance, 8 * scale);
      EXPECT_EQ(e->Width, w);
      EXPECT_EQ(e->Height, h);
      const FontRecord& r = *GetFontRecord(handle);
      Picture cell = MemoryCell(r, 0, w, h);
      if (type == 2) {
        for (std::string& row : cell) std::replace(row.begin(), row.end(), 'f', '#');
      }
      EXPECT_EQ(cell, expected) << "type " << type;
      EXPECT_TRUE(CellClearOutside(r, 0, w, h));
      DeleteFontHandle(handle);
    }
  }

  // Edge 1: the glyph at (1, 1), its four neighbours around it.
  const Picture edged = Join({{".oo...."}, Repeat(9, "o##o..."), {"o##ooo."}, Repeat(2, "o#####o"), {".ooooo."}});
  int handle = Font(20, 1, 1);
  const GlyphEntry* e = Render(handle, 'L');
  EXPECT_EQ(e->Width, 7);
  EXPECT_EQ(e->Height, 14);
  EXPECT_EQ(e->Advance, 10);
  EXPECT_EQ(MemoryCell(*GetFontRecord(handle), 0, 7, 14), edged);
  EXPECT_TRUE(CellClearOutside(*GetFontRecord(handle), 0, 7, 14));
  DeleteFontHandle(handle);

  // Coverage levels 1, 3 ... 15 of the wedge keep level - 1; level 1 is 0.
  handle = Font(20, 2);
  Render(handle, '\\');
  EXPECT_EQ(MemoryCell(*GetFontRecord(handle), 0, 8, 1), Picture{".2468ace"});
  DeleteFontHandle(handle);

  // Antialiased with edge 1: glyph level - 1 low, the largest neighbouring
  // level - 1 high.
  handle = Font(20, 3, 1);
  Render(handle, '\\');
  const Picture mixed = {
      ".. .. 20 40 60 80 a0 c0 e0 .. ",
      ".. 20 42 64 86 a8 ca ec ce e0 ",
      ".. .. 20 40 60 80 a0 c0 e0 .. ",
  };
  EXPECT_EQ(MemoryCell(*GetFontRecord(handle), 0, 10, 3), mixed);
  DeleteFontHandle(handle);
}

TEST_F(GlyphCacheTest, SpacesAndEdgeSizes) {
  const int handle = Font(20, 1, 1);
  const GlyphEntry* space = Render(handle, ' ');
  EXPECT_EQ(space->Width, 2);
  EXPECT_EQ(space->Height, 2);
  EXPECT_EQ(space->Advance, 10);
  const GlyphEntry* wide = Render(handle, 0x8140);
  EXPECT_EQ(wide->Advance, 18);
  EXPECT_EQ(wide->Width, 2);
  EXPECT_TRUE(CellClearOutside(*GetFontRecord(handle), 0, 0, 0));
  EXPECT_TRUE(CellClearOutside(*GetFontRecord(handle), 1, 0, 0));

  // An edge of size 2 covers the glyph pixel itself: 'I' is 2 x 12 at (2, 2).
  const int thick = Font(20, 3, 2);
  Render(thick, 'I');
  const Picture top = MemoryCell(*GetFontRecord(thick), 0, 6, 3);
  EXPECT_EQ(top, (Picture{".. f0 f0 f0 f0 .. ", "f0 f0 f0 f0 f0 f0 ", "f0 f0 ff ff f0 f0 "}));
}

TEST(EdgeMasks, ShapesBySize) {
  const struct {
    int size;
    Picture rows;
  } cases[] = {
      {1, {".#.", "#.#", ".#."}},
      {2, {".###.", "#####", "#####", "#####", ".###."}},
      {3, {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."}},
      {4, {"..#####..", ".#######.", "#########", "#########", "#########", "#########", "#########",
           ".#######.", "..#####.."}},
      {5, Repeat(11, std::string(11, '#'))},
      {7, Repeat(15, std::string(15, '#'))},
  };
  for (const auto& c : cases) {
    Picture got;
    for (int b = -c.size; b <= c.size; ++b) {
      std::string row;
      for (int a = -c.size; a <= c.size; ++a) row += EdgeMaskCovers(c.size, a, b) ? '#' : '.';
      got.push_back(row);
    }
    EXPECT_EQ(got, c.rows) << "size " << c.size;
    EXPECT_FALSE(EdgeMaskCovers(c.size, c.size + 1, 0));
  }
}

TEST(TexturePixels, LevelsMasksUnionsAndFormats) {
  ColorFormat argb4{}, argb1{}, rgb565{};
  CreateColorFormat(&argb4, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
  CreateColorFormat(&argb1, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
  CreateColorFormat(&rgb565, 16, 0xF800, 0x07E0, 0x001F, 0);
  const struct {
    int level;
    uint16_t pixel;
  } levels[] = {{0, 0x0FFF}, {1, 0x0FFF}, {2, 0x1FFF}, {8, 0x7FFF}, {15, 0xEFFF}, {16, 0xFFFF}};
  for (const auto& l : levels) EXPECT_EQ(TextureLevelPixel(argb4, l.level), l.pixel) << l.level;
  EXPECT_EQ(TextureMaskPixel(argb1, true), 0xFFFF);
  EXPECT_EQ(TextureMaskPixel(argb1, false), 0x7FFF);
  const struct {
    int e, v, out;
  } unions[] = {{0, 16, 16}, {0, 8, 8}, {8, 8, 12}, {0, 1, 1}, {15, 1, 15}, {16, 0, 16}, {0, 0, 0}};
  for (const auto& u : unions) EXPECT_EQ(UnionEdgeLevel(u.e, u.v), u.out) << u.e << "," << u.v;
  EXPECT_TRUE(TextureGlyphFormatsFit(argb4, argb1));
  EXPECT_FALSE(TextureGlyphFormatsFit(argb1, argb4));
  EXPECT_FALSE(TextureGlyphFormatsFit(argb4, rgb565));
}

TEST_F(GlyphCacheTest, TheRingReusesCellsInOrder) {
  const int handle = Font(128, 0);
  FontRecord& r = *GetFontRecord(handle);
  ASSERT_EQ(r.CellCount, 20);
  // 25 distinct characters in one batch: the last five take cells 0-4.
  std::vector<CharacterKey> keys;
  for (int i = 0; i < 25; ++i) keys.push_back(Key(uint16_t('A' + i)));
  const GlyphEntry* last = FillGlyphCache(handle, 25, keys.data());
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Cell, 4);
  for (int i = 0; i < 25; ++i) {
    const GlyphEntry* e = FindCachedGlyph(r, uint16_t('A' + i));
    if (i < 5) {
      EXPECT_EQ(e, nullptr) << char('A' + i);
    } else {
      ASSERT_NE(e, nullptr) << char('A' + i);
      EXPECT_EQ(e->Cell, i < 20 ? i : i - 20);
    }
  }
  EXPECT_EQ(r.NextCell, 5);

  // A repeated uncached character takes two cells; its key names the later.
  ClearGlyphCache(handle);
  int count = 0;
  ASSERT_EQ(LayoutFontString(handle, "QRQ", -1, nullptr, &count), 0);
  EXPECT_EQ(r.NextCell, 3);
  EXPECT_EQ(FindCachedGlyph(r, 'Q')->Cell, 2);
  // Cell 0 leaving the ring does not take the later cell's key with it.
  for (int i = 0; i < 18; ++i) Render(handle, uint16_t('a' + i));
  EXPECT_EQ(r.NextCell, 1);
  EXPECT_EQ(FindCachedGlyph(r, 'Q')->Cell, 2);

  // A batch stops at the cell count; later characters render one by one,
  // each evicting the oldest cell.
  ClearGlyphCache(handle);
  const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  CharacterKey laid[kMaxLayoutKeys];
  ASSERT_EQ(LayoutFontString(handle, text.c_str(), -1, laid, &count), 0);
  EXPECT_EQ(count, 25);
  EXPECT_EQ(r.NextCell, 0) << "20 rendered, the ring back at its start";
  EXPECT_EQ(FindCachedGlyph(r, 'T')->Cell, 19);
  EXPECT_EQ(FindCachedGlyph(r, 'U'), nullptr);
  for (int i = 20; i < count; ++i) {
    if (FindCachedGlyph(r, CharacterKeyValue(laid[i])) == nullptr) FillGlyphCache(handle, 1, &laid[i]);
  }
  EXPECT_EQ(FindCachedGlyph(r, 'U')->Cell, 0);
  EXPECT_EQ(FindCachedGlyph(r, 'A'), nullptr) << "the oldest went";
  // A wrapped-out glyph renders again on its next use.
  ASSERT_EQ(LayoutFontString(handle, "A", -1, nullptr, &count), 0);
  EXPECT_EQ(FindCachedGlyph(r, 'A')->Cell, 5);
  EXPECT_EQ(FindCachedGlyph(r, 'F'), nullptr);
}

TEST_F(GlyphCacheTest, GlyphsLargerThanTheCellStayInside) {
  // The geta mark is 30 pixels wide at size 20, the cell 24; italics lean
  // out of their boxes.
  for (int italic : {0, 1}) {
    for (int type : {0, 1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " italic " << italic);
      const int handle = Font(20, type, -1, italic);
      FontRecord& r = *GetFontRecord(handle);
      const uint16_t codes[] = {0x81AC, 'L', 'O', '_', 0x93FA};
      for (int i = 0; i < 5; ++i) {
        const GlyphEntry* e = Render(handle, codes[i]);
        EXPECT_LE(e->Width, r.CellSize);
        EXPECT_LE(e->Height, r.CellSize);
        EXPECT_TRUE(CellClearOutside(r, 2 * i, r.CellSize, r.CellSize));
        EXPECT_TRUE(CellClearOutside(r, 2 * i + 1, 0, 0)) << "the next cell stays clear";
        Render(handle, ' ');  // an empty cell between glyphs
      }
      DeleteFontHandle(handle);
    }
  }
}

// A texture cache whose "graph" is a plain array of texture pixels the
// transfers write into.
class TextureGlyphCacheTest : public GlyphCacheTest {
 protected:
  void SetUp() override {
    GlyphCacheTest::SetUp();
    FontCacheHooks hooks;
    hooks.texture_formats = [](ColorFormat* alpha, ColorFormat* mask) {
      CreateColorFormat(alpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
      CreateColorFormat(mask, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
      return true;
    };
    hooks.create_cache_graphs = [this](FontRecord& f) {
      const bool edged = (f.Type & kFontTypeEdge) != 0;
      width_ = f.CacheWidth * (edged ? 2 : 1);
      texture_.assign(size_t(width_) * size_t(f.CacheHeight), 0);
      f.CacheGraph = 77;
      f.EdgeCacheGraph = edged ? 78 : -1;
      return 0;
    };
    hooks.transfer_image_rect = [this](const GraphImage& image, int left, int top, int right, int bottom, int x,
                                       int y, int graph) {
      EXPECT_EQ(graph, 77);
      EXPECT_EQ(image.Format.BitDepth, 16);
      for (int sy = top; sy < bottom; ++sy) {
        for (int sx = left; sx < right; ++sx) {
          uint16_t p;
          std::memcpy(&p, image.Pixels + size_t(sy) * size_t(image.Pitch) + size_t(sx) * 2, 2);
          texture_[size_t(y + sy - top) * size_t(width_) + size_t(x + sx - left)] = p;
        }
      }
      ++transfers_;
      return 0;
    };
    SetFontCacheHooks(hooks);
  }
  uint16_t At(int x, int y) const { return texture_[size_t(y) * size_t(width_) + size_t(x)]; }
  // Pixels outside the square (x, y, size) that are not 0.
  int Outside(int x0, int y0, int size) const {
    int n = 0;
    for (int y = 0; y < int(texture_.size()) / width_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const bool inside = x >= x0 && x < x0 + size && y >= y0 && y < y0 + size;
        const bool edgeSide = x >= x0 + width_ / 2 && x < x0 + width_ / 2 + size && y >= y0 && y < y0 + size;
        if (At(x, y) != 0 && !inside && !(width_ > 512 && edgeSide)) ++n;
      }
    }
    return n;
  }
  std::vector<uint16_t> texture_;
  int width_ = 0;
  int transfers_ = 0;
};

TEST_F(TextureGlyphCacheTest, CellsHoldTexturePixels) {
  // Plain 'L' in cell 1 of a 24-pixel cell cache (21 cells a column): at
  // (0, 24). Set pixels white with alpha, the rest of the box alpha 0.
  int handle = Font(20, 0);
  ASSERT_EQ(GetFontRecord(handle)->TextureCache, 1);
  Render(handle, 'I');
  Render(handle, 'L');
  EXPECT_EQ(transfers_, 2);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(At(x, 24 + y), kL[size_t(y)][size_t(x)] == '#' ? 0xFFFF : 0x7FFF) << x << "," << y;
    }
  }
  EXPECT_EQ(At(5, 24), 0);
  DeleteFontHandle(handle);

  // Antialiased: the level formula; level 1 carries no alpha.
  handle = Font(20, 2);
  Render(handle, '\\');
  const uint16_t wedge[8] = {0x0FFF, 0x2FFF, 0x4FFF, 0x6FFF, 0x8FFF, 0xAFFF, 0xCFFF, 0xEFFF};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(At(x, 0), wedge[x]) << x;
  DeleteFontHandle(handle);

  // Edge 1, bitmap: the glyph at (1, 1) on the left, its edge on the right
  // half (the edge cache graph, 512 further).
  handle = Font(20, 1, 1);
  Render(handle, 'I');
  EXPECT_EQ(transfers_, 5) << "left and right half";
  EXPECT_EQ(At(1, 1), 0xFFFF);
  EXPECT_EQ(At(0, 1) & 0x8000, 0);
  EXPECT_EQ(At(512 + 0, 1), 0xFFFF);
  EXPECT_EQ(At(512 + 1, 0), 0xFFFF);
  EXPECT_EQ(At(512 + 0, 0) & 0x8000, 0) << "no diagonal at edge size 1";
  EXPECT_EQ(At(512 + 1, 1), 0xFFFF) << "neighbouring glyph pixels paint each other";
  EXPECT_EQ(Outside(0, 0, 24), 0);
  DeleteFontHandle(handle);

  // Edge 1, grey: levels joined by the union, then turned into pixels.
  handle = Font(20, 3, 1);
  Render(handle, '\\');
  EXPECT_EQ(At(1, 1), 0x0FFF) << "level 1";
  EXPECT_EQ(At(8, 1), 0xEFFF) << "level 15";
  EXPECT_EQ(At(512 + 8, 0), 0xEFFF) << "the edge above level 15";
  EXPECT_EQ(At(512 + 1, 0), 0x0FFF) << "the edge above level 1";
  // Beside the last pixel: only its neighbour's level 13; after it 15.
  EXPECT_EQ(At(512 + 8, 1), 0xCFFF);
  EXPECT_EQ(At(512 + 9, 1), 0xEFFF);
  DeleteFontHandle(handle);
}

TEST_F(TextureGlyphCacheTest, GlyphsLargerThanTheCellStayInside) {
  for (int type : {0, 1, 2, 3}) {
    for (int italic : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " italic " << italic);
      const int handle = Font(20, type, -1, italic);
      ASSERT_EQ(GetFontRecord(handle)->TextureCache, 1);
      const GlyphEntry* e = Render(handle, 0x81AC);
      EXPECT_EQ(e->Width, GetFontRecord(handle)->CellSize);
      EXPECT_EQ(Outside(0, 0, GetFontRecord(handle)->CellSize), 0);
      DeleteFontHandle(handle);
    }
  }
}

}  // namespace
