// The glyph pixel writer on hand-made memory cells: the type-3 mix, the
// value every cell value writes per type and depth, horizontal and
// vertical placement, and clipping to the clip rectangle, the image and the
// cell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/glyph_writer.h"
#include "engine/graphics/image/memimg.h"

namespace {

// A font record of 8-pixel cells filled by hand.
struct HandFont {
  FontRecord record;
  explicit HandFont(uint32_t type) {
    record.Type = type;
    record.CellSize = 8;
    record.CellCount = 2;
    record.LineHeight = 8;
    record.MemoryCacheBits = type == 0 ? 1 : 8;
    record.MemoryCachePitch = type == 0 ? 1 : 8;
    record.MemoryCache.assign(size_t(record.MemoryCachePitch) * 16, 0);
  }
  // Cell 0, value at (x, y): a bit for type 0, a byte otherwise.
  void Set(int x, int y, uint8_t value) {
    uint8_t* row = record.MemoryCache.data() + size_t(y) * size_t(record.MemoryCachePitch);
    if (record.Type == 0) {
      row[x / 8] = uint8_t(value ? row[x / 8] | (0x80 >> (x % 8)) : row[x / 8] & ~(0x80 >> (x % 8)));
    } else {
      row[x] = value;
    }
  }
};

// A 32-bit-unit image filled with a sentinel.
struct Image {
  std::vector<uint32_t> pixels;
  MEMIMG img{};
  Image(int width, int height, int pixelBytes, uint32_t fill) {
    const int pitch = width * pixelBytes;
    pixels.assign(size_t(pitch) * size_t(height) / 4 + 1, fill);
    img.Width = width;
    img.Height = height;
    img.Pitch = pitch;
    img.Pixels = reinterpret_cast<uint8_t*>(pixels.data());
  }
  uint32_t At32(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, img.Pixels + size_t(y) * size_t(img.Pitch) + size_t(x) * 4, 4);
    return v;
  }
};

GlyphEntry Entry(int width, int height) {
  GlyphEntry e;
  e.InUse = 1;
  e.Width = int16_t(width);
  e.Height = int16_t(height);
  return e;
}

TEST(GlyphWriter, TypeThreeMix) {
  const GlyphMix a = MixGlyphLevels(7, 15);
  EXPECT_EQ(a.alpha, 232u);
  EXPECT_EQ(a.weight, 123u);
  EXPECT_EQ(MixGlyphChannel(31, 0, a.weight), 14u);
  EXPECT_EQ(MixGlyphChannel(0, 31, a.weight), 16u) << "floor, not truncation";
  const GlyphMix b = MixGlyphLevels(14, 15);
  EXPECT_EQ(b.alpha, 239u);
  EXPECT_EQ(MixGlyphChannel(63, 0, b.weight), 58u);
  const GlyphMix c = MixGlyphLevels(1, 0);
  EXPECT_EQ(c.weight, 256u);
  EXPECT_EQ(MixGlyphChannel(200, 17, c.weight), 200u);
  EXPECT_EQ(MixGlyphChannel(17, 200, c.weight), 17u);
}

