// Bold and italic: synthesised on a face that lacks the style (one pixel
// wider, a fixed shear), taken from the family's own face when it has one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_fonts.h"

namespace {

using fonttest::Face;
using fonttest::GetGlyph;
using fonttest::Glyph;
using platform::GlyphFormat;

// Every pixel painted once more one pixel to its right: the reference for
// synthetic bold, on the characters GetGlyph produces.
std::vector<std::string> Smeared(const std::vector<std::string>& rows, bool grey) {
  std::vector<std::string> out;
  for (const std::string& row : rows) {
    std::string wide = row + ".";
    for (size_t x = 1; x < wide.size(); ++x) {
      const char left = row[x - 1];
      if (!grey) {
        if (left == '#') wide[x] = '#';
      } else {
        auto level = [](char c) { return c == '.' ? 0 : c == '#' ? 16 : std::stoi(std::string(1, c), nullptr, 16); };
        if (level(left) > level(wide[x])) wide[x] = left;
      }
    }
    out.push_back(wide);
  }
  return out;
}

TEST(FontStyles, WeightFromSixHundredEmboldensAFaceWithoutBold) {
  const struct {
    int weight;
    bool bold;
  } weights[] = {{0, false}, {400, false}, {599, false}, {600, true}, {700, true}, {1000, true}};
  for (const auto& w : weights) {
    SCOPED_TRACE(w.weight);
    auto regular = Face(writers::kTestFontFamily, 20);
    auto face = Face(writers::kTestFontFamily, 20, w.weight);
    ASSERT_TRUE(regular && face);
    EXPECT_EQ(face->SyntheticBold(), w.bold);
    EXPECT_EQ(face->Metrics().max_char_width, 16 + (w.bold ? 1 : 0));
    EXPECT_EQ(face->Metrics().weight, w.weight == 0 ? 400 : w.weight);
    for (uint32_t code : {uint32_t{'O'}, uint32_t{'/'}, uint32_t{0x93FA}, uint32_t{0x839F}}) {
      for (GlyphFormat format : {GlyphFormat::kMono, GlyphFormat::kGray}) {
        const Glyph plain = GetGlyph(*regular, code, format);
        const Glyph g = GetGlyph(*face, code, format);
        EXPECT_EQ(g.metrics.origin_x, plain.metrics.origin_x);
        EXPECT_EQ(g.metrics.origin_y, plain.metrics.origin_y);
        EXPECT_EQ(g.metrics.cell_inc_x, plain.metrics.cell_inc_x + (w.bold ? 1 : 0));
        EXPECT_EQ(g.rows, w.bold ? Smeared(plain.rows, format == GlyphFormat::kGray) : plain.rows)
            << std::hex << code;
      }
    }
    platform::GlyphMetrics space;
    EXPECT_EQ(face->GlyphOutline(0x8140, GlyphFormat::kMono, &space, nullptr, 0), 0);
    EXPECT_EQ(space.cell_inc_x, 16 + (w.bold ? 1 : 0));
  }
}

TEST(FontStyles, AFamilyWithABoldFaceUsesIt) {
  fonttest::TestFonts& fonts = fonttest::TestFonts::Get();
  writers::TestFontOptions bold;
  bold.bold = true;
  const std::string path = fonts.Write("bold.ttf", bold);
  ASSERT_EQ(platform::AddPrivateFontFile(path), 1);
  for (int weight : {400, 700}) {
    auto face = Face(writers::kTestFontFamily, 20, weight);
    ASSERT_TRUE(face);
    EXPECT_FALSE(face->SyntheticBold());
    EXPECT_EQ(face->File(), fonts.Native(weight == 700 ? "bold.ttf" : "regular.ttf"));
    EXPECT_EQ(face->Metrics().max_char_width, 16);
    const Glyph g = GetGlyph(*face, 'I', GlyphFormat::kMono);
    EXPECT_EQ(g.metrics.black_box_x, 2u);
    EXPECT_EQ(g.metrics.cell_inc_x, 8);
  }
  EXPECT_TRUE(platform::RemovePrivateFontFile(path));
  auto face = Face(writers::kTestFontFamily, 20, 700);
  ASSERT_TRUE(face);
  EXPECT_TRUE(face->SyntheticBold());
  EXPECT_EQ(face->File(), fonts.Native("regular.ttf"));
}

// Grey levels of an upright bar [x0, x1) x [0, h) sheared by x + y / 4,
// worked out from areas: within one pixel row each sheared edge stays in
// one pixel column, so the covered width at the row's middle is its area.
std::vector<std::string> ShearedBar(int x0, int x1, int h) {
  const int left = x0, right = x1 + (h + 3) / 4;
  std::vector<std::string> rows;
  for (int k = h - 1; k >= 0; --k) {
    const double shift = (k + 0.5) / 4;
    std::string row;
    for (int x = left; x < right; ++x) {
      const double covered = std::clamp(std::min(x + 1.0, x1 + shift) - std::max(double(x), x0 + shift), 0.0, 1.0);
      const int level = static_cast<int>(std::floor(covered * 16 + 0.5));
      row.push_back(level == 0 ? '.' : level == 16 ? '#' : "0123456789abcdef"[level]);
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(FontStyles, ItalicShearsAFaceWithoutItalicAboutTheBaseline) {
  for (int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    auto face = Face(writers::kTestFontFamily, 20 * scale, 400, true);
    ASSERT_TRUE(face);
    EXPECT_TRUE(face->SyntheticItalic());
    EXPECT_FALSE(face->SyntheticBold());
    EXPECT_TRUE(face->Metrics().italic);
    EXPECT_EQ(face->Metrics().max_char_width, 16 * scale);
    const Glyph g = GetGlyph(*face, 'I', GlyphFormat::kGray);
    EXPECT_EQ(g.metrics.origin_x, 3 * scale);
    EXPECT_EQ(g.metrics.origin_y, 12 * scale);
    EXPECT_EQ(g.metrics.cell_inc_x, 8 * scale);
    EXPECT_EQ(g.rows, ShearedBar(3 * scale, 5 * scale, 12 * scale));
    // Below the baseline the shear runs the other way.
    const Glyph low = GetGlyph(*face, '_', GlyphFormat::kGray);
    EXPECT_EQ(low.metrics.origin_x, -scale);
    EXPECT_EQ(low.metrics.origin_y, -scale);
  }
  auto both = Face(writers::kTestFontFamily, 20, 700, true);
  ASSERT_TRUE(both);
  EXPECT_TRUE(both->SyntheticItalic() && both->SyntheticBold());
  const Glyph g = GetGlyph(*both, 'I', GlyphFormat::kGray);
  EXPECT_EQ(g.rows, Smeared(ShearedBar(3, 5, 12), true));
  EXPECT_EQ(g.metrics.cell_inc_x, 9);
}

}  // namespace
