// Font faces by name, their text metrics and glyph bitmaps, the list of
// installed font families, fonts added from files at run time, and the
// system's OEM code page. Backed by FreeType (glyphs, metrics) and
// fontconfig (names, languages, private fonts); codes are decoded with
// iconv. Units: pixels; names and codes are Shift-JIS (code page 932) at
// this interface, except the family and file reported for tests and logs.
//
// Face resolution (CreateFontFace). The name, converted to UTF-8, is looked
// up in order until a face is found:
//   1. the alias table: names the games ask for that no Linux desktop has
//      (the Japanese system's default gothic face and its relatives) lead
//      to the IPA families;
//   2. the family names of every outline font fontconfig knows and of the
//      fonts added with AddPrivateFontFile, in every language the font
//      names itself in (so Japanese names match too); ASCII letters match
//      case-insensitively, everything else exactly;
//   3. the character set's default face: IPA Gothic; for the Hangul set a
//      font whose language list has Korean, then IPA Gothic; then any
//      outline font with Japanese in its language list; then any outline
//      font at all.
// Within a step the face nearest the request is taken: italic or not
// first, then the nearest weight, then an added font before an installed
// one, then family name, file and face index (so the choice is stable). A
// face FreeType cannot scale is passed over. A request fails only when no
// outline font exists at all.
//
// Metrics, with U the font's units per em and, for the vertical extent,
// A and D: the OS/2 usWinAscent and usWinDescent; when those are absent or
// sum to zero the hhea ascender and minus the hhea descender; when those
// sum to zero or less the head bounding box's yMax and minus its yMin;
// when even that is not positive, A = U and D = 0.
//   - A positive height H is the cell height: one font unit is H / (A + D)
//     pixels. A negative height -E is the character (em) height: one font
//     unit is E / U pixels. Height 0 means 16; heights are limited to
//     kMaxFontHeight.
//   - H > 0: height = H, ascent = round(A x H / (A + D)), descent = H -
//     ascent. H < 0: ascent = round(A x E / U), descent = round(D x E / U),
//     height = ascent + descent (at least 1).
//   - pixels_per_em = the em in pixels, rounded; internal_leading = height
//     - pixels_per_em.
//   - max_char_width = the hhea advanceWidthMax in pixels rounded up (+1
//     with synthetic bold), at least 1 and at most 4 x height.
//   - ave_char_width = the OS/2 xAvgCharWidth in pixels, rounded (0
//     without an OS/2 table).
//   - A glyph's cell increment = its advance in pixels, rounded (+1 with
//     synthetic bold), limited to 0..4 x height + 1.
//   round() rounds halves up.
// Hinting: none. Outlines are read in font units and scaled linearly in
// 26.6 fixed point (each coordinate rounded to 1/64 pixel); embedded
// bitmaps are never used. Outlines that lie on the pixel grid therefore
// render with exact edges at every size.
// Synthesis: a weight of 600 or more on a face whose own weight is below
// 600 draws each glyph one pixel wider (every pixel also painted one pixel
// to its right: the black box grows by one column, the cell increment by
// one). Italic on a face that is not italic shears the outline by
// x' = x + y / 4 about the baseline.
// Glyph bitmaps (GlyphOutline): the black box is the outline's exact
// bounding box widened to whole pixels; origin_x is its left edge from the
// pen position, origin_y its top edge above the baseline. Rows run top to
// bottom, each a multiple of four bytes long. kMono: one bit a pixel, most
// significant bit first, set where the rasteriser puts the pixel's centre
// inside the outline. kGray: one byte a pixel holding the level 0..16 =
// round(coverage x 16 / 255) of the pixel's exact covered area (coverage
// 0..255). A code that the font's code page does not decode, or that the
// font does not map, gives the font's glyph 0. A glyph without outline
// (a space), one the font cannot load, and one whose black box would be
// larger than kMaxGlyphSide pixels a side or lie further than
// kMaxGlyphOffset pixels from the pen gives a bitmap of size 0 with a 1 x 1
// black box at origin (0, 0); its cell increment stays.
//
// Faces are independent objects (each owns its FreeType state); one face
// is used by one thread at a time. The family list and the private fonts
// are process-wide and guarded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Character sets a face can be asked for. Shift-JIS and the default set
// decode codes as code page 932, the Hangul set as code page 949.
inline constexpr int32_t kDefaultCharset = 1;
inline constexpr int32_t kShiftJisCharset = 128;
inline constexpr int32_t kHangulCharset = 129;

