// Exact metrics and glyph bitmaps of the test font: at cell height 20 one
// design step is one pixel, at 40 two, so every expected bitmap below is
// the font's design drawn out by hand, and the larger size must be the
// smaller one with every pixel doubled.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_fonts.h"

namespace {

using fonttest::Face;
using fonttest::GetGlyph;
using fonttest::Glyph;
using platform::GlyphFormat;

struct MetricCase {
  const char* family;
  int request_height;
  int height, ascent, descent, pixels_per_em, max_char_width, ave_char_width;
};

TEST(FontMetrics, CellAndEmHeightsScaleTheChosenVerticalExtent) {
  const MetricCase cases[] = {
      // win ascent 1024 + descent 256 = 20 steps; em 1024; widest advance 1024
      {writers::kTestFontFamily, 20, 20, 16, 4, 16, 16, 8},
      {writers::kTestFontFamily, 40, 40, 32, 8, 32, 32, 16},
      {writers::kTestFontFamily, -16, 20, 16, 4, 16, 16, 8},
      {writers::kTestFontFamily, -32, 40, 32, 8, 32, 32, 16},
      // No win metrics: hhea 960 + 192 = 1152 units. 20 x 960 / 1152 = 16.7;
      // 1024 x 20 / 1152 = 17.8 (em and widest advance); 512 x 20 / 1152 = 8.9
      {fonttest::kHheaFamily, 20, 20, 17, 3, 18, 18, 9},
      // Neither: head box 768 + 192 = 960. 20 x 768 / 960 = 16;
      // 1024 x 20 / 960 = 21.3; 512 x 20 / 960 = 10.7
      {fonttest::kBoxFamily, 20, 20, 16, 4, 21, 22, 11},
      // No OS/2 table: hhea, and no average width.
      {fonttest::kNoOs2Family, 20, 20, 17, 3, 18, 18, 0},
      // Height 0 is the default cell height 16: 16 x 1024 / 1280 = 12.8.
      {writers::kTestFontFamily, 0, 16, 13, 3, 13, 13, 6},
  };
  for (const MetricCase& c : cases) {
    SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.request_height));
    auto face = Face(c.family, c.request_height);
    ASSERT_TRUE(face);
    EXPECT_NE(face->File().find(".ttf"), std::string::npos);
    EXPECT_EQ(face->Family(), c.family);
    const platform::TextMetrics& m = face->Metrics();
    EXPECT_EQ(m.height, c.height);
    EXPECT_EQ(m.ascent, c.ascent);
    EXPECT_EQ(m.descent, c.descent);
    EXPECT_EQ(m.pixels_per_em, c.pixels_per_em);
    EXPECT_EQ(m.internal_leading, c.height - c.pixels_per_em);
    EXPECT_EQ(m.max_char_width, c.max_char_width);
    EXPECT_EQ(m.ave_char_width, c.ave_char_width);
    EXPECT_EQ(m.weight, 400);
    EXPECT_FALSE(m.italic);
  }
}

struct GlyphCase {
  uint32_t code;  // Shift-JIS
  int origin_x, origin_y, advance;
  std::vector<std::string> rows;  // at cell height 20
};

std::vector<std::string> Repeat(int n, const std::string& row) { return std::vector<std::string>(n, row); }
std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const std::vector<std::string> kNotdef = Join({{"######"}, Repeat(10, "#....#"), {"######"}});

