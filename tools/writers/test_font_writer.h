// Writer of a small TrueType font made from code, for exact font tests and
// the font fuzz seeds. Every outline is built of axis-aligned rectangles
// and one right triangle on a design grid of 64 font units, so that at the
// cell heights the tests use (20 and 40) every edge falls on the pixel grid
// and every pixel's coverage is known in advance.
//
// Units: 1024 font units per em; the grid step is 64 units, one pixel at
// cell height 20 (usWinAscent 1024 + usWinDescent 256 = 1280 units = 20
// grid steps), two pixels at 40. The hhea ascender and descender differ on
// purpose (960 / -192), so that code reading the wrong table shows.
//
// Glyphs (advances in grid steps, rectangles as x0,y0-x1,y1 from the pen's
// baseline point, y up):
//   0  .notdef  8  box 1,0-7,12 with the hole 2,1-6,11
//   1  U+0020   8  empty
//   2  U+3000  16  empty (full-width space)
//   3  'I'      8  3,0-5,12
//   4  'L'      8  2,0-4,12 and 4,0-7,2
//   5  'T'      8  1,10-7,12 and 3,0-5,10
//   6  'O'      8  1,0-7,12 with the hole 3,2-5,10
//   7  '_'      8  0,-3-8,-1 (below the baseline)
//   8  '/'      8  triangle (1,0) (7,6) (7,0): the pixels its long side
//                  crosses are half covered
//   9  '\'      8  wedge (0,0) (8,1) (8,0): rising one pixel in eight, so
//                  the pixels along it are covered 1/16, 3/16 ... 15/16
//  10  other printable ASCII  8  1,0-7,8
//  11  U+3042 (hiragana a)  16  1,6-15,8 and 7,0-9,14 (overlapping)
//  12  U+30A2 (katakana a)  16  1,12-15,14, 11,6-13,12 and 5,0-7,12
//  13  U+65E5 (kanji day)   16  3,0-13,14 with the holes 5,2-11,6, 5,8-11,12
//  14  U+4E00 (kanji one)   16  1,6-15,8
//  15  U+3013 (geta mark)   16  -2,4-28,8: wider than any cell of the font
//  16  every other code point of U+3000-U+30FF and U+4E00-U+9FFF
//                           16  4,4-12,12 (the ranges give the font the
//                               coverage of the Japanese language)
// Without the Japanese part only glyphs 0-10 exist.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace writers {

inline constexpr int kTestFontUnitsPerEm = 1024;
inline constexpr int kTestFontGrid = 64;  // font units per design step

// Family names: English (language 0x0409) and Japanese (0x0411, UTF-8 here).
inline constexpr char kTestFontFamily[] = "Vesk Test";
inline constexpr char8_t kTestFontFamilyJapanese[] = u8"ベスク試験";
inline constexpr char kTestFontLatinFamily[] = "Vesk Test Latin";

struct TestFontOptions {
  // English family name; empty: kTestFontFamily, or kTestFontLatinFamily
  // without the Japanese part.
  std::string family;
  bool bold = false;      // weight 700 and the Bold style; same outlines
  bool japanese = true;   // kana, kanji, ideograph ranges, Japanese name
  // Vertical metrics; zero pairs make readers fall back to the next table.
  uint16_t win_ascent = 1024;
  uint16_t win_descent = 256;
  int16_t hhea_ascender = 960;
  int16_t hhea_descender = -192;
  bool with_os2 = true;   // false: no OS/2 table at all
};

// The whole font file. The same options give the same bytes.
std::vector<uint8_t> BuildTestFont(const TestFontOptions& options);

}  // namespace writers