TEST(GlyphWriter, ValuePerTypeAndDepth) {
  const struct {
    const char* what;
    uint32_t type;
    int bits;
    uint8_t cell;
    uint32_t before, main, edge, after;
  } cases[] = {
      {"plain 16", 0, 16, 1, 0xAAAAAAAA, 0x1234, 0, 0xAAAA1234},
      {"plain 32", 0, 32, 1, 0xAAAAAAAA, 0x00123456, 0, 0x00123456},
      {"plain 8", 0, 8, 1, 0xAAAAAAAA, 0x1234, 0, 0xAAAAAA34},
      {"edge glyph 16", 1, 16, 1, 0xAAAAAAAA, 0x1111, 0x2222, 0xAAAA1111},
      {"edge 16", 1, 16, 2, 0xAAAAAAAA, 0x1111, 0x2222, 0xAAAA2222},
      {"edge glyph 32", 1, 32, 1, 0xAAAAAAAA, 0x00ABCDEF, 0xFF123456, 0x00ABCDEF},
      {"edge 32 loses its top byte", 1, 32, 2, 0xAAAAAAAA, 0x00ABCDEF, 0xFF123456, 0x00123456},
      {"edge 8", 1, 8, 2, 0xAAAAAAAA, 0x11, 0x22, 0xAAAAAA22},
      {"antialiased full 16", 2, 16, 15, 0xAAAAAAAA, 0x1234, 0, 0x00F01234},
      {"antialiased half 16", 2, 16, 8, 0xAAAAAAAA, 0x1234, 0, 0x00801234},
      {"antialiased full 32", 2, 32, 15, 0xAAAAAAAA, 0x00123456, 0, 0xF0123456},
      {"antialiased on 8 bits", 2, 8, 15, 0xAAAAAAAA, 0x12, 0, 0xAAAAAAAA},
      {"mixed, glyph full 16", 3, 16, 0x0F, 0xAAAAAAAA, 0x1234, 0x5678, 0x00FF1234},
      {"mixed, glyph full 32", 3, 32, 0xFF, 0xAAAAAAAA, 0x00123456, 0x00654321, 0xFF123456},
      {"mixed, edge only 16", 3, 16, 0xF0, 0xAAAAAAAA, 0x1234, 0x5678, 0x00F05678},
      {"mixed, edge only 32", 3, 32, 0x30, 0xAAAAAAAA, 0x1234, 0x00654321, 0x30654321},
      {"mixed, empty", 3, 16, 0x00, 0xAAAAAAAA, 0x1234, 0x5678, 0xAAAAAAAA},
      {"mixed on 8 bits", 3, 8, 0x0F, 0xAAAAAAAA, 0x12, 0x34, 0xAAAAAAAA},
      // m 7 over e 15: alpha 232, weight 123; 5-6-5 channels; fourth byte kept.
      {"mixed white over black 16", 3, 16, 0xF7, 0xAB000000, 0xFFFF, 0x0000, 0xABE873CE},
      {"mixed black over white 16", 3, 16, 0xF7, 0xAB000000, 0x0000, 0xFFFF, 0xABE88410},
      {"mixed 32", 3, 32, 0xFE, 0x00000000, 0x00FF0000, 0x000000FF, 0xEFEE0010},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HandFont font(c.type);
    font.Set(0, 0, c.type == 0 ? 1 : c.cell);
    Image image(1, 1, 4, c.before);
    image.img.Pitch = 4;
    GlyphWriteRequest request;
    request.Dest = &image.img;
    request.Clip = {0, 0, 1, 1};
    request.Main = c.main;
    request.Edge = c.edge;
    request.ScreenBits = c.bits;
    WriteGlyphToMemImg(request, font.record, Entry(1, 1));
    EXPECT_EQ(image.At32(0, 0), c.after) << std::hex << image.At32(0, 0);
  }
}

// Draws an 8 x 8 type-0 cell holding the pattern below into a 16 x 16
// 32-bit image and returns the image as characters ('#' main colour).
std::vector<std::string> Draw(const std::vector<std::string>& glyph, bool vertical, int x, int y, IntRect clip,
                              int width = -1, double pen = 0.0) {
  HandFont font(0);
  for (int gy = 0; gy < int(glyph.size()); ++gy) {
    for (int gx = 0; gx < int(glyph[0].size()); ++gx) font.Set(gx, gy, glyph[size_t(gy)][size_t(gx)] == '#');
  }
  Image image(16, 16, 4, 0);
  GlyphWriteRequest request;
  request.Dest = &image.img;
  request.Clip = clip;
  request.X = x;
  request.Y = y;
  request.Pen = pen;
  request.Vertical = vertical;
  request.Main = 1;
  request.ScreenBits = 32;
  GlyphEntry e = Entry(width < 0 ? int(glyph[0].size()) : width, int(glyph.size()));
  e.Top = 8;  // vertical: X0 = x + line height - top = x
  if (!vertical) e.Top = 0;
  WriteGlyphToMemImg(request, font.record, e);
  std::vector<std::string> rows;
  for (int py = 0; py < 16; ++py) {
    std::string row;
    for (int px = 0; px < 16; ++px) row += image.At32(px, py) == 1 ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> Blank() { return std::vector<std::string>(16, std::string(16, '.')); }
// The rectangle filled with '#'.
std::vector<std::string> Filled(int left, int top, int right, int bottom) {
  std::vector<std::string> rows = Blank();
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) rows[size_t(y)][size_t(x)] = '#';
  }
  return rows;
}