std::vector<GlyphCase> GlyphCases() {
  return {
      {'I', 3, 12, 8, Repeat(12, "##")},
      {'L', 2, 12, 8, Join({Repeat(10, "##..."), Repeat(2, "#####")})},
      {'T', 1, 12, 8, Join({Repeat(2, "######"), Repeat(10, "..##..")})},
      {'O', 1, 12, 8, Join({Repeat(2, "######"), Repeat(8, "##..##"), Repeat(2, "######")})},
      {'_', 0, -1, 8, Repeat(2, "########")},
      {'A', 1, 8, 8, Repeat(8, "######")},
      {0x82A0, 1, 14, 16,  // hiragana a
       Join({Repeat(6, "......##......"), Repeat(2, "##############"), Repeat(6, "......##......")})},
      {0x8341, 1, 14, 16,  // katakana a
       Join({Repeat(2, "##############"), Repeat(6, "....##....##.."), Repeat(6, "....##........")})},
      {0x93FA, 3, 14, 16,  // kanji "day": two holes
       Join({Repeat(2, "##########"), Repeat(4, "##......##"), Repeat(2, "##########"),
             Repeat(4, "##......##"), Repeat(2, "##########")})},
      {0x88EA, 1, 8, 16, Repeat(2, "##############")},  // kanji "one"
      {0x967B, 4, 12, 16, Repeat(8, "########")},       // a kanji the font gives its shared glyph
      {0x81AC, -2, 8, 16, Repeat(4, std::string(30, '#'))},  // wider than any cell
      // Glyph 0 for what the font does not map or the code page does not decode.
      {0x839F, 1, 12, 8, kNotdef},   // Greek capital alpha: not in the font
      {0x8120, 1, 12, 8, kNotdef},   // lead byte with a trail byte below 0x40
      {0x81, 1, 12, 8, kNotdef},     // a lead byte alone
      {0xB1, 1, 12, 8, kNotdef},     // half-width katakana: not in the font
      {0x4142, 1, 12, 8, kNotdef},   // two bytes without a lead byte
      {0x10041, 1, 12, 8, kNotdef},  // more than two bytes
      {0x0A, 1, 12, 8, kNotdef},     // a line feed is a character like any other
  };
}

std::vector<std::string> Doubled(const std::vector<std::string>& rows) {
  std::vector<std::string> out;
  for (const std::string& row : rows) {
    std::string wide;
    for (char c : row) wide.append(2, c);
    out.push_back(wide);
    out.push_back(wide);
  }
  return out;
}

TEST(FontGlyphs, MonoAndGreyBitmapsAtTwoSizes) {
  auto small = Face(writers::kTestFontFamily, 20);
  auto large = Face(writers::kTestFontFamily, 40);
  ASSERT_TRUE(small && large);
  for (const GlyphCase& c : GlyphCases()) {
    SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << c.code);
    for (int scale : {1, 2}) {
      platform::FontFace& face = scale == 1 ? *small : *large;
      const std::vector<std::string> expected = scale == 1 ? c.rows : Doubled(c.rows);
      for (GlyphFormat format : {GlyphFormat::kMono, GlyphFormat::kGray}) {
        const Glyph g = GetGlyph(face, c.code, format);
        EXPECT_EQ(g.metrics.origin_x, c.origin_x * scale);
        EXPECT_EQ(g.metrics.origin_y, c.origin_y * scale);
        EXPECT_EQ(g.metrics.cell_inc_x, c.advance * scale);
        EXPECT_EQ(g.metrics.cell_inc_y, 0);
        EXPECT_EQ(g.metrics.black_box_x, expected[0].size());
        EXPECT_EQ(g.metrics.black_box_y, expected.size());
        EXPECT_EQ(g.rows, expected) << "scale " << scale << (format == GlyphFormat::kMono ? " mono" : " grey");
      }
    }
  }
}

TEST(FontGlyphs, RowsArePaddedToFourBytesAndThePaddingStaysClear) {
  auto face = Face(writers::kTestFontFamily, 40);
  ASSERT_TRUE(face);
  // 60 pixels wide: mono rows of 8 bytes (4 bits of padding), grey rows of 60.
  const Glyph mono = GetGlyph(*face, 0x81AC, GlyphFormat::kMono);
  ASSERT_EQ(mono.bits.size(), 8u * 8u);
  for (size_t row = 0; row < 8; ++row) {
    EXPECT_EQ(mono.bits[row * 8 + 7], 0xF0) << row;
  }
  // 'L' at 10 pixels: grey rows of 12 bytes.
  const Glyph grey = GetGlyph(*face, 'L', GlyphFormat::kGray);
  ASSERT_EQ(grey.metrics.black_box_x, 10u);
  for (size_t row = 0; row < grey.metrics.black_box_y; ++row) {
    EXPECT_EQ(grey.bits[row * 12 + 10], 0);
    EXPECT_EQ(grey.bits[row * 12 + 11], 0);
  }
}

