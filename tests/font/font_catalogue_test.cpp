// Which face a name resolves to, the installed-font list, fonts added from
// files, and IPA Gothic (the default face) as a regression check.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "test_fonts.h"

namespace {

using fonttest::Face;
using fonttest::Sjis;
using platform::GlyphFormat;

TEST(FontResolution, NamesLeadToFamiliesAndEverythingElseToTheDefaultFace) {
  const struct {
    std::string name;  // Shift-JIS
    int charset;
    const char* family;
  } cases[] = {
      {Sjis(u8"ベスク試験"), platform::kShiftJisCharset, writers::kTestFontFamily},
      {"VESK test", platform::kShiftJisCharset, writers::kTestFontFamily},
      {Sjis(u8"ベスク試験"), platform::kDefaultCharset, writers::kTestFontFamily},
      {Sjis(u8"ＭＳ ゴシック"), platform::kShiftJisCharset, "IPAGothic"},
      {Sjis(u8"ＭＳ ゴシック"), platform::kDefaultCharset, "IPAGothic"},
      {"ms gothic", platform::kShiftJisCharset, "IPAGothic"},
      {Sjis(u8"IPAゴシック"), platform::kShiftJisCharset, "IPAGothic"},
      {"No Such Face", platform::kShiftJisCharset, "IPAGothic"},
      {"No Such Face", platform::kDefaultCharset, "IPAGothic"},
      {"", platform::kShiftJisCharset, "IPAGothic"},
      {"", platform::kDefaultCharset, "IPAGothic"},
      {"\x81\x20\x82", platform::kShiftJisCharset, "IPAGothic"},  // does not decode
      {"Vesk Test ", platform::kShiftJisCharset, "IPAGothic"},    // names match whole
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::SjisToUtf8(c.name) + " / " + std::to_string(c.charset));
    auto face = Face(c.name, 16, 400, false, c.charset);
    ASSERT_TRUE(face);
    EXPECT_EQ(face->Family(), c.family);
    EXPECT_EQ(face->Metrics().charset, c.charset);
  }
}