TEST(GlyphWriter, VerticalTextTurnsAQuarterClockwise) {
  // A 3 x 5 glyph whose first row is marked: at X0 = 10 it fills columns
  // 5-9, its first row in column 9, its first column in the top row.
  const std::vector<std::string> glyph = {"###", "#..", "#..", "#..", "#.."};
  std::vector<std::string> expected = Blank();
  expected[4] = ".....#####......";
  expected[5] = ".........#......";
  expected[6] = ".........#......";
  EXPECT_EQ(Draw(glyph, true, 10, 4, {0, 0, 16, 16}), expected);
  // Horizontal: as stored.
  expected = Blank();
  expected[2] = "....###.........";
  for (int y = 3; y < 7; ++y) expected[size_t(y)] = "....#...........";
  EXPECT_EQ(Draw(glyph, false, 4, 2, {0, 0, 16, 16}), expected);
}

TEST(GlyphWriter, ClippingKeepsWritesInsideTheRectangle) {
  const std::vector<std::string> full(8, std::string(8, '#'));
  const struct {
    const char* what;
    bool vertical;
    int x, y;
    IntRect clip;
    int width;
    double pen;
    IntRect written;
  } cases[] = {
      {"inside", false, 4, 4, {0, 0, 16, 16}, -1, 0.0, {4, 4, 12, 12}},
      {"over the right and top edges", false, 12, -3, {0, 0, 16, 16}, -1, 0.0, {12, 0, 16, 5}},
      {"half clipped", false, 2, 2, {5, 6, 9, 20}, -1, 0.0, {5, 6, 9, 10}},
      {"vertical half clipped", true, 12, 4, {6, 0, 16, 7}, -1, 0.0, {6, 4, 12, 7}},
      {"vertical over the left edge", true, 3, 10, {0, 0, 16, 16}, -1, 0.0, {0, 10, 3, 16}},
      {"a clip larger than the image", false, 10, 10, {-5, -5, 100, 100}, -1, 0.0, {10, 10, 16, 16}},
      {"the pen truncated", false, 0, 0, {0, 0, 16, 16}, -1, 2.9, {2, 0, 10, 8}},
      {"a negative pen truncated", false, 0, 0, {0, 0, 16, 16}, -1, -1.5, {0, 0, 7, 8}},
      {"a box wider than its cell", false, 0, 0, {0, 0, 16, 16}, 12, 0.0, {0, 0, 8, 8}},
      {"an empty clip", false, 0, 0, {5, 5, 5, 9}, -1, 0.0, {0, 0, 0, 0}},
      {"far away", false, 2000000000, 0, {0, 0, 16, 16}, -1, 1e300, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const IntRect& w = c.written;
    EXPECT_EQ(Draw(full, c.vertical, c.x, c.y, c.clip, c.width, c.pen), Filled(w.left, w.top, w.right, w.bottom));
  }
}

TEST(GlyphWriter, CellsOutsideTheCacheAndTextureFontsWriteNothing) {
  HandFont font(0);
  font.Set(0, 0, 1);
  Image image(4, 4, 4, 0);
  GlyphWriteRequest request;
  request.Dest = &image.img;
  request.Clip = {0, 0, 4, 4};
  request.Main = 7;
  request.ScreenBits = 32;
  GlyphEntry e = Entry(1, 1);
  e.Cell = 2;  // the record has two cells
  WriteGlyphToMemImg(request, font.record, e);
  e.Cell = -1;
  WriteGlyphToMemImg(request, font.record, e);
  FontRecord texture;  // no memory cache
  texture.CellSize = 8;
  texture.CellCount = 4;
  e.Cell = 0;
  WriteGlyphToMemImg(request, texture, e);
  for (uint32_t p : image.pixels) EXPECT_EQ(p, 0u);
}

}  // namespace