inline constexpr int32_t kMaxFontHeight = 2048;
inline constexpr int32_t kMaxGlyphSide = 4096;
inline constexpr int32_t kMaxGlyphOffset = 16384;

struct FontRequest {
  std::string face_name;  // Shift-JIS; empty: the character set's default face
  int32_t height = 16;    // > 0 cell height, < 0 em height, 0 = 16
  int32_t weight = 400;   // 1..1000 (400 normal, 700 bold); 0 = 400
  bool italic = false;
  int32_t charset = kShiftJisCharset;
};

struct TextMetrics {
  int32_t height = 0;  // ascent + descent
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internal_leading = 0;
  int32_t pixels_per_em = 0;
  int32_t ave_char_width = 0;
  int32_t max_char_width = 0;
  int32_t weight = 0;  // the weight asked for (0 read as 400)
  bool italic = false; // italic asked for
  int32_t charset = 0; // the character set asked for
};

enum class GlyphFormat {
  kMono,  // 1 bit a pixel, most significant bit first
  kGray,  // one byte a pixel, levels 0..16
};

struct GlyphMetrics {
  uint32_t black_box_x = 0;  // width of the bitmap in pixels
  uint32_t black_box_y = 0;  // rows
  int32_t origin_x = 0;      // left edge of the bitmap, from the pen position
  int32_t origin_y = 0;      // top edge of the bitmap, above the baseline
  int16_t cell_inc_x = 0;    // pen advance
  int16_t cell_inc_y = 0;    // always 0 (horizontal text)
};

class FontFace {
 public:
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  const TextMetrics& Metrics() const;

  // The glyph of a code (lead byte x 256 + trail byte, or the single byte),
  // in the given format. Fills *metrics (when not null) and returns the
  // bitmap's size in bytes (rows x row length); copies the bitmap into
  // buffer when buffer is not null and buffer_size holds it. -1 only when a
  // buffer is given that is too small. Asking for the size first and then
  // for the bitmap renders once.
  int64_t GlyphOutline(uint32_t code, GlyphFormat format, GlyphMetrics* metrics, void* buffer,
                       size_t buffer_size);

  // What the request resolved to (UTF-8 family name as the font lists it
  // first, native file path), and which styles are synthesised.
  const std::string& Family() const;
  const std::string& File() const;
  bool SyntheticBold() const;
  bool SyntheticItalic() const;

  struct State;
  explicit FontFace(std::unique_ptr<State> state);

 private:
  std::unique_ptr<State> state_;
};

// A face for the request; null only when no outline font exists at all.
std::unique_ptr<FontFace> CreateFontFace(const FontRequest& request);

// One font family as the installed-font list reports it.
inline constexpr size_t kFontFullNameSize = 64;  // bytes with the NUL
struct FontFamilyInfo {
  std::string full_name;  // Shift-JIS, at most kFontFullNameSize - 1 bytes
  std::string script;     // Shift-JIS: "日本語" for Japanese fonts, else "欧文"
  bool japanese = false;  // fontconfig lists Japanese among its languages
  bool true_type = false; // an sfnt font (TrueType or OpenType outlines)
};

// Every font family once (fonts added with AddPrivateFontFile included),
// sorted by full name bytes. The full name is the one the family's most
// regular face gives in Japanese, else its first; a family without full
// names gives its family name. Names that do not convert to Shift-JIS or do
// not fit kFontFullNameSize are left out.
std::vector<FontFamilyInfo> EnumerateFontFamilies();

// Adds the faces of a font file (an engine path: Shift-JIS, relative to the
// engine's current folder) for face resolution and the family list, until
// the file is removed as often as it was added. Returns the number of faces
// the file holds, 0 when it holds none or cannot be read.
int AddPrivateFontFile(std::string_view path);
// Removes one addition of the file; false when it was not added.
bool RemovePrivateFontFile(std::string_view path);

// The system's OEM code page: 932 (a Japanese system).
int32_t OemCodePage();

}  // namespace platform