// The list as the installed-font query filters it: 0 every name, 1
// Japanese TrueType names; never a name beginning with '@'.
std::vector<std::string> Filtered(const std::vector<platform::FontFamilyInfo>& list, int filter) {
  std::vector<std::string> names;
  for (const auto& f : list) {
    if (f.full_name.empty() || f.full_name[0] == '@') continue;
    if (filter == 1 && !(f.true_type && f.script == Sjis(u8"日本語"))) continue;
    names.push_back(f.full_name);
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(FontList, ListsFamiliesOnceSortedWithScriptAndKind) {
  fonttest::TestFonts::Get();
  const std::vector<platform::FontFamilyInfo> list = platform::EnumerateFontFamilies();
  ASSERT_FALSE(list.empty());
  for (size_t i = 1; i < list.size(); ++i) EXPECT_LT(list[i - 1].full_name, list[i].full_name);
  for (const auto& f : list) {
    EXPECT_LT(f.full_name.size(), platform::kFontFullNameSize);
    EXPECT_EQ(f.japanese, f.script == Sjis(u8"日本語")) << f.full_name;
    EXPECT_TRUE(f.japanese || f.script == Sjis(u8"欧文")) << f.full_name;
  }
  const std::string test_font = Sjis(u8"ベスク試験");  // Japanese names come first
  const std::string ipa = Sjis(u8"IPAゴシック");
  const std::vector<std::string> all = Filtered(list, 0), japanese = Filtered(list, 1);
  for (const std::string& name : {test_font, ipa, std::string(writers::kTestFontLatinFamily),
                                  std::string(fonttest::kBoxFamily)}) {
    EXPECT_TRUE(Contains(all, name)) << name;
  }
  EXPECT_FALSE(Contains(all, writers::kTestFontFamily));  // listed by its Japanese name
  EXPECT_TRUE(Contains(japanese, test_font));
  EXPECT_TRUE(Contains(japanese, ipa));
  EXPECT_FALSE(Contains(japanese, writers::kTestFontLatinFamily));
  EXPECT_FALSE(Contains(japanese, "DejaVu Sans"));
  EXPECT_LT(japanese.size(), all.size());
}

TEST(FontList, PrivateFontsComeAndGoWithTheirAdditions) {
  fonttest::TestFonts& fonts = fonttest::TestFonts::Get();
  writers::TestFontOptions options;
  options.japanese = false;
  options.family = "Vesk Private Probe";
  const std::string path = fonts.Write("Probe.TTF", options);
  auto listed = [] { return Contains(Filtered(platform::EnumerateFontFamilies(), 0), "Vesk Private Probe"); };
  auto resolved = [] { return Face("Vesk Private Probe", 20)->Family() == "Vesk Private Probe"; };
  EXPECT_FALSE(listed());
  EXPECT_FALSE(resolved());

  // Engine paths: either separator, any letter case.
  std::string other_case = path;
  std::replace(other_case.begin(), other_case.end(), '\\', '/');
  other_case.replace(other_case.size() - 9, 9, "PROBE.ttf");
  EXPECT_EQ(platform::AddPrivateFontFile(path), 1);
  EXPECT_EQ(platform::AddPrivateFontFile(other_case), 1);
  EXPECT_TRUE(listed());
  EXPECT_TRUE(resolved());
  EXPECT_TRUE(platform::RemovePrivateFontFile(path));
  EXPECT_TRUE(resolved());  // added twice, removed once
  EXPECT_TRUE(platform::RemovePrivateFontFile(other_case));
  EXPECT_FALSE(listed());
  EXPECT_FALSE(resolved());
  EXPECT_FALSE(platform::RemovePrivateFontFile(path));
}

TEST(FontList, FilesWithoutFontsAddNothing) {
  fonttest::TestFonts& fonts = fonttest::TestFonts::Get();
  std::vector<uint8_t> font = writers::BuildTestFont({});
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"empty.ttf", {}},
      {"text.ttf", std::vector<uint8_t>(100, 'x')},
      {"head_only.ttf", std::vector<uint8_t>(font.begin(), font.begin() + 200)},
  };
  const size_t before = platform::EnumerateFontFamilies().size();
  for (const auto& [name, bytes] : files) {
    std::ofstream(fonts.Native(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(platform::AddPrivateFontFile(platform::NativeToEnginePath(fonts.Native(name))), 0) << name;
    EXPECT_FALSE(platform::RemovePrivateFontFile(platform::NativeToEnginePath(fonts.Native(name)))) << name;
  }
  EXPECT_EQ(platform::AddPrivateFontFile(platform::NativeToEnginePath(fonts.Native("missing.ttf"))), 0);
  EXPECT_EQ(platform::AddPrivateFontFile(platform::NativeToEnginePath(fonts.Native(""))), 0);  // a folder
  EXPECT_EQ(platform::EnumerateFontFamilies().size(), before);
}

// A few fields of a TrueType file, read here independently of FreeType.
struct SfntFigures {
  int units_per_em = 0, win_ascent = 0, win_descent = 0, advance_max = 0;
};

SfntFigures ReadFigures(const std::string& native) {
  std::ifstream in(native, std::ios::binary);
  auto u16 = [&](std::streamoff at) {
    unsigned char b[2] = {};
    in.seekg(at);
    in.read(reinterpret_cast<char*>(b), 2);
    return in ? b[0] << 8 | b[1] : 0;
  };
  auto u32 = [&](std::streamoff at) { return std::streamoff{u16(at)} << 16 | u16(at + 2); };
  SfntFigures f;
  const int tables = u16(4);
  for (int i = 0; i < tables; ++i) {
    const std::streamoff record = 12 + 16 * i;
    char tag[4] = {};
    in.seekg(record);
    in.read(tag, 4);
    const std::streamoff at = u32(record + 8);
    if (std::string(tag, 4) == "head") f.units_per_em = u16(at + 18);
    if (std::string(tag, 4) == "hhea") f.advance_max = u16(at + 10);
    if (std::string(tag, 4) == "OS/2") {
      f.win_ascent = u16(at + 74);
      f.win_descent = u16(at + 76);
    }
  }
  return f;
}

TEST(FontDefaultFace, IpaGothicMetricsFollowItsOwnTables) {
  for (int height : {12, 16, 24, 32}) {
    SCOPED_TRACE(height);
    auto face = Face(Sjis(u8"ＭＳ ゴシック"), height);
    ASSERT_TRUE(face);
    ASSERT_EQ(face->Family(), "IPAGothic");
    const SfntFigures f = ReadFigures(face->File());
    ASSERT_GT(f.win_ascent + f.win_descent, 0);
    const int extent = f.win_ascent + f.win_descent;
    const platform::TextMetrics& m = face->Metrics();
    EXPECT_EQ(m.height, height);
    EXPECT_EQ(m.ascent, (2 * f.win_ascent * height + extent) / (2 * extent));
    EXPECT_EQ(m.descent, height - m.ascent);
    EXPECT_EQ(m.max_char_width, (f.advance_max * height + extent - 1) / extent);
    EXPECT_EQ(m.pixels_per_em, (2 * f.units_per_em * height + extent) / (2 * extent));
  }
}

// What the player shows for hiragana a at the default size, unhinted (the
// last row of the black box holds no pixel centre); a change here is a
// visible change.
TEST(FontDefaultFace, IpaGothicGlyphImage) {
  auto face = Face(Sjis(u8"ＭＳ ゴシック"), 16);
  ASSERT_TRUE(face);
  const fonttest::Glyph g = fonttest::GetGlyph(*face, 0x82A0, GlyphFormat::kMono);
  const std::vector<std::string> expected = {
      "....#........",
      "....#....#...",
      ".#########...",
      "....#........",
      "....#..##....",
      "....#######..",
      "...##..#..##.",
      "..#.#.#....#.",
      ".#..###....#.",
      ".#..##.....#.",
      ".#.##.....##.",
      ".##.#..###...",
      ".............",
  };
  EXPECT_EQ(g.rows, expected);
  EXPECT_EQ(g.metrics.origin_x, 1);
  EXPECT_EQ(g.metrics.origin_y, 12);
  EXPECT_EQ(g.metrics.cell_inc_x, 15);
}

}  // namespace