TEST(FontGlyphs, SpacesHaveNoBitmapButAdvance) {
  auto small = Face(writers::kTestFontFamily, 20);
  auto large = Face(writers::kTestFontFamily, 40);
  ASSERT_TRUE(small && large);
  const struct {
    uint32_t code;
    int advance;
  } spaces[] = {{0x20, 8}, {0x8140, 16}};
  for (const auto& s : spaces) {
    for (GlyphFormat format : {GlyphFormat::kMono, GlyphFormat::kGray}) {
      for (int scale : {1, 2}) {
        platform::GlyphMetrics m;
        EXPECT_EQ((scale == 1 ? small : large)->GlyphOutline(s.code, format, &m, nullptr, 0), 0);
        EXPECT_EQ(m.black_box_x, 1u);
        EXPECT_EQ(m.black_box_y, 1u);
        EXPECT_EQ(m.origin_x, 0);
        EXPECT_EQ(m.origin_y, 0);
        EXPECT_EQ(m.cell_inc_x, s.advance * scale);
      }
    }
  }
}

// The triangle (1,0) (7,6) (7,0): its long side runs corner to corner
// through a diagonal of pixels, each exactly half covered.
int TriangleLevel(int x, int y_from_bottom) {
  return y_from_bottom < x ? 16 : y_from_bottom == x ? 8 : 0;
}

TEST(FontGlyphs, DiagonalEdgesGiveHalfLevels) {
  for (int scale : {1, 2}) {
    auto face = Face(writers::kTestFontFamily, 20 * scale);
    ASSERT_TRUE(face);
    const Glyph grey = GetGlyph(*face, '/', GlyphFormat::kGray);
    const Glyph mono = GetGlyph(*face, '/', GlyphFormat::kMono);
    ASSERT_EQ(grey.metrics.black_box_x, 6u * scale);
    ASSERT_EQ(grey.metrics.black_box_y, 6u * scale);
    EXPECT_EQ(grey.metrics.origin_x, scale);
    EXPECT_EQ(grey.metrics.origin_y, 6 * scale);
    const int n = 6 * scale;
    for (int row = 0; row < n; ++row) {
      for (int x = 0; x < n; ++x) {
        const int level = TriangleLevel(x, n - 1 - row);
        EXPECT_EQ(grey.bits[row * fonttest::RowBytes(GlyphFormat::kGray, n) + x], level) << "row " << row << " x " << x;
        // Mono sets every fully covered pixel and nothing below half.
        const bool set = mono.rows[row][x] == '#';
        if (level == 16) {
          EXPECT_TRUE(set) << "row " << row << " x " << x;
        } else if (level == 0) {
          EXPECT_FALSE(set) << "row " << row << " x " << x;
        }
      }
    }
  }
}

// The wedge (0,0) (8,1) (8,0) rises one pixel in eight at both sizes: in
// the row it crosses, pixel i is covered (2i + 1) / 16, level 2i + 1. The
// rasteriser's coverage falls a hair short of those levels (255 x 1/16 is
// 15.9); rounding, not truncation, gives them back.
TEST(FontGlyphs, GreyLevelsFollowTheCoveredArea) {
  for (int scale : {1, 2}) {
    auto face = Face(writers::kTestFontFamily, 20 * scale);
    ASSERT_TRUE(face);
    const Glyph g = GetGlyph(*face, '\\', GlyphFormat::kGray);
    ASSERT_EQ(g.metrics.black_box_x, 8u * scale);
    ASSERT_EQ(g.metrics.black_box_y, 1u * scale);
    EXPECT_EQ(g.metrics.origin_x, 0);
    EXPECT_EQ(g.metrics.origin_y, scale);
    for (int row = 0; row < scale; ++row) {
      const int from_bottom = scale - 1 - row;
      for (int x = 0; x < 8 * scale; ++x) {
        const int d = x - 8 * from_bottom;
        const int level = d < 0 ? 0 : d >= 8 ? 16 : 2 * d + 1;
        EXPECT_EQ(g.bits[row * fonttest::RowBytes(GlyphFormat::kGray, 8 * scale) + x], level)
            << "scale " << scale << " row " << row << " x " << x;
      }
    }
  }
}

}  // namespace
